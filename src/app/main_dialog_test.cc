// The whole program in-process: started through the process entry, worked by a
// scripted user, ended by its own buttons.
#include "app/main_dialog.h"

#include <string>
#include <vector>

#include "testing/drivers/app_testing.h"
#include "app/home_folder.h"
#include "dialog/dialog.h"
#include "platform/win32.h"
#include "runtime/runtime.h"
#include "testing/input.h"
#include "testing/temp_folder.h"
#include "testing/test.h"
#include "testing/test_util.h"

#if VINTRELL_NATIVE_LAYER
#include "platform/native_layer.h"
#endif

using namespace vintrell;
using app_testing::drive_path;

namespace {

// A mail folder whose results are known, with the program dropped into it.
void write_mail_folder(const testing::TempFolder& temp) {
  temp.write("STAFF.PMR", std::string("Staff\0John Smith\0jsmith@example.org\0Mary Smithers\0", 50));
  temp.write("CLUB.PMR", std::string("Chess club\0Anna Smith\0anna@example.org\0", 39));
  temp.write("OTHER.PMR", std::string("Suppliers\0Acme Ltd\0orders@example.org\0", 38));
  temp.write("FAMILY.PML",
             "\\TITLE Family\r\nJohn Smith <john@example.org>\r\n\\NOTE all\r\n"
             "Ann Jones <ann@example.org>\r\n");
  temp.write("TEAM.PML",
             "\\TITLE Team\r\nBob SMITH <bob@example.org>\r\nsmithy@example.org\r\n"
             "Carl <carl@example.org>\r\n");
  temp.write("EMPTY.PML", "\\TITLE Nobody\r\n");
  temp.make_folder("FOLDER.PMR");
  temp.write("vintrell.exe", "MZ");
}

const char kBooksFound[] = "Text found in  2 out of  3 Address Books";
const std::vector<std::string> kBookLines = {"Chess club ( 1 occurences)",
                                             "Staff ( 3 occurences)"};

HWND control(int id) { return GetDlgItem(main_dialog(), id); }

std::string text_of(int id) { return get_control_text(main_dialog(), id); }

std::vector<std::string> results() {
  std::vector<std::string> lines;
  HWND list = control(kResultsList);
  LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::string line(static_cast<size_t>(SendMessageA(list, LB_GETTEXTLEN, i, 0)), '\0');
    SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&line[0]));
    lines.push_back(line);
  }
  return lines;
}

#if VINTRELL_NATIVE_LAYER
struct ProcessEnded {
  UINT exit_code;
};

[[noreturn]] void end_by_throwing(UINT exit_code) { throw ProcessEnded{exit_code}; }
#endif

// Starts the program as Windows does and lets `input` work its dialog. On the
// native layer the command line is `command_line` and ExitProcess is taken over,
// giving the exit code; on Windows the process cannot be ended here, so the run
// stops where the process entry would call ExitProcess, with the main routine's
// result, and the command line is the test's own.
UINT run_whole_program(const std::string& command_line, testing::UserInput* input) {
  input->start();
#if VINTRELL_NATIVE_LAYER
  const std::string own_line = GetCommandLineA();
  native_layer::set_command_line(command_line);
  native_layer::set_exit_hook(&end_by_throwing);
  UINT exit_code = 0xDEAD;
  try {
    process_entry(&main_routine);
  } catch (const ProcessEnded& ended) {
    exit_code = ended.exit_code;
  }
  native_layer::set_exit_hook(nullptr);
  native_layer::set_command_line(own_line);
  return exit_code;
#else
  (void)command_line;
  return static_cast<UINT>(run_process(&main_routine));
#endif
}

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

}  // namespace

