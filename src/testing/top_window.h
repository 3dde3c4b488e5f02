// Finding a program's window from outside it, as the Windows drivers of
// vintrell.exe (end-to-end, release check, benchmark) do.
#ifndef VINTRELL_TESTING_TOP_WINDOW_H_
#define VINTRELL_TESTING_TOP_WINDOW_H_

#include <cstring>

#include "platform/win32.h"

namespace testing {
namespace top_window_detail {

struct Search {
  DWORD process;
  const char* caption;
  HWND exclude;
  HWND found;
};

inline BOOL CALLBACK look_at(HWND window, LPARAM param) {
  Search* search = reinterpret_cast<Search*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->process || window == search->exclude || !IsWindowVisible(window)) {
    return TRUE;
  }
  char text[256] = "";
  GetWindowTextA(window, text, sizeof text);
  if (search->caption != nullptr && std::strcmp(text, search->caption) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace top_window_detail

// A visible top-level window of `process`, by caption (any caption when null),
// other than `exclude`; null when there is none (yet).
inline HWND visible_window_of(DWORD process, const char* caption, HWND exclude = nullptr) {
  top_window_detail::Search search = {process, caption, exclude, nullptr};
  EnumWindows(top_window_detail::look_at, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace testing

#endif  // VINTRELL_TESTING_TOP_WINDOW_H_
