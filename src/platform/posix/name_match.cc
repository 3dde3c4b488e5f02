#include "platform/posix/name_match.h"

#include <vector>

namespace native_layer {
namespace {

char upper_ascii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

}  // namespace

bool name_matches_mask(std::string_view mask, std::string_view name) {
  const size_t n = name.size();
  // Wine 8.0: "abc.*" and "*.*.*" match "abc"; "abc?" does not.
  size_t tail_start = mask.size();
  while (tail_start > 0 && (mask[tail_start - 1] == '*' || mask[tail_start - 1] == '.')) {
    --tail_start;
  }
  // matched[j]: the mask's first i bytes can match the name's first j bytes.
  std::vector<char> matched(n + 1, 0);
  matched[0] = 1;
  bool whole = tail_start == 0 && n == 0;
  for (size_t i = 0; i < mask.size(); ++i) {
    const char m = mask[i];
    if (m == '*') {
      for (size_t j = 1; j <= n; ++j) matched[j] = matched[j] || matched[j - 1];
    } else {
      for (size_t j = n; j > 0; --j) {
        matched[j] = matched[j - 1] && (m == '?' || upper_ascii(m) == upper_ascii(name[j - 1]));
      }
      matched[0] = 0;
    }
    if (i + 1 >= tail_start && matched[n]) whole = true;
  }
  return whole;
}

}  // namespace native_layer
