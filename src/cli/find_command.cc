#include "cli/find_command.h"

#include <algorithm>
#include <cstdio>
#include <memory>

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
#include "search/ordered_scans.h"
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

// One file of a planned folder, in listing order: a scan, or standard
// output's own file, which is named and never read.
// Its name is the scan's, or for the output, kept with its folder: a folder
// may hold tens of thousands of files.
struct PlannedFile {
  bool is_output = false;
  // The scan's index among all jobs, or the name's among the folder's outputs.
  size_t index = 0;
};

// A folder to search, listed before any file is read.
struct PlannedFolder {
  std::string below;  // the path below the root, joined by '\'; "" for the root
  SearchRequest request;
  bool too_long = false;  // the mask would be longer than a listing takes
  std::vector<PlannedFile> files;
  std::vector<std::string> outputs;  // the names of files that are the output
};

// What the search does, in the order its output and messages come: folders,
// and below the root, folders that could not be listed.
struct SearchPlan {
  struct Step {
    size_t folder = 0;      // into folders, unless why is given
    std::string below, why;  // a folder below the root that could not be listed
  };
  std::vector<Step> steps;
  std::vector<PlannedFolder> folders;
  std::vector<ScanJob> jobs;  // every file to scan, folder after folder

  const std::string& name_of(const PlannedFolder& folder, const PlannedFile& file) const {
    return file.is_output ? folder.outputs[file.index] : jobs[file.index].file.name;
  }
};

// A result kept until its folder is written. Most forms show only the line,
// and a folder may hold tens of thousands: the rest is held apart, if asked.
struct Found {
  struct More {
    ScanDetails details;
    FileMatches matches;  // a book's, for --entries and --csv
  };
  std::string line;
  size_t file = 0;  // in the folder's planned files
  std::unique_ptr<More> more;
};

// One search from its parsed command line to its summary: plan (walk and
// list), scan (on the pool), and report each folder in turn.
class FindRun {
 public:
  FindRun(const FindArguments& parsed, const std::string& folder, const std::string& text,
          const Terminal& terminal, const CodePage& code_page, ErrorReport* errors)
      : parsed_(parsed),
        folder_(folder),
        text_(text),
        terminal_(terminal),
        code_page_(code_page),
        errors_(*errors),
        kind_(parsed.lists ? SearchKind::kDistributionLists : SearchKind::kAddressBooks),
        form_(line_form(parsed, terminal)),
        renderer_(form_, code_page),
        output_kind_(parsed.json || parsed.csv || form_ == LineForm::kUtf8 ? TextKind::kUtf8
                                                                            : TextKind::kBytes),
        shown_root_(parsed.directory_given ? folder : std::string()),
        shown_folder_(parsed.directory_given ? folder : std::string(".")) {}

  int run();

 private:
  static LineForm line_form(const FindArguments& parsed, const Terminal& terminal) {
    return parsed.raw                       ? LineForm::kRaw
           : terminal.lines_in_utf8         ? LineForm::kUtf8
           : terminal.c1_bytes_are_controls ? LineForm::kEightBit
                                            : LineForm::kBytes;
  }
  // Messages name the folder as given ("." for the current one); paths of
  // files start with DIR as given, or, without one, below it as grep -r's do.
  std::string shown_below(const std::string& below) const {
    return below.empty() ? shown_folder_ : shown_path(shown_root_, below);
  }
  std::string prefix_of(const PlannedFolder& planned) const {
    return planned.below.empty() ? std::string() : planned.below + "\\";
  }
  bool with_entries() const { return parsed_.entries || parsed_.csv; }
  // Whether a form shows more of a result than its line.
  bool wants_details() const { return parsed_.json || with_entries(); }

  SearchPlan plan() const;
  void plan_folder(const WalkedFolder& walked, SearchPlan* plan) const;
  std::vector<Found> scan_folder(const SearchPlan& plan, const PlannedFolder& planned,
                                 OrderedScans* scans);
  bool write_folder(const SearchPlan& plan, const PlannedFolder& planned,
                    const std::vector<Found>& found);

  const FindArguments& parsed_;
  const std::string folder_;
  const std::string text_;
  const Terminal& terminal_;
  const CodePage& code_page_;
  ErrorReport& errors_;
  const SearchKind kind_;
  const LineForm form_;
  const LineRenderer renderer_;
  const TextKind output_kind_;
  const std::string shown_root_;
  const std::string shown_folder_;
  const StandardOutputFile output_file_;
  SearchCounts total_;
};

