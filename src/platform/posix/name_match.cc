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

uint16_t name_sort_weight(char c) {
  // Code page 1252 from 0x80 to 0x9F; every other byte is its own character.
  static const uint16_t kHigh[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  const unsigned char u = static_cast<unsigned char>(fold_name_case(c));
  return u >= 0x80 && u <= 0x9F ? kHigh[u - 0x80] : u;
}

namespace {

bool same_folded(std::string_view a, std::string_view b) {
  for (size_t i = 0; i < a.size(); ++i) {
    if (fold_name_case(a[i]) != fold_name_case(b[i])) return false;
  }
  return true;
}

}  // namespace

bool name_matches_mask(std::string_view mask, std::string_view name) {
  const size_t n = name.size();
  // A search lists a whole folder against "*.PMR": a leading star and no other
  // wildcard, ending in a byte that must be matched, asks only for the end.
  if (mask.size() > 1 && mask[0] == '*' && mask.find_first_of("*?", 1) == std::string_view::npos &&
      mask.back() != '.') {
    const std::string_view tail = mask.substr(1);
    return n >= tail.size() && same_folded(tail, name.substr(n - tail.size()));
  }
  // Without a star a mask matches no name longer than itself.
  if (mask.find('*') == std::string_view::npos && n > mask.size()) return false;
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
