#include "services/text_search.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "services/case_table.h"

namespace vintrell {
namespace {

// Bytes from most to least common in address books and lists: NUL padding,
// blanks, the letters of ".com", ".org" and "example", then the rest roughly
// by their frequency in names.
const char kCommonFirst[] = " EAOMTCNIRSL.@GPXHDUYWBF0123456789-,KV<>\"()JQZ";

// How common a byte is once upper-cased: the lower, the fewer candidates.
int commonness(unsigned char c) {
  c = upper_case_byte(c);
  if (c == 0) return 1000;
  const char* at = static_cast<const char*>(std::memchr(kCommonFirst, c, sizeof kCommonFirst - 1));
  return at == nullptr ? 0 : static_cast<int>(sizeof kCommonFirst - (at - kCommonFirst));
}

// The maximal suffix of `x` under the byte order, or its reverse: its start
// minus one, and its period.
ptrdiff_t maximal_suffix(const unsigned char* x, ptrdiff_t m, bool reverse, size_t* period) {
  ptrdiff_t ms = -1, j = 0, k = 1, p = 1;
  while (j + k < m) {
    const unsigned char a = x[j + k];
    const unsigned char b = x[ms + k];
    if (reverse ? a > b : a < b) {
      j += k;
      k = 1;
      p = j - ms;
    } else if (a == b) {
      if (k != p) {
        ++k;
      } else {
        j += p;
        k = 1;
      }
    } else {
      ms = j;
      j = ms + 1;
      k = p = 1;
    }
  }
  *period = static_cast<size_t>(p);
  return ms;
}

}  // namespace

namespace {

// A plain pointer: MinGW's thread exit frees thread storage before it runs the
// destructors of thread_local objects.
thread_local TextSearch* t_last_search = nullptr;

}  // namespace

const TextSearch& TextSearch::for_text(std::string_view text, bool fold) {
  TextSearch*& last = t_last_search;
  // The table in force may have changed since (--fold=codepage).
  if (last == nullptr || last->fold_ != fold || last->text_ != text ||
      (fold && std::memcmp(last->map_, fold_table().upper, sizeof last->map_) != 0)) {
    delete last;
    last = new TextSearch(text, fold);
  }
  return *last;
}

void TextSearch::release_for_thread() {
  delete t_last_search;
  t_last_search = nullptr;
}

TextSearch::TextSearch(std::string_view text, bool fold) : text_(text), fold_(fold) {
  for (int b = 0; b < 256; ++b) {
    const unsigned char c = static_cast<unsigned char>(b);
    map_[b] = fold ? upper_case_byte(c) : c;
  }
  const size_t n = text_.size();
  if (n == 0) return;
  const unsigned char* x = reinterpret_cast<const unsigned char*>(text_.data());
  // The subject bytes standing for one text byte: itself and, folded, its small
  // form; the table maps no more than two bytes to one.
  auto preimage = [&](unsigned char c, unsigned char* a, unsigned char* b) {
    int found = 0;
    for (int v = 0; v < 256; ++v) {
      if (map_[v] != c) continue;
      (found == 0 ? *a : *b) = static_cast<unsigned char>(v);
      if (found == 0) *b = *a;
      ++found;
    }
    return found != 0;
  };
  for (size_t i = 0; i < n; ++i) {
    unsigned char a, b;
    if (!preimage(x[i], &a, &b)) never_ = true;
  }
  if (never_) return;
  for (size_t i = 1; i < n; ++i) {
    if (commonness(x[i]) < commonness(x[first_])) first_ = i;
  }
  second_ = first_;
  for (size_t i = 0; i < n; ++i) {
    if (i == first_) continue;
    if (second_ == first_ || commonness(x[i]) < commonness(x[second_])) second_ = i;
  }
  preimage(x[first_], &first_a_, &first_b_);
  preimage(x[second_], &second_a_, &second_b_);

  // The critical factorisation of Crochemore and Perrin's Two-Way search.
  size_t p1, p2;
  const ptrdiff_t m = static_cast<ptrdiff_t>(n);
  const ptrdiff_t i1 = maximal_suffix(x, m, false, &p1);
  const ptrdiff_t i2 = maximal_suffix(x, m, true, &p2);
  ell_ = i1 > i2 ? i1 : i2;
  period_ = i1 > i2 ? p1 : p2;
  periodic_ = period_ < n && std::memcmp(x, x + period_, static_cast<size_t>(ell_ + 1)) == 0;
  if (!periodic_) {
    const size_t left = static_cast<size_t>(ell_ + 1);
    period_ = (left > n - left ? left : n - left) + 1;
  }
}

bool TextSearch::matches_at(const unsigned char* at) const {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(text_.data());
  for (size_t i = 0; i < text_.size(); ++i) {
    if (map_[at[i]] != x[i]) return false;
  }
  return true;
}

// Two-Way: at most about two comparisons per subject byte.
size_t TextSearch::two_way(const unsigned char* y, size_t size, size_t from) const {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(text_.data());
  const ptrdiff_t m = static_cast<ptrdiff_t>(text_.size());
  const ptrdiff_t n = static_cast<ptrdiff_t>(size);
  const ptrdiff_t ell = ell_;
  const ptrdiff_t per = static_cast<ptrdiff_t>(period_);
  ptrdiff_t j = static_cast<ptrdiff_t>(from);
  if (periodic_) {
    ptrdiff_t memory = -1;
    while (j <= n - m) {
      ptrdiff_t i = (ell > memory ? ell : memory) + 1;
      while (i < m && x[i] == map_[y[i + j]]) ++i;
      if (i >= m) {
        i = ell;
        while (i > memory && x[i] == map_[y[i + j]]) --i;
        if (i <= memory) return static_cast<size_t>(j);
        j += per;
        memory = m - per - 1;
      } else {
        j += i - ell;
        memory = -1;
      }
    }
  } else {
    while (j <= n - m) {
      ptrdiff_t i = ell + 1;
      while (i < m && x[i] == map_[y[i + j]]) ++i;
      if (i >= m) {
        i = ell;
        while (i >= 0 && x[i] == map_[y[i + j]]) --i;
        if (i < 0) return static_cast<size_t>(j);
        j += per;
      } else {
        j += i - ell;
      }
    }
  }
  return npos;
}

// Candidate starts by the text's two rarest bytes, many at a time, each checked
// whole. Checking costs up to the text's length per candidate, so once the
// checks have cost more than a few passes over what was scanned (repetitive
// text), the rest goes to Two-Way, which stays linear.
size_t TextSearch::filtered(const unsigned char* y, size_t size, size_t from) const {
  const size_t n = text_.size();
  const size_t last_start = size - n + 1;  // one past the last possible start
  // Every call that finds something has moved past the text's length, so a
  // budget in proportion to it keeps the whole of a count or scan linear.
  size_t budget = 256 + 4 * n;
  size_t start = from;
  auto check = [&](size_t at, size_t* found) {
    if (!matches_at(y + at)) {
      const size_t cost = n < 16 ? 1 : n;
      if (budget < cost) return true;  // over budget: Two-Way from here on
      budget -= cost;
      return false;
    }
    *found = at;
    return true;
  };
#if defined(__SSE2__)
  const __m128i a1 = _mm_set1_epi8(static_cast<char>(first_a_));
  const __m128i b1 = _mm_set1_epi8(static_cast<char>(first_b_));
  const __m128i a2 = _mm_set1_epi8(static_cast<char>(second_a_));
  const __m128i b2 = _mm_set1_epi8(static_cast<char>(second_b_));
  auto flags_of = [&](const unsigned char* p, const unsigned char* q) {
    const __m128i vp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i vq = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    const __m128i hit = _mm_and_si128(_mm_or_si128(_mm_cmpeq_epi8(vp, a1), _mm_cmpeq_epi8(vp, b1)),
                                      _mm_or_si128(_mm_cmpeq_epi8(vq, a2), _mm_cmpeq_epi8(vq, b2)));
    return static_cast<uint32_t>(_mm_movemask_epi8(hit));
  };
  // 32 starts a step; the loads end at most at the last byte of the subject.
  for (; start + 32 <= last_start; start += 32) {
    const unsigned char* p = y + start + first_;
    const unsigned char* q = y + start + second_;
    uint32_t flags = flags_of(p, q) | (flags_of(p + 16, q + 16) << 16);
    while (flags != 0) {
      const size_t at = start + static_cast<size_t>(__builtin_ctz(flags));
      flags &= flags - 1;
      size_t found = npos;
      if (check(at, &found)) return found != npos ? found : two_way(y, size, at);
    }
    budget += 32 / 4;  // scanning earns checking time
  }
#endif
  for (; start < last_start; ++start) {
    if ((start & 3) == 0) ++budget;
    const unsigned char p = y[start + first_];
    const unsigned char q = y[start + second_];
    if ((p != first_a_ && p != first_b_) || (q != second_a_ && q != second_b_)) continue;
    size_t found = npos;
    if (check(start, &found)) return found != npos ? found : two_way(y, size, start);
  }
  return npos;
}

size_t TextSearch::find(std::string_view subject, size_t from) const {
  const size_t n = text_.size();
  if (from > subject.size()) return npos;
  if (n == 0) return from;
  if (never_ || subject.size() - from < n) return npos;
  return filtered(reinterpret_cast<const unsigned char*>(subject.data()), subject.size(), from);
}

uint64_t TextSearch::count(std::string_view subject) const {
  if (text_.empty()) return 0;
  uint64_t count = 0;
  for (size_t at = find(subject, 0); at != npos; at = find(subject, at + text_.size())) ++count;
  return count;
}

}  // namespace vintrell
