#include <windows.h>

#include <vector>

#include "cli/terminal.h"

namespace vintrell {
namespace {

bool is_console(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

}  // namespace

Terminal describe_terminal(bool raw) {
  Terminal terminal;
  if (raw) return terminal;
  terminal.text_in_utf8 = true;
  terminal.lines_in_utf8 = is_console(GetStdHandle(STD_OUTPUT_HANDLE));
  terminal.paths_in_utf8 = terminal.lines_in_utf8;
  return terminal;
}

bool write_to_console(HANDLE handle, const std::string& text, TextKind kind, DWORD* error) {
  if (kind == TextKind::kBytes || !is_console(handle)) return false;
  *error = 0;
  if (text.empty()) return true;
  UINT source = kind == TextKind::kUtf8 ? CP_UTF8 : CP_ACP;
  int n = MultiByteToWideChar(source, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::vector<wchar_t> wide(static_cast<size_t>(n > 0 ? n : 1));
  n = MultiByteToWideChar(source, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  if (n <= 0) {
    *error = GetLastError();
    return true;
  }
  DWORD done = 0;
  while (done < static_cast<DWORD>(n)) {
    DWORD chunk = static_cast<DWORD>(n) - done;
    if (chunk > 8192) chunk = 8192;
    DWORD written = 0;
    if (!WriteConsoleW(handle, wide.data() + done, chunk, &written, nullptr) || written == 0) {
      *error = GetLastError();
      if (*error == 0) *error = ERROR_WRITE_FAULT;
      return true;
    }
    done += written;
  }
  return true;
}

std::string message_text(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return std::string();
  std::vector<wchar_t> wide(static_cast<size_t>(n));
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  int m = WideCharToMultiByte(CP_ACP, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
  if (m <= 0) return std::string();
  std::string out(static_cast<size_t>(m), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), n, &out[0], m, nullptr, nullptr);
  return out;
}

bool platform_folder_name(const std::string& given, std::string* name) {
  // UTF-8 to UTF-16 to the ANSI code page, refusing a best fit: a folder named
  // by a look-alike would be another folder.
  if (given.empty() || GetACP() == CP_UTF8) {
    *name = given;
    return true;
  }
  int n = MultiByteToWideChar(CP_UTF8, 0, given.data(), static_cast<int>(given.size()), nullptr, 0);
  if (n <= 0) return false;
  std::vector<wchar_t> wide(static_cast<size_t>(n));
  MultiByteToWideChar(CP_UTF8, 0, given.data(), static_cast<int>(given.size()), wide.data(), n);
  BOOL defaulted = FALSE;
  int m = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), n, nullptr, 0, nullptr,
                              &defaulted);
  if (m <= 0 || defaulted) return false;
  name->assign(static_cast<size_t>(m), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), n, &(*name)[0], m, nullptr,
                      &defaulted);
  return !defaulted;
}

std::string path_to_utf8(const std::string& path) {
  if (path.empty()) return path;
  // Every byte of a single-byte ANSI code page decodes; nothing is dropped.
  int n = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  if (n <= 0) return std::string();
  std::vector<wchar_t> wide(static_cast<size_t>(n));
  MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
  int m = WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
  if (m <= 0) return std::string();
  std::string out(static_cast<size_t>(m), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, &out[0], m, nullptr, nullptr);
  return out;
}

}  // namespace vintrell
