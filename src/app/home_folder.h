// The home folder: the folder that holds the program, from the program's own path.
#ifndef VINTRELL_APP_HOME_FOLDER_H_
#define VINTRELL_APP_HOME_FOLDER_H_

#include <string>

namespace vintrell {

// The folder that holds the program file `module_path`, ending in `\`, spelled
// with long names where they can be listed. "" for a path without a folder.
std::string home_folder_of(const std::string& module_path);

// home_folder_of the process's own module path (GetModuleFileNameA, however
// long Windows lets it be), whatever command line started the program.
std::string home_folder();

}  // namespace vintrell

#endif  // VINTRELL_APP_HOME_FOLDER_H_
