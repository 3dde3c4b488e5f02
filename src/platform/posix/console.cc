// KERNEL32 console streams over POSIX: the process's standard input, output and
// error as handles that ReadFile and WriteFile take.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <mutex>

#include "platform/posix/files.h"
#include "platform/win32.h"

HANDLE GetStdHandle(DWORD std_handle) {
  int fd;
  DWORD access;
  switch (std_handle) {
    case STD_INPUT_HANDLE:
      fd = 0;
      access = GENERIC_READ;
      break;
    case STD_OUTPUT_HANDLE:
      fd = 1;
      access = GENERIC_WRITE;
      break;
    case STD_ERROR_HANDLE:
      fd = 2;
      access = GENERIC_WRITE;
      break;
    default:
      SetLastError(ERROR_INVALID_HANDLE);
      return INVALID_HANDLE_VALUE;
  }
  static std::mutex mutex;
  static HANDLE handles[3];
  std::lock_guard<std::mutex> hold(mutex);
  if (handles[fd] != nullptr) return handles[fd];
  // A reader that went away makes WriteFile fail, as on Windows, instead of
  // ending the process with SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  // A process started without the stream gets null, as on Windows.
  if (fcntl(fd, F_GETFD) < 0) return nullptr;
  handles[fd] = native_layer::handle_for_descriptor(fd, access);
  return handles[fd];
}
