#include "cli/entries_output.h"

#include "cli/find_command.h"
#include "cli/host.h"
#include "cli/output.h"

namespace vintrell {
namespace {

constexpr size_t kWriteSize = 64 * 1024;  // a pipe's capacity

}  // namespace

bool StreamedOutput::drain(bool all) {
  if (failed_) return false;
  if (text_.empty() || (!all && text_.size() < kWriteSize)) return true;
  DWORD failure = write_standard(STD_OUTPUT_HANDLE, text_, kind_);
  text_.clear();
  // A reader that has gone (`| head`) ends the process quietly, as grep's does.
  if (reader_has_gone(failure)) end_for_gone_reader(errors_->any() ? kExitTrouble : kExitFound);
  if (failure != 0) {
    errors_->error("write error", platform_error_text(failure));
    failed_ = true;
  }
  return !failed_;
}

void write_entry_lines(const ScanDetails& details, const FileMatches& matches, SearchKind kind,
                       NestedLists* nested, const LineRenderer& renderer, StreamedOutput* out) {
  auto line = [&](const std::string& text) {
    out->text() += "    ";
    out->text() += renderer.render(text);
    out->text() += '\n';
    return out->drain();
  };
  if (kind == SearchKind::kDistributionLists) {
    for (const std::string& entry : details.matches) {
      if (!line(entry_line(entry, nested->of_entry(entry)))) return;
    }
    return;
  }
  const BookMatches& book = matches.book;
  if (book.records()) {
    for (size_t i = 0; i < book.record_count(); ++i) {
      if (!line(record_line(book.record(i)))) return;
    }
    return;
  }
  bool going = true;
  book.for_each_field([&](std::string_view field) {
    if (going) going = line(std::string(field));
  });
}

}  // namespace vintrell
