#include <windows.h>

#include "cli/host.h"

namespace vintrell {

bool relative_to_deleted_working_folder(const std::string&) { return false; }

void end_for_gone_reader(int status) { ExitProcess(static_cast<UINT>(status)); }

char path_separator_for(const std::string&) { return '\\'; }

void follow_no_links_below_folder(const std::string&) {}

unsigned processor_count() {
  DWORD_PTR process = 0, system = 0;
  unsigned count = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) {
    for (; process != 0; process &= process - 1) ++count;
  }
  return count != 0 ? count : 1;
}

}  // namespace vintrell
