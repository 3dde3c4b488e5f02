// Hooks of the native layer that tests and tools use to arrange what the real
// system would provide. Not part of the Win32 surface; absent on Windows.
#ifndef VINTRELL_PLATFORM_NATIVE_LAYER_H_
#define VINTRELL_PLATFORM_NATIVE_LAYER_H_

#include <string>
#include <vector>

#include "platform/win32.h"

namespace native_layer {

// GetCommandLineA answers `line` from now on (by default: this process's own
// executable in Z:\ form, then its arguments).
void set_command_line(const std::string& line);

// A message box shown headless: recorded here, one line on stderr, answered IDOK.
struct MessageBoxRecord {
  std::string caption;
  std::string text;
  UINT style;
};
std::vector<MessageBoxRecord> message_boxes();
void clear_message_boxes();

// Where ExitProcess is asked to end the process, tests may take over instead;
// the hook must not return (it may throw).
using ExitHook = void (*)(UINT exit_code);
void set_exit_hook(ExitHook hook);

}  // namespace native_layer

#endif  // VINTRELL_PLATFORM_NATIVE_LAYER_H_
