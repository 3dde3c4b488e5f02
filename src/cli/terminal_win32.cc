#include <windows.h>

#include <vector>

#include "cli/options.h"
#include "cli/terminal.h"

namespace vintrell {
namespace {

bool is_console(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

// `text` from code page `from` into UTF-16; empty when it does not convert.
std::vector<wchar_t> wide_of(const std::string& text, UINT from) {
  std::vector<wchar_t> wide;
  int n = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return wide;
  wide.resize(static_cast<size_t>(n));
  MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

// `wide` into code page `to` with `flags`; false when it does not convert or,
// with WC_NO_BEST_FIT_CHARS, when a character had to be replaced.
bool narrow_of(const std::vector<wchar_t>& wide, UINT to, DWORD flags, std::string* out) {
  out->clear();
  if (wide.empty()) return false;
  const int n = static_cast<int>(wide.size());
  BOOL defaulted = FALSE;
  BOOL* asked = (flags & WC_NO_BEST_FIT_CHARS) != 0 ? &defaulted : nullptr;
  int m = WideCharToMultiByte(to, flags, wide.data(), n, nullptr, 0, nullptr, asked);
  if (m <= 0 || defaulted) return false;
  out->assign(static_cast<size_t>(m), '\0');
  WideCharToMultiByte(to, flags, wide.data(), n, &(*out)[0], m, nullptr, asked);
  return !defaulted;
}

// UTF-8 and ANSI texts one into the other; empty when they do not convert.
std::string recoded(const std::string& text, UINT from, UINT to) {
  std::string out;
  if (!narrow_of(wide_of(text, from), to, 0, &out)) out.clear();
  return out;
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

Terminal describe_message_side() { return Terminal(); }

bool write_to_console(HANDLE handle, const std::string& text, TextKind kind, DWORD* error) {
  if (kind == TextKind::kBytes || !is_console(handle)) return false;
  *error = 0;
  if (text.empty()) return true;
  std::vector<wchar_t> wide = wide_of(text, kind == TextKind::kUtf8 ? CP_UTF8 : CP_ACP);
  if (wide.empty()) {
    *error = GetLastError();
    return true;
  }
  const size_t n = wide.size();
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

std::string message_text(const std::string& utf8) { return recoded(utf8, CP_UTF8, CP_ACP); }

bool platform_folder_name(const std::string& given, std::string* name) {
  // UTF-8 to UTF-16 to the ANSI code page, refusing a best fit: a folder named
  // by a look-alike would be another folder.
  if (given.empty() || GetACP() == CP_UTF8) {
    *name = given;
    return true;
  }
  return narrow_of(wide_of(given, CP_UTF8), CP_ACP, WC_NO_BEST_FIT_CHARS, name);
}

std::string path_to_utf8(const std::string& path) {
  // Every byte of a single-byte ANSI code page decodes; nothing is dropped.
  return path.empty() ? path : recoded(path, CP_ACP, CP_UTF8);
}

bool exact_utf8_path(const std::string& path, std::string* utf8) {
  if (path.empty()) {
    utf8->clear();
    return true;
  }
  *utf8 = recoded(path, CP_ACP, CP_UTF8);
  return !utf8->empty();
}

const char kHelpOnEncodings[] =
    "TEXT is converted to the code page (a character it cannot hold is an error).\n"
    "Written to a console, each line shows as characters; redirected, the lines are\n"
    "the code page's bytes.\n";

}  // namespace vintrell
