#include "cli/json_output.h"

#include <nlohmann/json.hpp>

#include "cli/output.h"

namespace vintrell {
namespace {

using Json = nlohmann::ordered_json;

// One line of JSON. The strings are UTF-8 by construction; should one not be,
// the replacement character stands in rather than the program stopping.
std::string line_of(const Json& object) {
  return object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string json_result(const std::string& path, const ScanDetails& details, SearchKind kind,
                        bool with_matches, const CodePage& code_page) {
  Json object;
  object["path"] = path;
  object["title"] = code_page_to_utf8(details.title.substr(0, details.title.find('\0')), code_page);
  if (kind == SearchKind::kDistributionLists) {
    object["hits"] = details.count;
    object["entries"] = details.entries;
  } else {
    object["count"] = details.count;
  }
  if (with_matches) {
    Json matches = Json::array();
    for (const std::string& match : details.matches) {
      matches.push_back(code_page_to_utf8(match, code_page));
    }
    object["matches"] = std::move(matches);
  }
  return line_of(object);
}

std::string json_summary(const SearchCounts& counts, SearchKind kind) {
  Json object;
  object["summary"] = summary_line(counts, kind);
  object["found"] = counts.files_with_hits;
  object["scanned"] = counts.files_scanned;
  object["kind"] =
      kind == SearchKind::kDistributionLists ? "distribution lists" : "address books";
  return line_of(object);
}

}  // namespace vintrell
