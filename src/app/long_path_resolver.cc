#include "app/long_path_resolver.h"

#include "runtime/runtime.h"
#include "services/folder_listing.h"
#include "services/text.h"

namespace vintrell {

std::string long_path_resolver(const std::string& path) {
  ProcedureFrame frame;
  // The appended backslash ends the last component like every other one.
  const std::string p = concatenate(path, "\\");
  std::string built;
  // The first three characters are the drive prefix and are never looked at.
  int32_t pos = find_text(4, p, "\\");
  while (pos != 0) {
    // A prefix ending in a backslash (a doubled one in p) lists that folder's
    // first entry: the listing reads such a mask as the whole folder.
    std::string name = list_first_match(extract(p, 1, pos - 1), kListEverything);
    if (name.empty()) return std::string();
    built = concatenate(concatenate(built, "\\"), name);
    pos = find_text(pos + 1, p, "\\");
  }
  return concatenate(extract(p, 1, 2), built);
}

}  // namespace vintrell
