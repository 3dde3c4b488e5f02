#include "cli/records.h"

#include <cstring>

#include "platform/win32.h"
#include "runtime/runtime.h"
#include "services/case_table.h"
#include "services/file_reading.h"
#include "services/folder_listing.h"

namespace vintrell {

// After the record's 2-byte flag; 4 bytes of user data and 12 reserved follow.
const RecordField kRecordFields[kRecordFieldCount] = {
    {"name", 2, 40},     {"of", 42, 40},    {"key", 82, 12},
    {"street", 94, 60},  {"postal", 154, 60}, {"phone", 214, 24},
    {"fax", 238, 24},    {"notes", 262, 80}, {"email", 342, 100},
};

namespace {

// The search's comparison: each byte of the subject through `map`.
class Occurrences {
 public:
  Occurrences(std::string_view subject, std::string_view search, bool fold)
      : text_(reinterpret_cast<const unsigned char*>(subject.data())),
        size_(subject.size()),
        search_(reinterpret_cast<const unsigned char*>(search.data())),
        n_(search.size()) {
    const unsigned char* upper = fold_table().upper;
    for (int b = 0; b < 256; ++b) map_[b] = fold ? upper[b] : static_cast<unsigned char>(b);
  }

  // The first occurrence starting at or after `from` and before `to` (the end
  // of the subject at most), or npos.
  size_t next(size_t from, size_t to) const {
    if (n_ == 0 || size_ < n_) return std::string::npos;
    const size_t last_start = size_ - n_ + 1;
    if (to > last_start) to = last_start;
    for (size_t at = from; at < to; ++at) {
      if (map_[text_[at]] != search_[0]) continue;
      size_t k = 1;
      while (k < n_ && map_[text_[at + k]] == search_[k]) ++k;
      if (k == n_) return at;
    }
    return std::string::npos;
  }
  size_t length() const { return n_; }

