// One distribution list (*.PML): a title line, then one entry per line; lines
// starting with a backslash are control lines.
#ifndef VINTRELL_SEARCH_DISTRIBUTION_LIST_SCAN_H_
#define VINTRELL_SEARCH_DISTRIBUTION_LIST_SCAN_H_

#include <optional>
#include <string>

#include "search/search.h"

namespace vintrell {

// Counts the entries of the list at `path` and those that contain `search_text`
// (both sides upper-cased with the fixed table unless `match_case`; `search_text`
// arrives upper-cased already). The title is the first line without its first 7
// bytes. At least one hit gives "<title> ( <hits> out of  <entries> entries)";
// otherwise, and for a file that cannot be opened, nothing. Opens the file as
// `file_number` (1 unless several
// scans run at once) and leaves it open: the caller closes it. `read_error`, when
// given, receives the run-time error number that kept the file from being read
// to its end, or 0. `details`, when given, receives the title and counts of a
// list with a hit, and its matching entry lines when it asks for them.
std::optional<std::string> scan_distribution_list(const std::string& path,
                                                  const std::string& search_text, bool match_case,
                                                  int* read_error = nullptr,
                                                  ScanDetails* details = nullptr,
    int16_t file_number = kScanFileNumber);

}  // namespace vintrell

#endif  // VINTRELL_SEARCH_DISTRIBUTION_LIST_SCAN_H_