TEST(MainDialog, StartsWithItsSixteenControlsInTabOrder) {
  testing::UserInput input(&main_dialog);
  std::vector<int> ids;
  std::vector<RECT> places;
  std::string caption, directory;
  bool focused = false, books = false, lists = true;
  LONG style = 0;
  input.run([&] {
    char text[64] = "";
    GetWindowTextA(main_dialog(), text, sizeof text);
    caption = text;
    style = GetWindowLongA(main_dialog(), GWL_STYLE);
    for (HWND child = GetWindow(main_dialog(), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
      ids.push_back(GetDlgCtrlID(child));
      RECT place;
      GetWindowRect(child, &place);
      places.push_back(place);
    }
    directory = text_of(kDirectoryBox);
    focused = GetFocus() == control(kTextToFindBox);
    books = get_check(main_dialog(), kAddressBooksOption) == BST_CHECKED;
    lists = get_check(main_dialog(), kDistributionListsOption) == BST_CHECKED;
  });
  input.close_box();
  EXPECT_EQ(run_whole_program(GetCommandLineA(), &input), 0u);
  EXPECT_FALSE(input.left_open());
  EXPECT_EQ(caption, std::string("Vintrell for Pegasus Mail"));
  EXPECT_EQ(style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME),
            static_cast<LONG>(WS_SYSMENU | WS_MINIMIZEBOX));
  const std::vector<int> order = {1, 13, 2, 3, 4, 5, 6, 7, 8, 9, 99, 101, 99, 12, 10, 11};
  EXPECT_EQ(ids == order, true);
  EXPECT_EQ(ids.size(), order.size());
  EXPECT_EQ(directory, home_folder());
  EXPECT_TRUE(focused);
  EXPECT_TRUE(books);
  EXPECT_FALSE(lists);
  // A control that reaches under another repaints over it.
  for (size_t a = 0; a < places.size(); ++a) {
    for (size_t b = a + 1; b < places.size(); ++b) {
      const RECT& p = places[a];
      const RECT& q = places[b];
      if (p.left < q.right && q.left < p.right && p.top < q.bottom && q.top < p.bottom) {
        ADD_FAILURE("controls " + std::to_string(ids[a]) + " and " + std::to_string(ids[b]) +
                    " overlap");
      }
    }
  }
}

TEST(MainDialog, FindsByClickAndByKeyboardAndClosesWithExitCode0) {
  testing::TempFolder temp;
  write_mail_folder(temp);
  const std::string home = drive_path(temp) + "\\";
  testing::UserInput input(&main_dialog);
  std::string directory, summary_by_click, summary_by_space, summary_by_enter;
  std::vector<std::string> lines_by_click, lines_by_space, lines_by_enter;
  bool find_focused = false, open_after_escape = false;

  input.run([&] {
    directory = text_of(kDirectoryBox);
    // On Windows the program started from the test's own folder.
    set_control_text(main_dialog(), kDirectoryBox, home);
  });
  input.type("smith").click(kFindButton).run([&] {
    lines_by_click = results();
    summary_by_click = text_of(kSummaryBox);
  });
  // From the Distribution Lists option the Tab key passes Browse, then Find.
  input.click(kDistributionListsOption).key(VK_TAB).key(VK_TAB).run([&] {
    find_focused = GetFocus() == control(kFindButton);
  });
  input.key(VK_SPACE).run([&] {
    lines_by_space = results();
    summary_by_space = text_of(kSummaryBox);
    set_control_text(main_dialog(), kTextToFindBox, "Smith");
    set_check(main_dialog(), kMatchCaseBox, BST_CHECKED);
  });
  // Enter goes to the focused push button.
  input.key(VK_RETURN).run([&] {
    lines_by_enter = results();
    summary_by_enter = text_of(kSummaryBox);
  });
  input.key(VK_ESCAPE).run([&] { open_after_escape = IsWindow(main_dialog()) != 0; });
  input.click(kCloseButton);

#if VINTRELL_NATIVE_LAYER
  native_layer::set_module_file_name(home + "vintrell.exe");
#endif
  EXPECT_EQ(run_whole_program(quoted(home + "vintrell.exe"), &input), 0u);
#if VINTRELL_NATIVE_LAYER
  native_layer::set_module_file_name("");
#endif
  EXPECT_FALSE(input.left_open());
  if (testing::on_native_layer()) EXPECT_EQ(directory, home);
  EXPECT_EQ(lines_by_click == kBookLines, true);
  EXPECT_EQ(summary_by_click, std::string(kBooksFound));
  EXPECT_TRUE(find_focused);
  ASSERT_EQ(lines_by_space.size(), 2u);
  EXPECT_EQ(lines_by_space[0], std::string("Family ( 1 out of  2 entries)"));
  EXPECT_EQ(lines_by_space[1], std::string("Team ( 2 out of  3 entries)"));
  EXPECT_EQ(summary_by_space, std::string("Text found in  2 out of  3 Distributions Lists"));
  ASSERT_EQ(lines_by_enter.size(), 1u);
  EXPECT_EQ(lines_by_enter[0], std::string("Family ( 1 out of  2 entries)"));
  EXPECT_EQ(summary_by_enter, std::string("Text found in  1 out of  3 Distributions Lists"));
  EXPECT_TRUE(open_after_escape);
}

