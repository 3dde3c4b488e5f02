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

// From now on a path that is `folder` (as the file calls are given it), or
// `folder` and '\' and a path below it, means what POSIX means by it, for
// opens of existing files, listings and attributes: `folder`'s bytes as the
// kernel resolves them (exact case, ".." by the kernel, '\', ':' and wildcard
// characters ordinary bytes, relative to the working folder without naming
// it), opened once; below it every name byte for byte, '\' joining them, each
// opened relative to that descriptor. Listings there give a name's '\', '*'
// and '?' as "/b", "/a" and "/q" (no POSIX name holds a '/'), so that the
// name joined and opened again is the same file; a file or folder there is
// listed by its kind alone, as the folder's entry gives it (no size, times or
// read-only bit: nothing more is looked up). Without `follow_links` no
// symbolic link below `folder` is followed either, also one swapped in after
// its folder was listed: one met there fails with ERROR_STOPPED_ON_SYMLINK. A
// link to `folder` itself is followed. "" ends it. Call before any second
// thread starts. Windows has no such hook.
void take_paths_literally(const std::string& folder, bool follow_links);

// A path below that folder, as its listings spell it, as POSIX spells it.
std::string posix_path_below(const std::string& below);

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
