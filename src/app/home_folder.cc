#include "app/home_folder.h"

#include "app/long_path_resolver.h"
#include "runtime/runtime.h"
#include "services/folder_listing.h"
#include "services/text.h"

namespace vintrell {
namespace {

// The command line is copied into a buffer of 126 characters.
constexpr uint32_t kCommandLineCapacity = 126;

}  // namespace

std::string home_folder(const char* command_line) {
  ProcedureFrame frame;
  char buffer[kCommandLineCapacity + 1];
  copy_to_zero_terminated_buffer(text_from_zero_terminated(command_line), buffer,
                                 kCommandLineCapacity);
  const std::string path =
      strip_right(strip_left(text_from_zero_terminated(buffer), "\""), "\"");
  const std::string p = long_path_resolver(path);
  // An empty mask would go on with the resolver's listing instead of starting one.
  if (p.empty()) return std::string();
  std::string name = list_first_match(p, kListPlainFiles);
  // A hidden or system program file is still the program's own.
  if (name.empty()) name = list_first_match(p, kListHidden | kListSystem);
  // Cutting a name off p that is not its last component would leave a file's
  // path, or one made up from a bare program name, in the Directory box.
  const std::string ending = concatenate("\\", name);
  if (name.empty() || length(p) <= length(ending) ||
      find_text(-1, p, ending) != length(p) - length(ending) + 1) {
    return std::string();
  }
  return extract(p, 1, length(p) - length(name));
}

}  // namespace vintrell
