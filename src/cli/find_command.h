// vintrell-find: the command-line front end on the search core.
//   vintrell-find [-d DIR | --dir DIR] [-l | --lists] [-c | --match-case] [--] TEXT
#ifndef VINTRELL_CLI_FIND_COMMAND_H_
#define VINTRELL_CLI_FIND_COMMAND_H_

#include <string>
#include <vector>

namespace vintrell {

constexpr int kExitFound = 0;
constexpr int kExitNotFound = 1;
constexpr int kExitUsage = 2;

struct FindArguments {
  enum class Action { kSearch, kHelp, kVersion, kUsageError };
  Action action = Action::kSearch;
  std::string error;      // the one-line message of a usage error
  std::string directory;  // meaningful when directory_given
  bool directory_given = false;
  bool lists = false;
  bool match_case = false;
  std::string text;  // raw bytes, possibly empty
};

// The arguments after the program's name. Options may come before or after TEXT
// until `--`; short options bundle (-lc, -dDIR); --dir=DIR works too; the last
// --dir wins. --help or --version decide at once, however the rest looks.
FindArguments parse_find_arguments(const std::vector<std::string>& args);

// The whole command: writes the result lines in the results list's order and
// the summary to standard output, each followed by "\n" (no CR on any
// platform), or a usage error to standard error. Returns 0 when at least one
// file had a hit, 1 when none did, 2 for a usage error. Never writes a file.
int run_find_command(const std::vector<std::string>& args);

}  // namespace vintrell

#endif  // VINTRELL_CLI_FIND_COMMAND_H_
