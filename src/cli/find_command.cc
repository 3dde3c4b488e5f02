#include "cli/find_command.h"

#include <cstdio>

#include "cli/code_page.h"
#include "cli/output.h"
#include "cli/report.h"
#include "cli/search_folder.h"
#include "cli/terminal.h"
#include "runtime/runtime.h"
#include "search/search.h"

#ifndef VINTRELL_VERSION
#define VINTRELL_VERSION "0.0.0"
#endif

namespace vintrell {
namespace {

// Standard output's text, or the message of its failure; 2 when it failed.
int write_output(const std::string& text, TextKind kind, ErrorReport* errors) {
  DWORD failure = write_standard(STD_OUTPUT_HANDLE, text, kind);
  if (failure != 0) errors->error("write error", platform_error_text(failure));
  return failure != 0 ? kExitTrouble : kExitFound;
}

std::string code_point_text(const std::string& character) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "U+%04X", utf8_code_point(character, 0));
  return digits;
}

// TEXT as the search takes it: the code page's bytes. False when it cannot be.
bool text_to_search(const CommandLine& command_line, const FindArguments& parsed,
                    const Terminal& terminal, const CodePage& code_page, std::string* text,
                    ErrorReport* errors) {
  if (parsed.raw) {
    *text = command_line.ansi[parsed.text_index];
    return true;
  }
  if (!terminal.text_in_utf8) {
    *text = parsed.text;
    return true;
  }
  std::string offending;
  switch (code_page.from_utf8(parsed.text, text, &offending)) {
    case CodePage::Conversion::kDone:
      return true;
    case CodePage::Conversion::kNotUtf8:
      errors->error("TEXT", "not UTF-8 (use --raw to search for bytes as they are)");
      return false;
    case CodePage::Conversion::kNotInCodePage:
      errors->error("TEXT", "'" + message_text(offending) + "' (" + code_point_text(offending) +
                                ") is not in code page " + std::to_string(code_page.number()));
      return false;
  }
  return false;
}

}  // namespace

int run_find_command(const CommandLine& command_line) {
  ProcedureFrame frame;
  FindArguments parsed = parse_find_arguments(command_line.args);
  ErrorReport errors(!parsed.no_messages);
  switch (parsed.action) {
    case FindArguments::Action::kHelp:
      return write_output(std::string(kUsage) + kHelp, TextKind::kAnsi, &errors);
    case FindArguments::Action::kVersion:
      return write_output("vintrell-find " VINTRELL_VERSION "\n", TextKind::kAnsi, &errors);
    case FindArguments::Action::kUsageError:
      write_standard(STD_ERROR_HANDLE, "vintrell-find: " + parsed.error + "\n" + kUsage,
                     TextKind::kAnsi);
      return kExitUsage;
    case FindArguments::Action::kSearch:
      break;
  }

  CodePage code_page;
  std::string reason;
  if (!code_page.open(parsed.code_page, &reason)) {
    errors.error("code page " + std::to_string(parsed.code_page), reason);
    return kExitTrouble;
  }
  const Terminal terminal = describe_terminal(parsed.raw);
  std::string text;
  if (!text_to_search(command_line, parsed, terminal, code_page, &text, &errors)) {
    return kExitTrouble;
  }

  std::string folder;
  if (!parsed.directory_given) {
    if (!current_folder(&folder, &reason)) {
      errors.error("current folder", reason);
      return kExitTrouble;
    }
  } else if (!platform_folder_name(parsed.directory, &folder)) {
    errors.error(parsed.directory, "cannot be named in the ANSI code page");
    return kExitTrouble;
  }
  const std::string shown_folder = parsed.directory_given ? folder : std::string(".");
  std::string trouble = folder_trouble(folder);
  if (!trouble.empty()) errors.error(shown_folder, trouble);

  SearchRequest request = make_search_request(
      folder, text, parsed.lists ? SearchKind::kDistributionLists : SearchKind::kAddressBooks,
      parsed.match_case);
  SearchTroubleSinks sinks;
  sinks.folder_too_long = [&] {
    errors.error(shown_folder, "Path too long to list (more than 256 bytes with the file mask)");
  };
  sinks.unreadable_file = [&](const std::string& path, int error_number) {
    errors.file_error(shown_path(shown_folder, path.substr(request.folder.size())),
                      read_error_text(error_number));
  };
  std::vector<std::string> lines;
  std::string summary;
  run_search(
      request, [&lines](const std::string& line) { lines.push_back(line); },
      [&summary](const std::string& line) { summary = line; }, &sinks);

  const LineForm form = parsed.raw ? LineForm::kRaw
                        : terminal.lines_in_utf8 ? LineForm::kUtf8
                                                 : LineForm::kBytes;
  const LineRenderer renderer(form, code_page);
  std::string output;
  for (const std::string& line : as_listed(lines)) {
    output += renderer.render(line);
    output += '\n';
  }
  output += summary;
  output += '\n';
  int written = write_output(output, form == LineForm::kUtf8 ? TextKind::kUtf8 : TextKind::kBytes,
                             &errors);
  if (written != kExitFound || errors.any()) return kExitTrouble;
  return lines.empty() ? kExitNotFound : kExitFound;
}

}  // namespace vintrell
