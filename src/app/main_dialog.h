// The main routine and the main dialog: its control ids, its control table and
// the home folder the Directory box starts with.
#ifndef VINTRELL_APP_MAIN_DIALOG_H_
#define VINTRELL_APP_MAIN_DIALOG_H_

#include <cstdint>
#include <string>

#include "platform/win32.h"

namespace vintrell {

// Control ids. Ids 1 and 2 coincide with IDOK and IDCANCEL: Enter and Escape
// then reach controls without a callback and do nothing.
constexpr int32_t kTextToFindBox = 1;
constexpr int32_t kResultsList = 2;
constexpr int32_t kSummaryBox = 3;
constexpr int32_t kDirectoryBox = 4;
constexpr int32_t kAddressBooksOption = 5;
constexpr int32_t kDistributionListsOption = 6;
constexpr int32_t kDirectoryLabel = 7;
constexpr int32_t kTextToFindLabel = 8;
constexpr int32_t kFoundInLabel = 9;
constexpr int32_t kFindButton = 10;
constexpr int32_t kCloseButton = 11;
constexpr int32_t kBrowseButton = 12;
constexpr int32_t kMatchCaseBox = 13;
constexpr int32_t kMakerLabel = 99;  // shared by the copyright and version labels
constexpr int32_t kWebLinkButton = 101;

extern const char kMainDialogCaption[];
constexpr int32_t kMainDialogControlCount = 16;

// Builds the main dialog (hidden) with its sixteen controls, "Address Books"
// checked, the Directory box holding `home`, the focus in the Text to Find box.
// Returns the dialog, also kept as the program's one global.
HWND build_main_dialog(const std::string& home);
// That global: the dialog the last build_main_dialog built.
HWND main_dialog();

// The program's own entry: runs the main dialog until it is closed. Its four
// arguments are not used; the home folder comes from the program's own path. Returns 0.
int32_t main_routine(HINSTANCE instance, HINSTANCE previous, const std::string& command_tail,
                     int32_t show_code);

}  // namespace vintrell

#endif  // VINTRELL_APP_MAIN_DIALOG_H_
