// vintrell-find's entry: hands its arguments, as raw bytes, to the command.
#include <string>
#include <vector>

#include "cli/find_command.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return vintrell::run_find_command(args);
}
