#include "search/search.h"

#include <algorithm>

#include "platform/collation.h"
#include "platform/win32.h"
#include "runtime/runtime.h"
#include "search/address_book_scan.h"
#include "search/distribution_list_scan.h"
#include "services/file_reading.h"
#include "services/folder_listing.h"
#include "services/text.h"

namespace vintrell {

std::string normalise_folder(const std::string& directory_text) {
  ProcedureFrame frame;
  return concatenate(strip_right(directory_text, "\\"), "\\");
}

SearchRequest make_search_request(const std::string& directory_text, const std::string& find_text,
                                  SearchKind kind, bool match_case) {
  ProcedureFrame frame;
  SearchRequest request;
  request.folder = normalise_folder(directory_text);
  request.find_text = match_case ? find_text : upper_case(find_text);
  request.kind = kind;
  request.match_case = match_case;
  return request;
}

namespace {

constexpr char kBookMask[] = "*.PMR";
constexpr char kListMask[] = "*.PML";

ListedFile listed_file(const SearchRequest& request, const std::string& name) {
  ListedFile file;
  file.name = name;
  // A path the open would cut names another file, or none: it is not opened;
  // nor is a look-alike of a name the code page cannot spell.
  if (request.folder.size() + name.size() > kOpenPathLimit) {
    file.refused = kPathTooLong;
  } else if (!list_match_exact()) {
    file.refused = kNameNotRepresentable;
  }
  return file;
}

// The first listed file's name, "" for none; false when the mask is too long.
// Plain files only: subfolders, hidden and system files named like a book are
// never opened. A mask the listing would cut lists nothing: cut, it names
// files of another kind ("...\*." or "...\*.PM").
bool list_first(const SearchRequest& request, std::string* name) {
  std::string mask = concatenate(
      request.folder, request.kind == SearchKind::kDistributionLists ? kListMask : kBookMask);
  if (mask.size() > kListMaskLimit) return false;
  *name = list_first_match(mask, kListPlainFiles);
  return true;
}

bool is_name(const std::string& name) { return compare(name, std::string()) == Order::kGreater; }

}  // namespace

int opening_error(uint32_t record) {
  if (platform_code_of(record) == ERROR_STOPPED_ON_SYMLINK) return kLinkNotFollowed;
  if (platform_code_of(record) == ERROR_BAD_FILE_TYPE) return kNotPlainFile;
  return error_number_of(record);
}

bool list_search_files(const SearchRequest& request, std::vector<ListedFile>* files) {
  ProcedureFrame frame;
  std::string name;
  if (!list_first(request, &name)) return false;
  for (; is_name(name); name = list_next_match()) files->push_back(listed_file(request, name));
  return true;
}

std::string path_of(const SearchRequest& request, const ListedFile& file) {
  return concatenate(request.folder, file.name);
}

ScanOutcome scan_listed_file(const SearchRequest& request, const ListedFile& file,
                             const ScanWants& wants, int16_t file_number) {
  ProcedureFrame frame;
  ScanOutcome outcome;
  outcome.details.want_matches = wants.matches;
  outcome.details.want_book = wants.book;
  ScanDetails* details = wants.details ? &outcome.details : nullptr;
  if (file.refused != 0) {
    outcome.read_error = file.refused;
  } else if (request.kind == SearchKind::kDistributionLists) {
    outcome.line = scan_distribution_list(path_of(request, file), request.find_text,
                                          request.match_case, &outcome.read_error, details,
                                          file_number);
  } else {
    outcome.line = scan_address_book(path_of(request, file), request.find_text,
                                     request.match_case, &outcome.read_error, details, file_number);
  }
  // Also after a failed open: closing a number that is not open does nothing.
  close_file(file_number);
  return outcome;
}

SearchCounts run_search(const SearchRequest& request, const LineSink& result,
                        const LineSink& summary, const SearchTroubleSinks* trouble,
                        const SearchExtras* extras) {
  ProcedureFrame frame;
  std::string name;
  if (!list_first(request, &name) && trouble != nullptr && trouble->folder_too_long) {
    trouble->folder_too_long();
  }
  SearchCounts counts;
  ScanWants wants;
  wants.details = extras != nullptr && extras->found;
  wants.matches = wants.details && extras->want_matches;
  wants.book = wants.details && extras->want_book;
  // One file at a time, each listed after the one before was scanned.
  for (; is_name(name); name = list_next_match()) {
    if (extras != nullptr && extras->skip_file && extras->skip_file(name)) continue;
    const ListedFile file = listed_file(request, name);
    ScanOutcome outcome = scan_listed_file(request, file, wants);
    if (outcome.read_error != 0 && trouble != nullptr && trouble->unreadable_file) {
      trouble->unreadable_file(path_of(request, file), outcome.read_error);
    }
    if (outcome.line) {
      result(*outcome.line);
      if (wants.details) extras->found(path_of(request, file), outcome.details);
      ++counts.files_with_hits;
    }
    ++counts.files_scanned;
  }
  summary(summary_line(counts, request.kind));
  return counts;
}

std::string summary_line(const SearchCounts& counts, SearchKind kind) {
  ProcedureFrame frame;
  std::string numbers =
      concatenate(concatenate(number_to_text(counts.files_with_hits), " out of "),
                  number_to_text(counts.files_scanned));
  return concatenate(concatenate("Text found in ", numbers), kind == SearchKind::kDistributionLists
                                                               ? " Distributions Lists"
                                                               : " Address Books");
}

int compare_results(std::string_view a, std::string_view b) {
  ProcedureFrame frame;
  // The comparison a sorted list box inserts by (lstrcmpiA's).
  const int order = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.empty() ? "" : a.data(),
                                   static_cast<int>(a.size()), b.empty() ? "" : b.data(),
                                   static_cast<int>(b.size()));
  return order - CSTR_EQUAL;
}

