// The Find button's command: the dialog side of a search. It reads the four
// inputs from the main dialog, runs the search core and fills the results list
// and the summary box.
#ifndef VINTRELL_APP_FIND_COMMAND_H_
#define VINTRELL_APP_FIND_COMMAND_H_

#include <cstdint>

#include "platform/win32.h"

namespace vintrell {

// Control callback of the Find button: empties the results list first, then
// adds one line per file with a hit and writes the summary. Answers 0.
int32_t find_command(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace vintrell

#endif  // VINTRELL_APP_FIND_COMMAND_H_
