// The folded count both benchmark floors make: the non-overlapping occurrences
// of an upper-case text, ASCII letters folded, sixteen bytes at a time.
#ifndef VINTRELL_TOOLS_BENCH_COUNT_H_
#define VINTRELL_TOOLS_BENCH_COUNT_H_

#include <emmintrin.h>

#include <cstddef>
#include <string>

namespace bench {

inline unsigned char fold(unsigned char c) { return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c; }

// The non-overlapping occurrences of `text` (upper case) in [begin, end),
// letters folded: sixteen bytes at a time for either case of the first byte,
// each candidate then checked byte by byte.
inline long count(const unsigned char* begin, const unsigned char* end, const std::string& text) {
  const size_t n = text.size();
  const unsigned char* t = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char lower = t[0] >= 'A' && t[0] <= 'Z' ? t[0] + ('a' - 'A') : t[0];
  const __m128i upper16 = _mm_set1_epi8(static_cast<char>(t[0]));
  const __m128i lower16 = _mm_set1_epi8(static_cast<char>(lower));
  long found = 0;
  const unsigned char* next = begin;  // no match may start before this
  auto check = [&](const unsigned char* p) {
    if (p < next || static_cast<size_t>(end - p) < n) return;
    for (size_t i = 1; i < n; ++i) {
      if (fold(p[i]) != t[i]) return;
    }
    ++found;
    next = p + n;
  };
  const unsigned char* p = begin;
  for (; end - p >= 16; p += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(v, upper16), _mm_cmpeq_epi8(v, lower16))));
    for (; mask != 0; mask &= mask - 1) check(p + __builtin_ctz(mask));
  }
  for (; p < end; ++p) {
    if (*p == t[0] || *p == lower) check(p);
  }
  return found;
}

}  // namespace bench

#endif  // VINTRELL_TOOLS_BENCH_COUNT_H_
