// vintrell-find's command line: the options as getopt_long reads them, the
// usage line and the help text.
#ifndef VINTRELL_CLI_OPTIONS_H_
#define VINTRELL_CLI_OPTIONS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vintrell {

constexpr uint32_t kDefaultCodePage = 1252;
// More files at a time than this only costs memory.
constexpr uint32_t kMostJobs = 64;

struct FindArguments {
  enum class Action { kSearch, kHelp, kVersion, kUsageError };
  Action action = Action::kSearch;
  std::string error;      // the one-line message of a usage error
  std::string directory;  // meaningful when directory_given
  bool directory_given = false;
  bool lists = false;
  bool match_case = false;
  bool no_messages = false;  // -s: no line for a file that could not be read
  bool raw = false;          // TEXT and the output lines pass as bytes
  bool recursive = false;    // -r: DIR and every folder below it
  bool filename_given = false;  // -H or --no-filename was given (else: as -r)
  bool with_filename = false;   // meaningful when filename_given
  bool entries = false;      // the matching entries under each result
  bool json = false;         // JSON Lines instead of the dialog's text
  bool csv = false;          // a CSV table of the matching records or entries
  bool fold_code_page = false;  // --fold=codepage: the code page's own letter pairs
  uint32_t code_page = kDefaultCodePage;
  uint32_t jobs = 0;      // files scanned at a time; 0: one per processor
  std::string text;       // as given, possibly empty
  size_t text_index = 0;  // TEXT's place among the arguments
};

// The arguments after the program's name, through getopt_long: options may
// come before or after TEXT until `--`; short options bundle (-lc, -dDIR);
// --dir=DIR and unambiguous abbreviations of long options work; the last --dir
// wins; of -H and --no-filename the last wins. -h/--help or --version decide
// at once when met.
FindArguments parse_find_arguments(const std::vector<std::string>& args);

extern const char kUsage[];

// Whether result lines carry their file's path: -H, --no-filename, else -r.
inline bool shows_file_names(const FindArguments& a) {
  return a.filename_given ? a.with_filename : a.recursive;
}
// The help shown by --help, after the usage line.
std::string help_text();
// Its paragraph on how TEXT and the lines are converted, which differs by
// platform (terminal_posix.cc, terminal_win32.cc).
extern const char kHelpOnEncodings[];

}  // namespace vintrell

#endif  // VINTRELL_CLI_OPTIONS_H_
