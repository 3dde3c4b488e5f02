#include "platform/posix/name_match.h"

#include <vector>

namespace native_layer {

char fold_name_case(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  // Wine 8.0, code page 1252: a-z, E0-FE but F7 (the division sign), and the
  // pairs 9A/8A, 9C/8C, 9E/8E and FF/9F name the same file in either case.
  if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) {
    return static_cast<char>(u - 0x20);
  }
  if (u == 0x9A || u == 0x9C || u == 0x9E) return static_cast<char>(u - 0x10);
  if (u == 0xFF) return static_cast<char>(0x9F);
  return c;
}

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
        matched[j] =
            matched[j - 1] && (m == '?' || fold_name_case(m) == fold_name_case(name[j - 1]));
      }
      matched[0] = 0;
    }
    if (i + 1 >= tail_start && matched[n]) whole = true;
  }
  return whole;
}

}  // namespace native_layer