std::vector<std::string> as_listed(std::vector<std::string> lines) {
  ProcedureFrame frame;
  for (std::string& line : lines) {
    size_t nul = line.find('\0');
    if (nul != std::string::npos) line.resize(nul);
  }
  std::vector<std::string> ordered;
  ordered.reserve(lines.size());
  for (size_t index : listed_order(lines)) ordered.push_back(std::move(lines[index]));
  return ordered;
}

namespace {

// A sequence that a list box's insertions build, held in blocks: an insertion
// moves part of one block, not everything after it (thousands of results
// would cost their square in moves).
class InsertionOrder {
 public:
  size_t size() const { return size_; }

  size_t at(size_t index) const {
    const size_t block = block_of(index);
    return blocks_[block][index - starts_[block]];
  }

  void insert(size_t index, size_t value) {
    if (blocks_.empty()) {
      blocks_.emplace_back();
      starts_.push_back(0);
    }
    const size_t block = index == size_ ? blocks_.size() - 1 : block_of(index);
    std::vector<size_t>& items = blocks_[block];
    items.insert(items.begin() + static_cast<ptrdiff_t>(index - starts_[block]), value);
    ++size_;
    if (items.size() > 2 * kBlock) {
      std::vector<size_t> upper(items.begin() + kBlock, items.end());
      items.resize(kBlock);
      blocks_.insert(blocks_.begin() + static_cast<ptrdiff_t>(block) + 1, std::move(upper));
      starts_.insert(starts_.begin() + static_cast<ptrdiff_t>(block) + 1, 0);
    }
    for (size_t b = block + 1; b < blocks_.size(); ++b) {
      starts_[b] = starts_[b - 1] + blocks_[b - 1].size();
    }
  }

  std::vector<size_t> flattened() const {
    std::vector<size_t> out;
    out.reserve(size_);
    for (const std::vector<size_t>& items : blocks_) out.insert(out.end(), items.begin(), items.end());
    return out;
  }

 private:
  static constexpr size_t kBlock = 256;

  // The block holding `index` (< size()).
  size_t block_of(size_t index) const {
    return static_cast<size_t>(std::upper_bound(starts_.begin(), starts_.end(), index) -
                               starts_.begin()) - 1;
  }

  std::vector<std::vector<size_t>> blocks_;
  std::vector<size_t> starts_;  // the index of each block's first item
  size_t size_ = 0;
};

}  // namespace

std::vector<size_t> listed_order(const std::vector<std::string>& given) {
  return listed_order(std::vector<std::string_view>(given.begin(), given.end()));
}

std::vector<size_t> listed_order(std::vector<std::string_view> lines) {
  ProcedureFrame frame;
  for (std::string_view& line : lines) {
    size_t nul = line.find('\0');
    if (nul != std::string_view::npos) line = line.substr(0, nul);
  }
  // Each line goes where the list box puts it: a binary search that stops at the
  // first line it meets that compares level with the new one, and goes before it.
  InsertionOrder listed;
  for (size_t next = 0; next < lines.size(); ++next) {
    const int at = collation::sorted_insert_position(static_cast<int>(listed.size()), [&](int i) {
      return compare_results(lines[next], lines[listed.at(static_cast<size_t>(i))]);
    });
    listed.insert(static_cast<size_t>(at), next);
  }
  return listed.flattened();
}

}  // namespace vintrell
