// The fixed upper-case table and the order of the results list. Pure functions
// with no dependencies, so the native layer's sorted list box can use the very
// same comparison as the search core.
#ifndef VINTRELL_SERVICES_CASE_TABLE_H_
#define VINTRELL_SERVICES_CASE_TABLE_H_

#include <string_view>

namespace vintrell {

// a-z to A-Z and code page 437's seven letter pairs above 0x7F; every other byte
// maps to itself.
unsigned char upper_case_byte(unsigned char c);

// The results list's order: byte by byte after mapping through the upper-case
// table; a prefix comes first. Negative, 0 or positive as a is before, level
// with or after b.
int compare_as_listed(std::string_view a, std::string_view b);

}  // namespace vintrell

#endif  // VINTRELL_SERVICES_CASE_TABLE_H_
