// The search core: everything the Find button does except reading and writing
// the dialog's controls. Platform-blind; the CLI and the dialog adapter share it.
#ifndef VINTRELL_SEARCH_SEARCH_H_
#define VINTRELL_SEARCH_SEARCH_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vintrell {

// The file number the scanners open and the core closes after every file.
constexpr int16_t kScanFileNumber = 1;

enum class SearchKind { kAddressBooks, kDistributionLists };

struct SearchRequest {
  std::string folder;     // ends in exactly one backslash (see normalise_folder)
  std::string find_text;  // upper-cased already when match_case is false
  SearchKind kind = SearchKind::kAddressBooks;
  bool match_case = false;
};

using LineSink = std::function<void(const std::string& line)>;

// What kept a search from seeing every file. The dialog shows none of it; the
// command line names it.
struct SearchTroubleSinks {
  // The folder followed by the file mask is longer than a listing takes:
  // nothing was listed, rather than a shortened mask that names other files.
  std::function<void()> folder_too_long;
  // A listed file that counts as scanned but was not read whole: its path and
  // the run-time error number, or kPathTooLong for a path longer than an open
  // takes, which is never opened (the cut path would name another file).
  std::function<void(const std::string& path, int error_number)> unreadable_file;
};
constexpr int kPathTooLong = -1;
// A listed name that the ANSI code page cannot spell exactly and that has no
// short name: any spelling the program could open names another file, or none.
constexpr int kNameNotRepresentable = -2;
// A listed file that is a symbolic link now, where links are not followed (a
// link swapped in since the folder was listed): never read.
constexpr int kLinkNotFollowed = -3;
// A listed file that is a pipe or device now (swapped in since the folder was
// listed): never read.
constexpr int kNotPlainFile = -4;

// The error number a scan gives for what its open left in the frame's record:
// the record's number, kLinkNotFollowed or kNotPlainFile.
int opening_error(uint32_t record);

// What one scan saw besides its result line, for a caller that shows more than
// the dialog does (the command line's --entries and --json).
struct ScanDetails {
  bool want_matches = false;  // set by the caller: collect `matches`
  std::string title;          // the file's title as the result line starts with it
  int32_t count = 0;          // occurrences in a book, hits in a list
  int32_t entries = 0;        // a list's entries; 0 for a book
  // The parts that hold the text, in file order: a list's entry lines that
  // counted as hits; a book's NUL-delimited fields (maximal runs of non-NUL
  // bytes) that hold it, each once. Filled only with a result line.
  std::vector<std::string> matches;
  bool want_book = false;  // set by the caller: keep a book's bytes in `book`
  std::string book;        // a book with a result line, every byte as read
};

// More than the dialog asks of a search.
struct SearchExtras {
  // A listed name for which this answers true is neither scanned nor counted.
  std::function<bool(const std::string& name)> skip_file;
  bool want_matches = false;
  bool want_book = false;  // ScanDetails::book for each book with a hit
  // Called after `result` for each file with a hit: its full path and details.
  std::function<void(const std::string& path, ScanDetails& details)> found;
};

struct SearchCounts {
  int32_t files_with_hits = 0;
  int32_t files_scanned = 0;
};

// A file a search listed, and what keeps it from being opened.
// Its path, the request's folder and the name, is made when it is opened: a
// folder may list tens of thousands.
struct ListedFile {
  std::string name;  // as the listing gave it
  // kPathTooLong or kNameNotRepresentable: never opened; else 0.
  int refused = 0;
};

// The request's folder and the file's name.
std::string path_of(const SearchRequest& request, const ListedFile& file);

// What the scan of one listed file gave: its result line, if any, the error
// that kept it from being read whole (or 0), and the details asked for.
struct ScanOutcome {
  std::optional<std::string> line;
  int read_error = 0;
  ScanDetails details;
};

// Lists the request's files as run_search does, in listing order. False, with
// nothing listed, when the folder with the mask is longer than a listing takes.
bool list_search_files(const SearchRequest& request, std::vector<ListedFile>* files);

// What a scan fills in besides the result line.
struct ScanWants {
  bool details = false;  // ScanOutcome::details: the title and counts
  bool matches = false;  // and ScanDetails::matches
  bool book = false;     // and ScanDetails::book
};

// Scans one listed file as run_search does, on `file_number`, closed again
// before it returns. Scans of different file numbers may run at once.
ScanOutcome scan_listed_file(const SearchRequest& request, const ListedFile& file,
                             const ScanWants& wants, int16_t file_number = kScanFileNumber);

// The Directory box's text with every trailing `\` removed and one appended; an
// empty text gives `\`, the root of the current drive.
std::string normalise_folder(const std::string& directory_text);

// A request from the four inputs as the user gave them: the folder normalised,
// the text taken as typed and upper-cased unless `match_case`.
SearchRequest make_search_request(const std::string& directory_text, const std::string& find_text,
                                  SearchKind kind, bool match_case);

// Scans every plain file of the request's kind ("*.PMR" or "*.PML") in its
// folder: one call of `result` per file with a hit, in listing order, then exactly
// one call of `summary` with "Text found in  H out of  N Address Books" (or
// " Distributions Lists"). A missing folder gives 0 out of 0; a file that cannot
// be read counts as scanned and gives no line. `trouble`, when given, hears of
// the folder or files that could not be read.
// `extras`, when given, asks for more than the dialog does. Returns the counts.
SearchCounts run_search(const SearchRequest& request, const LineSink& result,
                        const LineSink& summary, const SearchTroubleSinks* trouble = nullptr,
                        const SearchExtras* extras = nullptr);

// "Text found in  H out of  N Address Books" (or " Distributions Lists").
std::string summary_line(const SearchCounts& counts, SearchKind kind);

// The results list's order: the comparison a sorted list box inserts by,
// CompareStringA with the user's locale and case ignored (letters and digits
// first, then accents, then hyphens and apostrophes). Negative, 0 or positive as
// `a` goes before, level with or after `b`.
int compare_results(std::string_view a, std::string_view b);

// The result lines as the results list shows them when added in this order:
// each cut at its first NUL (as any text handed to a window is), then inserted
// as the sorted list box inserts, a line level with others going before the
// first of them its binary search meets.
std::vector<std::string> as_listed(std::vector<std::string> lines);

// The same order as indexes into `lines`: the first is the top line of the list.
std::vector<size_t> listed_order(const std::vector<std::string>& lines);
std::vector<size_t> listed_order(std::vector<std::string_view> lines);

}  // namespace vintrell

#endif  // VINTRELL_SEARCH_SEARCH_H_
