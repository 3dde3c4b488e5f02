// One address book (*.PMR): the whole file is searched, and its title is the text
// before the first NUL byte.
#ifndef VINTRELL_SEARCH_ADDRESS_BOOK_SCAN_H_
#define VINTRELL_SEARCH_ADDRESS_BOOK_SCAN_H_

#include <optional>
#include <string>

#include "search/search.h"

namespace vintrell {

// Counts the non-overlapping occurrences of `search_text` in the file at `path`
// (both sides upper-cased with the fixed table unless `match_case`; `search_text`
// arrives upper-cased already). A count above 0 gives the result line
// "<title> ( <count> occurences)"; otherwise, and for a file that cannot be
// opened or read, nothing. Opens the file as `file_number` (1 unless several
// scans run at once) and leaves it open:
// the caller closes it. `read_error`, when given, receives the run-time error
// number that kept the file from being read whole, or 0. `details`, when
// given, receives the title and count of a file with a hit, and its matching
// fields when it asks for them.
std::optional<std::string> scan_address_book(const std::string& path,
                                             const std::string& search_text, bool match_case,
                                             int* read_error = nullptr,
                                             ScanDetails* details = nullptr,
    int16_t file_number = kScanFileNumber);

}  // namespace vintrell

#endif  // VINTRELL_SEARCH_ADDRESS_BOOK_SCAN_H_
