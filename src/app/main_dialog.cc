#include "app/main_dialog.h"

#include "app/commands.h"
#include "app/find_command.h"
#include "app/home_folder.h"
#include "app/maker.h"
#include "app/version.h"
#include "dialog/dialog.h"
#include "runtime/runtime.h"

namespace vintrell {

const char kMainDialogCaption[] = "Vintrell for Pegasus Mail";

namespace {

// WS_SYSMENU | WS_MINIMIZEBOX: an overlapped window with a caption, no sizing.
constexpr uint32_t kMainDialogStyle = 0xA0000;
constexpr int32_t kCentred = -1;

struct ControlRow {
  int32_t kind;
  int32_t id;
  const char* text;  // nullptr: the home folder
  int32_t x, y, width, height;
  uint32_t style;
  ControlCallback callback;
};

// Creation order is stacking and Tab order. Rows 1 to 7 come before the
// "Address Books" option is checked, the rest after.
constexpr ControlRow kRowsBeforeCheck[] = {
    {kTextBoxKind, kTextToFindBox, "", 54, 14, 150, 12, 0, nullptr},
    // 50 wide, not 70: a wider box reaches under Browse and repaints over its border.
    {kCheckBoxKind, kMatchCaseBox, "Match Case", 205, 14, 50, 12, 0, nullptr},
    {kListBoxKind, kResultsList, "", 54, 46, 200, 36, 0, nullptr},
    {kTextBoxKind, kSummaryBox, "", 54, 88, 200, 12, 0, nullptr},
    {kTextBoxKind, kDirectoryBox, nullptr, 54, 2, 200, 12, 0, nullptr},
    {kOptionButtonKind, kAddressBooksOption, "Address Books", 54, 28, 80, 12, 0,
     nullptr},
    {kOptionButtonKind, kDistributionListsOption, "Distribution Lists", 154, 28, 80,
     12, 0, nullptr},
};

constexpr ControlRow kRowsAfterCheck[] = {
    {kLabelKind, kDirectoryLabel, "Directory", 4, 2, 46, 12, 0, nullptr},
    {kLabelKind, kTextToFindLabel, "Text to Find", 4, 14, 46, 12, 0, nullptr},
    {kLabelKind, kFoundInLabel, "Found In", 4, 46, 46, 12, 0, nullptr},
    // One text line high, so it ends where the link below begins.
    {kLabelKind, kMakerLabel, kCopyrightLine, 4, 106, 130, 8, 0, nullptr},
    // BS_FLAT and no WS_TABSTOP: the Tab key never reaches the link.
    {kPushButtonKind, kWebLinkButton, kWebSiteUrl, 4, 114, 104, 12, BS_FLAT,
     &web_link_command},
    {kLabelKind, kMakerLabel, "Version " VINTRELL_VERSION_TEXT, 246, 113, 50, 12, 0,
     nullptr},
    {kPushButtonKind, kBrowseButton, "Browse", 260, 2, 30, 14, 0, &browse_command},
    {kPushButtonKind, kFindButton, "Find", 140, 110, 40, 14, 0, &find_command},
    {kPushButtonKind, kCloseButton, "Close", 200, 110, 40, 14, 0, &close_command},
};

static_assert(sizeof kRowsBeforeCheck / sizeof kRowsBeforeCheck[0] +
                      sizeof kRowsAfterCheck / sizeof kRowsAfterCheck[0] ==
                  kMainDialogControlCount,
              "the main dialog has sixteen controls");

void add_row(HWND dialog, const ControlRow& row, const std::string& home) {
  ProcedureFrame frame;
  add_control(dialog, row.kind, row.id, row.text != nullptr ? std::string(row.text) : home,
              std::string(), nullptr, row.x, row.y, row.width, row.height, row.style, 0,
              row.callback);
}

}  // namespace

namespace {

HWND g_main_dialog = nullptr;  // the program's one global variable

}  // namespace

HWND build_main_dialog(const std::string& home) {
  ProcedureFrame frame;
  HWND dialog = new_dialog(nullptr, kMainDialogCaption, kCentred, kCentred, 300, 150,
                           kMainDialogStyle, 0);
  g_main_dialog = dialog;
  for (const ControlRow& row : kRowsBeforeCheck) add_row(dialog, row, home);
  // Both options are automatic and of one group: checking either clears the other.
  set_check(dialog, kAddressBooksOption, BST_CHECKED);
  for (const ControlRow& row : kRowsAfterCheck) add_row(dialog, row, home);
  set_focus(dialog, kTextToFindBox);
  return dialog;
}

HWND main_dialog() { return g_main_dialog; }

int32_t main_routine(HINSTANCE, HINSTANCE, const std::string&, int32_t) {
  ProcedureFrame frame;
  HWND dialog = build_main_dialog(home_folder());
  int32_t result = 0;  // the way the dialog ended; the program does not ask
  run_modal(dialog, nullptr, &result);
  return 0;
}

}  // namespace vintrell
