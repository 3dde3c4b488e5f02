// What --entries, --json and --csv show of a file with a hit: for an address
// book laid out as the mail client writes it (a 128-byte header, then 458-byte
// records) the records that hold the text, field by field; for a book of any
// other size the NUL-delimited fields that hold it; for a list its matching
// entries, a nested list's entry ("@FILE") with that list's title.
#ifndef VINTRELL_CLI_RECORDS_H_
#define VINTRELL_CLI_RECORDS_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vintrell {

constexpr size_t kBookHeaderSize = 128;
constexpr size_t kBookRecordSize = 458;

// A record's text fields, in their order in the record; `key` is also the name
// the JSON and CSV give the field.
struct RecordField {
  const char* key;
  size_t offset;  // in the record, after its 2-byte flag
  size_t size;
};
constexpr size_t kRecordFieldCount = 9;
extern const RecordField kRecordFields[kRecordFieldCount];
enum : size_t { kName = 0, kOf = 1, kEmail = 8 };

// Whether a book of `size` bytes is a header and whole records.
inline bool laid_out_in_records(size_t size) {
  return size >= kBookHeaderSize && (size - kBookHeaderSize) % kBookRecordSize == 0;
}

// One record that holds the text: each field's bytes up to its first NUL (all
// of them when it has none), and a bit (1 << field) for each field an
// occurrence lies in, wholly or partly.
struct BookRecord {
  std::string fields[kRecordFieldCount];
  uint32_t matched = 0;
};

// A book's matches, held compactly until they are shown: the matching records'
// bytes, or the matching fields each followed by a NUL.
class BookMatches {
 public:
  // `search` as the search has it (upper-cased when `fold`); the occurrences
  // are the count's own: leftmost first, none overlapping another, each byte
  // compared through the upper-case table in force when `fold`.
  BookMatches(std::string_view book, std::string_view search, bool fold);
  BookMatches() = default;

  bool records() const { return records_; }
  size_t record_count() const { return matched_.size(); }
  BookRecord record(size_t index) const;
  // The fields of a book not laid out in records: calls `each` per field.
  template <typename Each>
  void for_each_field(Each each) const {
    for (size_t at = 0; at < bytes_.size();) {
      size_t end = bytes_.find('\0', at);
      each(std::string_view(bytes_).substr(at, end - at));
      at = end + 1;
    }
  }

 private:
  bool records_ = false;
  std::string bytes_;
  std::vector<uint32_t> matched_;
};

// A record as its line under the book shows it (code page bytes): the name,
// the e-mail address in angle brackets, the organisation after a comma, then,
// when the text lies in none of those three, in brackets each field it lies
// in: "Smithers, Viggo <viggo@example.org>, Sales (phone: +44 1234)".
std::string record_line(const BookRecord& record);

// The list that an entry "@FILE" names, when FILE is a list (*.PML) of the same
// folder: its name as listed and its title (code page bytes, up to the first
// NUL). Each name is looked up once per folder.
class NestedLists {
 public:
  // `folder` ends in the separator, as a search request's does.
  explicit NestedLists(std::string folder) : folder_(std::move(folder)) {}
  struct Named {
    bool found = false;
    std::string file;
    std::string title;
  };
  const Named& of_entry(const std::string& entry);

 private:
  std::string folder_;
  std::map<std::string, Named> known_;
};

// The entry's line text: the entry, and " (list: TITLE)" for a nested list found.
std::string entry_line(const std::string& entry, const NestedLists::Named& named);

}  // namespace vintrell

#endif  // VINTRELL_CLI_RECORDS_H_
