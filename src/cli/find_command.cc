#include "cli/find_command.h"

#include <cstdio>

#include "cli/code_page.h"
#include "cli/entries_output.h"
#include "cli/host.h"
#include "cli/json_output.h"
#include "cli/output.h"
#include "cli/output_identity.h"
#include "cli/report.h"
#include "cli/search_folder.h"
#include "cli/terminal.h"
#include "cli/tree_walk.h"
#include "runtime/runtime.h"
#include "search/search.h"
#include "services/case_table.h"

#ifndef VINTRELL_VERSION
#define VINTRELL_VERSION "0.0.0"
#endif

namespace vintrell {
namespace {

// Standard output's text, or the message of its failure; 2 when it failed. A
// reader that has gone (`| head`) is no error: the process ends at once, as
// grep's does, with `status_when_gone` where no signal ends it.
int write_output(const std::string& text, TextKind kind, ErrorReport* errors,
                 int status_when_gone = kExitFound) {
  DWORD failure = write_standard(STD_OUTPUT_HANDLE, text, kind);
  if (reader_has_gone(failure)) end_for_gone_reader(status_when_gone);
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

// The table the search folds by: the program's own, or with --fold=codepage
// the code page's letter pairs. False with the reason when those cannot be had.
bool choose_fold(const FindArguments& parsed, const CodePage& code_page, std::string* reason) {
  if (!parsed.fold_code_page) {
    use_upper_case_table(nullptr);
    return true;
  }
  unsigned char upper[256];
  if (!code_page.upper_case_table(upper, reason)) return false;
  use_upper_case_table(upper);
  return true;
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
  if (!choose_fold(parsed, code_page, &reason)) {
    errors.error("--fold=codepage", reason);
    return kExitTrouble;
  }
  const Terminal terminal = describe_terminal(parsed.raw);
  std::string text;
  if (!text_to_search(command_line, parsed, terminal, code_page, &text, &errors)) {
    return kExitTrouble;
  }

  // A relative DIR (or none) in a working folder deleted under the shell would
  // be looked up in whatever the platform makes of that: nothing is searched.
  if (relative_to_deleted_working_folder(parsed.directory_given ? parsed.directory : ".")) {
    errors.error("current folder", platform_error_text(ERROR_PATH_NOT_FOUND));
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
  // Messages name the folder as given ("." for the current one); paths of
  // files start with DIR as given, or, without one, below it as grep -r's do.
  const std::string shown_root = parsed.directory_given ? folder : std::string();
  const std::string shown_folder = parsed.directory_given ? folder : std::string(".");
  auto shown_below = [&](const std::string& below) {
    return below.empty() ? shown_folder : shown_path(shown_root, below);
  };

  const SearchKind kind =
      parsed.lists ? SearchKind::kDistributionLists : SearchKind::kAddressBooks;
  const LineForm form = parsed.raw ? LineForm::kRaw
                        : terminal.lines_in_utf8 ? LineForm::kUtf8
                        : terminal.c1_bytes_are_controls ? LineForm::kEightBit
                                                         : LineForm::kBytes;
  const LineRenderer renderer(form, code_page);
  const TextKind output_kind =
      parsed.json || parsed.csv || form == LineForm::kUtf8 ? TextKind::kUtf8 : TextKind::kBytes;
  const bool file_names = shows_file_names(parsed);
  const StandardOutputFile output_file;

  struct Found {
    std::string line;
    std::string path;  // below the root, joined by '\'
    ScanDetails details;
    FileMatches matches;  // a book's, for --entries and --csv
  };
  const bool with_entries = parsed.entries || parsed.csv;
  SearchCounts total;
  bool write_failed = false;

  // Searches one folder as the dialog does and writes its results in the
  // results list's order; false when standard output failed.
  auto search_folder = [&](const WalkedFolder& walked) {
    SearchRequest request = make_search_request(walked.folder, text, kind, parsed.match_case);
    const std::string prefix = walked.below.empty() ? std::string() : walked.below + "\\";
    SearchTroubleSinks sinks;
    sinks.folder_too_long = [&] {
      errors.error(shown_below(walked.below),
                   "Path too long to list (more than 256 bytes with the file mask)");
    };
    sinks.unreadable_file = [&](const std::string& path, int error_number) {
      errors.file_error(shown_path(shown_root, prefix + path.substr(request.folder.size())),
                        read_error_text(error_number));
    };
    std::vector<Found> found;
    SearchExtras extras;
    extras.want_matches = with_entries && kind == SearchKind::kDistributionLists;
    extras.want_book = with_entries && kind == SearchKind::kAddressBooks;
    extras.found = [&](const std::string& path, ScanDetails& details) {
      found.back().path = prefix + path.substr(request.folder.size());
      if (extras.want_book) {
        // Only the matching records (or fields) are kept, not the whole book.
        found.back().matches.book =
            BookMatches(details.book, request.find_text, !request.match_case);
        std::string().swap(details.book);
      }
      found.back().details = std::move(details);
    };
    extras.skip_file = [&](const std::string& name) {
      if (parsed.recursive && walked.links.count(name) != 0) return true;
      if (!output_file.is(request.folder + name)) return false;
      // Its own output read back would count itself (grep refuses it too).
      errors.file_error(shown_path(shown_root, prefix + name), "input file is also the output");
      return true;
    };
    SearchCounts counts = run_search(
        request, [&found](const std::string& line) { found.push_back(Found{line, {}, {}, {}}); },
        [](const std::string&) {}, &sinks, &extras);
    total.files_with_hits += counts.files_with_hits;
    total.files_scanned += counts.files_scanned;

    std::vector<std::string> lines;
    lines.reserve(found.size());
    for (const Found& f : found) lines.push_back(f.line);
    StreamedOutput out(output_kind, &errors);
    std::string& output = out.text();
    NestedLists nested(request.folder);
    for (size_t index : listed_order(lines)) {
      const Found& f = found[index];
      const std::string path = shown_path(shown_root, f.path);
      if (parsed.csv) {
        write_csv_rows(path_to_utf8(path), f.details, f.matches, kind, &nested, code_page, &out);
        if (out.failed()) break;
        continue;
      }
      if (parsed.json && parsed.entries) {
        write_json_entries(json_result(path, f.details, kind, false, code_page),
                           f.details, f.matches, kind, &nested, code_page, &out);
        if (out.failed()) break;
        continue;
      }
      if (parsed.json) {
        output += json_result(path, f.details, kind, parsed.entries, code_page);
        continue;
      }
      if (file_names) {
        output += render_path(path, parsed.raw, terminal);
        output += ':';
      }
      output += renderer.render(f.line.substr(0, f.line.find('\0')));
      output += '\n';
      if (parsed.entries) {
        write_entry_lines(f.details, f.matches, kind, &nested, renderer, &out);
        if (out.failed()) break;
      }
    }
    if (!out.drain(true)) {
      write_failed = true;
      return false;
    }
    return true;
  };

  if (parsed.csv && write_output(csv_header(kind), output_kind, &errors) != kExitFound) {
    return kExitTrouble;
  }
  WalkedFolder root;
  root.folder = folder;
  std::string trouble = folder_trouble(folder);
  if (!trouble.empty()) {
    errors.error(shown_folder, trouble);
  } else if (parsed.recursive) {
    walk_folders(folder, search_folder, [&](const std::string& below, const std::string& why) {
      errors.error(shown_below(below), why);
    });
  } else {
    search_folder(root);
  }
  if (write_failed) return kExitTrouble;

  std::string summary = parsed.json ? json_summary(total, kind) : summary_line(total, kind) + "\n";
  const int status = total.files_with_hits == 0 ? kExitNotFound : kExitFound;
  if (parsed.csv) {
    // The table stays clean; the summary goes where messages go.
    write_standard(STD_ERROR_HANDLE, summary, TextKind::kAnsi);
  } else if (write_output(summary, output_kind, &errors, errors.any() ? kExitTrouble : status) !=
             kExitFound) {
    return kExitTrouble;
  }
  if (errors.any()) return kExitTrouble;
  return status;
}

}  // namespace vintrell
