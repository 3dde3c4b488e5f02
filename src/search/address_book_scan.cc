#include "search/address_book_scan.h"

#include "runtime/runtime.h"
#include "search/occurrence_count.h"
#include "search/search.h"
#include "services/file_reading.h"
#include "services/text.h"

namespace vintrell {

std::optional<std::string> scan_address_book(const std::string& path,
                                             const std::string& search_text, bool match_case,
                                             int* read_error, ScanDetails* details,
    int16_t file_number) {
  ProcedureFrame frame;
  open_for_whole_file_reading(path, file_number);
  // The open's own error names the cause; the calls after a failed open only
  // add "not open".
  const int open_error = opening_error(frame.run_time_error());
  // A file that did not open measures 0 and reads as the empty string.
  double size = file_length(file_number);
  // 2 GiB or more does not fit the 32-bit count: the negative count reads nothing.
  int32_t count = size < 2147483648.0 ? static_cast<int32_t>(size) : -1;
  const std::string_view buffer = read_bytes_reusing(file_number, count);
  if (read_error != nullptr) {
    *read_error = open_error != 0 ? open_error : error_number_of(frame.run_time_error());
  }

  // Counted as in the upper-cased buffer, without making that copy of the book;
  // the buffer keeps its bytes as read, so the title keeps its own case.
  int32_t occurrences = count_occurrences_in(buffer, search_text, !match_case);
  if (occurrences <= 0) return std::nullopt;
  if (details != nullptr && details->want_book) details->book.assign(buffer.data(), buffer.size());
  if (details != nullptr && details->want_matches) {
    // The book's records are not parsed: each run of non-NUL bytes is one field,
    // judged by the count's own rule.
    const std::string_view whole = buffer;
    for (size_t at = 0; at < whole.size();) {
      size_t end = whole.find('\0', at);
      if (end == std::string_view::npos) end = whole.size();
      std::string_view field = whole.substr(at, end - at);
      if (!field.empty() && count_occurrences_in(field, search_text, !match_case) > 0) {
        details->matches.emplace_back(field);
      }
      at = end + 1;
    }
  }
  // The title is the buffer up to its first NUL, or all of it: a book without
  // NUL bytes is held once more, as its line, and no further.
  const std::string_view title = buffer.substr(0, buffer.find('\0'));
  if (details != nullptr) {
    details->title.assign(title.data(), title.size());
    details->count = occurrences;
  }
  return concatenate(title,
                     concatenate(concatenate(" (", number_to_text(occurrences)), " occurences)"));
}

}  // namespace vintrell
