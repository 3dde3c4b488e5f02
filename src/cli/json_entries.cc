// --json --entries: kept apart from the result object itself (json_output.cc),
// which is written first and then opened again for the entries.
#include <nlohmann/json.hpp>

#include "cli/entries_output.h"

namespace vintrell {
namespace {

using Json = nlohmann::ordered_json;

std::string dumped(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json record_object(const BookRecord& record, const CodePage& code_page) {
  Json object;
  Json matched = Json::array();
  for (size_t f = 0; f < kRecordFieldCount; ++f) {
    object[kRecordFields[f].key] = code_page_to_utf8(record.fields[f], code_page);
    if (record.matched & (1u << f)) matched.push_back(kRecordFields[f].key);
  }
  object["matched"] = std::move(matched);
  return object;
}

}  // namespace

void write_json_entries(const std::string& object_line, const ScanDetails& details,
                        const FileMatches& matches, SearchKind kind, NestedLists* nested,
                        const CodePage& code_page, StreamedOutput* out) {
  // The object without its closing brace and line end.
  std::string head = object_line;
  while (!head.empty() && (head.back() == '\n' || head.back() == '}')) {
    const bool brace = head.back() == '}';
    head.pop_back();
    if (brace) break;
  }
  const BookMatches& book = matches.book;
  const bool records = kind == SearchKind::kAddressBooks && book.records();
  std::string& text = out->text();
  text += head;
  text += records ? ",\"records\":[" : ",\"matches\":[";
  bool first = true;
  auto element = [&](const Json& value) {
    if (!first) out->text() += ',';
    first = false;
    out->text() += dumped(value);
    return out->drain();
  };
  if (kind == SearchKind::kDistributionLists) {
    for (const std::string& entry : details.matches) {
      const NestedLists::Named& named = nested->of_entry(entry);
      Json value = code_page_to_utf8(entry, code_page);
      if (named.found) {
        Json list;
        list["file"] = named.file;
        list["title"] = code_page_to_utf8(named.title, code_page);
        value = Json{{"entry", value}, {"list", std::move(list)}};
      }
      if (!element(value)) return;
    }
  } else if (records) {
    for (size_t i = 0; i < book.record_count(); ++i) {
      if (!element(record_object(book.record(i), code_page))) return;
    }
  } else {
    bool going = true;
    book.for_each_field([&](std::string_view field) {
      if (going) going = element(Json(code_page_to_utf8(std::string(field), code_page)));
    });
    if (!going) return;
  }
  out->text() += "]}\n";
  out->drain();
}

}  // namespace vintrell
