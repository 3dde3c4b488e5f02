#include "cli/tree_walk.h"

#include <algorithm>
#include <vector>

#include "cli/output.h"
#include "cli/report.h"
#include "cli/search_folder.h"
#include "platform/win32.h"
#include "runtime/runtime.h"
#include "search/search.h"
#include "services/folder_listing.h"

namespace vintrell {
namespace {

// Not every platform header names it; the value is Win32's.
constexpr DWORD kReparsePoint = 0x400;

// The longer of the two masks a search of `folder` lists with.
bool search_mask_fits(const std::string& folder) {
  return normalise_folder(folder).size() + 5 <= kListMaskLimit;
}

struct Listed {
  std::vector<std::string> folders;
  std::set<std::string> links;
  std::vector<std::string> unnamed;  // folders no ANSI name opens: never entered
};

// Every entry of `folder`, sorted into subfolders to enter and links to pass
// by. 0, or the platform error that kept the folder from being listed.
DWORD list_folder(const std::string& folder, Listed* listed) {
  const DWORD failure = list_entries(normalise_folder(folder) + "*", [&](const ListedEntry& entry) {
    const std::string name = entry.data.cFileName;
    const DWORD attributes = entry.data.dwFileAttributes;
    if (name == "." || name == "..") return;
    if ((attributes & kReparsePoint) != 0) {
      if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) listed->links.insert(name);
      return;  // a link to a folder is never entered: no loop, no way out of the tree
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & FILE_ATTRIBUTE_HIDDEN) == 0) {
      (entry.exact ? listed->folders : listed->unnamed).push_back(name);
    }
  });
  // A drive's root without entries answers "no file"; that is an empty
  // folder. Any other folder lists its "." unless it cannot be entered.
  if (failure == ERROR_FILE_NOT_FOUND || failure == ERROR_NO_MORE_FILES) {
    return folder_trouble(folder).empty() ? 0 : ERROR_ACCESS_DENIED;
  }
  if (failure != 0) return failure;
  std::sort(listed->folders.begin(), listed->folders.end(),
            [](const std::string& a, const std::string& b) {
              int order = compare_results(a, b);
              return order != 0 ? order < 0 : a < b;
            });
  return 0;
}

bool walk(const std::string& folder, const std::string& below, const FolderVisitor& visit,
          const WalkErrorSink& error) {
  WalkedFolder here;
  here.folder = folder;
  here.below = below;
  Listed listed;
  const bool listable = search_mask_fits(folder);
  if (listable) {
    DWORD failure = list_folder(folder, &listed);
    if (failure != 0) {
      std::string reason = folder_trouble(folder);
      error(below, reason.empty() ? platform_error_text(failure) : reason);
      return true;
    }
    here.links = std::move(listed.links);
  }
  // Its look-alike would be walked instead (a "Lodz" for "Łodz").
  for (const std::string& name : listed.unnamed) {
    error(below.empty() ? name : below + "\\" + name, read_error_text(kNameNotRepresentable));
  }
  if (!visit(here)) return false;
  const std::string base = normalise_folder(folder);
  for (const std::string& name : listed.folders) {
    if (!walk(base + name, below.empty() ? name : below + "\\" + name, visit, error)) return false;
  }
  return true;
}

}  // namespace

bool walk_folders(const std::string& root, const FolderVisitor& visit, const WalkErrorSink& error) {
  return walk(root, std::string(), visit, error);
}

}  // namespace vintrell
