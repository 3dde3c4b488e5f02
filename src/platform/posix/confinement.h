// Opens below a folder that follow no symbolic link on the way: a search that
// promises not to follow links below its folder cannot be led out of it by a
// link swapped in after the folder was listed.
#ifndef VINTRELL_PLATFORM_POSIX_CONFINEMENT_H_
#define VINTRELL_PLATFORM_POSIX_CONFINEMENT_H_

#include <string>

namespace native_layer {

// When `posix_path` lies below the confining folder (see
// follow_no_links_below), its part below it; else false.
bool below_confining_folder(const std::string& posix_path, std::string* rest);

// open(2) of `rest` below the confining folder with `flags`, following no
// symbolic link in any component: -1 with errno ELOOP where one stands.
int open_below_confining_folder(const std::string& rest, int flags);

}  // namespace native_layer

#endif  // VINTRELL_PLATFORM_POSIX_CONFINEMENT_H_
