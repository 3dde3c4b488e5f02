// The order a sorted list box gives its items on Wine: CompareStringA for
// English (United States) with case ignored (NORM_IGNORECASE, as lstrcmpiA),
// on code page 1252 text. The weights are measured under Wine by
// tools/collation_probe_main.cc. Pure, and built on both platforms: the native
// layer answers CompareStringA with it, and the tests under Wine hold it against
// the real one.
#ifndef VINTRELL_PLATFORM_COLLATION_H_
#define VINTRELL_PLATFORM_COLLATION_H_

#include <string_view>

namespace collation {

// Negative, 0 or positive as `a` sorts before, level with or after `b`:
//   1. letters and digits, accents and case aside (punctuation before digits,
//      digits before letters; æ, œ and ß count as two letters);
//   2. accents, from the first letter on;
//   3. what is left of a difference after case (a superscript digit, say);
//   4. hyphens, apostrophes and the like, by position and then kind.
// Control characters and the bytes that code page 1252 leaves undefined are not
// seen at all; a NUL byte neither.
int compare_ignoring_case(std::string_view a, std::string_view b);

// Where a sorted list box puts a new item among `count` items in its order: a
// binary search that stops at the first item it meets that compares level
// with the new one, and puts the new one before it. `order(i)` compares the
// new item with item i (negative, 0 or positive).
template <typename Order>
int sorted_insert_position(int count, Order order) {
  int low = 0, high = count - 1;
  while (low <= high) {
    const int middle = (low + high) / 2;
    const int found = order(middle);
    if (found == 0) return middle;
    if (found < 0) {
      high = middle - 1;
    } else {
      low = middle + 1;
    }
  }
  return low;
}

}  // namespace collation

#endif  // VINTRELL_PLATFORM_COLLATION_H_
