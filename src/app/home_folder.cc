#include "app/home_folder.h"

#include <vector>

#include "app/long_path_resolver.h"
#include "platform/win32.h"
#include "runtime/runtime.h"
#include "services/folder_listing.h"

namespace vintrell {
namespace {

// The longest path Windows has for a module.
constexpr DWORD kLongestModulePath = 32768;

}  // namespace

std::string home_folder_of(const std::string& module_path) {
  ProcedureFrame frame;
  const size_t cut = module_path.rfind('\\');
  if (cut == std::string::npos || cut == 0) return std::string();
  const std::string folder = module_path.substr(0, cut);
  // A module started by its short name has a short path; the box shows the
  // names the user knows. A path that cannot be resolved (too long to list, a
  // share) is kept as Windows gave it.
  std::string resolved;
  // A listing cuts a longer mask, which would name other folders.
  if (folder.size() >= 2 && folder[1] == ':' && (folder.size() == 2 || folder[2] == '\\') &&
      folder.size() < kListMaskLimit) {
    resolved = long_path_resolver(folder);
  }
  return (resolved.empty() ? folder : resolved) + "\\";
}

std::string home_folder() {
  ProcedureFrame frame;
  // A buffer that grows until the whole path fits: a cut path names another folder.
  for (DWORD size = MAX_PATH;; size *= 2) {
    std::vector<char> buffer(size + 1, '\0');
    PlatformOutcome outcome;
    const DWORD n = guarded_platform_call(
        &outcome, [&] { return GetModuleFileNameA(nullptr, buffer.data(), size); });
    if (n == 0) return std::string();
    if (n < size) return home_folder_of(std::string(buffer.data(), n));
    if (size >= kLongestModulePath) return std::string();
  }
}

}  // namespace vintrell
