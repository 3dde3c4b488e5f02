#include "app/find_command.h"

#include <string>

#include "app/app_testing.h"
#include "app/main_dialog.h"
#include "dialog/dialog.h"
#include "testing/temp_folder.h"
#include "testing/test.h"

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

TEST_F(FindCommandTest, MissingFolderEmptiesTheListAndCountsNothing) {
  testing::TempFolder temp;
  temp.write("A.PMR", std::string("Alpha\0smith\0", 12));
  find(drive_path(temp), "smith");
  ASSERT_EQ(count(), 1);
  EXPECT_EQ(find(drive_path(temp) + "\\missing", "smith"),
            std::string("Text found in  0 out of  0 Address Books"));
  EXPECT_EQ(count(), 0);
}
