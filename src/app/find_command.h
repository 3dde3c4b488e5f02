// The Find button's command: the dialog side of a search. It reads the four
// inputs from the main dialog, runs the search core and fills the results list
// and the summary box.
#ifndef VINTRELL_APP_FIND_COMMAND_H_
#define VINTRELL_APP_FIND_COMMAND_H_

#include <cstdint>
#include <string>

#include "platform/win32.h"

namespace vintrell {

// The folder a Directory box's text names: outer blanks removed, then one pair
// of surrounding double quotes.
std::string folder_from_box(const std::string& box_text);

// Empty when `folder` (as folder_from_box gives it) is a folder to search; else
// the message that says why it is not: empty, not found, a file.
std::string folder_refusal(const std::string& folder);

// Control callback of the Find button. A folder that cannot be searched is
// said in a message box, and the list and summary stay. Else it empties the
// results list, adds one line per file with a hit and writes the summary; then
// one message box names the files that could not be read, if any. Answers 0.
int32_t find_command(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace vintrell

#endif  // VINTRELL_APP_FIND_COMMAND_H_
