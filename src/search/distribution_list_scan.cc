#include "search/distribution_list_scan.h"

#include <cstdint>

#include "runtime/runtime.h"
#include "search/search.h"
#include "services/file_reading.h"
#include "services/text.h"

namespace vintrell {
namespace {

constexpr int32_t kTitleStart = 8;  // the title line's first 7 bytes are not title
constexpr int32_t kToTheEnd = 2147483647;

void count_one(int32_t* counter) {
  // A list of more than 2^31 lines stays at the largest count instead of wrapping.
  if (*counter < INT32_MAX) ++*counter;
}

}  // namespace

std::optional<std::string> scan_distribution_list(const std::string& path,
                                                  const std::string& search_text, bool match_case,
                                                  int* read_error, ScanDetails* details) {
  ProcedureFrame frame;
  open_for_line_reading(path, kScanFileNumber);
  int open_error = error_number_of(frame.run_time_error());
  std::string title = extract(read_line(kScanFileNumber), kTitleStart, kToTheEnd);
  int32_t entries = 0;
  int32_t hits = 0;
  // The end test is the loop's only way out: it also answers true for a file
  // whose open failed.
  std::string line;
  while (at_end_of_file(kScanFileNumber) == 0) {
    read_line_into(kScanFileNumber, &line);
    if (!line.empty() && line[0] == '\\') continue;  // a control line
    count_one(&entries);
    int32_t at = match_case ? find_text(1, line, search_text)
                            : find_text_in_upper_case(line, search_text);
    if (at > 0) {
      count_one(&hits);
      if (details != nullptr && details->want_matches) details->matches.push_back(line);
    }
  }
  if (read_error != nullptr) {
    // The loop never reads past the end, so "end of data" can only be the
    // title read of an empty list, which is no failure.
    int last = error_number_of(frame.run_time_error());
    *read_error = open_error != 0 ? open_error : last == kErrorEndOfData ? 0 : last;
  }
  if (hits <= 0) {
    if (details != nullptr) details->matches.clear();
    return std::nullopt;
  }
  if (details != nullptr) {
    details->title = title;
    details->count = hits;
    details->entries = entries;
  }
  std::string counts =
      concatenate(concatenate(number_to_text(hits), " out of "), number_to_text(entries));
  return concatenate(concatenate(concatenate(title, " ("), counts), " entries)");
}

}  // namespace vintrell
