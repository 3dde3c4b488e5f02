#include "app/find_command.h"

#include <algorithm>
#include <string>
#include <vector>

#include "testing/drivers/app_testing.h"
#include "app/main_dialog.h"
#include "dialog/dialog.h"
#include "testing/temp_folder.h"
#include "testing/test.h"
#include "testing/test_util.h"

using namespace vintrell;
using app_testing::drive_path;

namespace {

// The main dialog, built but never shown: the Find command is called directly.
class FindCommandTest : public testing::Test {
 public:
  FindCommandTest() : dialog_(build_main_dialog(std::string())) {}
  ~FindCommandTest() override { DestroyWindow(dialog_); }

  std::string find(const std::string& directory, const std::string& text) {
    set_control_text(dialog_, kDirectoryBox, directory);
    set_control_text(dialog_, kTextToFindBox, text);
    EXPECT_EQ(find_command(dialog_, WM_COMMAND, MAKEWPARAM(kFindButton, BN_CLICKED), 0), 0);
    return get_control_text(dialog_, kSummaryBox);
  }
  int count() { return static_cast<int>(SendMessageA(list(), LB_GETCOUNT, 0, 0)); }
  std::string line(int i) {
    std::string text(static_cast<size_t>(SendMessageA(list(), LB_GETTEXTLEN, i, 0)), '\0');
    SendMessageA(list(), LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
    return text;
  }

 protected:
  HWND list() { return GetDlgItem(dialog_, kResultsList); }
  HWND dialog_;
};

}  // namespace

TEST_F(FindCommandTest, ListsTheBooksInTheListBoxOrderAndWritesTheSummary) {
  testing::TempFolder temp;
  temp.write("B.PMR", std::string("beta book\0Smith\0", 16));
  temp.write("A.PMR", std::string("Alpha book\0smith smith\0", 23));
  temp.write("C.PMR", std::string("Gamma\0Jones\0", 12));
  temp.write("D.PML", "\\TITLE Delta\r\nsmith\r\n");
  // Three trailing backslashes collapse into the one before the mask.
  EXPECT_EQ(find(drive_path(temp) + "\\\\\\", "SMITH"),
            std::string("Text found in  2 out of  3 Address Books"));
  // Repainting was off while the lines went in, and is on again.
  EXPECT_TRUE((GetWindowLongA(list(), GWL_STYLE) & WS_VISIBLE) != 0);
  ASSERT_EQ(count(), 2);
  EXPECT_EQ(line(0), std::string("Alpha book ( 2 occurences)"));
  EXPECT_EQ(line(1), std::string("beta book ( 1 occurences)"));
}

TEST_F(FindCommandTest, AFolderThatCannotBeSearchedIsSaidAndTheResultsStay) {
  testing::TempFolder temp;
  temp.write("A.PMR", std::string("Alpha\0smith\0", 12));
  find(drive_path(temp), "smith");
  ASSERT_EQ(count(), 1);
  std::string summary;
  auto boxes = testing::message_boxes_during([&] { summary = find(drive_path(temp) + "\\missing", "x"); });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "The folder \"" + drive_path(temp) + "\\missing\" cannot be found.");
  EXPECT_EQ(summary, std::string("Text found in  1 out of  1 Address Books"));
  EXPECT_EQ(count(), 1);
}

TEST_F(FindCommandTest, FilesThatCouldNotBeReadAreNamedInOneBoxAfterTheResults) {
  const std::string in_use = ": it is in use by another program, or access is denied";
  struct Case {
    int held;             // books another program holds open, allowing no one else
    bool long_path;       // one more book whose path is too long to open
    std::string summary;  // the results stay as the search found them
    std::vector<std::string> named;  // the box's lines after its first two
  };
  std::vector<Case> cases = {
      {0, false, "Text found in  1 out of  1 Address Books", {}},
      {1, false, "Text found in  1 out of  2 Address Books", {"H1.PMR" + in_use}},
      {7, false, "Text found in  1 out of  8 Address Books", {}},
  };
  // A path of more than 255 bytes: made natively only, the Win32 calls stop at 260.
  if (testing::on_native_layer()) {
    cases.push_back({1, true, "Text found in  1 out of  3 Address Books",
                     {"H1.PMR" + in_use, "(long): its path is too long"}});
  }
  for (const Case& c : cases) {
    testing::TempFolder folder;
    folder.write("A.PMR", std::string("Alpha\0smith\0", 12));
    std::vector<HANDLE> held;
    for (int i = 1; i <= c.held; ++i) {
      const std::string name = "H" + std::to_string(i) + ".PMR";
      folder.write(name, std::string("Held\0smith\0", 11));
      held.push_back(CreateFileA((drive_path(folder) + "\\" + name).c_str(), GENERIC_READ, 0,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      ASSERT_TRUE(held.back() != INVALID_HANDLE_VALUE);
    }
    const std::string long_name = std::string(252 - drive_path(folder).size(), 'L') + ".PMR";
    if (c.long_path) folder.write(long_name, "x");
    std::string summary;
    auto boxes = testing::message_boxes_during([&] { summary = find(drive_path(folder), "smith"); });
    for (HANDLE h : held) CloseHandle(h);
    EXPECT_EQ(summary, c.summary);
    ASSERT_EQ(count(), 1);
    EXPECT_EQ(line(0), std::string("Alpha ( 1 occurences)"));
    const int unreadable = c.held + (c.long_path ? 1 : 0);
    ASSERT_EQ(boxes.size(), unreadable == 0 ? 0u : 1u);
    if (unreadable == 0) continue;
    EXPECT_EQ(boxes[0].caption, std::string(kMainDialogCaption));
    std::vector<std::string> lines;
    for (size_t at = 0; at <= boxes[0].text.size();) {
      size_t end = boxes[0].text.find('\n', at);
      if (end == std::string::npos) end = boxes[0].text.size();
      lines.push_back(boxes[0].text.substr(at, end - at));
      at = end + 1;
    }
    ASSERT_TRUE(lines.size() >= 3u);
    EXPECT_EQ(lines[0], unreadable == 1
                            ? std::string("One file could not be searched, so its results are missing:")
                            : std::to_string(unreadable) +
                                  " files could not be searched, so their results are missing:");
    EXPECT_EQ(lines[1], std::string());
    if (c.held == 7) {
      // Five named, then how many more.
      ASSERT_EQ(lines.size(), 8u);
      for (size_t i = 2; i < 7; ++i) {
        EXPECT_EQ(lines[i].substr(0, 1), std::string("H"));
        EXPECT_EQ(lines[i].substr(6), in_use);
      }
      EXPECT_EQ(lines[7], std::string("and 2 more"));
    } else {
      std::vector<std::string> named(lines.begin() + 2, lines.end());
      std::sort(named.begin(), named.end());
      std::vector<std::string> wanted = c.named;
      for (std::string& w : wanted) {
        if (w.compare(0, 6, "(long)") == 0) w = long_name + w.substr(6);
      }
      std::sort(wanted.begin(), wanted.end());
      EXPECT_EQ(named == wanted, true);
    }
  }
}