void FindRun::plan_folder(const WalkedFolder& walked, SearchPlan* plan) const {
  PlannedFolder planned;
  planned.below = walked.below;
  planned.request = make_search_request(walked.folder, text_, kind_, parsed_.match_case);
  std::vector<ListedFile> listed;
  planned.too_long = !list_search_files(planned.request, &listed);
  ScanWants wants;
  wants.details = wants_details();
  wants.matches = with_entries() && kind_ == SearchKind::kDistributionLists;
  wants.book = with_entries() && kind_ == SearchKind::kAddressBooks;
  planned.files.reserve(listed.size());
  const size_t jobs = plan->jobs.size() + listed.size();
  if (jobs > plan->jobs.capacity()) plan->jobs.reserve(std::max(jobs, 2 * plan->jobs.capacity()));
  for (ListedFile& file : listed) {
    // Below the root, links are passed by, as folders that are links are.
    if (parsed_.recursive && walked.links.count(file.name) != 0) continue;
    PlannedFile entry;
    // Its own output read back would count itself (grep refuses it too).
    entry.is_output = output_file_.is(path_of(planned.request, file));
    if (entry.is_output) {
      entry.index = planned.outputs.size();
      planned.outputs.push_back(file.name);
    } else {
      entry.index = plan->jobs.size();
      plan->jobs.push_back(ScanJob{nullptr, std::move(file), wants});
    }
    planned.files.push_back(entry);
  }
  SearchPlan::Step step;
  step.folder = plan->folders.size();
  plan->steps.push_back(step);
  plan->folders.push_back(std::move(planned));
}

SearchPlan FindRun::plan() const {
  SearchPlan plan;
  WalkedFolder root;
  root.folder = folder_;
  if (!parsed_.recursive) {
    plan_folder(root, &plan);
  } else {
    walk_folders(
        folder_,
        [&](const WalkedFolder& walked) {
          plan_folder(walked, &plan);
          return true;
        },
        [&](const std::string& below, const std::string& why) {
          SearchPlan::Step step;
          step.below = below;
          step.why = why;
          plan.steps.push_back(step);
        });
  }
  // The folders stay where they are from here on.
  for (const PlannedFolder& planned : plan.folders) {
    for (const PlannedFile& file : planned.files) {
      if (!file.is_output) plan.jobs[file.index].request = &planned.request;
    }
  }
  return plan;
}

// The folder's messages, in listing order, and its results as found.
std::vector<Found> FindRun::scan_folder(const SearchPlan& plan, const PlannedFolder& planned,
                                        OrderedScans* scans) {
  const std::string prefix = prefix_of(planned);
  if (planned.too_long) {
    errors_.error(shown_below(planned.below),
                  "Path too long to list (more than 256 bytes with the file mask)");
  }
  std::vector<Found> found;
  found.reserve(planned.files.size());
  // A file's path as shown is only made for a message about it.
  auto shown = [&](const PlannedFile& file) {
    return shown_path(shown_root_, prefix + plan.name_of(planned, file));
  };
  for (const PlannedFile& file : planned.files) {
    if (file.is_output) {
      errors_.file_error(shown(file), "input file is also the output");
      continue;
    }
    ScanOutcome outcome = scans->take(file.index);
    if (outcome.read_error != 0) {
      errors_.file_error(shown(file), read_error_text(outcome.read_error));
    }
    ++total_.files_scanned;
    if (!outcome.line) continue;
    ++total_.files_with_hits;
    Found f;
    f.line = std::move(*outcome.line);
    f.file = static_cast<size_t>(&file - planned.files.data());
    if (wants_details()) {
      f.more.reset(new Found::More);
      if (kind_ == SearchKind::kAddressBooks && with_entries()) {
        // Only the matching records (or fields) are kept, not the whole book.
        f.more->matches.book =
            BookMatches(outcome.details.book, planned.request.find_text, !parsed_.match_case);
        std::string().swap(outcome.details.book);
      }
      f.more->details = std::move(outcome.details);
    }
    found.push_back(std::move(f));
  }
  return found;
}

