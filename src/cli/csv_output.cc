#include "cli/entries_output.h"

namespace vintrell {

std::string csv_field(const std::string& utf8) {
  if (utf8.find_first_of(",\"\r\n") == std::string::npos) return utf8;
  std::string quoted = "\"";
  for (char c : utf8) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string csv_header(SearchKind kind) {
  if (kind == SearchKind::kDistributionLists) return "list,entry\r\n";
  std::string header = "book";
  for (const RecordField& field : kRecordFields) header += std::string(",") + field.key;
  return header + "\r\n";
}

void write_csv_rows(const std::string& path, const ScanDetails& details,
                    const FileMatches& matches, SearchKind kind, NestedLists* nested,
                    const CodePage& code_page, StreamedOutput* out) {
  const std::string first = csv_field(path);
  if (kind == SearchKind::kDistributionLists) {
    for (const std::string& entry : details.matches) {
      out->text() += first + "," +
                     csv_field(code_page_to_utf8(entry_line(entry, nested->of_entry(entry)),
                                                 code_page)) +
                     "\r\n";
      if (!out->drain()) return;
    }
    return;
  }
  const BookMatches& book = matches.book;
  if (!book.records()) return;
  for (size_t i = 0; i < book.record_count(); ++i) {
    const BookRecord record = book.record(i);
    std::string row = first;
    for (const std::string& field : record.fields) {
      row += ',';
      row += csv_field(code_page_to_utf8(field, code_page));
    }
    out->text() += row + "\r\n";
    if (!out->drain()) return;
  }
}

}  // namespace vintrell
