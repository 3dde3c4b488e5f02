#include "app/home_folder.h"

#include <string>
#include <vector>

#include "testing/drivers/app_testing.h"
#include "platform/win32.h"
#include "testing/temp_folder.h"
#include "testing/test.h"
#include "testing/test_util.h"

#if VINTRELL_NATIVE_LAYER
#include "platform/native_layer.h"
#endif

using namespace vintrell;
using app_testing::drive_path;

TEST(HomeFolder, TheModulesFolderSpelledAsStoredHoweverLong) {
  testing::TempFolder temp;
  temp.write("My Mail\\vintrell.exe", "MZ");
  const std::string base = drive_path(temp);
  const std::string folder = base + "\\My Mail";
  // Past the old 126-character cut, and past what a listing takes.
  const std::string deep = base + "\\" + std::string(150, 'm');
  temp.write(std::string(150, 'm') + "\\vintrell.exe", "MZ");
  const std::string deeper = deep + "\\" + std::string(120, 'n');
  struct Case {
    std::string module_path;
    std::string home;
  };
  const std::vector<Case> cases = {
      {folder + "\\vintrell.exe", folder + "\\"},
      {base + "\\MY MAIL\\VINTRELL.EXE", folder + "\\"},  // the names as stored
      {deep + "\\vintrell.exe", deep + "\\"},
      {deeper + "\\vintrell.exe", deeper + "\\"},  // too long to list: kept as given
      {base.substr(0, 2) + "\\vintrell.exe", base.substr(0, 2) + "\\"},
      {"vintrell.exe", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(home_folder_of(c.module_path), c.home);
}

TEST(HomeFolder, ComesFromTheModuleNotTheCommandLine) {
  char module[MAX_PATH + 1] = "";
  const DWORD n = GetModuleFileNameA(nullptr, module, MAX_PATH);
  ASSERT_TRUE(n > 0 && n < MAX_PATH);
  EXPECT_EQ(home_folder(), home_folder_of(module));
#if VINTRELL_NATIVE_LAYER
  testing::TempFolder temp;
  temp.write("vintrell.exe", "MZ");
  const std::string own_line = GetCommandLineA();
  native_layer::set_module_file_name(drive_path(temp) + "\\vintrell.exe");
  // A bare name, or arguments, as a shell may start it.
  native_layer::set_command_line("vintrell one two");
  const std::string home = home_folder();
  native_layer::set_command_line(own_line);
  native_layer::set_module_file_name("");
  EXPECT_EQ(home, drive_path(temp) + "\\");
#endif
}
