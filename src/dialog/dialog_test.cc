// The engine on the platform: dialogs, controls and the control operations.
#include "dialog/dialog.h"

#include <cctype>
#include <string>
#include <vector>

#include "dialog/dialog_testing.h"
#include "runtime/runtime.h"
#include "services/text.h"
#include "testing/test.h"
#include "testing/test_util.h"

using namespace dialog_testing;
using vintrell::add_control;
using vintrell::add_list_item;
using vintrell::get_check;
using vintrell::get_control_text;
using vintrell::new_dialog;
using vintrell::reset_list;
using vintrell::runtime_state;
using vintrell::set_check;
using vintrell::set_control_text;
using vintrell::set_focus;

namespace {

std::string window_text(HWND window) {
  std::vector<char> buffer(1024, '\0');
  int n = GetWindowTextA(window, buffer.data(), static_cast<int>(buffer.size()));
  return std::string(buffer.data(), n > 0 ? n : 0);
}

std::string class_of(HWND window) {
  char buffer[64] = "";
  GetClassNameA(window, buffer, sizeof buffer);
  std::string name = buffer;
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

std::string list_items(HWND list) {
  std::string out;
  int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    char buffer[256] = "";
    SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buffer));
    out += "[" + std::string(buffer) + "]";
  }
  return out;
}

int child_count(HWND dialog) {
  int n = 0;
  for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) ++n;
  return n;
}

RECT mapped(HWND dialog, LONG left, LONG top, LONG right, LONG bottom) {
  RECT rect = {left, top, right, bottom};
  MapDialogRect(dialog, &rect);
  return rect;
}

}  // namespace

TEST_F(DialogTest, NewDialogIsHiddenWithItsCaptionStyleAndFont) {
  HWND d = make_dialog("Vintrell for Pegasus Mail");
  ASSERT_TRUE(d != nullptr);
  EXPECT_FALSE(IsWindowVisible(d));
  EXPECT_EQ(window_text(d), "Vintrell for Pegasus Mail");
  const DWORD style = static_cast<DWORD>(GetWindowLongA(d, GWL_STYLE));
  EXPECT_EQ(style & 0xFFFF, 0x0854u);  // DS_CENTER, DS_SETFONT, DS_NOFAILCREATE, DS_3DLOOK
  EXPECT_EQ(style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_POPUP | WS_CHILD),
            static_cast<DWORD>(WS_SYSMENU | WS_MINIMIZEBOX));
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(d, WM_GETFONT, 0, 0));
  EXPECT_TRUE(font != nullptr);
  EXPECT_EQ(vintrell::dialog_font(), font);
}

TEST_F(DialogTest, CaptionRulesSeenOnTheWindow) {
  EXPECT_EQ(window_text(make_dialog("")), " ");
  EXPECT_EQ(window_text(make_dialog(std::string(300, 'T'))), std::string(256, 'T'));
  EXPECT_EQ(window_text(make_dialog("caf\xE9")), "caf\xE9");
  HWND visible = new_dialog(nullptr, "Shown?", 10, 10, 100, 50, 0x10CA0000, 0);
  EXPECT_TRUE(visible != nullptr);
  EXPECT_FALSE(IsWindowVisible(visible));  // WS_VISIBLE asked for, still hidden
  DestroyWindow(visible);
}

// The outer size allows for what the template's style asks for. Without
// WS_CAPTION and frame styles that is nothing, yet the window, being overlapped,
// gets a caption and frame out of that size (measured under Wine 8).
TEST_F(DialogTest, OuterSizeFollowsTheTemplatesCaptionAndFrameStyles) {
  for (uint32_t style : {0xA0000u, 0u}) {
    HWND d = new_dialog(nullptr, "Size", -1, -1, 300, 150, style, 0);
    ASSERT_TRUE(d != nullptr);
    RECT units = mapped(d, 0, 0, 300, 150);
    RECT window, client;
    GetWindowRect(d, &window);
    GetClientRect(d, &client);
    const LONG extra_width = (window.right - window.left) - client.right;
    const LONG extra_height = (window.bottom - window.top) - client.bottom;
    EXPECT_TRUE(extra_width > 0);
    EXPECT_TRUE(extra_height > extra_width);  // the caption
    if (style == 0) {  // WS_CAPTION and DS_MODALFRAME asked for: added outside
      EXPECT_EQ(client.right, units.right);
      EXPECT_EQ(client.bottom, units.bottom);
    } else {
      EXPECT_EQ(window.right - window.left, units.right);
      EXPECT_EQ(window.bottom - window.top, units.bottom);
    }
    DestroyWindow(d);
  }
}

