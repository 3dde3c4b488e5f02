// The native layer's Windows-shaped file namespace and its error codes.
//
// Z:\ is the POSIX root; other drive letters name folders that tests map; both
// `\` and `/` separate; a path without a drive is a POSIX path, relative ones
// relative to the process's current directory.
#ifndef VINTRELL_PLATFORM_POSIX_PATHS_H_
#define VINTRELL_PLATFORM_POSIX_PATHS_H_

#include <sys/stat.h>

#include <string>

#include "platform/win32.h"

namespace native_layer {

// The Win32 error code that Windows gives for the failure an errno stands for.
// The one place where errno becomes a Win32 code.
DWORD win32_error_from_errno(int error);

// A Windows-shaped path turned into a POSIX one: `.` and `..` taken out by
// name as Windows does, trailing dots and blanks of the last component
// dropped, and each component that does not exist as spelled looked up without
// regard to case. Returns 0, ERROR_INVALID_DRIVE for a drive letter that is not
// mapped (each caller answers that as Wine does), or ERROR_PATH_NOT_FOUND for an
// empty path. Without `look_up_case` the path comes as spelled, for a caller
// that tries it first and asks again only when it does not resolve.
DWORD to_posix_path(const char* path, std::string* posix_path, bool look_up_case = true);

// A relative path without a drive, `.` or `..`, as the kernel takes it from
// the working folder: separators as '/', the last component's trailing dots
// and blanks dropped. False for any other path (to_posix_path resolves it).
// An open by this path costs no lookup of the working folder's name, and it
// means the folder the process is in, whatever it is called by now.
bool plain_relative_path(const char* path, std::string* posix_path);

// The Win32 error code for a name that open() or stat() did not find: 2 when
// its folder exists, 3 when the folder itself is missing or not a folder.
DWORD missing_name_error(const std::string& posix_path);

// The POSIX folder in Z:\ form, or in the form of the mapped drive whose
// folder holds it.
std::string to_windows_path(const std::string& posix_path);

constexpr DWORD kFileAttributeReparsePoint = 0x400;

// Win32 attributes of an entry named `name` with status `st` (followed through
// a symbolic link, `is_link`, which adds the reparse point attribute):
// directory, or archive for a regular file;
// read-only without any write bit; hidden for a name beginning with a dot.
// Anything else (device, pipe, socket) carries the system attribute, so that
// only regular files pass as plain files.
DWORD attributes_of(const struct stat& st, bool is_link, const std::string& name);

// True for "/" and for the folder of a mapped drive.
bool is_drive_root(const std::string& posix_folder);

// Equality of two names without regard to case (fold_name_case).
bool same_name_ignoring_case(const std::string& a, const std::string& b);

}  // namespace native_layer

#endif  // VINTRELL_PLATFORM_POSIX_PATHS_H_
