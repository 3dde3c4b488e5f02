// The folder whose paths are taken as POSIX spells them (take_paths_literally):
// which paths lie there, and opening and listing them by descriptor, so that
// no path below it is resolved by name twice.
#ifndef VINTRELL_PLATFORM_POSIX_LITERAL_FOLDER_H_
#define VINTRELL_PLATFORM_POSIX_LITERAL_FOLDER_H_

#include <sys/stat.h>

#include <string>

#include "platform/win32.h"

namespace native_layer {

// A path that is the literal folder or lies below it.
struct LiteralPath {
  std::string below;  // POSIX path below the folder; "" for the folder itself
};

// True when `path` (as a file call is given it) is the literal folder, or the
// folder and '\' followed by a path below it.
bool literal_path(const char* path, LiteralPath* out);

// open(2) of `path` with `flags`, relative to the folder's descriptor: -1 with
// errno, ELOOP for a link where none is followed.
int open_literal(const LiteralPath& path, int flags);

// The Win32 code for an open_literal that failed with `error`.
DWORD literal_open_error(int error);

// Status of `path`, and whether it is itself a symbolic link (then followed,
// where links are); false with errno.
bool stat_literal(const LiteralPath& path, struct stat* st, bool* is_link);

// A POSIX name as listings below the folder give it: '\', '*' and '?', which
// a path joins and a run-time refuses, as "/b", "/a", "/q"; no name holds a '/'.
std::string listed_name(const std::string& posix_name);

}  // namespace native_layer

#endif  // VINTRELL_PLATFORM_POSIX_LITERAL_FOLDER_H_