TEST_F(DialogTest, EachNewDialogReplacesTheDialogFont) {
  HWND first = make_dialog("First");
  HFONT first_font = vintrell::dialog_font();
  HWND second = make_dialog("Second");
  HFONT second_font = vintrell::dialog_font();
  EXPECT_NE(first_font, second_font);
  // A control gets the latest dialog font, whatever dialog it goes into.
  HWND label = add(first, 5, 7, "Label", 4, 4, 40, 12);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)), second_font);
  EXPECT_TRUE(second != nullptr);
}

TEST_F(DialogTest, RefusedDialogClearsTheDialogFont) {
  make_dialog("Valid");
  ASSERT_TRUE(vintrell::dialog_font() != nullptr);
  // A child dialog needs a parent; without one the platform refuses.
  HWND refused = new_dialog(nullptr, "Child", 0, 0, 50, 50, 0x40000000, 0);
  EXPECT_TRUE(refused == nullptr);
  EXPECT_TRUE(vintrell::dialog_font() == nullptr);
}

TEST_F(DialogTest, ProgramsControlsGetClassStyleFontAndCallback) {
  HWND d = make_program_dialog();
  HFONT font = vintrell::dialog_font();
  struct Expect {
    int id;
    const char* class_name;
    DWORD style;
    DWORD ex_style;
  };
  const Expect expected[] = {
      {kTextBox, "EDIT", 0x50010080, 0x200},
      {kCheckBox, "BUTTON", 0x50010003, 0},
      // An empty list box shows no scroll bar, so WS_VSCROLL is off until needed.
      {kList, "LISTBOX", 0x50010003, 0x200},
      {kOptionA, "BUTTON", 0x50010009, 0},
      {kLabel, "STATIC", 0x50000000, 0},
      {kFlatButton, "BUTTON", 0x50008000, 0},
      {kFindButton, "BUTTON", 0x50010000, 0},
  };
  for (const Expect& e : expected) {
    HWND control = GetDlgItem(d, e.id);
    ASSERT_TRUE(control != nullptr);
    EXPECT_EQ(class_of(control), e.class_name);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE)), e.style);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(control, GWL_EXSTYLE)), e.ex_style);
    EXPECT_EQ(GetDlgCtrlID(control), e.id);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), font);
  }
  EXPECT_EQ(GetWindowLongPtrA(GetDlgItem(d, kFindButton), GWLP_USERDATA),
            reinterpret_cast<LONG_PTR>(&record_control));
  EXPECT_EQ(GetWindowLongPtrA(GetDlgItem(d, kTextBox), GWLP_USERDATA), 0);
  EXPECT_EQ(window_text(GetDlgItem(d, kDirectoryBox)), "C:\\MAIL\\");
}

TEST_F(DialogTest, TextBoxGivenWsBorderGetsNoClientEdge) {
  HWND d = make_dialog();
  HWND edit = add(d, 9, 20, "", 0, 0, 50, 12, 0x50800080);
  ASSERT_TRUE(edit != nullptr);
  EXPECT_EQ(GetWindowLongA(edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  // The edit control draws that border itself and drops the bit from its style.
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(edit, GWL_STYLE)), 0x50000080u);
}

namespace {

// Rounded to nearest, halves away from zero, computed apart from MulDiv.
LONG round_half_away(LONG numerator, LONG denominator) {
  const LONG magnitude = (2 * (numerator < 0 ? -numerator : numerator) + denominator) /
                         (2 * denominator);
  return numerator < 0 ? -magnitude : magnitude;
}

// The dialog's base units as the platform measured its font: pixels per 4 by 8
// units. The absolute values are the environment test's business.
POINT base_units(HWND dialog) {
  RECT units = mapped(dialog, 0, 0, 4, 8);
  return {units.right, units.bottom};
}

}  // namespace

