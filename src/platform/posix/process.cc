// KERNEL32 process basics over POSIX.
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>

#include "platform/native_layer.h"
#include "platform/win32.h"

namespace {

thread_local DWORD t_last_error = 0;
UINT g_error_mode = 0;
native_layer::ExitHook g_exit_hook = nullptr;

std::mutex& command_line_mutex() {
  static std::mutex m;
  return m;
}

std::string& command_line_storage() {
  static std::string line;
  return line;
}
bool g_command_line_set = false;

// What GetModuleFileNameA answers when set; else the executable's own path.
std::string& module_file_name_storage() {
  static std::string path;
  return path;
}

// The executable's path as Wine would show it: Z: is the POSIX root.
std::string windows_form(const std::string& posix_path) {
  std::string out = "Z:";
  for (char c : posix_path) out += (c == '/') ? '\\' : c;
  return out;
}

std::string quoted_if_needed(const std::string& arg) {
  if (arg.find_first_of(" \t") == std::string::npos && !arg.empty()) return arg;
  return "\"" + arg + "\"";
}

std::string default_command_line() {
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  std::string line = n > 0 ? quoted_if_needed(windows_form(std::string(exe, n))) : "";
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t start = raw.find('\0');  // skip argv[0]: the executable stands in for it
  while (start != std::string::npos && start + 1 < raw.size()) {
    size_t end = raw.find('\0', start + 1);
    if (end == std::string::npos) end = raw.size();
    line += " " + quoted_if_needed(raw.substr(start + 1, end - start - 1));
    start = end;
  }
  return line;
}

}  // namespace

DWORD GetLastError() { return t_last_error; }

void SetLastError(DWORD code) { t_last_error = code; }

UINT SetErrorMode(UINT mode) {
  UINT previous = g_error_mode;
  g_error_mode = mode;
  return previous;
}

LPSTR GetCommandLineA() {
  std::lock_guard<std::mutex> hold(command_line_mutex());
  if (!g_command_line_set) {
    command_line_storage() = default_command_line();
    g_command_line_set = true;
  }
  return &command_line_storage()[0];
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
  std::string path;
  {
    std::lock_guard<std::mutex> hold(command_line_mutex());
    path = module_file_name_storage();
  }
  if (path.empty()) {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) path = windows_form(std::string(exe, static_cast<size_t>(n)));
  }
  if (module != nullptr || path.empty()) {
    t_last_error = ERROR_MOD_NOT_FOUND;
    return 0;
  }
  if (size == 0) {
    t_last_error = ERROR_INSUFFICIENT_BUFFER;
    return 0;
  }
  // As Windows: a path that does not fit is cut, still terminated, and the
  // answer is the whole buffer.
  if (path.size() >= size) {
    std::memcpy(buffer, path.data(), size - 1);
    buffer[size - 1] = '\0';
    t_last_error = ERROR_INSUFFICIENT_BUFFER;
    return size;
  }
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}

HMODULE GetModuleHandleA(LPCSTR name) {
  // Only the program's own module is ever asked for; any stable non-null value serves.
  static char module_marker;
  return name == nullptr ? static_cast<HMODULE>(&module_marker) : nullptr;
}

void GetStartupInfoA(LPSTARTUPINFOA info) {
  DWORD size = info->cb;
  std::memset(info, 0, sizeof *info);
  info->cb = size ? size : sizeof *info;
}

void Sleep(DWORD milliseconds) {
  struct timespec ts;
  ts.tv_sec = milliseconds / 1000;
  ts.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

void ExitProcess(UINT exit_code) {
  if (g_exit_hook != nullptr) g_exit_hook(exit_code);
  std::fflush(nullptr);
  _exit(static_cast<int>(exit_code));
}

INT MulDiv(INT number, INT numerator, INT denominator) {
  if (denominator == 0) return -1;
  int64_t product = static_cast<int64_t>(number) * numerator;
  int64_t divisor = denominator;
  if (divisor < 0) {
    product = -product;
    divisor = -divisor;
  }
  // Rounds half away from zero, as Windows does.
  int64_t result = product >= 0 ? (product + divisor / 2) / divisor
                                : (product - divisor / 2) / divisor;
  if (result > 2147483647LL || result < -2147483647LL) return -1;
  return static_cast<INT>(result);
}

namespace native_layer {

void set_command_line(const std::string& line) {
  std::lock_guard<std::mutex> hold(command_line_mutex());
  command_line_storage() = line;
  g_command_line_set = true;
}

void set_module_file_name(const std::string& path) {
  std::lock_guard<std::mutex> hold(command_line_mutex());
  module_file_name_storage() = path;
}

void set_exit_hook(ExitHook hook) { g_exit_hook = hook; }

}  // namespace native_layer
