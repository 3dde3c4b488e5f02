// Folder listings: the one listing of the process (directory entries that
// match a mask and pass an attribute filter, one bare name per call), and a
// whole listing at once for a caller that walks folders. Each name is one the
// ANSI file calls open the entry by (the short name of one the code page
// cannot spell).
#ifndef VINTRELL_SERVICES_FOLDER_LISTING_H_
#define VINTRELL_SERVICES_FOLDER_LISTING_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "services/listed_entry.h"

namespace vintrell {

// A listing takes at most this many bytes of its mask; the rest is cut off.
constexpr size_t kListMaskLimit = 256;

// Attribute mask bits that admit entries besides plain files.
constexpr int32_t kListHidden = 2;
constexpr int32_t kListSystem = 4;
constexpr int32_t kListDirectories = 16;
constexpr int32_t kListPlainFiles = 0;
constexpr int32_t kListEverything = kListHidden | kListSystem | kListDirectories;

// Starts a new listing of `mask` (at most 256 bytes; a trailing `:` or `\` lists
// everything in that folder) and returns the first accepted name, or "". An empty
// mask continues the current listing. Clears the caller's run-time error.
std::string list_first_match(const std::string& mask, int32_t attribute_mask);
// The next accepted name of the current listing, or "" (again and again) at its end.
std::string list_next_match();
// False when the name last handed back is no name of the entry's: the ANSI
// code page cannot spell it and the entry has no short name (Windows only).
// Opened, it would name another file or none.
bool list_match_exact();

// Hands `each` every entry that `mask` lists, "." and ".." included, in the
// platform's order. 0, or the platform's code for a listing that gave no
// entry (ERROR_FILE_NOT_FOUND: nothing matched).
uint32_t list_entries(const std::string& mask, const std::function<void(const ListedEntry&)>& each);

}  // namespace vintrell

#endif  // VINTRELL_SERVICES_FOLDER_LISTING_H_