TEST_F(DialogTest, MapDialogRectUsesTheFontsBaseUnitsAndRoundsHalfAway) {
  HWND d = make_dialog();
  const POINT base = base_units(d);
  ASSERT_TRUE(base.x > 0 && base.y > 0);
  int halves = 0;
  for (LONG v = -16; v <= 16; ++v) {
    RECT r = mapped(d, v, v, v + 1, v + 1);
    EXPECT_EQ(r.left, round_half_away(v * base.x, 4));
    EXPECT_EQ(r.top, round_half_away(v * base.y, 8));
    EXPECT_EQ(r.right, round_half_away((v + 1) * base.x, 4));
    EXPECT_EQ(r.bottom, round_half_away((v + 1) * base.y, 8));
    halves += (v * base.x) % 4 == 2 || (v * base.x) % 4 == -2;
    halves += (v * base.y) % 8 == 4 || (v * base.y) % 8 == -4;
  }
  EXPECT_TRUE(halves > 0);  // the range met a half for every unit size but multiples of 8
}

TEST_F(DialogTest, ControlRectangleIsConvertedCornerByCorner) {
  HWND d = make_dialog();
  const POINT base = base_units(d);
  auto x_pixels = [&](LONG units) { return round_half_away(units * base.x, 4); };
  auto y_pixels = [&](LONG units) { return round_half_away(units * base.y, 8); };
  HWND box = add(d, 9, 20, "", 54, 14, 150, 12);
  RECT r;
  GetWindowRect(box, &r);
  EXPECT_EQ(r.right - r.left, x_pixels(204) - x_pixels(54));
  EXPECT_EQ(r.bottom - r.top, y_pixels(26) - y_pixels(14));
  // A place where converting the size alone would give another width than
  // converting both corners (1 unit at 1 for 6-pixel units: 1 pixel, not 2).
  LONG x = 1;
  while (x < 64 && x_pixels(x + 1) - x_pixels(x) == x_pixels(1)) ++x;
  ASSERT_TRUE(x < 64);
  HWND dot = add(d, 5, 21, "", x, 1, 1, 1);
  GetWindowRect(dot, &r);
  EXPECT_EQ(r.right - r.left, x_pixels(x + 1) - x_pixels(x));
  EXPECT_EQ(r.bottom - r.top, y_pixels(2) - y_pixels(1));
}

TEST_F(DialogTest, UnneededKindsAreRefusedAndCreateNothing) {
  HWND d = make_dialog();
  for (int32_t kind : {0, 2, 4, 6, 8, 10, 14, 16, -1}) {
    EXPECT_TRUE(add_control(d, kind, 30, "x", "BUTTON", nullptr, 0, 0, 10, 10, 0x50000000, 0,
                            nullptr) == nullptr);
  }
  EXPECT_EQ(child_count(d), 0);
}

TEST_F(DialogTest, DuplicateIdsAreAllCreatedAndTheFirstIsFound) {
  HWND d = make_dialog();
  HWND first = add(d, 5, 99, "one", 0, 0, 40, 12);
  HWND second = add(d, 5, 99, "two", 0, 20, 40, 12);
  EXPECT_TRUE(first != nullptr && second != nullptr && first != second);
  EXPECT_EQ(GetDlgItem(d, 99), first);
  EXPECT_EQ(get_control_text(d, 99), "one");
}

TEST_F(DialogTest, ListBoxInitialItemsSkipEmptyOnesAndSort) {
  HWND d = make_dialog();
  const std::vector<std::string> items = {"b", "", std::string("\0x", 2), "C", "a"};
  HWND list = add_control(d, 15, kList, "", "", &items, 0, 0, 100, 60, 0, 0, nullptr);
  EXPECT_EQ(list_items(list), "[a][b][C]");
  // Initial items are for list boxes only.
  HWND edit = add_control(d, 9, 30, "text", "", &items, 0, 70, 100, 12, 0, 0, nullptr);
  EXPECT_EQ(window_text(edit), "text");
}

