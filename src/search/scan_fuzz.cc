// Runs both scanners, and the search core over a folder holding the file as an
// address book and as a distribution list, on arbitrary bytes, any search text
// and either case setting, and checks every result against a plain reference
// written from the rules: counts within bounds, the same result lines, the same
// summary.
//
// Input: a flag byte (bit 0: match case; bit 1: hand the search text over as
// typed even when case is ignored; the rest: a look-ahead size for a second
// list scan, 0 for the usual one), a byte giving the search text's length
// (modulo 16), the search text, then the file's bytes.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "runtime/runtime.h"
#include "search/address_book_scan.h"
#include "search/distribution_list_scan.h"
#include "search/search.h"
#include "services/file_reading.h"
#include "services/text.h"
#include "testing/fuzz_support.h"

using namespace vintrell;

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

// One address book and one distribution list of the same bytes, rewritten
// for every input.
class ScratchFolder {
 public:
  void write(const std::string& bytes) const {
    for (const char* name : {"BOOK.PMR", "LIST.PML"}) folder_.write(name, bytes.data(), bytes.size());
  }
  std::string folder() const { return folder_.folder(); }
  std::string book() const { return folder() + "BOOK.PMR"; }
  std::string list() const { return folder() + "LIST.PML"; }

 private:
  fuzz_support::ScratchFolder folder_;
};

// The fixed table: a-z, and code page 437's seven lower-case letters above 0x7F.
char reference_upper(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  if (u >= 'a' && u <= 'z') return static_cast<char>(u - 0x20);
  switch (u) {
    case 0x81: return static_cast<char>(0x9A);
    case 0x82: return static_cast<char>(0x90);
    case 0x84: return static_cast<char>(0x8E);
    case 0x86: return static_cast<char>(0x8F);
    case 0x87: return static_cast<char>(0x80);
    case 0x94: return static_cast<char>(0x99);
    case 0xA4: return static_cast<char>(0xA5);
    default: return c;
  }
}

std::string reference_upper(std::string s) {
  for (char& c : s) c = reference_upper(c);
  return s;
}

std::string number(int64_t n) { return n < 0 ? std::to_string(n) : " " + std::to_string(n); }

std::optional<std::string> reference_book(const std::string& bytes, const std::string& search,
                                          bool match_case) {
  std::string title = bytes.substr(0, bytes.find('\0'));
  int64_t count = fuzz_support::reference_count(match_case ? bytes : reference_upper(bytes), search);
  check(search.empty() || count <= static_cast<int64_t>(bytes.size() / search.size()));
  if (count == 0) return std::nullopt;
  return title + " (" + number(count) + " occurences)";
}

// The data ends at a Ctrl-Z. Lines end at CR or CR LF, or, in data without a
// CR, at LF.
std::vector<std::string> reference_lines(const std::string& bytes) {
  const size_t end = bytes.find('\x1A') == std::string::npos ? bytes.size() : bytes.find('\x1A');
  const bool by_lf = bytes.substr(0, end).find('\r') == std::string::npos;
  const char terminator = by_lf ? '\n' : '\r';
  std::vector<std::string> lines;
  size_t i = 0;
  while (i < end) {
    std::string line;
    while (i < end && bytes[i] != terminator) line += bytes[i++];
    if (i < end) {
      ++i;
      if (!by_lf && i < end && bytes[i] == '\n') ++i;
    }
    lines.push_back(line);
  }
  return lines;
}

