#include <windows.h>

#include <string>

#include "cli/host.h"
#include "cli/opens_below.h"
#include "cli/search_folder.h"

namespace vintrell {

bool relative_to_deleted_working_folder(const std::string&) { return false; }

void end_for_gone_reader(int status) { ExitProcess(static_cast<UINT>(status)); }

bool working_folder_to_search(std::string* folder, std::string* reason) {
  return current_folder(folder, reason);
}

void take_paths_as_given(const std::string& folder, bool follow_links) {
  if (follow_links) {
    open_as_given();
  } else {
    open_only_as_listed_below(folder);
  }
}

std::string path_as_spelled(const std::string& below) { return below; }

char path_separator() { return '\\'; }

unsigned processor_count() {
  DWORD_PTR process = 0, system = 0;
  unsigned count = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) {
    for (; process != 0; process &= process - 1) ++count;
  }
  return count != 0 ? count : 1;
}

}  // namespace vintrell