TEST_F(DialogTest, DefaultPushButtonBecomesTheDialogsDefault) {
  HWND d = make_dialog();
  EXPECT_EQ(static_cast<DWORD>(SendMessageA(d, DM_GETDEFID, 0, 0)),
            static_cast<DWORD>(MAKELONG(IDOK, DC_HASDEFID)));  // before: IDOK
  add(d, 1, 40, "Go", 0, 0, 40, 14, 0x50010001);
  EXPECT_EQ(static_cast<DWORD>(SendMessageA(d, DM_GETDEFID, 0, 0)),
            static_cast<DWORD>(MAKELONG(40, DC_HASDEFID)));
}

TEST_F(DialogTest, SetCheckChangesOnlyTheAddressedButton) {
  HWND d = make_dialog();
  add(d, 7, kOptionA, "A", 0, 0, 50, 12);
  add(d, 7, kOptionB, "B", 0, 20, 50, 12);
  add(d, 3, kCheckBox, "C", 0, 40, 50, 12);
  add(d, 1, kFindButton, "Find", 0, 60, 50, 14);
  set_check(d, kOptionA, 1);
  EXPECT_EQ(get_check(d, kOptionA), 1);
  EXPECT_EQ(get_check(d, kOptionB), 0);
  set_check(d, kOptionB, 1);  // automatic option buttons, yet A stays checked
  EXPECT_EQ(get_check(d, kOptionA), 1);
  EXPECT_EQ(get_check(d, kOptionB), 1);
  // The state goes out unchanged; two-state buttons keep at most "checked".
  set_check(d, kCheckBox, 2);
  EXPECT_EQ(get_check(d, kCheckBox), 1);
  set_check(d, kCheckBox, -1);
  EXPECT_EQ(get_check(d, kCheckBox), 1);
  set_check(d, kCheckBox, 0);
  EXPECT_EQ(get_check(d, kCheckBox), 0);
  set_check(d, kFindButton, 1);
  EXPECT_EQ(get_check(d, kFindButton), 0);
}

TEST_F(DialogTest, OptionButtonsCarryATabStopOnlyWhileChecked) {
  HWND d = make_dialog();
  HWND a = add(d, 7, kOptionA, "A", 0, 0, 50, 12);
  HWND b = add(d, 7, kOptionB, "B", 0, 20, 50, 12);
  set_check(d, kOptionA, 1);
  EXPECT_TRUE(GetWindowLongA(a, GWL_STYLE) & WS_TABSTOP);
  EXPECT_TRUE(GetWindowLongA(b, GWL_STYLE) & WS_TABSTOP);  // never set: as created
  set_check(d, kOptionA, 0);
  EXPECT_FALSE(GetWindowLongA(a, GWL_STYLE) & WS_TABSTOP);
  set_check(d, kOptionA, 1);
  EXPECT_TRUE(GetWindowLongA(a, GWL_STYLE) & WS_TABSTOP);
}

TEST_F(DialogTest, AddListItemReturnsTheSortedPosition) {
  HWND d = make_dialog();
  HWND list = add(d, 15, kList, "", 0, 0, 100, 60);
  EXPECT_EQ(add_list_item(d, kList, "b"), 0);
  EXPECT_EQ(add_list_item(d, kList, "C"), 1);
  EXPECT_EQ(add_list_item(d, kList, "a"), 0);
  EXPECT_EQ(add_list_item(d, kList, "Ba"), 2);
  EXPECT_EQ(list_items(list), "[a][b][Ba][C]");
  EXPECT_EQ(add_list_item(d, kList, std::string("z\0hidden", 8)), 4);  // up to the NUL
  EXPECT_EQ(list_items(list), "[a][b][Ba][C][z]");
}