// The list as the line reader gives it, line by line, as the scan once read
// it: the block scan must agree with it at every look-ahead size. Data without
// a CR is given with its LFs made CRs, which is what splitting at LF means.
std::optional<std::string> line_by_line_list(const ScratchFolder& scratch, const std::string& bytes,
                                             const std::string& search, bool match_case) {
  const size_t end = bytes.find('\x1A') == std::string::npos ? bytes.size() : bytes.find('\x1A');
  if (bytes.substr(0, end).find('\r') == std::string::npos) {
    std::string as_cr = bytes;
    for (size_t i = 0; i < end; ++i) {
      if (as_cr[i] == '\n') as_cr[i] = '\r';
    }
    scratch.write(as_cr);
  }
  open_for_line_reading(scratch.list(), kScanFileNumber);
  std::string title = extract(read_line(kScanFileNumber), 8, 2147483647);
  int64_t entries = 0, hits = 0;
  std::string line;
  while (at_end_of_file(kScanFileNumber) == 0) {
    read_line_into(kScanFileNumber, &line);
    if (!line.empty() && line[0] == '\\') continue;
    ++entries;
    if ((match_case ? find_text(1, line, search) : find_text_in_upper_case(line, search)) > 0) ++hits;
  }
  close_file(kScanFileNumber);
  scratch.write(bytes);
  if (hits == 0) return std::nullopt;
  return title + " (" + number(hits) + " out of " + number(entries) + " entries)";
}

std::optional<std::string> reference_list(const std::string& bytes, const std::string& search,
                                          bool match_case) {
  std::vector<std::string> lines = reference_lines(bytes);
  if (lines.empty()) return std::nullopt;
  std::string title = lines[0].size() > 7 ? lines[0].substr(7) : std::string();
  int64_t entries = 0;
  int64_t hits = 0;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (!line.empty() && line[0] == '\\') continue;
    ++entries;
    std::string seen = match_case ? line : reference_upper(line);
    // An empty text is found in every line that has a first byte to start at.
    bool hit = search.empty() ? !seen.empty() : seen.find(search) != std::string::npos;
    if (hit) ++hits;
  }
  check(hits <= entries && entries < static_cast<int64_t>(lines.size()));
  if (hits == 0) return std::nullopt;
  return title + " (" + number(hits) + " out of " + number(entries) + " entries)";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ScratchFolder scratch;
  if (size < 2) return 0;
  const uint32_t look_ahead = data[0] >> 2;
  const bool match_case = data[0] & 1;
  const bool as_typed = data[0] & 2;
  size_t search_size = data[1] % 16;
  data += 2;
  size -= 2;
  if (search_size > size) search_size = size;
  const std::string typed(reinterpret_cast<const char*>(data), search_size);
  const std::string bytes(reinterpret_cast<const char*>(data + search_size), size - search_size);
  const std::string search = match_case || as_typed ? typed : reference_upper(typed);
  scratch.write(bytes);

  const std::optional<std::string> book = reference_book(bytes, search, match_case);
  const std::optional<std::string> list = reference_list(bytes, search, match_case);

  ProcedureFrame frame;
  check(scan_address_book(scratch.book(), search, match_case) == book);
  close_file(kScanFileNumber);
  check(scan_distribution_list(scratch.list(), search, match_case) == list);
  close_file(kScanFileNumber);
  // Small look-aheads put block ends everywhere: CR LF pairs split, lines and
  // occurrences across blocks.
  const uint32_t before = set_line_look_ahead_size(look_ahead);
  check(scan_distribution_list(scratch.list(), search, match_case) == list);
  close_file(kScanFileNumber);
  check(line_by_line_list(scratch, bytes, search, match_case) == list);
  set_line_look_ahead_size(before);

  // The search core over the folder: one line per file with a hit, then the summary.
  SearchRequest request;
  request.folder = scratch.folder();
  request.find_text = search;
  request.match_case = match_case;
  for (SearchKind kind : {SearchKind::kAddressBooks, SearchKind::kDistributionLists}) {
    request.kind = kind;
    const std::optional<std::string>& wanted = kind == SearchKind::kAddressBooks ? book : list;
    std::vector<std::string> lines;
    std::vector<std::string> summaries;
    run_search(request, [&](const std::string& line) { lines.push_back(line); },
               [&](const std::string& line) { summaries.push_back(line); });
    check(lines == (wanted ? std::vector<std::string>{*wanted} : std::vector<std::string>{}));
    check(summaries.size() == 1);
    check(summaries[0] == "Text found in " + number(wanted ? 1 : 0) + " out of  1" +
                              (kind == SearchKind::kAddressBooks ? " Address Books"
                                                                 : " Distributions Lists"));
  }
  return 0;
}
