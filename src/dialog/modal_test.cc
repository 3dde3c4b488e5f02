// The modal run and the commands the dialog manager makes of keys, clicks and
// close requests, driven by scripted user input.
#include <string>
#include <vector>

#include "dialog/dialog.h"
#include "dialog/dialog_testing.h"
#include "testing/input.h"
#include "testing/test.h"

using namespace dialog_testing;
using testing::UserInput;
using vintrell::end_dialog;
using vintrell::get_check;
using vintrell::get_control_text;
using vintrell::run_modal;
using vintrell::set_control_text;
using vintrell::set_focus;

namespace {

// Runs `dialog` with `input` and the recording dialog callback (or none).
int32_t run(HWND dialog, UserInput& input, bool with_dialog_callback = false) {
  int32_t result = -7;
  input.start();
  run_modal(dialog, with_dialog_callback ? record_dialog : nullptr, &result);
  return result;
}

std::vector<int> focus_trail;

}  // namespace

TEST_F(DialogTest, CloseButtonEndsTheRunWithOne) {
  HWND d = make_program_dialog();
  HWND close = GetDlgItem(d, kCloseButton);
  UserInput input(d);
  input.click(kCloseButton);
  EXPECT_EQ(run(d, input), 1);
  EXPECT_FALSE(input.left_open());
  EXPECT_FALSE(IsWindow(d));
  ASSERT_EQ(control_calls().size(), 1u);
  const Call& call = control_calls()[0];
  EXPECT_EQ(call.dialog, d);
  EXPECT_EQ(call.message, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(call.wparam, static_cast<WPARAM>(MAKEWPARAM(kCloseButton, BN_CLICKED)));
  EXPECT_EQ(call.lparam, reinterpret_cast<LPARAM>(close));
}

TEST_F(DialogTest, CloseBoxAndAltF4EndTheRunWithZero) {
  HWND d = make_program_dialog();
  UserInput by_box(d);
  by_box.close_box();
  EXPECT_EQ(run(d, by_box), 0);
  EXPECT_FALSE(by_box.left_open());

  HWND e = make_program_dialog();
  UserInput by_keys(e);
  by_keys.alt_key(VK_F4);
  EXPECT_EQ(run(e, by_keys), 0);
  EXPECT_FALSE(by_keys.left_open());
  EXPECT_EQ(commands_for(control_calls(), kCloseButton), 0);
}

TEST_F(DialogTest, DialogCallbackSeesInitDialogFirstAndWmCloseFromEndDialog) {
  HWND d = make_program_dialog();
  UserInput input(d);
  input.click(kCloseButton);
  EXPECT_EQ(run(d, input, true), 1);
  ASSERT_TRUE(!dialog_calls().empty());
  EXPECT_EQ(dialog_calls()[0].message, static_cast<UINT>(WM_INITDIALOG));
  EXPECT_EQ(dialog_calls()[0].wparam, reinterpret_cast<WPARAM>(d));
  EXPECT_EQ(messages_of(dialog_calls(), WM_CLOSE), 1);
  // Its callback answered 0, but had ended the dialog: no dialog callback then.
  EXPECT_EQ(commands_for(dialog_calls(), kCloseButton), 0);
}

namespace {
int32_t end_on_close(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  record_dialog(dialog, message, wparam, lparam);
  if (message == WM_CLOSE) end_dialog(dialog, 9);
  return 0;
}
}  // namespace

TEST_F(DialogTest, DialogCallbackEndingOnWmCloseDoesNotRecurse) {
  HWND d = make_program_dialog();
  int32_t result = -7;
  UserInput input(d);
  input.click(kCloseButton);
  input.start();
  run_modal(d, end_on_close, &result);
  EXPECT_EQ(result, 1);  // the first end_dialog's result
  EXPECT_EQ(messages_of(dialog_calls(), WM_CLOSE), 1);
  EXPECT_FALSE(IsWindow(d));
}

TEST_F(DialogTest, WmCloseBecomesACancelCommandThatEndsNothing) {
  HWND d = make_program_dialog();
  UserInput input(d);
  input.run([d] { PostMessageA(d, WM_CLOSE, 0, 0); });
  run(d, input, true);
  EXPECT_TRUE(input.left_open());
  EXPECT_EQ(messages_of(dialog_calls(), WM_CLOSE), 1);
  EXPECT_EQ(commands_for(dialog_calls(), IDCANCEL, BN_CLICKED), 1);
}

TEST_F(DialogTest, EscapeReportsIdCancelWhichIsTheListHere) {
  HWND d = make_program_dialog();
  HWND list = GetDlgItem(d, kList);
  UserInput input(d);
  input.key(VK_ESCAPE);
  run(d, input, true);
  EXPECT_TRUE(input.left_open());  // no callback for id 2: nothing happens
  ASSERT_EQ(commands_for(dialog_calls(), IDCANCEL), 1);
  for (const Call& call : dialog_calls()) {
    if (call.message == WM_COMMAND && LOWORD(call.wparam) == IDCANCEL) {
      EXPECT_EQ(call.lparam, reinterpret_cast<LPARAM>(list));
    }
  }
}

TEST_F(DialogTest, EnterWithNoDefaultButtonReportsIdOk) {
  HWND d = make_program_dialog();
  UserInput input(d);
  input.key(VK_RETURN);
  run(d, input, true);
  EXPECT_TRUE(input.left_open());
  EXPECT_EQ(commands_for(dialog_calls(), IDOK, BN_CLICKED), 1);
  EXPECT_EQ(commands_for(control_calls(), kFindButton), 0);
}

TEST_F(DialogTest, EnterRunsTheFocusedPushButtonOnceTabHasMovedThere) {
  HWND d = make_program_dialog();
  set_focus(d, kBrowseButton);
  UserInput input(d);
  input.key(VK_TAB).key(VK_RETURN);
  run(d, input);
  EXPECT_EQ(commands_for(control_calls(), kFindButton, BN_CLICKED), 1);
  EXPECT_EQ(commands_for(control_calls(), kBrowseButton), 0);
}

TEST_F(DialogTest, EnterAfterSetFocusOnAPushButtonStillReportsIdOk) {
  HWND d = make_program_dialog();
  set_focus(d, kFindButton);  // no dialog-manager move: the button is no default
  UserInput input(d);
  input.key(VK_RETURN);
  run(d, input, true);
  EXPECT_EQ(commands_for(control_calls(), kFindButton), 0);
  EXPECT_EQ(commands_for(dialog_calls(), IDOK, BN_CLICKED), 1);
}

TEST_F(DialogTest, DefaultButtonFollowsTheFocusAndLeavesWithIt) {
  HWND d = make_program_dialog();
  set_focus(d, kBrowseButton);
  DWORD find_style = 0, close_style = 0, after_style = 0;
  UserInput input(d);
  input.key(VK_TAB)
      .key(VK_TAB)
      .run([&] {
        find_style = static_cast<DWORD>(GetWindowLongA(GetDlgItem(d, kFindButton), GWL_STYLE));
        close_style = static_cast<DWORD>(GetWindowLongA(GetDlgItem(d, kCloseButton), GWL_STYLE));
      })
      .key(VK_TAB)  // on to the text box
      .run([&] {
        after_style = static_cast<DWORD>(GetWindowLongA(GetDlgItem(d, kCloseButton), GWL_STYLE));
      })
      .key(VK_RETURN);
  run(d, input, true);
  EXPECT_EQ(find_style & BS_TYPEMASK, static_cast<DWORD>(BS_PUSHBUTTON));
  EXPECT_EQ(close_style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
  EXPECT_EQ(after_style & BS_TYPEMASK, static_cast<DWORD>(BS_PUSHBUTTON));
  EXPECT_EQ(commands_for(dialog_calls(), IDOK, BN_CLICKED), 1);
  EXPECT_TRUE(input.left_open());
}

TEST_F(DialogTest, ClickAndSpaceRunAPushButtonsCallbackOnce) {
  HWND d = make_program_dialog();
  UserInput input(d);
  input.click(kFindButton)
      .run([&] { EXPECT_EQ(focused_id(d), kFindButton); })
      .key(VK_SPACE)
      .run([d] { SendMessageA(GetDlgItem(d, kFindButton), BM_CLICK, 0, 0); });
  run(d, input);
  EXPECT_TRUE(input.left_open());
  EXPECT_EQ(commands_for(control_calls(), kFindButton, BN_CLICKED), 3);
  EXPECT_EQ(commands_for(control_calls(), kFindButton), 3);
}

TEST_F(DialogTest, ButtonReleasedOutsideDoesNotClick) {
  HWND d = make_program_dialog();
  UserInput input(d);
  input.run([d] {
    HWND find = GetDlgItem(d, kFindButton);
    PostMessageA(find, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(find, WM_LBUTTONUP, 0, MAKELPARAM(5000, 5));
  });
  run(d, input);
  EXPECT_EQ(commands_for(control_calls(), kFindButton), 0);
}

TEST_F(DialogTest, TabAndShiftTabFollowCreationOrderOverTabStops) {
  HWND d = make_program_dialog();
  focus_trail.clear();
  UserInput input(d);
  auto note = [d] { focus_trail.push_back(focused_id(d)); };
  for (int i = 0; i < 10; ++i) input.key(VK_TAB).run(note);
  input.shift_key(VK_TAB).run(note).shift_key(VK_TAB).run(note);
  run(d, input);
  // Labels and the flat web link button carry no tab stop.
  const std::vector<int> expected = {kCheckBox,   kList,         kSummaryBox, kDirectoryBox,
                                     kOptionA,    kOptionB,      kBrowseButton, kFindButton,
                                     kCloseButton, kTextBox,     kCloseButton,  kFindButton};
  EXPECT_EQ(focus_trail.size(), expected.size());
  for (size_t i = 0; i < expected.size() && i < focus_trail.size(); ++i) {
    EXPECT_EQ(focus_trail[i], expected[i]);
  }
}

TEST_F(DialogTest, ArrowsMoveAmongOptionButtonsAndCheckTheOneReached) {
  HWND d = make_program_dialog();
  set_focus(d, kOptionA);
  int down_focus = 0, down_a = -1, down_b = -1, up_focus = 0, up_a = -1, up_b = -1;
  UserInput input(d);
  input.key(VK_DOWN)
      .run([&] {
        down_focus = focused_id(d);
        down_a = get_check(d, kOptionA);
        down_b = get_check(d, kOptionB);
      })
      .key(VK_UP)
      .run([&] {
        up_focus = focused_id(d);
        up_a = get_check(d, kOptionA);
        up_b = get_check(d, kOptionB);
      });
  run(d, input, true);
  EXPECT_EQ(down_focus, kOptionB);
  EXPECT_EQ(down_a, 0);
  EXPECT_EQ(down_b, 1);
  EXPECT_EQ(up_focus, kOptionA);
  EXPECT_EQ(up_a, 1);
  EXPECT_EQ(up_b, 0);
  EXPECT_EQ(commands_for(dialog_calls(), kOptionB, BN_CLICKED), 1);
  EXPECT_EQ(commands_for(dialog_calls(), kOptionA, BN_CLICKED), 1);
}

TEST_F(DialogTest, WithoutAGroupArrowsLeaveTheOptionButtons) {
  HWND d = make_program_dialog();
  set_focus(d, kOptionB);
  int after_down = 0, after_up = 0, checked = -1;
  UserInput input(d);
  // No control carries WS_GROUP: the whole dialog is one group.
  input.key(VK_DOWN).run([&] { after_down = focused_id(d); });
  input.run([d] { set_focus(d, kOptionA); });
  input.key(VK_UP).run([&] {
    after_up = focused_id(d);
    checked = get_check(d, kOptionA);
  });
  run(d, input);
  EXPECT_EQ(after_down, kLabel);
  EXPECT_EQ(after_up, kDirectoryBox);
  EXPECT_EQ(checked, 1);
}

TEST_F(DialogTest, ArrowFromAPushButtonMakesTheNextOneTheDefault) {
  HWND d = make_program_dialog();
  set_focus(d, kFindButton);
  int focus = 0;
  UserInput input(d);
  input.key(VK_RIGHT).run([&] { focus = focused_id(d); }).key(VK_RETURN);
  EXPECT_EQ(run(d, input), 1);  // Enter ran the Close button reached by the arrow
  EXPECT_EQ(focus, kCloseButton);
  EXPECT_EQ(commands_for(control_calls(), kFindButton), 0);
}

TEST_F(DialogTest, ClickedOptionButtonClearsTheOtherWhichLeavesTheTabOrder) {
  HWND d = make_program_dialog();
  int after_tab = 0, a = -1, b = -1;
  UserInput input(d);
  input.click(kOptionB)
      .run([&] {
        a = get_check(d, kOptionA);
        b = get_check(d, kOptionB);
        set_focus(d, kDirectoryBox);
      })
      .key(VK_TAB)
      .run([&] { after_tab = focused_id(d); });
  run(d, input);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(after_tab, kOptionB);  // the cleared option lost its tab stop
}

TEST_F(DialogTest, SpaceTogglesTheCheckBox) {
  HWND d = make_program_dialog();
  set_focus(d, kCheckBox);
  int after_first = -1;
  UserInput input(d);
  input.key(VK_SPACE).run([&] { after_first = get_check(d, kCheckBox); }).key(VK_SPACE);
  run(d, input, true);
  EXPECT_EQ(after_first, 1);
  EXPECT_EQ(get_check(d, kCheckBox), 0);
  EXPECT_EQ(commands_for(dialog_calls(), kCheckBox, BN_CLICKED), 2);
}

TEST_F(DialogTest, TypedCharactersGoIntoTheFocusedTextBox) {
  HWND d = make_program_dialog();
  std::string typed, at_caret, replaced;
  UserInput input(d);
  input.type("abc\xE9").run([&] { typed = get_control_text(d, kTextBox); });
  // The text set on a box leaves the caret at its start.
  input.run([d] { set_control_text(d, kTextBox, "dir"); });
  input.type("X").key(VK_END).type("Y").key(VK_BACK).key(VK_BACK).run([&] {
    at_caret = get_control_text(d, kTextBox);
  });
  // Tab into a box selects its text, so typing replaces it.
  input.run([d] { set_focus(d, kSummaryBox); })
      .key(VK_TAB)
      .type("new")
      .run([&] { replaced = get_control_text(d, kDirectoryBox); });
  run(d, input);
  EXPECT_EQ(typed, "abc\xE9");
  EXPECT_EQ(at_caret, "Xdi");
  EXPECT_EQ(replaced, "new");
}

TEST_F(DialogTest, EveryNotificationOfAnIdReachesItsCallback) {
  HWND d = make_dialog();
  add(d, 9, kTextBox, "", 10, 10, 100, 12, 0, record_control);
  add(d, 9, kSummaryBox, "", 10, 30, 100, 12);
  set_focus(d, kTextBox);
  UserInput input(d);
  input.type("a").run([d] { set_focus(d, kSummaryBox); });
  run(d, input);
  EXPECT_EQ(commands_for(control_calls(), kTextBox, EN_SETFOCUS), 1);
  EXPECT_EQ(commands_for(control_calls(), kTextBox, EN_UPDATE), 1);
  EXPECT_EQ(commands_for(control_calls(), kTextBox, EN_CHANGE), 1);
  EXPECT_EQ(commands_for(control_calls(), kTextBox, EN_KILLFOCUS), 1);
}

TEST_F(DialogTest, HandledCommandIsKeptFromTheDialogCallback) {
  HWND d = make_program_dialog(record_and_handle);
  UserInput input(d);
  input.click(kFindButton).click(kBrowseButton);
  run(d, input, true);
  EXPECT_EQ(commands_for(control_calls(), kFindButton, BN_CLICKED), 1);
  EXPECT_EQ(commands_for(dialog_calls(), kFindButton), 0);   // answered 1
  EXPECT_EQ(commands_for(control_calls(), kBrowseButton, BN_CLICKED), 1);
  EXPECT_EQ(commands_for(dialog_calls(), kBrowseButton), 1);  // answered 0
}

TEST_F(DialogTest, WmQuitDoesNotEndTheRun) {
  HWND d = make_program_dialog();
  bool still_open = false;
  UserInput input(d);
  input.run([] { PostQuitMessage(3); }).run([&] { still_open = IsWindow(d) != 0; });
  input.click(kCloseButton);
  EXPECT_EQ(run(d, input), 1);
  EXPECT_TRUE(still_open);
  EXPECT_TRUE(input.done());
}

TEST_F(DialogTest, KeysGoNowhereWhileNoControlHasTheFocus) {
  HWND d = make_program_dialog();
  set_focus(d, 555);
  int focus_after = -2;
  std::string text = "?";
  UserInput input(d);
  input.key(VK_TAB).key(VK_RETURN).key(VK_ESCAPE).type("x").run([&] {
    focus_after = focused_id(d);
    text = get_control_text(d, kTextBox);
  });
  run(d, input, true);
  EXPECT_EQ(focus_after, 0);
  EXPECT_EQ(messages_of(dialog_calls(), WM_COMMAND), 0);
  EXPECT_EQ(text, "");
}

TEST_F(DialogTest, FocusSetWhileHiddenIsKeptWhenShown) {
  HWND d = make_program_dialog();
  int focus_when_shown = 0;
  bool visible = false;
  UserInput input(d);
  input.run([&] {
    focus_when_shown = focused_id(d);
    visible = IsWindowVisible(d) != 0;
  });
  run(d, input);
  EXPECT_TRUE(visible);
  EXPECT_EQ(focus_when_shown, kTextBox);
}

TEST_F(DialogTest, ShownWithoutFocusTheFirstTabStopGetsIt) {
  HWND d = make_dialog();
  add(d, 5, kLabel, "Label", 4, 4, 40, 12);
  add(d, 9, kSummaryBox, "abc", 4, 20, 80, 12);
  int focus_when_shown = 0;
  DWORD selection = 0;
  UserInput input(d);
  input.run([&] {
    focus_when_shown = focused_id(d);
    selection = static_cast<DWORD>(SendMessageA(GetDlgItem(d, kSummaryBox), EM_GETSEL, 0, 0));
  });
  run(d, input);
  EXPECT_EQ(focus_when_shown, kSummaryBox);
  EXPECT_EQ(LOWORD(selection), 0);
  EXPECT_EQ(HIWORD(selection), 3);
}

TEST_F(DialogTest, OwnerIsDisabledWhileRunningAndEnabledByEndDialog) {
  HWND owner = make_dialog("Owner");
  // The owner's dialog callback slot, as run_modal would have set it.
  SetWindowLongPtrA(owner, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&record_dialog));
  HWND d = make_dialog("Owned", owner);
  add(d, 1, kCloseButton, "Close", 10, 10, 40, 14, 0, record_and_end_with_one);
  bool owner_enabled = true;
  UserInput input(d);
  input.run([&] { owner_enabled = IsWindowEnabled(owner) != 0; }).idle(200).click(kCloseButton);
  EXPECT_EQ(run(d, input), 1);
  EXPECT_FALSE(owner_enabled);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_EQ(GetFocus(), owner);
  EXPECT_TRUE(messages_of(dialog_calls(), WM_CANCELMODE) >= 1);
  EXPECT_TRUE(messages_of(dialog_calls(), WM_ENTERIDLE) >= 1);
  for (const Call& call : dialog_calls()) {
    if (call.message != WM_ENTERIDLE) continue;
    EXPECT_EQ(call.wparam, static_cast<WPARAM>(MSGF_DIALOGBOX));
    EXPECT_EQ(call.lparam, reinterpret_cast<LPARAM>(d));
  }
}

TEST_F(DialogTest, DestroyedByOtherMeansKeepsTheResultAndTheOwnerDisabled) {
  HWND owner = make_dialog("Owner");
  HWND d = make_dialog("Owned", owner);
  UserInput input(d);
  input.run([d] { DestroyWindow(d); });
  EXPECT_EQ(run(d, input), -7);
  EXPECT_FALSE(IsWindow(d));
  EXPECT_FALSE(IsWindowEnabled(owner));
  EnableWindow(owner, TRUE);
}

TEST_F(DialogTest, EndDialogOnADeadHandleWritesNothing) {
  HWND d = make_dialog();
  int32_t result = -7;
  SetWindowLongPtrA(d, DWLP_USER, reinterpret_cast<LONG_PTR>(&result));
  DestroyWindow(d);
  end_dialog(d, 5);
  end_dialog(nullptr, 5);
  EXPECT_EQ(result, -7);
}

TEST_F(DialogTest, RunModalOnNoWindowReturnsAtOnce) {
  int32_t result = -7;
  run_modal(nullptr, record_dialog, &result);
  HWND d = make_dialog();
  DestroyWindow(d);
  run_modal(d, record_dialog, &result);
  EXPECT_EQ(result, -7);
  EXPECT_TRUE(dialog_calls().empty());
}

namespace {
int32_t end_on_init_dialog(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) end_dialog(dialog, 3);
  return 0;
}
}  // namespace

// A dialog destroyed without a queued message behind it (here by the dialog
// callback's own WM_INITDIALOG; a cross-process SendMessage click on Close does
// the same) must still end the run, not leave it polling an empty queue.
TEST_F(DialogTest, DialogDestroyedBeforeAnyMessageStillEndsTheRun) {
  HWND d = make_dialog();
  int32_t result = -7;
  run_modal(d, end_on_init_dialog, &result);
  EXPECT_FALSE(IsWindow(d));
  EXPECT_EQ(result, -7);  // the result slot was not yet set when it ended
}

TEST_F(DialogTest, ListBoxSelectionByKeysLettersAndClicks) {
  HWND d = make_dialog();
  HWND list = add(d, 15, kList, "", 10, 10, 100, 36, 0, record_control);
  for (const char* item : {"bravo", "alpha", "charlie"}) vintrell::add_list_item(d, kList, item);
  set_focus(d, kList);
  std::vector<int> selections;
  auto note = [&] { selections.push_back(static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0))); };
  // The click goes to the middle of the list: the line there follows from the
  // list's own client height and line height.
  int clicked_line = -1;
  auto aim = [&] {
    RECT client;
    GetClientRect(list, &client);
    clicked_line = static_cast<int>((client.bottom / 2) / SendMessageA(list, LB_GETITEMHEIGHT, 0, 0));
  };
  UserInput input(d);
  input.run(note).key(VK_DOWN).run(note).key(VK_DOWN).run(note).type("c").run(note);
  input.key(VK_HOME).run(note).type("b").run(note).run(aim).click(kList).run(note);
  run(d, input);
  ASSERT_TRUE(clicked_line >= 0 && clicked_line < 3);
  const std::vector<int> expected = {-1, 0, 1, 2, 0, 1, clicked_line};
  ASSERT_EQ(selections.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(selections[i], expected[i]);
  EXPECT_EQ(commands_for(control_calls(), kList, LBN_SETFOCUS), 1);
  // A click notifies even on the line already selected.
  EXPECT_EQ(commands_for(control_calls(), kList, LBN_SELCHANGE), 6);
}

TEST_F(DialogTest, ListBoxShowsItsScrollBarOnlyWhileItemsOverflow) {
  HWND d = make_dialog();
  HWND list = add(d, 15, kList, "", 54, 46, 200, 36);
  auto has_bar = [list] { return (GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL) != 0; };
  RECT asked = {54, 46, 254, 82};
  MapDialogRect(d, &asked);
  RECT window, client;
  GetWindowRect(list, &window);
  GetClientRect(list, &client);
  const int line = static_cast<int>(SendMessageA(list, LB_GETITEMHEIGHT, 0, 0));
  ASSERT_TRUE(line > 0);
  // Cut to whole lines of the font it was created with, never grown.
  EXPECT_TRUE(window.bottom - window.top <= asked.bottom - asked.top);
  const int lines = client.bottom / line;
  ASSERT_TRUE(lines >= 2);
  for (int i = 0; i < lines; ++i) vintrell::add_list_item(d, kList, std::to_string(i));
  EXPECT_FALSE(has_bar());
  vintrell::add_list_item(d, kList, "one more");
  EXPECT_TRUE(has_bar());
  vintrell::reset_list(d, kList);
  EXPECT_FALSE(has_bar());
}
