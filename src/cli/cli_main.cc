// vintrell-find's entry: hands its arguments, as raw bytes, to the command, and
// ends the process as the program does, through ExitProcess.
#include <string>
#include <vector>

#include "cli/find_command.h"
#include "platform/win32.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  ExitProcess(static_cast<UINT>(vintrell::run_find_command(args)));
}
