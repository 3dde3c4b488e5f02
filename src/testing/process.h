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

// The path of the executable `name` (".exe" added on Windows) that sits in the
// same folder as the running test executable.
std::string program_beside_this_one(const std::string& name);

}  // namespace testing

#endif  // VINTRELL_TESTING_PROCESS_H_
