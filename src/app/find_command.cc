#include "app/find_command.h"

#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "dialog/dialog.h"
#include "runtime/runtime.h"
#include "search/search.h"
#include "services/text.h"

namespace vintrell {
namespace {

// A message box lists this many unreadable files by name, then how many more.
constexpr size_t kNamedFilesLimit = 5;

struct UnreadableFile {
  std::string name;
  int error_number;
};

std::string reason_in_words(int error_number) {
  switch (error_number) {
    case kPathTooLong:
      return "its path is too long";
    case kNameNotRepresentable:
      return "its name cannot be written in the ANSI code page";
    case kErrorAccessDenied:
      return "it is in use by another program, or access is denied";
    case kErrorFileNotFound:
      return "it was deleted or renamed during the search";
    case kErrorPathNotFound:
      return "its folder was not found";
    case kErrorBadFileName:
      return "its name is not a valid file name";
    case kErrorOutOfMemory:
      return "it is too large, or memory ran out";
    default:
      return "it could not be read (error " + std::to_string(error_number) + ")";
  }
}

std::string unreadable_message(const std::vector<UnreadableFile>& files) {
  std::string text = files.size() == 1
                         ? std::string("One file could not be searched, so its results are missing:\n")
                         : std::to_string(files.size()) +
                               " files could not be searched, so their results are missing:\n";
  for (size_t i = 0; i < files.size() && i < kNamedFilesLimit; ++i) {
    text += "\n" + files[i].name + ": " + reason_in_words(files[i].error_number);
  }
  if (files.size() > kNamedFilesLimit) {
    text += "\nand " + std::to_string(files.size() - kNamedFilesLimit) + " more";
  }
  return text;
}

}  // namespace

std::string folder_from_box(const std::string& box_text) {
  ProcedureFrame frame;
  const size_t first = box_text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  std::string folder = box_text.substr(first, box_text.find_last_not_of(' ') - first + 1);
  // Explorer's "Copy as path" puts the path in quotes.
  if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"') {
    folder = folder.substr(1, folder.size() - 2);
  }
  return folder;
}

std::string folder_refusal(const std::string& folder) {
  ProcedureFrame frame;
  if (folder.empty()) return "Type the folder to search in the Directory box, or choose it with Browse.";
  // Asked without the trailing backslash, which makes Windows answer "not
  // found" for a file; a drive's root keeps its own.
  std::string probe = strip_right(folder, "\\");
  if (probe.empty() || probe.back() == ':') probe = normalise_folder(folder);
  PlatformOutcome outcome;
  const DWORD attributes =
      guarded_platform_call(&outcome, [&] { return GetFileAttributesA(probe.c_str()); });
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return "The folder \"" + folder + "\" cannot be found.";
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return "\"" + folder + "\" is a file, not a folder. Type the folder that holds it.";
  }
  return std::string();
}

int32_t find_command(HWND dialog, UINT, WPARAM, LPARAM) {
  ProcedureFrame frame;
  // A folder that is not there is said, and the last results stay as they were:
  // an empty list would read as "not found".
  const std::string directory = folder_from_box(get_control_text(dialog, kDirectoryBox));
  const std::string refusal = folder_refusal(directory);
  if (!refusal.empty()) {
    show_message(refusal, MB_OK | MB_ICONEXCLAMATION, kMainDialogCaption);
    return 0;
  }
  // An earlier search's lines go even when this one finds nothing.
  reset_list(dialog, kResultsList);
  const std::string find_text = get_control_text(dialog, kTextToFindBox);
  const SearchKind kind = get_check(dialog, kAddressBooksOption) != 0
                              ? SearchKind::kAddressBooks
                              : SearchKind::kDistributionLists;
  const bool match_case = get_check(dialog, kMatchCaseBox) != 0;
  const SearchRequest request = make_search_request(directory, find_text, kind, match_case);
  std::vector<UnreadableFile> unreadable;
  bool folder_too_long = false;
  SearchTroubleSinks trouble;
  trouble.folder_too_long = [&] { folder_too_long = true; };
  trouble.unreadable_file = [&](const std::string& path, int error_number) {
    unreadable.push_back({path.substr(request.folder.size()), error_number});
  };
  // The list box sorts the lines itself. It is painted once, after the last
  // line: a repaint per line costs more than the whole search.
  set_control_redraw(dialog, kResultsList, false);
  run_search(
      request, [dialog](const std::string& line) { add_list_item(dialog, kResultsList, line); },
      [dialog](const std::string& summary) { set_control_text(dialog, kSummaryBox, summary); },
      &trouble);
  set_control_redraw(dialog, kResultsList, true);
  // After the results are in place, so that the box is read beside them.
  if (folder_too_long) {
    show_message("The folder's path is too long to search: move the files to a folder with a "
                 "shorter path.",
                 MB_OK | MB_ICONEXCLAMATION, kMainDialogCaption);
  } else if (!unreadable.empty()) {
    show_message(unreadable_message(unreadable), MB_OK | MB_ICONEXCLAMATION, kMainDialogCaption);
  }
  return 0;
}

}  // namespace vintrell
