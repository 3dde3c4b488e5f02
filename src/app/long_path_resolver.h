// The long-path resolver: an absolute path (drive letter, colon, backslash,
// components) spelled again with each component's long name, as the folder
// listing reports it.
#ifndef VINTRELL_APP_LONG_PATH_RESOLVER_H_
#define VINTRELL_APP_LONG_PATH_RESOLVER_H_

#include <string>

namespace vintrell {

// The first two characters of `path` (taken to be the drive) followed by "\" and
// the stored name of each component after the third character. "" when any
// component cannot be listed. An input of two characters or fewer comes back
// with a backslash appended unless it has two characters. Starts listings: never
// call it while a folder listing is being walked.
std::string long_path_resolver(const std::string& path);

}  // namespace vintrell

#endif  // VINTRELL_APP_LONG_PATH_RESOLVER_H_
