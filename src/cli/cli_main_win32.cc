// vintrell-find's entry on Windows: the arguments come from the wide command
// line, so TEXT and DIR keep every character; the ANSI form is what the C
// runtime would have given. The process ends through ExitProcess, as the
// program's does.
#include <cwchar>
#include <string>
#include <vector>

#include "cli/find_command.h"
#include "platform/win32.h"

namespace {

std::string narrow(const wchar_t* wide, UINT code_page) {
  int n = WideCharToMultiByte(code_page, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(code_page, 0, wide, -1, &out[0], n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  vintrell::CommandLine command_line;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    // Windows' own way to ask a command for its help, before any "--".
    options_ended = options_ended || std::wcscmp(argv[i], L"--") == 0;
    if (!options_ended && std::wcscmp(argv[i], L"/?") == 0) {
      command_line.args.push_back("--help");
      command_line.ansi.push_back("--help");
      continue;
    }
    command_line.args.push_back(narrow(argv[i], CP_UTF8));
    command_line.ansi.push_back(narrow(argv[i], CP_ACP));
  }
  ExitProcess(static_cast<UINT>(vintrell::run_find_command(command_line)));
}
