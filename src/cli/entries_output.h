// The views of --entries, --json --entries and --csv: the records, fields and
// entries under each file with a hit, written as they are made so that a
// book's matches are never all held as text at once.
#ifndef VINTRELL_CLI_ENTRIES_OUTPUT_H_
#define VINTRELL_CLI_ENTRIES_OUTPUT_H_

#include <string>

#include "cli/code_page.h"
#include "cli/output.h"
#include "cli/records.h"
#include "cli/report.h"
#include "cli/terminal.h"
#include "search/search.h"

namespace vintrell {

// Standard output in pieces: text is gathered and written once 64 KiB is held.
// A failed write is reported once ("write error: ...") and ends the writing.
class StreamedOutput {
 public:
  StreamedOutput(TextKind kind, ErrorReport* errors) : kind_(kind), errors_(errors) {}
  std::string& text() { return text_; }
  // Writes what is held once it is 64 KiB or more, or all of it when `all`.
  // False once a write has failed.
  bool drain(bool all = false);
  bool failed() const { return failed_; }

 private:
  TextKind kind_;
  ErrorReport* errors_;
  std::string text_;
  bool failed_ = false;
};

// What is kept of one file with a hit for these views.
struct FileMatches {
  BookMatches book;  // a book's records or fields
};

// The lines under a result line: a book's records (record_line) or fields, a
// list's entries (entry_line), each indented by four blanks.
void write_entry_lines(const ScanDetails& details, const FileMatches& matches, SearchKind kind,
                       NestedLists* nested, const LineRenderer& renderer, StreamedOutput* out);

// The result's JSON line `object_line` (one object and "\n") with its entries
// added: "records" for a book laid out in records, else "matches" (a nested
// list's entry as {"entry":..,"list":{"file":..,"title":..}}).
void write_json_entries(const std::string& object_line, const ScanDetails& details,
                        const FileMatches& matches, SearchKind kind, NestedLists* nested,
                        const CodePage& code_page, StreamedOutput* out);

// --csv (RFC 4180, UTF-8, CR LF): the header row, then per file the rows of its
// matching records (book,name,of,key,street,postal,phone,fax,notes,email) or
// entries (list,entry). `path` is UTF-8. A book not laid out in records has
// no rows.
std::string csv_header(SearchKind kind);
void write_csv_rows(const std::string& path, const ScanDetails& details,
                    const FileMatches& matches, SearchKind kind, NestedLists* nested,
                    const CodePage& code_page, StreamedOutput* out);
// One CSV field: quoted when it holds a comma, a quote, CR or LF.
std::string csv_field(const std::string& utf8);

}  // namespace vintrell

#endif  // VINTRELL_CLI_ENTRIES_OUTPUT_H_
