#include <windows.h>

#include "cli/host.h"

namespace vintrell {

bool relative_to_deleted_working_folder(const std::string&) { return false; }

void end_for_gone_reader(int status) { ExitProcess(static_cast<UINT>(status)); }

}  // namespace vintrell
