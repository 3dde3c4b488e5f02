#include "cli/report.h"

#include "cli/output.h"
#include "runtime/runtime.h"
#include "search/search.h"

namespace vintrell {

void ErrorReport::error(const std::string& what, const std::string& reason) {
  any_ = true;
  // A name in a message is escaped as on standard output, --raw or not: a
  // planted name cannot forge a line or drive the terminal from here either.
  static const Terminal side = describe_message_side();
  const std::string shown = render_path(what, false, side);
  std::string line = "vintrell-find: " + (what.empty() ? std::string() : shown + ": ") + reason + "\n";
  write_standard(STD_ERROR_HANDLE, line, TextKind::kAnsi);
}

void ErrorReport::file_error(const std::string& path, const std::string& reason) {
  if (file_messages_) {
    error(path, reason);
  } else {
    any_ = true;
  }
}

std::string read_error_text(int error_number) {
  switch (error_number) {
    case kPathTooLong: return "Path too long to open (more than 255 bytes)";
    case kNameNotRepresentable: return "Name not representable in the ANSI code page";
    case kLinkNotFollowed: return "A symbolic link since it was listed (not followed)";
    case kNotPlainFile: return "A pipe or device since it was listed (not read)";
    case kErrorFileNotFound: return "No such file (gone since it was listed)";
    case kErrorPathNotFound: return "Path not found";
    case kErrorAccessDenied: return "Permission denied or in use by another program";
    case kErrorOutOfMemory: return "Out of memory (or 2 GiB and larger)";
    case kErrorBadFileName: return "Bad file name";
    default: return "Read error (run-time error " + std::to_string(error_number) + ")";
  }
}

}  // namespace vintrell
