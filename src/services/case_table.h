// The upper-case table the search folds by. A pure function with no
// dependencies, so the native layer's list box can use it as the search core does.
#ifndef VINTRELL_SERVICES_CASE_TABLE_H_
#define VINTRELL_SERVICES_CASE_TABLE_H_

namespace vintrell {

// The fixed table: a-z to A-Z and code page 437's seven letter pairs above 0x7F;
// every other byte maps to itself. Unless use_upper_case_table put another in
// its place.
unsigned char upper_case_byte(unsigned char c);

// The table in force, 256 bytes, and for each byte the bytes that fold to it:
// at most two (a byte and its small form), `folded_count[c]` of them.
struct FoldTable {
  unsigned char upper[256];
  unsigned char folded_from[256][2];
  unsigned char folded_count[256];
};
const FoldTable& fold_table();

// Puts `upper` (256 bytes) in the fixed table's place, or the fixed table back
// for nullptr. A byte that would gain a third source keeps its own value. For
// the command line's --fold=codepage; only while no search runs.
void use_upper_case_table(const unsigned char* upper);

}  // namespace vintrell

#endif  // VINTRELL_SERVICES_CASE_TABLE_H_
