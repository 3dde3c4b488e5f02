#include "app/shell.h"

#include <string>
#include <vector>

#include "app/maker.h"
#include "platform/win32.h"
#include "testing/temp_folder.h"
#include "testing/test.h"
#include "testing/test_util.h"

#if VINTRELL_NATIVE_LAYER
#include "platform/native_layer.h"
#endif

using namespace vintrell;

namespace {

// What the native layer's folder picker saw last.
struct PickerCall {
  bool asked = false;
  HWND owner = nullptr;
  std::string title;
  UINT flags = 0;
  bool rooted = false;
  bool display_buffer = false;
};

// Arranges the native folder picker's answer (cancelled when `chosen` is null)
// and records its call. Only the native layer has a picker that can be arranged.
void arrange_picker(const char* chosen, PickerCall* call) {
#if VINTRELL_NATIVE_LAYER
  std::string answer = chosen != nullptr ? chosen : "";
  bool picked = chosen != nullptr;
  native_layer::set_folder_picker_hook([=](const BROWSEINFOA& info, std::string* path) {
    call->asked = true;
    call->owner = info.hwndOwner;
    call->title = info.lpszTitle != nullptr ? info.lpszTitle : "(null)";
    call->flags = info.ulFlags;
    call->rooted = info.pidlRoot != nullptr;
    call->display_buffer = info.pszDisplayName != nullptr;
    *path = answer;
    return picked;
  });
#else
  (void)chosen;
  (void)call;
#endif
}

// The command the native ShellExecuteA starts, the target appended.
void arrange_opener(const std::vector<std::string>& command) {
#if VINTRELL_NATIVE_LAYER
  native_layer::set_link_opener(command);
#else
  (void)command;
#endif
}

std::vector<testing::SeenMessageBox> launched(const std::string& target) {
  return testing::message_boxes_during([&] { link_launcher(target.c_str()); });
}

// Puts the native shell back as it was: no picker answer, xdg-open as the opener.
class ShellTest : public testing::Test {
 public:
  ~ShellTest() override {
#if VINTRELL_NATIVE_LAYER
    native_layer::set_folder_picker_hook(nullptr);
    native_layer::set_link_opener({"xdg-open"});
#endif
  }
};

}  // namespace

TEST(LaunchFailureMessage, KnownResultsHaveTheirOwnText) {
  EXPECT_EQ(launch_failure_message(0),
            std::string("The operating system is out of memory or resources"));
  EXPECT_EQ(launch_failure_message(2), std::string("The specified file was not found"));
  EXPECT_EQ(launch_failure_message(3), std::string("The specified path was not found"));
  EXPECT_EQ(launch_failure_message(5),
            std::string("The operating system denied access to the specified file"));
  EXPECT_EQ(launch_failure_message(11),
            std::string("The .EXE file is invalid (non-Win32.EXE or error in .EXE image)"));
}

TEST(LaunchFailureMessage, OtherResultsBelow33AreNumberedAndTheRestSilent) {
  // A blank from the text and one from the number conversion.
  EXPECT_EQ(launch_failure_message(31), std::string("Undefined error message number  31"));
  EXPECT_EQ(launch_failure_message(32), std::string("Undefined error message number  32"));
  EXPECT_EQ(launch_failure_message(1), std::string("Undefined error message number  1"));
  EXPECT_EQ(launch_failure_message(-1), std::string("Undefined error message number -1"));
  EXPECT_EQ(launch_failure_message(33), std::string());
  EXPECT_EQ(launch_failure_message(42), std::string());
}

TEST(LinkLauncher, MissingFileIsReportedUnderTheDefaultCaption) {
  testing::TempFolder temp;
  auto boxes = launched(temp.join("no such page.html"));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, std::string("Quorvastel"));
  EXPECT_EQ(boxes[0].text, std::string("The specified file was not found"));
}

TEST(LinkLauncher, EmptyTargetIsReportedAsAnInvalidProgram) {
  // Measured under Wine: ShellExecuteA answers 11 for an empty file.
  auto boxes = launched("");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text,
            std::string("The .EXE file is invalid (non-Win32.EXE or error in .EXE image)"));
}

