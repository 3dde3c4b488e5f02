// The main dialog's small commands: Browse, the web link and Close.
#ifndef VINTRELL_APP_COMMANDS_H_
#define VINTRELL_APP_COMMANDS_H_

#include <cstdint>

#include "platform/win32.h"

namespace vintrell {

extern const char kFolderPickerPrompt[];

// Control callbacks (dialog, message, wParam, lParam); each answers 0.
// Browse: the Directory box gets the picked folder; cancelled, it keeps its text.
int32_t browse_command(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
// Runs the link launcher on the maker's web-site URL.
int32_t web_link_command(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
// Ends the dialog with result 1.
int32_t close_command(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace vintrell

#endif  // VINTRELL_APP_COMMANDS_H_