TEST_F(DialogTest, ResetListEmptiesItAndAnEmptyListStaysEmpty) {
  HWND d = make_dialog();
  HWND list = add(d, 15, kList, "", 0, 0, 100, 60);
  reset_list(d, kList);
  EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 0);
  for (const char* item : {"one", "two", "three", "four", "five", "six"}) add_list_item(d, kList, item);
  EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 6);
  reset_list(d, kList);
  EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(add_list_item(d, kList, "again"), 0);
}

TEST_F(DialogTest, ControlTextIsReadThroughTheFixedBuffer) {
  HWND d = make_dialog();
  add(d, 9, kTextBox, "", 0, 0, 100, 12);
  add(d, 5, kLabel, "Directory", 0, 20, 100, 12);
  EXPECT_EQ(get_control_text(d, kLabel), "Directory");
  const std::string long_text(40000, 'x');
  set_control_text(d, kTextBox, long_text);
  EXPECT_EQ(get_control_text(d, kTextBox), std::string(32769, 'x'));
  set_control_text(d, kLabel, long_text);
  EXPECT_EQ(get_control_text(d, kLabel), std::string(32769, 'x'));
  set_control_text(d, kTextBox, std::string(32769, 'y'));
  EXPECT_EQ(get_control_text(d, kTextBox).size(), 32769u);
  set_control_text(d, kTextBox, "");
  EXPECT_EQ(get_control_text(d, kTextBox), "");
}

TEST_F(DialogTest, TextWithANulShowsThePartBeforeIt) {
  HWND d = make_dialog();
  add(d, 9, kTextBox, "", 0, 0, 100, 12);
  set_control_text(d, kTextBox, std::string("ab\0cd", 5));
  EXPECT_EQ(get_control_text(d, kTextBox), "ab");
  EXPECT_EQ(GetWindowTextLengthA(GetDlgItem(d, kTextBox)), 2);
}

TEST_F(DialogTest, ControlTextWithoutStorageIsEmpty) {
  HWND d = make_dialog();
  add(d, 5, kLabel, "Directory", 0, 0, 100, 12);
  vintrell::fail_string_storage_at(1);  // the buffer
  EXPECT_EQ(get_control_text(d, kLabel), "");
  vintrell::fail_string_storage_at(2);  // the result
  EXPECT_EQ(get_control_text(d, kLabel), "");
  vintrell::fail_string_storage_at(0);
  EXPECT_EQ(get_control_text(d, kLabel), "Directory");
  EXPECT_EQ(vintrell::current_run_time_error(), 0u);  // the engine records nothing
}

TEST_F(DialogTest, AnIdThatNamesNoControl) {
  HWND d = make_program_dialog();
  EXPECT_EQ(get_control_text(d, 555), "");
  EXPECT_EQ(get_check(d, 555), 0);
  EXPECT_EQ(add_list_item(d, 555, "x"), 0);
  set_control_text(d, 555, "x");
  set_check(d, 555, 1);
  reset_list(d, 555);
  EXPECT_EQ(focused_id(d), kTextBox);
  set_focus(d, 555);
  EXPECT_TRUE(GetFocus() == nullptr);
  EXPECT_EQ(GetActiveWindow(), d);
}

TEST_F(DialogTest, FocusCanBeSetWhileTheDialogIsHidden) {
  HWND d = make_program_dialog();
  EXPECT_FALSE(IsWindowVisible(d));
  EXPECT_EQ(focused_id(d), kTextBox);
  set_focus(d, kFindButton);
  EXPECT_EQ(focused_id(d), kFindButton);
}

TEST_F(DialogTest, SortedListKeepsTheResultsListOrder) {
  HWND d = make_dialog();
  HWND list = add(d, 15, kList, "", 0, 0, 100, 60);
  // The locale's collation, case ignored: blanks and punctuation before digits
  // before letters, a hyphen only after all else; a level item goes before the
  // level one the binary search meets.
  const char* items[] = {"ab", "a-b", "a b", "_x", "Zz", "x", "X", "1"};
  const int positions[] = {0, 1, 0, 0, 4, 4, 4, 1};
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(add_list_item(d, kList, items[i]), positions[i]);
  EXPECT_EQ(list_items(list), "[_x][1][a b][ab][a-b][X][x][Zz]");
}
