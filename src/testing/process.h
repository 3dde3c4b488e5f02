// Runs a program as a child process and collects what it printed, for tests that
// check a command end to end.
#ifndef VINTRELL_TESTING_PROCESS_H_
#define VINTRELL_TESTING_PROCESS_H_

#include <string>
#include <vector>

namespace testing {

struct ProcessResult {
  bool started = false;  // false: the program could not be started at all
  int exit_code = -1;
  std::string out;  // standard output, byte for byte
  std::string err;  // standard error, byte for byte
};

// Starts `program` with `args` (each passed as one argument, raw bytes, empty
// ones included) in `working_folder` (the test's own when empty), with no
// standard input, and waits for it to end.
ProcessResult run_program(const std::string& program, const std::vector<std::string>& args,
                          const std::string& working_folder = std::string());

struct RunOptions {
  std::string working_folder;  // the test's own when empty
  // "NAME=value" entries set in the child's environment (natively; Windows
  // children get the test's own).
  std::vector<std::string> environment;
  // Windows: the arguments are UTF-8 and reach the child through the wide
  // command line, so that any character does. Natively they are bytes anyway.
  bool utf8_arguments = false;
  // Standard output refuses every write: /dev/full natively, a read-only
  // handle on Windows.
  bool failing_output = false;
  // Windows only: standard output is a console screen buffer; `out` holds what
  // it shows, as UTF-8, each row without its trailing blanks and ended by "\n".
  // Natively the run does not start.
  bool console_output = false;
};

ProcessResult run_program(const std::string& program, const std::vector<std::string>& args,
                          const RunOptions& options);

// The path of the executable `name` (".exe" added on Windows) that sits in the
// same folder as the running test executable.
std::string program_beside_this_one(const std::string& name);

}  // namespace testing

#endif  // VINTRELL_TESTING_PROCESS_H_
