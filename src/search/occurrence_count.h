// Occurrence counting for whole address books, without an upper-cased copy of
// the book.
#ifndef VINTRELL_SEARCH_OCCURRENCE_COUNT_H_
#define VINTRELL_SEARCH_OCCURRENCE_COUNT_H_

#include <cstdint>
#include <string_view>

namespace vintrell {

// What count_occurrences(upper_case(subject), search) answers when `fold`, and
// count_occurrences(subject, search) when not: the non-overlapping occurrences of
// `search`, leftmost first; 0 for an empty `search`. Needs no memory of its own.
int32_t count_occurrences_in(std::string_view subject, std::string_view search, bool fold);

}  // namespace vintrell

#endif  // VINTRELL_SEARCH_OCCURRENCE_COUNT_H_