TEST(MainDialog, ProgramsOwnPathDecidesTheDirectoryBoxWhateverTheCommandLine) {
  if (!testing::on_native_layer()) SKIP_TEST("the module path is arranged on the native layer only");
  testing::TempFolder temp;
  write_mail_folder(temp);
  const std::string home = drive_path(temp) + "\\";
  const std::string exe = home + "vintrell.exe";
  for (const std::string& command_line :
       {quoted(exe), quoted(exe) + " one two", std::string("vintrell"),
        std::string("mail\\vintrell.exe"), quoted(home + std::string(130, 'm') + "\\vintrell.exe")}) {
    app_testing::InFolder here(temp.path());
    testing::UserInput input(&main_dialog);
    std::string directory = "(not read)";
    input.run([&] { directory = text_of(kDirectoryBox); }).close_box();
#if VINTRELL_NATIVE_LAYER
    native_layer::set_module_file_name(exe);
#endif
    EXPECT_EQ(run_whole_program(command_line, &input), 0u);
#if VINTRELL_NATIVE_LAYER
    native_layer::set_module_file_name("");
#endif
    EXPECT_EQ(directory, home);
  }
}

namespace {

// Answers the native folder picker: cancelled when `chosen` is null.
void arrange_picker(const char* chosen) {
#if VINTRELL_NATIVE_LAYER
  if (chosen == nullptr) {
    native_layer::set_folder_picker_hook(nullptr);
    return;
  }
  std::string answer = chosen;
  native_layer::set_folder_picker_hook([answer](const BROWSEINFOA&, std::string* path) {
    *path = answer;
    return true;
  });
#else
  (void)chosen;
#endif
}

void arrange_opener(const std::vector<std::string>& command) {
#if VINTRELL_NATIVE_LAYER
  native_layer::set_link_opener(command);
#else
  (void)command;
#endif
}

// A drive letter for `folder` on the native layer.
void map_drive(char letter, const std::string& folder) {
#if VINTRELL_NATIVE_LAYER
  if (folder.empty()) {
    native_layer::unmap_drive(letter);
  } else {
    native_layer::map_drive(letter, folder);
  }
#else
  (void)letter;
  (void)folder;
#endif
}

}  // namespace

