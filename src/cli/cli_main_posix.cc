// vintrell-find's entry natively: the arguments are bytes, the same in both
// forms. The process ends through ExitProcess, as the program's does.
#include <string>
#include <vector>

#include "cli/find_command.h"
#include "platform/win32.h"

int main(int argc, char** argv) {
  vintrell::CommandLine command_line;
  command_line.args.assign(argv + 1, argv + argc);
  command_line.ansi = command_line.args;
  ExitProcess(static_cast<UINT>(vintrell::run_find_command(command_line)));
}
