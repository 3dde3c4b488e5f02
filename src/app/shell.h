// The shell's two services the main dialog's commands use: the folder picker and
// the link launcher.
#ifndef VINTRELL_APP_SHELL_H_
#define VINTRELL_APP_SHELL_H_

#include <cstdint>
#include <string>

#include "platform/win32.h"

namespace vintrell {

// The shell's folder picker (flags 3, rooted at the desktop, `prompt` above the
// tree): the chosen folder's path, or "" when cancelled or when the choice has no
// file-system path.
std::string folder_picker(HWND owner, const std::string& prompt);

// Opens `target` (at most its first 255 characters) with the shell's "OPEN" in
// the current directory. A failed launch is reported in a message box without
// owner, titled with the default caption.
void link_launcher(const char* target);

// The text a launch result is reported with: "" for 33 and above.
std::string launch_failure_message(int32_t result);

}  // namespace vintrell

#endif  // VINTRELL_APP_SHELL_H_
