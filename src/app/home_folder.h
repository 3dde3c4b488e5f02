// The home folder: the folder that holds the program, as its command line names it.
#ifndef VINTRELL_APP_HOME_FOLDER_H_
#define VINTRELL_APP_HOME_FOLDER_H_

#include <string>

namespace vintrell {

// The folder that holds the program, ending in `\`, worked out from a command
// line: its first 126 characters, quotes stripped at both ends, spelled with long
// names. "" when the line does not name an existing file (arguments after the
// path, a cut path, a bare program name).
std::string home_folder(const char* command_line);

}  // namespace vintrell

#endif  // VINTRELL_APP_HOME_FOLDER_H_
