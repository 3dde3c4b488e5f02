// vintrell-find's -r on Windows: no file is read through a link or junction
// met below the searched folder, also one swapped in after the listing.
#ifndef VINTRELL_CLI_OPENS_BELOW_H_
#define VINTRELL_CLI_OPENS_BELOW_H_

#include <string>

namespace vintrell {

// From now on a file below `folder` (as the search's paths begin with it) is
// opened only when its handle is the entry its folder's listing holds (same
// volume and file index, not a reparse point), in folders checked the same
// way up to `folder`, each listed from its own handle, and, where the system
// resolves names, when it resolves to the folder's own name and the listed
// names. Else the open fails with ERROR_STOPPED_ON_SYMLINK.
void open_only_as_listed_below(const std::string& folder);

// Opens as before again.
void open_as_given();

}  // namespace vintrell

#endif  // VINTRELL_CLI_OPENS_BELOW_H_
