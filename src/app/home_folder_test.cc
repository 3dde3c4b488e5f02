#include "app/home_folder.h"

#include "app/app_testing.h"
#include "platform/win32.h"
#include "services/folder_listing.h"
#include "testing/temp_folder.h"
#include "testing/test.h"
#include "testing/test_util.h"

using namespace vintrell;
using app_testing::drive_path;
using app_testing::InFolder;

TEST(HomeFolder, QuotedOrBarePathGivesTheProgramsFolder) {
  testing::TempFolder temp;
  temp.write("My Mail\\vintrell.exe", "MZ");
  const std::string folder = drive_path(temp) + "\\My Mail";
  const std::string exe = folder + "\\vintrell.exe";
  EXPECT_EQ(home_folder(("\"" + exe + "\"").c_str()), folder + "\\");
  EXPECT_EQ(home_folder(exe.c_str()), folder + "\\");
  // Spelled in other case on the command line: the folder as stored.
  EXPECT_EQ(home_folder(("\"" + drive_path(temp) + "\\MY MAIL\\VINTRELL.EXE\"").c_str()),
            folder + "\\");
}

TEST(HomeFolder, ArgumentsAfterThePathGiveEmpty) {
  testing::TempFolder temp;
  temp.write("vintrell.exe", "MZ");
  const std::string exe = drive_path(temp) + "\\vintrell.exe";
  EXPECT_EQ(home_folder(("\"" + exe + "\" one").c_str()), std::string());
  EXPECT_EQ(home_folder((exe + " one").c_str()), std::string());
}

TEST(HomeFolder, OnlyTheFirst126CharactersCount) {
  testing::TempFolder temp;
  const std::string base = drive_path(temp);
  // A folder name that brings the program's path to exactly 126 characters.
  const std::string tail = "\\vintrell.exe";
  const size_t fill = 126 - base.size() - 1 - tail.size();
  ASSERT_TRUE(fill > 0 && fill < 120);
  const std::string name(fill, 'm');
  temp.write(name + tail, "MZ");
  const std::string exe = base + "\\" + name + tail;
  ASSERT_EQ(exe.size(), 126u);
  EXPECT_EQ(home_folder(exe.c_str()), base + "\\" + name + "\\");
  // Quoted it is 128 characters: the cut takes the closing quote and the last letter.
  EXPECT_EQ(home_folder(("\"" + exe + "\"").c_str()), std::string());

  const std::string longer_name(fill + 1, 'm');
  temp.write(longer_name + tail, "MZ");
  EXPECT_EQ(home_folder((base + "\\" + longer_name + tail).c_str()), std::string());
}

TEST(HomeFolder, BareProgramNameGivesEmpty) {
  testing::TempFolder temp;
  temp.write("VINTRELL.EXE", "MZ");
  InFolder here(temp.path());
  EXPECT_EQ(home_folder("VINTRELL"), std::string());
  // The resolver makes "VI\VINTRELL.EXE" of it: no folder of the program's.
  EXPECT_EQ(home_folder("VINTRELL.EXE"), std::string());
}

TEST(HomeFolder, HiddenProgramFileStillGivesItsFolder) {
  testing::TempFolder temp;
  // The native layer shows names beginning with a dot as hidden, as Wine does.
  const std::string name = testing::on_native_layer() ? ".vintrell.exe" : "vintrell.exe";
  temp.write(name, "MZ");
  const std::string exe = drive_path(temp) + "\\" + name;
  if (!testing::on_native_layer()) {
    ASSERT_TRUE(SetFileAttributesA(exe.c_str(), FILE_ATTRIBUTE_HIDDEN) != 0);
  }
  ASSERT_EQ(list_first_match(exe, kListPlainFiles), std::string());
  EXPECT_EQ(home_folder(exe.c_str()), drive_path(temp) + "\\");
  if (!testing::on_native_layer()) SetFileAttributesA(exe.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(HomeFolder, EmptyCommandLineGivesEmpty) {
  EXPECT_EQ(home_folder(""), std::string());
  EXPECT_EQ(home_folder("\"\""), std::string());
  EXPECT_EQ(home_folder(nullptr), std::string());
}
