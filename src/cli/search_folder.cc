#include "cli/search_folder.h"

#include "cli/host.h"
#include "cli/output.h"
#include "platform/win32.h"
#include "runtime/runtime.h"
#include "search/search.h"
#include "services/folder_listing.h"

namespace vintrell {

bool current_folder(std::string* folder, std::string* reason) {
  ProcedureFrame frame;
  PlatformOutcome outcome;
  DWORD size = guarded_platform_call(&outcome, [] { return GetCurrentDirectoryA(0, nullptr); });
  if (size != 0) {
    std::string buffer(size, '\0');
    DWORD length =
        guarded_platform_call(&outcome, [&] { return GetCurrentDirectoryA(size, &buffer[0]); });
    if (length != 0 && length < size) {
      buffer.resize(length);
      *folder = buffer;
      return true;
    }
  }
  *reason = platform_error_text(outcome.code != 0 ? outcome.code : ERROR_PATH_NOT_FOUND);
  return false;
}

namespace {

// A drive's root ("C:", "\\", "/", "\\\\server\\share"), which lists no "." of
// its own.
bool is_root_folder(const std::string& bare) {
  auto separator = [](char c) { return c == '\\' || c == '/'; };
  if (bare.empty()) return true;
  if (bare.size() == 2 && bare[1] == ':') return true;
  if (bare.size() >= 2 && separator(bare[0]) && separator(bare[1])) {
    size_t separators = 0;
    for (size_t i = 2; i < bare.size(); ++i) separators += separator(bare[i]) ? 1 : 0;
    return separators <= 1;
  }
  for (char c : bare) {
    if (!separator(c)) return false;
  }
  return true;
}

}  // namespace

std::string folder_trouble(const std::string& folder) {
  ProcedureFrame frame;
  // Whether the folder can be listed at all, not what it holds: "?" names "."
  // even in an empty folder, and the listing describes no other entry than
  // those of one character (the search lists the files itself, once).
  std::string mask = normalise_folder(folder) + "?";
  const uint32_t listed = list_entries(mask, [](const ListedEntry&) {});
  if (listed == 0) return std::string();
  const bool nothing_listed = listed == ERROR_FILE_NOT_FOUND || listed == ERROR_NO_MORE_FILES;
  std::string bare = mask.substr(0, mask.size() - 2);
  if (nothing_listed && is_root_folder(bare)) return std::string();
  if (bare.empty() || bare.back() == ':') bare += '\\';
  PlatformOutcome asked;
  DWORD attributes =
      guarded_platform_call(&asked, [&] { return GetFileAttributesA(bare.c_str()); });
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return asked.code == ERROR_ACCESS_DENIED || asked.code == ERROR_CANT_RESOLVE_FILENAME
               ? platform_error_text(asked.code)
               : "No such folder";
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return "Not a folder";
  // A folder below a root always lists its own ".": one that lists nothing
  // can be read but not entered (no search permission).
  if (nothing_listed) return platform_error_text(ERROR_ACCESS_DENIED);
  return platform_error_text(listed);
}

std::string shown_path(const std::string& folder, const std::string& name) {
  const std::string below = path_as_spelled(name);
  if (folder.empty()) return below;
  if (below.empty()) return folder;
  const char separator = path_separator();
  // Windows takes '/' for its separator too: "MAIL/" shows no "MAIL/\ann".
  auto trailing = [&](char c) { return c == separator || (separator == '\\' && c == '/'); };
  std::string shown = folder;
  while (!shown.empty() && trailing(shown.back())) shown.pop_back();
  return shown + separator + below;
}

}  // namespace vintrell
