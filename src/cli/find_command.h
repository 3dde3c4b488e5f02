// vintrell-find: the command-line front end on the search core.
//   vintrell-find [-d DIR] [-l] [-c] [-r] [-H|--no-filename] [--entries] [--json]
//                 [-s] [--raw] [--codepage N] [-j N] [--] TEXT
#ifndef VINTRELL_CLI_FIND_COMMAND_H_
#define VINTRELL_CLI_FIND_COMMAND_H_

#include <string>
#include <vector>

#include "cli/options.h"

namespace vintrell {

constexpr int kExitFound = 0;
constexpr int kExitNotFound = 1;
constexpr int kExitTrouble = 2;  // a usage error or any error on the way
constexpr int kExitUsage = kExitTrouble;

struct CommandLine {
  // The arguments after the program's name: the bytes given natively; on
  // Windows UTF-8, from the wide command line.
  std::vector<std::string> args;
  // The same arguments as the ANSI command line has them (the bytes of --raw);
  // natively equal to `args`.
  std::vector<std::string> ansi;
};

// The whole command: the result lines in the results list's order (with -r
// folder by folder, each folder's in that order), then the summary of all
// folders, to standard output, each followed by "\n" (no CR on any platform),
// or their JSON Lines with --json;
// errors to standard error. Returns 0 when at least one file had a hit, 1 when
// none did, 2 for a usage error or when any error happened. Never writes a file.
int run_find_command(const CommandLine& command_line);

}  // namespace vintrell

#endif  // VINTRELL_CLI_FIND_COMMAND_H_
