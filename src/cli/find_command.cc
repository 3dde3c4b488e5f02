#include "cli/find_command.h"

#include "platform/win32.h"
#include "runtime/runtime.h"
#include "search/search.h"

#ifndef VINTRELL_VERSION
#define VINTRELL_VERSION "0.0.0"
#endif

namespace vintrell {
namespace {

const char kUsage[] =
    "usage: vintrell-find [-d DIR | --dir DIR] [-l | --lists] [-c | --match-case] [--] TEXT\n";

const char kHelp[] =
    "Lists the address books (*.PMR) in DIR in which TEXT occurs, each with the\n"
    "number of occurrences, or with --lists the distribution lists (*.PML) with how\n"
    "many of their entries hold TEXT; then one summary line.\n"
    "\n"
    "  -d, --dir DIR      the folder to search (default: the current folder)\n"
    "  -l, --lists        search the distribution lists instead of the address books\n"
    "  -c, --match-case   match the case of TEXT exactly (default: ignore ASCII case)\n"
    "      --help         show this help and exit\n"
    "      --version      show the version and exit\n"
    "\n"
    "TEXT is taken byte for byte, blanks included, and may be empty.\n"
    "Exit status: 0 when TEXT was found, 1 when it was not, 2 for a usage error.\n";

// Every byte, in as many writes as the handle takes.
void write_all(DWORD which, const std::string& bytes) {
  ProcedureFrame frame;
  HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk =
        static_cast<DWORD>(bytes.size() - done > 0x100000 ? 0x100000 : bytes.size() - done);
    DWORD written = 0;
    PlatformOutcome outcome;
    BOOL ok = guarded_platform_call(
        &outcome, [&] { return WriteFile(handle, bytes.data() + done, chunk, &written, nullptr); });
    if (!ok || written == 0) return;  // a closed pipe or a full disk: the rest has nowhere to go
    done += written;
  }
}

std::string current_folder() {
  ProcedureFrame frame;
  PlatformOutcome outcome;
  DWORD size = guarded_platform_call(&outcome, [] { return GetCurrentDirectoryA(0, nullptr); });
  if (size != 0) {
    std::string buffer(size, '\0');
    DWORD length =
        guarded_platform_call(&outcome, [&] { return GetCurrentDirectoryA(size, &buffer[0]); });
    if (length != 0 && length < size) {
      buffer.resize(length);
      return buffer;
    }
  }
  // A folder that cannot be named is searched through the relative name; if it is
  // gone, the listing finds nothing.
  return ".";
}

FindArguments usage_error(const std::string& message) {
  FindArguments result;
  result.action = FindArguments::Action::kUsageError;
  result.error = message;
  return result;
}

}  // namespace

FindArguments parse_find_arguments(const std::vector<std::string>& args) {
  ProcedureFrame frame;
  FindArguments result;
  bool have_text = false;
  bool options_ended = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      if (have_text) {
        return usage_error("more than one TEXT ('" + result.text + "', '" + arg +
                           "'): quote a TEXT that holds blanks");
      }
      result.text = arg;
      have_text = true;
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    if (arg[1] == '-') {
      size_t equals = arg.find('=');
      std::string name = arg.substr(0, equals);
      bool has_value = equals != std::string::npos;
      if (name == "--help" || name == "--version" || name == "--lists" || name == "--match-case") {
        if (has_value) return usage_error("option '" + name + "' takes no value");
        if (name == "--help") result.action = FindArguments::Action::kHelp;
        if (name == "--version") result.action = FindArguments::Action::kVersion;
        if (result.action != FindArguments::Action::kSearch) return result;
        if (name == "--lists") result.lists = true;
        if (name == "--match-case") result.match_case = true;
      } else if (name == "--dir") {
        if (has_value) {
          result.directory = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
          result.directory = args[++i];
        } else {
          return usage_error("option '--dir' needs a folder");
        }
        result.directory_given = true;
      } else {
        return usage_error("unknown option '" + name + "'");
      }
      continue;
    }
    // One or more short options bundled: -l, -c, -lc, -d DIR, -dDIR, -lcd DIR.
    for (size_t k = 1; k < arg.size(); ++k) {
      char option = arg[k];
      if (option == 'l') {
        result.lists = true;
      } else if (option == 'c') {
        result.match_case = true;
      } else if (option == 'd') {
        if (k + 1 < arg.size()) {
          result.directory = arg.substr(k + 1);
        } else if (i + 1 < args.size()) {
          result.directory = args[++i];
        } else {
          return usage_error("option '-d' needs a folder");
        }
        result.directory_given = true;
        break;
      } else {
        return usage_error(std::string("unknown option '-") + option + "'");
      }
    }
  }
  if (!have_text) return usage_error("no TEXT to find given");
  return result;
}

int run_find_command(const std::vector<std::string>& args) {
  ProcedureFrame frame;
  FindArguments parsed = parse_find_arguments(args);
  switch (parsed.action) {
    case FindArguments::Action::kHelp:
      write_all(STD_OUTPUT_HANDLE, std::string(kUsage) + kHelp);
      return kExitFound;
    case FindArguments::Action::kVersion:
      write_all(STD_OUTPUT_HANDLE, "vintrell-find " VINTRELL_VERSION "\n");
      return kExitFound;
    case FindArguments::Action::kUsageError:
      write_all(STD_ERROR_HANDLE, "vintrell-find: " + parsed.error + "\n" + kUsage);
      return kExitUsage;
    case FindArguments::Action::kSearch:
      break;
  }

  std::string folder = parsed.directory_given ? parsed.directory : current_folder();
  SearchRequest request = make_search_request(
      folder, parsed.text,
      parsed.lists ? SearchKind::kDistributionLists : SearchKind::kAddressBooks, parsed.match_case);
  std::vector<std::string> lines;
  std::string summary;
  run_search(
      request, [&lines](const std::string& line) { lines.push_back(line); },
      [&summary](const std::string& line) { summary = line; });

  std::string output;
  for (const std::string& line : as_listed(lines)) {
    output += line;
    output += '\n';
  }
  output += summary;
  output += '\n';
  write_all(STD_OUTPUT_HANDLE, output);
  return lines.empty() ? kExitNotFound : kExitFound;
}

}  // namespace vintrell