 private:
  const unsigned char* text_;
  size_t size_;
  const unsigned char* search_;
  size_t n_;
  unsigned char map_[256];
};

std::string field_text(const char* record, const RecordField& field) {
  const char* start = record + field.offset;
  const void* nul = std::memchr(start, '\0', field.size);
  size_t length = nul == nullptr ? field.size : static_cast<size_t>(static_cast<const char*>(nul) - start);
  return std::string(start, length);
}

}  // namespace

BookMatches::BookMatches(std::string_view book, std::string_view search, bool fold) {
  const Occurrences found(book, search, fold);
  records_ = laid_out_in_records(book.size());
  if (!records_) {
    // Each maximal run of non-NUL bytes is one field; the text holds no NUL, so
    // an occurrence lies within one field.
    for (size_t at = 0; at < book.size();) {
      size_t end = book.find('\0', at);
      if (end == std::string_view::npos) end = book.size();
      if (end > at && found.next(at, end) != std::string::npos) {
        bytes_.append(book.data() + at, end - at);
        bytes_ += '\0';
      }
      at = end + 1;
    }
    return;
  }
  // Every occurrence as counted; each marks the records and fields it touches.
  size_t current = std::string::npos;  // the record being gathered
  uint32_t bits = 0;
  auto close_record = [&] {
    if (current == std::string::npos) return;
    bytes_.append(book.data() + kBookHeaderSize + current * kBookRecordSize, kBookRecordSize);
    matched_.push_back(bits);
    current = std::string::npos;
    bits = 0;
  };
  for (size_t at = found.next(0, book.size()); at != std::string::npos;
       at = found.next(at + found.length(), book.size())) {
    const size_t end = at + found.length();  // one past the occurrence
    if (end <= kBookHeaderSize) continue;     // in the header alone
    const size_t from = at < kBookHeaderSize ? 0 : at - kBookHeaderSize;
    const size_t to = end - kBookHeaderSize;  // within the records
    for (size_t r = from / kBookRecordSize; r * kBookRecordSize < to; ++r) {
      if (r != current) {
        close_record();
        current = r;
      }
      const size_t start = r * kBookRecordSize;
      for (size_t f = 0; f < kRecordFieldCount; ++f) {
        const size_t field_start = start + kRecordFields[f].offset;
        const size_t field_end = field_start + kRecordFields[f].size;
        if (from < field_end && to > field_start) bits |= 1u << f;
      }
    }
  }
  close_record();
}

BookRecord BookMatches::record(size_t index) const {
  BookRecord record;
  const char* bytes = bytes_.data() + index * kBookRecordSize;
  for (size_t f = 0; f < kRecordFieldCount; ++f) record.fields[f] = field_text(bytes, kRecordFields[f]);
  record.matched = matched_[index];
  return record;
}

std::string record_line(const BookRecord& record) {
  std::string line = record.fields[kName];
  if (!record.fields[kEmail].empty()) {
    if (!line.empty()) line += ' ';
    line += "<" + record.fields[kEmail] + ">";
  }
  if (!record.fields[kOf].empty()) {
    if (!line.empty()) line += ", ";
    line += record.fields[kOf];
  }
  // The fields the text lies in, when the line shows it in none of its parts.
  const uint32_t shown = (1u << kName) | (1u << kOf) | (1u << kEmail);
  std::string others;
  for (size_t f = 0; f < kRecordFieldCount && (record.matched & shown) == 0; ++f) {
    if ((record.matched & (1u << f)) == 0) continue;
    if (!others.empty()) others += "; ";
    others += std::string(kRecordFields[f].key) + ": " + record.fields[f];
  }
  if (!others.empty()) line += (line.empty() ? "(" : " (") + others + ")";
  return line;
}

namespace {

// A name that can only be a file of this folder: no path, no wildcard, and the
// lists' own extension.
bool names_a_list_here(const std::string& name) {
  if (name.size() < 5 || name.size() > 255) return false;
  if (name.find_first_of("\\/:*?\"<>|") != std::string::npos) return false;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
  }
  std::string extension = name.substr(name.size() - 4);
  for (char& c : extension) c = static_cast<char>(upper_case_byte(static_cast<unsigned char>(c)));
  return extension == ".PML";
}

// The first line of a list, as far as a title goes.
bool read_title(const std::string& path, std::string* title) {
  PlatformOutcome outcome;
  HANDLE file = guarded_platform_call(&outcome, [&] {
    return open_existing_file(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  });
  if (file == INVALID_HANDLE_VALUE) return false;
  char buffer[512];
  DWORD read = 0;
  BOOL ok = guarded_platform_call(&outcome, [&] { return ReadFile(file, buffer, sizeof buffer, &read, nullptr); });
  PlatformOutcome ignored;
  guarded_platform_call(&ignored, [&] { return CloseHandle(file); });
  if (!ok) return false;
  std::string line(buffer, read);
  line = line.substr(0, line.find_first_of(std::string("\r\n\x1A", 3)));
  // The scan's own title: the line after its first 7 bytes ("\TITLE ").
  *title = line.size() > 7 ? line.substr(7) : std::string();
  *title = title->substr(0, title->find('\0'));
  return true;
}

}  // namespace

const NestedLists::Named& NestedLists::of_entry(const std::string& entry) {
  static const Named kNone;
  if (entry.empty() || entry[0] != '@') return kNone;
  std::string name = entry.substr(1);
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
  while (!name.empty() && (name[0] == ' ' || name[0] == '\t')) name.erase(0, 1);
  auto known = known_.find(name);
  if (known != known_.end()) return known->second;
  Named& named = known_[name];
  if (!names_a_list_here(name)) return named;
  WIN32_FIND_DATAA data;
  bool listed = false;
  list_entries(folder_ + name, [&](const ListedEntry& entry) {
    if (listed || !entry.exact) return;
    data = entry.data;
    listed = true;
  });
  if (!listed) return named;
  // A plain file, as the search takes lists: no folder, hidden or system file.
  const DWORD not_plain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  if ((data.dwFileAttributes & not_plain) != 0) return named;
  const std::string file = data.cFileName;
  if (!names_a_list_here(file) || !read_title(folder_ + file, &named.title)) return named;
  named.found = true;
  named.file = file;
  return named;
}

std::string entry_line(const std::string& entry, const NestedLists::Named& named) {
  return named.found ? entry + " (list: " + named.title + ")" : entry;
}

}  // namespace vintrell
