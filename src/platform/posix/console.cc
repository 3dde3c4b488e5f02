// KERNEL32 console streams over POSIX: the process's standard input, output and
// error as handles that ReadFile and WriteFile take.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>

#include "platform/win32.h"

namespace {

// A file handle whose descriptor is `fd` itself (shared offset, append mode and
// all), not a fresh open of what it names. The handle is made as a handle of
// /dev/null on the lowest free descriptor number, which POSIX open() always
// takes, and that number is then pointed at `fd`.
HANDLE stream_handle(int fd, DWORD access) {
  int slot = dup(fd);
  if (slot < 0) return nullptr;
  close(slot);
  HANDLE handle = CreateFileA("/dev/null", access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  struct stat at, null_device;
  bool took_slot = fstat(slot, &at) == 0 && stat("/dev/null", &null_device) == 0 &&
                   S_ISCHR(at.st_mode) && at.st_rdev == null_device.st_rdev;
  if (!took_slot || dup2(fd, slot) < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  return handle;
}

}  // namespace

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
  handles[fd] = stream_handle(fd, access);
  return handles[fd];
}
