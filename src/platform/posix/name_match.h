// How FindFirstFileA matches an entry name against the last component of its
// mask. A pure function, kept apart so that it can be fuzzed on its own.
#ifndef VINTRELL_PLATFORM_POSIX_NAME_MATCH_H_
#define VINTRELL_PLATFORM_POSIX_NAME_MATCH_H_

#include <cstdint>
#include <string_view>

namespace native_layer {

// The byte that a name byte is compared as where case does not count: for a
// letter of the ANSI code page (1252) its upper-case partner, else itself.
char fold_name_case(char c);

// Where a name byte sorts in a listing: the Unicode character that its folded
// form stands for in code page 1252.
uint16_t name_sort_weight(char c);

// True when `name` matches `mask`: `*` stands for any run of bytes, `?` for
// exactly one, every other byte for itself without regard to case; once
// the name is used up, what is left of the mask may hold only `*` and `.`
// (so `*.*` also matches names without a dot, as on Windows). O(mask x name)
// time, O(name) memory.
bool name_matches_mask(std::string_view mask, std::string_view name);

}  // namespace native_layer

#endif  // VINTRELL_PLATFORM_POSIX_NAME_MATCH_H_
