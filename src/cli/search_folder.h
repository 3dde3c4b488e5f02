// The folder vintrell-find searches: the current one named, a given one
// checked before it is searched.
#ifndef VINTRELL_CLI_SEARCH_FOLDER_H_
#define VINTRELL_CLI_SEARCH_FOLDER_H_

#include <string>

namespace vintrell {

// The current folder's name, or false with the reason when it cannot be named
// (a folder deleted under the process): then nothing may be searched in its
// stead.
bool current_folder(std::string* folder, std::string* reason);

// Empty when `folder` is a folder whose entries can be listed; else the reason
// ("No such folder", "Not a folder", "Permission denied", ...).
std::string folder_trouble(const std::string& folder);

// A file of `folder` as the user would write it: the folder as given, then the
// system's separator, then the path below the folder as the system spells it.
// An empty `folder` (none was given) gives the name alone, as grep -r does.
std::string shown_path(const std::string& folder, const std::string& name);

}  // namespace vintrell

#endif  // VINTRELL_CLI_SEARCH_FOLDER_H_