TEST_F(ShellTest, LinkLauncherReportsWhatTheOpenerAnswers) {
  if (!testing::on_native_layer()) SKIP_TEST("the opener is arranged on the native layer only");
  arrange_opener({"/bin/true"});
  EXPECT_TRUE(launched(kWebSiteUrl).empty());
  // No opener at all: no application is associated with the link.
  arrange_opener({"/nonexistent/vintrell-opener"});
  auto boxes = launched(kWebSiteUrl);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, std::string("Undefined error message number  31"));
  // xdg-open's status 2 says the file does not exist.
  arrange_opener({"/bin/sh", "-c", "exit 2"});
  boxes = launched(kWebSiteUrl);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, std::string("The specified file was not found"));
  arrange_opener({"/bin/sh", "-c", "exit 4"});
  boxes = launched(kWebSiteUrl);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, std::string("Undefined error message number  31"));
}

TEST_F(ShellTest, LinkLauncherHandsTheTargetVerbatimToTheOpener) {
  if (!testing::on_native_layer()) SKIP_TEST("the opener is arranged on the native layer only");
  testing::TempFolder temp;
  char here[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof here, here);
  // No shell between: quotes, blanks and $(...) arrive as one argument.
  const std::string target = "http://quorvastel.example/a b?q='x'&r=$(echo no);s=\"y\"";
  arrange_opener({"/bin/sh", "-c", "printf '%s\\n%s' \"$1\" \"$(pwd -P)\" > \"$0\"",
                  temp.path() + "/seen"});
  EXPECT_TRUE(launched(target).empty());
  const std::string seen = temp.read("seen");
  const std::string expected_folder = std::string(here).substr(2);  // Z:\... -> \...
  std::string posix_folder = expected_folder;
  for (char& c : posix_folder) {
    if (c == '\\') c = '/';
  }
  EXPECT_EQ(seen, target + "\n" + posix_folder);
}

TEST_F(ShellTest, LinkLauncherCutsTheTargetAt255Characters) {
  if (!testing::on_native_layer()) SKIP_TEST("the opener is arranged on the native layer only");
  testing::TempFolder temp;
  arrange_opener({"/bin/sh", "-c", "printf '%s' \"$1\" > \"$0\"", temp.path() + "/seen"});
  const std::string target = "http://quorvastel.example/" + std::string(300, 'p');
  EXPECT_TRUE(launched(target).empty());
  EXPECT_EQ(temp.read("seen"), target.substr(0, 255));
}

TEST_F(ShellTest, FolderPickerAsksWithThePromptAndFlags3) {
  if (!testing::on_native_layer()) SKIP_TEST("the folder picker is interactive on Windows");
  PickerCall call;
  arrange_picker("Z:\\home\\ann\\mail", &call);
  EXPECT_EQ(folder_picker(nullptr, "Select the Pegasus Mail folder to search"),
            std::string("Z:\\home\\ann\\mail"));
  EXPECT_TRUE(call.asked);
  EXPECT_EQ(call.owner, static_cast<HWND>(nullptr));
  EXPECT_EQ(call.title, std::string("Select the Pegasus Mail folder to search"));
  EXPECT_EQ(call.flags, 3u);
  EXPECT_FALSE(call.rooted);
  EXPECT_FALSE(call.display_buffer);
}

TEST_F(ShellTest, FolderPickerCancelledOrPathlessGivesEmpty) {
  if (!testing::on_native_layer()) SKIP_TEST("the folder picker is interactive on Windows");
  PickerCall call;
  arrange_picker(nullptr, &call);
  EXPECT_EQ(folder_picker(nullptr, "prompt"), std::string());
  EXPECT_TRUE(call.asked);
  // A folder outside the file system (the Control Panel, say) has no path.
  arrange_picker("", &call);
  EXPECT_EQ(folder_picker(nullptr, "prompt"), std::string());
  // A drive root keeps its backslash.
  arrange_picker("C:\\", &call);
  EXPECT_EQ(folder_picker(nullptr, "prompt"), std::string("C:\\"));
}

TEST(ShellExecute, UnknownVerbHasNoAssociation) {
  testing::TempFolder temp;
  temp.write("page.txt", "x");
  // Measured under Wine: 31 (SE_ERR_NOASSOC), and nothing is started.
  HINSTANCE answer = ShellExecuteA(nullptr, "FROB", temp.join("page.txt").c_str(), nullptr,
                                   nullptr, SW_SHOWNORMAL);
  EXPECT_EQ(reinterpret_cast<INT_PTR>(answer), static_cast<INT_PTR>(31));
}
