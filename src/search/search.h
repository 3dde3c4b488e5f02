// The search core: everything the Find button does except reading and writing
// the dialog's controls. Platform-blind; the CLI and the dialog adapter share it.
#ifndef VINTRELL_SEARCH_SEARCH_H_
#define VINTRELL_SEARCH_SEARCH_H_

#include <functional>
#include <string>

namespace vintrell {

enum class SearchKind { kAddressBooks, kDistributionLists };

struct SearchRequest {
  std::string folder;     // ends in exactly one backslash (see normalise_folder)
  std::string find_text;  // upper-cased already when match_case is false
  SearchKind kind = SearchKind::kAddressBooks;
  bool match_case = false;
};

using LineSink = std::function<void(const std::string& line)>;

// The Directory box's text with every trailing `\` removed and one appended.
std::string normalise_folder(const std::string& directory_text);

// A request from the four inputs as the user gave them.
SearchRequest make_search_request(const std::string& directory_text,
                                  const std::string& find_text, SearchKind kind,
                                  bool match_case);

// Scans every file of the request's kind in its folder: one call of `result` per
// file with a hit, in listing order, then exactly one call of `summary`.
void run_search(const SearchRequest& request, const LineSink& result, const LineSink& summary);

}  // namespace vintrell

#endif  // VINTRELL_SEARCH_SEARCH_H_
