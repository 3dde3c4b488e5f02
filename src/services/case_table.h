// The fixed upper-case table. A pure function with no dependencies, so the
// native layer's list box can use it as the search core does.
#ifndef VINTRELL_SERVICES_CASE_TABLE_H_
#define VINTRELL_SERVICES_CASE_TABLE_H_

namespace vintrell {

// a-z to A-Z and code page 437's seven letter pairs above 0x7F; every other byte
// maps to itself.
unsigned char upper_case_byte(unsigned char c);

}  // namespace vintrell

#endif  // VINTRELL_SERVICES_CASE_TABLE_H_
