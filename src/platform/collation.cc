#include "platform/collation.h"

#include <cstddef>
#include <cstdint>

namespace collation {
namespace {

enum Kind : uint8_t { kIgnored = 0, kSpecial = 1, kWeighted = 2 };

struct ByteWeights {
  uint8_t kind;
  uint8_t elements;   // a weighted byte: 1, or 2 or 3 for one that expands
  uint16_t first[3];  // per element: the first-level weight
  uint8_t second[3];  // its rank among the elements of the same first level
  uint8_t third[3];   // its rank among those of the same first and second level
  uint8_t special;    // a special byte's rank among the special ones
};

#include "platform/collation_table.inc"

const ByteWeights& weights_of(char c) { return kByteWeights[static_cast<unsigned char>(c)]; }

unsigned weight_at(const ByteWeights& w, int level, unsigned element) {
  switch (level) {
    case 1: return w.first[element];
    case 2: return w.second[element];
    default: return w.third[element];
  }
}

// The weights of a string's elements at one level, in order.
class Elements {
 public:
  Elements(std::string_view text, int level) : text_(text), level_(level) {}

  bool next(unsigned* weight) {
    while (at_ < text_.size()) {
      const ByteWeights& w = weights_of(text_[at_]);
      if (w.kind == kWeighted && element_ < w.elements) {
        *weight = weight_at(w, level_, element_++);
        return true;
      }
      ++at_;
      element_ = 0;
    }
    return false;
  }

 private:
  std::string_view text_;
  int level_;
  size_t at_ = 0;
  unsigned element_ = 0;
};

// The special bytes of a string, each as its position (the number of elements
// before it) and its rank.
class Specials {
 public:
  explicit Specials(std::string_view text) : text_(text) {}

  bool next(long* position, unsigned* rank) {
    while (at_ < text_.size()) {
      const ByteWeights& w = weights_of(text_[at_++]);
      if (w.kind == kWeighted) elements_ += w.elements;
      if (w.kind == kSpecial) {
        *position = kEarlierSpecialFirst ? elements_ : -elements_;
        *rank = w.special;
        return true;
      }
    }
    return false;
  }

 private:
  std::string_view text_;
  size_t at_ = 0;
  long elements_ = 0;
};

int compare_level(std::string_view a, std::string_view b, int level) {
  Elements x(a, level), y(b, level);
  for (;;) {
    unsigned wx = 0, wy = 0;
    const bool more_x = x.next(&wx), more_y = y.next(&wy);
    if (!more_x || !more_y) return more_x ? 1 : (more_y ? -1 : 0);
    if (wx != wy) return wx < wy ? -1 : 1;
  }
}

int compare_specials(std::string_view a, std::string_view b) {
  Specials x(a), y(b);
  for (;;) {
    long px = 0, py = 0;
    unsigned rx = 0, ry = 0;
    const bool more_x = x.next(&px, &rx), more_y = y.next(&py, &ry);
    if (!more_x || !more_y) return more_x ? 1 : (more_y ? -1 : 0);
    if (px != py) return px < py ? -1 : 1;
    if (rx != ry) return rx < ry ? -1 : 1;
  }
}

}  // namespace

int compare_ignoring_case(std::string_view a, std::string_view b) {
  // Equal bytes weigh alike at every level and move the specials after them
  // alike, so a start both share decides nothing: results of one title share
  // most of their line.
  size_t shared = 0;
  const size_t shorter = a.size() < b.size() ? a.size() : b.size();
  while (shared < shorter && a[shared] == b[shared]) ++shared;
  a.remove_prefix(shared);
  b.remove_prefix(shared);
  for (int level = 1; level <= 3; ++level) {
    if (int order = compare_level(a, b, level)) return order;
  }
  return compare_specials(a, b);
}

}  // namespace collation
