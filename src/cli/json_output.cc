#include "cli/json_output.h"

#include <nlohmann/json.hpp>

#include "cli/output.h"
#include "cli/terminal.h"

namespace vintrell {
namespace {

using Json = nlohmann::ordered_json;

// One line of JSON. The strings are UTF-8 by construction; should one not be,
// the replacement character stands in rather than the program stopping.
std::string line_of(const Json& object) {
  return object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64(const std::string& bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t at = 0; at < bytes.size(); at += 3) {
    const size_t left = bytes.size() - at;
    uint32_t group = static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) << 16;
    if (left > 1) group |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8;
    if (left > 2) group |= static_cast<unsigned char>(bytes[at + 2]);
    out += kBase64[(group >> 18) & 63];
    out += kBase64[(group >> 12) & 63];
    out += left > 1 ? kBase64[(group >> 6) & 63] : '=';
    out += left > 2 ? kBase64[group & 63] : '=';
  }
  return out;
}

Json bytes_object(const std::string& bytes) {
  Json object;
  object["bytes"] = base64(bytes);
  return object;
}

// Code page text as a JSON value: a string when every byte has a character.
Json text_value(const std::string& text, const CodePage& code_page) {
  for (char c : text) {
    if (code_page.utf8_of(static_cast<unsigned char>(c)).empty()) return bytes_object(text);
  }
  return code_page_to_utf8(text, code_page);
}

Json path_value(const std::string& path) {
  std::string utf8;
  if (exact_utf8_path(path, &utf8)) return utf8;
  return bytes_object(path);
}

}  // namespace

std::string json_result(const std::string& path, const ScanDetails& details, SearchKind kind,
                        bool with_matches, const CodePage& code_page) {
  Json object;
  object["path"] = path_value(path);
  object["title"] = text_value(details.title.substr(0, details.title.find('\0')), code_page);
  if (kind == SearchKind::kDistributionLists) {
    object["hits"] = details.count;
    object["entries"] = details.entries;
  } else {
    object["count"] = details.count;
  }
  if (with_matches) {
    Json matches = Json::array();
    for (const std::string& match : details.matches) {
      matches.push_back(text_value(match, code_page));
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
