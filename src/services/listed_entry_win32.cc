#include "platform/win32.h"

#include <cstring>
#include <vector>

#include "services/listed_entry.h"

namespace vintrell {
namespace {

// `wide` in the ANSI code page; false when a character had no exact form.
// The round trip also catches what a best fit the flags cannot turn off makes.
bool to_ansi(const std::wstring& wide, std::string* ansi) {
  ansi->clear();
  if (wide.empty()) return true;
  const int n = static_cast<int>(wide.size());
  BOOL defaulted = FALSE;
  int m = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), n, nullptr, 0, nullptr,
                              &defaulted);
  if (m <= 0) return false;
  ansi->assign(static_cast<size_t>(m), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), n, &(*ansi)[0], m, nullptr,
                      &defaulted);
  if (defaulted) return false;
  std::vector<wchar_t> back(wide.size() + 1);
  int k = MultiByteToWideChar(CP_ACP, 0, ansi->data(), m, back.data(),
                              static_cast<int>(back.size()));
  return k == n && std::wmemcmp(back.data(), wide.data(), wide.size()) == 0;
}

std::wstring wide_of(const char* ansi) {
  int n = MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi, -1, &wide[0], n);
  wide.resize(static_cast<size_t>(n - 1));
  return wide;
}

void fill(const WIN32_FIND_DATAW& wide, ListedEntry* entry) {
  WIN32_FIND_DATAA& data = entry->data;
  data.dwFileAttributes = wide.dwFileAttributes;
  data.ftCreationTime = wide.ftCreationTime;
  data.ftLastAccessTime = wide.ftLastAccessTime;
  data.ftLastWriteTime = wide.ftLastWriteTime;
  data.nFileSizeHigh = wide.nFileSizeHigh;
  data.nFileSizeLow = wide.nFileSizeLow;
  data.dwReserved0 = wide.dwReserved0;
  data.dwReserved1 = wide.dwReserved1;
  const std::wstring long_name(wide.cFileName, wcsnlen(wide.cFileName, MAX_PATH));
  const std::wstring short_name(wide.cAlternateFileName, wcsnlen(wide.cAlternateFileName, 14));
  std::string name, alternate;
  entry->exact = exact_ansi_name(long_name, short_name, &name);
  if (!to_ansi(short_name, &alternate)) alternate.clear();
  const size_t n = name.size() < MAX_PATH - 1 ? name.size() : MAX_PATH - 1;
  std::memcpy(data.cFileName, name.data(), n);
  data.cFileName[n] = '\0';
  const size_t a = alternate.size() < 13 ? alternate.size() : 13;
  std::memcpy(data.cAlternateFileName, alternate.data(), a);
  data.cAlternateFileName[a] = '\0';
}

}  // namespace

bool exact_ansi_name(const std::wstring& long_name, const std::wstring& short_name,
                     std::string* name) {
  if (to_ansi(long_name, name)) return true;
  if (!short_name.empty() && to_ansi(short_name, name)) return true;
  // For messages: '?' where the code page has no character, never a look-alike.
  name->clear();
  const int n = static_cast<int>(long_name.size());
  int m = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, long_name.data(), n, nullptr, 0,
                              "?", nullptr);
  if (m > 0) {
    name->assign(static_cast<size_t>(m), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, long_name.data(), n, &(*name)[0], m, "?",
                        nullptr);
  }
  return false;
}

// The callers judge a listing call by the last error it leaves: the
// conversions after a found entry must leave the listing's.
HANDLE find_first_entry(const char* mask, ListedEntry* entry) {
  WIN32_FIND_DATAW wide;
  HANDLE search = FindFirstFileW(wide_of(mask).c_str(), &wide);
  if (search != INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    fill(wide, entry);
    SetLastError(error);
  }
  return search;
}

BOOL find_next_entry(HANDLE search, ListedEntry* entry) {
  WIN32_FIND_DATAW wide;
  if (!FindNextFileW(search, &wide)) return FALSE;
  const DWORD error = GetLastError();
  fill(wide, entry);
  SetLastError(error);
  return TRUE;
}

}  // namespace vintrell
