// vintrell-find --json: JSON Lines, one object per result and one for the
// summary, written by nlohmann-json. Every string is valid UTF-8.
#ifndef VINTRELL_CLI_JSON_OUTPUT_H_
#define VINTRELL_CLI_JSON_OUTPUT_H_

#include <string>

#include "cli/code_page.h"
#include "search/search.h"

namespace vintrell {

// {"path":..,"title":..,"count":n} for a book, {"path":..,"title":..,"hits":h,
// "entries":n} for a list, with "matches":[..] when `with_matches`; one line.
// `path` is the platform's name of the file (exact_utf8_path); the title (up
// to its first NUL, as the dialog shows it) and the matches are converted
// from `code_page`. A path with no exact UTF-8 form, or a title or match
// holding a byte the code page leaves undefined, is {"bytes":"<base64>"} of
// its exact bytes instead of a string, so that a script can give it back.
std::string json_result(const std::string& path, const ScanDetails& details, SearchKind kind,
                        bool with_matches, const CodePage& code_page);

// {"summary":"Text found in ..","found":h,"scanned":n,"kind":"address books"
// or "distribution lists"}, one line.
std::string json_summary(const SearchCounts& counts, SearchKind kind);

}  // namespace vintrell

#endif  // VINTRELL_CLI_JSON_OUTPUT_H_
