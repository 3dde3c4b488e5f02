#include "search/occurrence_count.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "runtime/runtime.h"
#include "services/case_table.h"

namespace vintrell {
namespace {

// Candidate starts are tested this many at a time, in loops of fixed length
// that compilers turn into vector code.
constexpr size_t kBlock = 64;

// Bytes from most to least common in address books: NUL padding, blanks, the
// letters of ".com", ".org" and "example", then the rest roughly by their
// frequency in names.
const char kCommonFirst[] = " EAOMTCNIRSL.@GPXHDUYWBF0123456789-,KV<>\"()JQZ";

// How common a byte is once upper-cased: the lower, the fewer candidates.
int commonness(unsigned char c) {
  c = upper_case_byte(c);
  if (c == 0) return 1000;
  const char* at = std::strchr(kCommonFirst, c);
  return at == nullptr ? 0 : static_cast<int>(sizeof kCommonFirst - (at - kCommonFirst));
}

class Matcher {
 public:
  Matcher(const unsigned char* text, size_t size, const unsigned char* search, size_t n, bool fold)
      : text_(text), size_(size), search_(search), n_(n) {
    for (int b = 0; b < 256; ++b) {
      unsigned char c = static_cast<unsigned char>(b);
      map_[b] = fold ? upper_case_byte(c) : c;
    }
  }

  int32_t count() {
    // A byte that the table never yields (a lower-case letter) cannot occur.
    for (size_t i = 0; i < n_; ++i) {
      if (preimage(search_[i]).empty) return 0;
    }
    return count_by_filtering();
  }

 private:
  // The bytes of the subject that stand for one byte of the search: itself, and
  // its lower-case partner where the table has one. None has more than two.
  struct Preimage {
    unsigned char a = 0;
    unsigned char b = 0;
    bool empty = true;
  };

  Preimage preimage(unsigned char c) const {
    Preimage p;
    for (int x = 0; x < 256; ++x) {
      if (map_[x] != c) continue;
      (p.empty ? p.a : p.b) = static_cast<unsigned char>(x);
      if (p.empty) p.b = p.a;
      p.empty = false;
    }
    return p;
  }

  // Every start is tested, by the search's two rarest bytes (a search of one
  // byte: that byte twice) for a whole block of starts at once.
  int32_t count_by_filtering() {
    size_t first = 0;
    for (size_t i = 1; i < n_; ++i) {
      if (commonness(search_[i]) < commonness(search_[first])) first = i;
    }
    size_t second = first;
    for (size_t i = 0; i < n_; ++i) {
      if (i == first) continue;
      if (second == first || commonness(search_[i]) < commonness(search_[second])) second = i;
    }
    const Preimage p1 = preimage(search_[first]);
    const Preimage p2 = preimage(search_[second]);
    const size_t last_start = size_ - n_ + 1;  // one past the last possible start
    size_t start = 0;
#if defined(__SSE2__)
    // 32 starts per step, their flags as the bits of one word. The loads end
    // at most at the last byte: start + 31 + first < last_start + n - 1 = size.
    const __m128i a1 = _mm_set1_epi8(static_cast<char>(p1.a));
    const __m128i b1 = _mm_set1_epi8(static_cast<char>(p1.b));
    const __m128i a2 = _mm_set1_epi8(static_cast<char>(p2.a));
    const __m128i b2 = _mm_set1_epi8(static_cast<char>(p2.b));
    auto flags_of = [&](const unsigned char* x, const unsigned char* y) {
      const __m128i vx = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x));
      const __m128i vy = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y));
      const __m128i hit = _mm_and_si128(_mm_or_si128(_mm_cmpeq_epi8(vx, a1), _mm_cmpeq_epi8(vx, b1)),
                                        _mm_or_si128(_mm_cmpeq_epi8(vy, a2), _mm_cmpeq_epi8(vy, b2)));
      return static_cast<uint32_t>(_mm_movemask_epi8(hit));
    };
    for (; start + 32 <= last_start; start += 32) {
      const unsigned char* x = text_ + start + first;
      const unsigned char* y = text_ + start + second;
      uint32_t flags = flags_of(x, y) | (flags_of(x + 16, y + 16) << 16);
      while (flags != 0) {
        const size_t at = start + static_cast<size_t>(__builtin_ctz(flags));
        flags &= flags - 1;
        if (matches_at(at)) count_at(at);
      }
    }
#endif
    // Without SSE2, blocks in loops of fixed length that compilers vectorise;
    // with it, what is left of the last 32 starts.
    for (; start + kBlock <= last_start; start += kBlock) {
      const unsigned char* x = text_ + start + first;
      const unsigned char* y = text_ + start + second;
      unsigned char candidate[kBlock];
      for (size_t k = 0; k < kBlock; ++k) {
        candidate[k] = static_cast<unsigned char>(((x[k] == p1.a) | (x[k] == p1.b)) &
                                                  ((y[k] == p2.a) | (y[k] == p2.b)));
      }
      // Eight flags at a time, so that a block with few candidates costs little.
      for (size_t word = 0; word < kBlock; word += 8) {
        uint64_t flags;
        std::memcpy(&flags, candidate + word, 8);
        if (flags == 0) continue;
        for (size_t k = word; k < word + 8; ++k) {
          if (candidate[k] && matches_at(start + k)) count_at(start + k);
        }
      }
    }
    for (; start < last_start; ++start) {
      if (matches_at(start)) count_at(start);
    }
    return count_;
  }

  // Counts the occurrence at `at` unless it overlaps the last one counted.
  void count_at(size_t at) {
    if (at < next_) return;
    ++count_;
    next_ = at + n_;
  }

  bool matches_at(size_t at) const {
    const unsigned char* t = text_ + at;
    for (size_t i = 0; i < n_; ++i) {
      if (map_[t[i]] != search_[i]) return false;
    }
    return true;
  }

  const unsigned char* text_;
  size_t size_;
  const unsigned char* search_;
  size_t n_;
  unsigned char map_[256];  // the upper-case table, or every byte to itself
  int32_t count_ = 0;
  size_t next_ = 0;  // the first start that does not overlap the last occurrence
};

}  // namespace

int32_t count_occurrences_in(std::string_view subject, std::string_view search, bool fold) {
  ProcedureFrame frame;
  if (search.empty() || subject.size() < search.size()) return 0;
  Matcher matcher(reinterpret_cast<const unsigned char*>(subject.data()), subject.size(),
                  reinterpret_cast<const unsigned char*>(search.data()), search.size(), fold);
  return matcher.count();
}

}  // namespace vintrell
