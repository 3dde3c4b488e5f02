// What the native layer's other pieces need of its file objects.
#ifndef VINTRELL_PLATFORM_POSIX_FILES_H_
#define VINTRELL_PLATFORM_POSIX_FILES_H_

#include "platform/win32.h"

namespace native_layer {

// A file handle over a duplicate of descriptor `fd` (same offset and flags, no
// sharing check), as the console streams need. Null when fd is not open.
HANDLE handle_for_descriptor(int fd, DWORD access);

}  // namespace native_layer

#endif  // VINTRELL_PLATFORM_POSIX_FILES_H_