// Writes a folder's results in the results list's order; false when standard
// output failed.
bool FindRun::write_folder(const SearchPlan& plan, const PlannedFolder& planned,
                           const std::vector<Found>& found) {
  std::vector<std::string_view> lines;
  lines.reserve(found.size());
  for (const Found& f : found) lines.push_back(f.line);
  StreamedOutput out(output_kind_, &errors_);
  std::string& output = out.text();
  NestedLists nested(planned.request.folder);
  const bool file_names = shows_file_names(parsed_);
  const std::string prefix = prefix_of(planned);
  for (size_t index : listed_order(lines)) {
    const Found& f = found[index];
    const std::string path =
        file_names || parsed_.csv || parsed_.json
            ? shown_path(shown_root_, prefix + plan.name_of(planned, planned.files[f.file]))
            : std::string();
    if (parsed_.csv) {
      write_csv_rows(path_to_utf8(path), f.more->details, f.more->matches, kind_, &nested,
                     code_page_, &out);
      if (out.failed()) break;
      continue;
    }
    if (parsed_.json && parsed_.entries) {
      write_json_entries(json_result(path, f.more->details, kind_, false, code_page_),
                         f.more->details, f.more->matches, kind_, &nested, code_page_, &out);
      if (out.failed()) break;
      continue;
    }
    if (parsed_.json) {
      output += json_result(path, f.more->details, kind_, parsed_.entries, code_page_);
    } else {
      if (file_names) {
        output += render_path(path, parsed_.raw, terminal_);
        output += ':';
      }
      renderer_.render_into(std::string_view(f.line).substr(0, f.line.find('\0')), &output);
      output += '\n';
      if (parsed_.entries) {
        write_entry_lines(f.more->details, f.more->matches, kind_, &nested, renderer_, &out);
      }
    }
    // A folder's results go out in pieces, not held whole.
    if (!out.drain()) break;
  }
  return out.drain(true);
}

int FindRun::run() {
  if (parsed_.csv && write_output(csv_header(kind_), output_kind_, &errors_) != kExitFound) {
    return kExitTrouble;
  }
  // A folder whose own listing gave files can be listed: only a search that
  // lists none asks what is wrong with the folder (a second listing of it).
  SearchPlan plan;
  if (!parsed_.recursive) plan = this->plan();
  const bool listed_files = !parsed_.recursive && !plan.folders.front().files.empty();
  std::string trouble = listed_files ? std::string() : folder_trouble(folder_);
  if (!trouble.empty()) {
    errors_.error(shown_folder_, trouble);
  } else {
    if (parsed_.recursive) plan = this->plan();
    OrderedScans scans(&plan.jobs, parsed_.jobs != 0 ? parsed_.jobs : processor_count());
    for (const SearchPlan::Step& step : plan.steps) {
      if (!step.why.empty()) {
        errors_.error(shown_below(step.below), step.why);
        continue;
      }
      const PlannedFolder& planned = plan.folders[step.folder];
      if (!write_folder(plan, planned, scan_folder(plan, planned, &scans))) return kExitTrouble;
    }
  }

  std::string summary =
      parsed_.json ? json_summary(total_, kind_) : summary_line(total_, kind_) + "\n";
  const int status = total_.files_with_hits == 0 ? kExitNotFound : kExitFound;
  if (parsed_.csv) {
    // The table stays clean; the summary goes where messages go.
    write_standard(STD_ERROR_HANDLE, summary, TextKind::kAnsi);
  } else if (write_output(summary, output_kind_, &errors_,
                          errors_.any() ? kExitTrouble : status) != kExitFound) {
    return kExitTrouble;
  }
  if (errors_.any()) return kExitTrouble;
  return status;
}

// The folder the search starts from, as the platform's file calls take it;
// false (the error reported) when there is none to search.
bool folder_to_search(const FindArguments& parsed, std::string* folder, ErrorReport* errors) {
  // A relative DIR (or none) in a working folder deleted under the shell would
  // be looked up in whatever the platform makes of that: nothing is searched.
  if (relative_to_deleted_working_folder(parsed.directory_given ? parsed.directory : ".")) {
    errors->error("current folder", platform_error_text(ERROR_PATH_NOT_FOUND));
    return false;
  }
  std::string reason;
  if (!parsed.directory_given) {
    if (!working_folder_to_search(folder, &reason)) {
      errors->error("current folder", reason);
      return false;
    }
  } else if (!platform_folder_name(parsed.directory, folder)) {
    errors->error(parsed.directory, "cannot be named in the ANSI code page");
    return false;
  }
  take_paths_as_given(*folder, !parsed.recursive);
  return true;
}

}  // namespace

int run_find_command(const CommandLine& command_line) {
  ProcedureFrame frame;
  FindArguments parsed = parse_find_arguments(command_line.args);
  ErrorReport errors(!parsed.no_messages);
  switch (parsed.action) {
    case FindArguments::Action::kHelp:
      return write_output(std::string(kUsage) + help_text(), TextKind::kAnsi, &errors);
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
  std::string folder;
  if (!folder_to_search(parsed, &folder, &errors)) return kExitTrouble;
  return FindRun(parsed, folder, text, terminal, code_page, &errors).run();
}

}  // namespace vintrell