TEST(MainDialog, DirectoryBoxIsCheckedBeforeFindAndKeptByACancelledPicker) {
  testing::TempFolder temp;
  write_mail_folder(temp);
  arrange_picker(nullptr);
  const std::string folder = drive_path(temp);
  struct Case {
    std::string box;
    bool searched;      // else a message, and the last results stay
    std::string named;  // what the message names
  };
  const std::vector<Case> cases = {
      {"", false, "Directory box"},
      {"   ", false, "Directory box"},
      {folder + "\\NOT-THERE", false, folder + "\\NOT-THERE"},
      {"\"" + folder + "\\NOT-THERE\"", false, folder + "\\NOT-THERE"},
      {folder + "\\STAFF.PMR", false, "a file"},
      {"\"" + folder + "\"", true, ""},  // Explorer's "Copy as path"
      {"  " + folder + "\\  ", true, ""},
      {" \"" + folder + "\\\" ", true, ""},
  };
  for (const Case& c : cases) {
    testing::UserInput input(&main_dialog);
    std::vector<std::string> lines;
    std::string summary, kept_by_picker = "(not read)";
    input.run([&] {
      set_control_text(main_dialog(), kDirectoryBox, folder + "\\");
      set_control_text(main_dialog(), kTextToFindBox, "smith");
    });
    // Distribution lists first, so that a search of the box's folder shows.
    input.click(kDistributionListsOption).click(kFindButton).click(kAddressBooksOption);
    input.run([&] { set_control_text(main_dialog(), kDirectoryBox, c.box); });
    input.click(kFindButton).run([&] {
      lines = results();
      summary = text_of(kSummaryBox);
    });
    if (testing::on_native_layer()) {
      input.click(kBrowseButton).run([&] { kept_by_picker = text_of(kDirectoryBox); });
    }
    input.click(kCloseButton);
    UINT exit_code = 1;
    auto boxes = testing::message_boxes_during(
        [&] { exit_code = run_whole_program(quoted(folder + "\\vintrell.exe"), &input); });
    EXPECT_EQ(exit_code, 0u);
    if (c.searched) {
      EXPECT_EQ(boxes.size(), 0u);
      EXPECT_EQ(lines == kBookLines, true);
      EXPECT_EQ(summary, std::string(kBooksFound));
    } else {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].caption, std::string(kMainDialogCaption));
      if (boxes[0].text.find(c.named) == std::string::npos) ADD_FAILURE("the box says: " + boxes[0].text);
      ASSERT_EQ(lines.size(), 2u);
      EXPECT_EQ(lines[0], std::string("Family ( 1 out of  2 entries)"));
      EXPECT_EQ(summary, std::string("Text found in  2 out of  3 Distributions Lists"));
    }
    if (testing::on_native_layer()) EXPECT_EQ(kept_by_picker, c.box);
  }
}

TEST(MainDialog, PickedDriveRootIsSearchedWithOneBackslash) {
  if (!testing::on_native_layer()) SKIP_TEST("the folder picker is interactive on Windows");
  testing::TempFolder temp;
  write_mail_folder(temp);
  map_drive('M', temp.path());
  arrange_picker("M:\\");
  testing::UserInput input(&main_dialog);
  std::string directory, summary;
  std::vector<std::string> lines;
  input.click(kBrowseButton).run([&] { directory = text_of(kDirectoryBox); });
  input.click(kTextToFindBox).type("smith").click(kFindButton).run([&] {
    lines = results();
    summary = text_of(kSummaryBox);
  });
  input.click(kCloseButton);
  EXPECT_EQ(run_whole_program(quoted(drive_path(temp) + "\\vintrell.exe"), &input), 0u);
  arrange_picker(nullptr);
  map_drive('M', "");
  EXPECT_EQ(directory, std::string("M:\\"));
  EXPECT_EQ(lines == kBookLines, true);
  EXPECT_EQ(summary, std::string(kBooksFound));
}

TEST(MainDialog, WebLinkReportsOnlyAFailedLaunch) {
  if (!testing::on_native_layer()) SKIP_TEST("the opener is arranged on the native layer only");
  testing::TempFolder temp;
  write_mail_folder(temp);
  testing::UserInput input(&main_dialog);
  bool enabled_after_box = false;
  // No opener at all: ShellExecuteA answers 31, no association.
  input.run([] { arrange_opener({"/nonexistent/vintrell-opener"}); }).click(kWebLinkButton);
  input.run([&] {
    enabled_after_box = IsWindowEnabled(main_dialog()) != 0;
    arrange_opener({"/bin/true"});
  });
  input.click(kWebLinkButton).click(kCloseButton);
  UINT exit_code = 1;
  auto boxes = testing::message_boxes_during([&] {
    exit_code = run_whole_program(quoted(drive_path(temp) + "\\vintrell.exe"), &input);
  });
  arrange_opener({"xdg-open"});
  EXPECT_EQ(exit_code, 0u);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, std::string("Quorvastel"));
  EXPECT_EQ(boxes[0].text, std::string("Undefined error message number  31"));
  EXPECT_TRUE(enabled_after_box);
}
