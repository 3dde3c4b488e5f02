// Hooks of the native layer that tests and tools use to arrange what the real
// system would provide. Not part of the Win32 surface; absent on Windows.
#ifndef VINTRELL_PLATFORM_NATIVE_LAYER_H_
#define VINTRELL_PLATFORM_NATIVE_LAYER_H_

#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace native_layer {

// GetCommandLineA answers `line` from now on (by default: this process's own
// executable in Z:\ form, then its arguments).
void set_command_line(const std::string& line);

// GetModuleFileNameA(nullptr, ...) answers `path` from now on; "" restores the
// default, this process's own executable in Z:\ form.
void set_module_file_name(const std::string& path);

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

// ---- files and drives ----

// Drive `letter` (either case) names the POSIX folder `posix_folder` from now
// on; Z: is the POSIX root until mapped otherwise. Windows has no such hook.
void map_drive(char letter, const std::string& posix_folder);
// Paths on `letter` fail from now on as on a drive that does not exist.
void unmap_drive(char letter);

// From now on, files and folders below `folder` (as the file calls are given
// it and the paths below it) are opened and listed without following any
// symbolic link below it: one met there fails with ERROR_STOPPED_ON_SYMLINK.
// A link to `folder` itself is followed; "" ends it. Call before any second
// thread starts.
// Windows has no such hook.
void follow_no_links_below(const std::string& folder);

// ---- shell (posix/shell32.cc) ----

// There is no interactive folder picker: SHBrowseForFolderA asks this hook, which
// sees the caller's BROWSEINFOA and answers true with the chosen folder's path
// ("" for a folder without a file-system path), or false for a cancelled picker.
// With no hook set (the default, or after set_folder_picker_hook(nullptr)) every
// picker is cancelled.
using FolderPickerHook = std::function<bool(const BROWSEINFOA& info, std::string* chosen)>;
void set_folder_picker_hook(FolderPickerHook hook);

// ShellExecuteA starts this command with the target appended as one more
// argument, without a shell, in the directory it was given. Default: xdg-open.
void set_link_opener(const std::vector<std::string>& command);

}  // namespace native_layer

#endif  // VINTRELL_PLATFORM_NATIVE_LAYER_H_
