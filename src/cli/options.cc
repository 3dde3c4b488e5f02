#include "cli/options.h"

#include <getopt.h>

#include <algorithm>
#include <cstring>

#include "runtime/runtime.h"

namespace vintrell {

const char kUsage[] =
    "usage: vintrell-find [-d DIR] [-l] [-c] [-r] [-H|--no-filename] [--entries]\n"
    "                     [--json|--csv] [--fold=program|codepage] [-s] [--raw]\n"
    "                     [--codepage N] [-j N] [--] TEXT\n";

namespace {

const char kHelpBeforeEncodings[] =
    "Lists the address books (*.PMR) in DIR in which TEXT occurs, each with the\n"
    "number of occurrences, or with --lists the distribution lists (*.PML) with how\n"
    "many of their entries hold TEXT; then one summary line.\n"
    "\n"
    "  -d, --dir=DIR      the folder to search (default: the current folder)\n"
    "  -l, --lists        search the distribution lists instead of the address books\n"
    "  -c, --match-case   match the case of TEXT exactly; without it the program's own\n"
    "                     table folds a-z and seven byte pairs above 0x7F (0x81, 0x82,\n"
    "                     0x84, 0x86, 0x87, 0x94, 0xA4 to 0x9A, 0x90, 0x8E, 0x8F, 0x80,\n"
    "                     0x99, 0xA5); other letters, accented ones too, match only\n"
    "                     themselves, whatever the locale (see --fold)\n"
    "      --fold=WHICH   without -c, how case is ignored: 'program' (the default, the\n"
    "                     table above, as the Windows program does) or 'codepage': the\n"
    "                     code page's own pairs of capital and small letters, taken from\n"
    "                     its conversion (for 1252 also the accented letters, e.g.\n"
    "                     u and U with umlaut, s and S with caron), so that\n"
    "                     --fold=codepage MULLER with a capital U-umlaut finds a book\n"
    "                     holding \"Hans Muller\" with a small one; 'program' does not\n"
    "  -r, --recursive    also every folder below DIR, in name order, depth first;\n"
    "                     hidden folders and symbolic links are not entered\n"
    "  -H, --with-filename  start each result line with its file's path and ':'\n"
    "                     (the default with -r)\n"
    "      --no-filename  no path before the result lines, also with -r\n"
    "      --entries      under each result, the entries that hold TEXT, indented\n"
    "                     by four blanks: a book's records (name <e-mail>,\n"
    "                     organisation, and the field TEXT is in when it is none of\n"
    "                     those), a list's entry lines (\"@FILE\" with its list's title);\n"
    "                     a book that is not 128 + n x 458 bytes shows its fields\n"
    "      --json         JSON Lines instead: one object per result, then one with\n"
    "                     the summary; every string UTF-8; with --entries a book's\n"
    "                     \"records\" field by field\n"
    "      --csv          a CSV table instead (RFC 4180, UTF-8, a header row): per\n"
    "                     matching record book,name,of,key,street,postal,phone,fax,\n"
    "                     notes,email; per matching entry list,entry; the summary\n"
    "                     goes to standard error\n"
    "  -s, --no-messages  say nothing about files that could not be read\n"
    "      --codepage=N   the mail files' Windows code page (default 1252; any\n"
    "                     single-byte one that keeps ASCII: 1250, 1251, 1253, ...)\n"
    "      --raw          TEXT and the output lines pass as bytes, unconverted\n"
    "  -j, --jobs=N       read and search N files at a time (default: one per\n"
    "                     processor; -j 1 one after the other); the output is the\n"
    "                     same, in the same order\n"
    "  -h, --help         show this help and exit\n"
    "      --version      show the version and exit\n"
    "\n";

// Then the platform's paragraph on conversions, then this.
const char kHelpAfterEncodings[] =
    "Control characters in a title are shown as escapes (\\r, \\n, \\t, \\x1b, ...).\n"
    "With --raw, TEXT and every output byte pass exactly as they are.\n"
    "Paths are the file system's names, printed as they are (control characters\n"
    "escaped unless --raw), never converted from the code page.\n"
    "Every contact whose record mentions a town, to a file a spreadsheet opens:\n"
    "  vintrell-find -r -d ~/mail --csv Ashworth > ashworth.csv\n"
    "Exit status: 0 when TEXT was found, 1 when it was not, 2 for a usage error or\n"
    "any error on the way (a folder or file that could not be read, a write error).\n";

}  // namespace

std::string help_text() {
  return std::string(kHelpBeforeEncodings) + kHelpOnEncodings + kHelpAfterEncodings;
}

namespace {

// Values of the long options that have no short form.
enum : int { kRaw = 256, kCodePage, kVersion, kNoFilename, kEntries, kJson, kCsv, kFold };

const option kLongOptions[] = {
    {"dir", required_argument, nullptr, 'd'},
    {"lists", no_argument, nullptr, 'l'},
    {"match-case", no_argument, nullptr, 'c'},
    {"recursive", no_argument, nullptr, 'r'},
    {"with-filename", no_argument, nullptr, 'H'},
    {"no-filename", no_argument, nullptr, kNoFilename},
    {"entries", no_argument, nullptr, kEntries},
    {"json", no_argument, nullptr, kJson},
    {"csv", no_argument, nullptr, kCsv},
    {"fold", required_argument, nullptr, kFold},
    {"no-messages", no_argument, nullptr, 's'},
    {"raw", no_argument, nullptr, kRaw},
    {"codepage", required_argument, nullptr, kCodePage},
    {"jobs", required_argument, nullptr, 'j'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};
// Leading ':': a missing value is told apart from an unknown option.
const char kShortOptions[] = ":d:lcrHshj:";

const option* option_of(int value) {
  for (const option* o = kLongOptions; o->name != nullptr; ++o) {
    if (o->val == value) return o;
  }
  return nullptr;
}

FindArguments usage_error(const std::string& message) {
  FindArguments result;
  result.action = FindArguments::Action::kUsageError;
  result.error = message;
  return result;
}

// The message for what getopt_long refused. `element` is the argument it was
// reading; both getopt_long implementations report the option by its value.
std::string refusal(int value, const std::string& element) {
  const bool long_form = element.compare(0, 2, "--") == 0;
  const option* known = value != 0 ? option_of(value) : nullptr;
  if (known == nullptr && value != 0) {
    return std::string("unknown option '-") + static_cast<char>(value) + "'";
  }
  if (known == nullptr) {
    std::string name = element.substr(0, element.find('='));
    int candidates = 0;
    for (const option* o = kLongOptions; o->name != nullptr; ++o) {
      if (std::strncmp(o->name, name.c_str() + 2, name.size() - 2) == 0) ++candidates;
    }
    if (candidates > 1) return "option '" + name + "' is ambiguous";
    return "unknown option '" + name + "'";
  }
  std::string name = long_form || value > 255 ? std::string("--") + known->name
                                              : std::string("-") + static_cast<char>(value);
  if (known->has_arg == no_argument) return "option '" + name + "' takes no value";
  return "option '" + name + "' needs " +
         (value == 'd' ? "a folder" : value == kFold ? "'program' or 'codepage'" : "a number");
}

// A number of decimal digits only, 1 to `largest`.
bool parse_number(const char* text, uint32_t largest, uint32_t* number) {
  uint32_t value = 0;
  if (*text == '\0') return false;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    value = value * 10 + static_cast<uint32_t>(*p - '0');
    if (value > largest) return false;
  }
  *number = value;
  return value != 0;
}

}  // namespace

FindArguments parse_find_arguments(const std::vector<std::string>& args) {
  ProcedureFrame frame;
  FindArguments result;
  // getopt_long permutes the pointers, never the strings: a pointer leads back
  // to its argument's place.
  std::string program = "vintrell-find";
  std::vector<std::string> storage(args);
  std::vector<char*> argv;
  argv.push_back(&program[0]);
  for (std::string& arg : storage) argv.push_back(&arg[0]);
  const std::vector<char*> original(argv);
  argv.push_back(nullptr);
  const int argc = static_cast<int>(argv.size() - 1);

  optind = 0;  // a fresh scan, also on a second call (both getopt_long agree)
  opterr = 0;
  for (;;) {
    int value = getopt_long(argc, argv.data(), kShortOptions, kLongOptions, nullptr);
    if (value == -1) break;
    switch (value) {
      case 'd':
        // On Windows "" would be the root of the current drive, not the current folder.
        if (*optarg == '\0') return usage_error("an empty DIR names no folder (-d . is the current one)");
        result.directory = optarg;
        result.directory_given = true;
        break;
      case 'l':
        result.lists = true;
        break;
      case 'c':
        result.match_case = true;
        break;
      case 'r':
        result.recursive = true;
        break;
      case 'H':
      case kNoFilename:
        result.filename_given = true;
        result.with_filename = value == 'H';
        break;
      case kEntries:
        result.entries = true;
        break;
      case kJson:
        result.json = true;
        break;
      case kCsv:
        result.csv = true;
        break;
      case kFold:
        if (std::strcmp(optarg, "codepage") != 0 && std::strcmp(optarg, "program") != 0) {
          return usage_error(std::string("--fold takes 'program' or 'codepage', not '") +
                             optarg + "'");
        }
        result.fold_code_page = std::strcmp(optarg, "codepage") == 0;
        break;
      case 's':
        result.no_messages = true;
        break;
      case kRaw:
        result.raw = true;
        break;
      case kCodePage:
        if (!parse_number(optarg, 65535, &result.code_page)) {
          return usage_error(std::string("'") + optarg + "' is not a code page number");
        }
        break;
      case 'j':
        if (!parse_number(optarg, kMostJobs, &result.jobs)) {
          return usage_error(std::string("-j takes a number of files from 1 to ") +
                             std::to_string(kMostJobs) + ", not '" + optarg + "'");
        }
        break;
      case 'h':
        result.action = FindArguments::Action::kHelp;
        return result;
      case kVersion:
        result.action = FindArguments::Action::kVersion;
        return result;
      default: {
        // '?' or ':'. A refused long option or value leaves optind just past
        // the element that held it.
        int at = optind > 1 && optind <= argc ? optind - 1 : 0;
        return usage_error(refusal(optopt, at > 0 ? argv[at] : ""));
      }
    }
  }
  if (result.json && result.csv) return usage_error("--json and --csv do not go together");
  std::vector<size_t> texts;
  for (int i = optind; i < argc; ++i) {
    for (size_t k = 1; k < original.size(); ++k) {
      if (original[k] == argv[i]) texts.push_back(k - 1);
    }
  }
  std::sort(texts.begin(), texts.end());
  if (texts.empty()) return usage_error("no TEXT to find given");
  if (texts.size() > 1) {
    return usage_error("more than one TEXT ('" + args[texts[0]] + "', '" + args[texts[1]] +
                       "'): quote a TEXT that holds blanks");
  }
  result.text_index = texts[0];
  result.text = args[texts[0]];
  return result;
}

}  // namespace vintrell
