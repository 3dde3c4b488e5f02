// The folders of a -r search: DIR, then every folder below it in name order,
// depth first, without entering hidden folders or following symbolic links.
#ifndef VINTRELL_CLI_TREE_WALK_H_
#define VINTRELL_CLI_TREE_WALK_H_

#include <functional>
#include <set>
#include <string>

namespace vintrell {

struct WalkedFolder {
  std::string folder;  // as the platform's file calls take it
  std::string below;   // the path below the root, components joined by '\'; "" for the root
  // Entries of the folder that are links (reparse points) and not folders:
  // a search below the root reads none of them.
  std::set<std::string> links;
};

// Called for each folder before the folders below it; false ends the walk.
using FolderVisitor = std::function<bool(const WalkedFolder& folder)>;
// A folder below the root whose entries could not be listed: its path below
// the root and the reason. Neither it nor anything below it is searched.
using WalkErrorSink = std::function<void(const std::string& below, const std::string& reason)>;

// Visits `root` (a folder that can be listed) and every folder below it that
// is neither hidden nor a reparse point (a symbolic link or junction), each
// folder's subfolders in the results list's collation of their names. A folder
// whose search mask would be longer than a listing takes is visited (its
// search names the trouble) but not listed, which also bounds the depth.
// Returns false when a visitor ended the walk.
bool walk_folders(const std::string& root, const FolderVisitor& visit, const WalkErrorSink& error);

}  // namespace vintrell

#endif  // VINTRELL_CLI_TREE_WALK_H_
