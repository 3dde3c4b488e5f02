#include "app/long_path_resolver.h"

#include "testing/drivers/app_testing.h"
#include "platform/win32.h"
#include "services/folder_listing.h"
#include "testing/temp_folder.h"
#include "testing/test.h"
#include "testing/test_util.h"

using namespace vintrell;
using app_testing::drive_path;
using app_testing::InFolder;

TEST(LongPathResolver, SpellsEveryComponentAsStored) {
  testing::TempFolder temp;
  temp.write("Pegasus Mail\\Address Books\\Staff list.pmr", "x");
  const std::string base = drive_path(temp);
  const std::string stored = base + "\\Pegasus Mail\\Address Books\\Staff list.pmr";
  EXPECT_EQ(long_path_resolver(stored), stored);
  // Names are found whatever their case; the answer has the stored spelling.
  EXPECT_EQ(long_path_resolver(base + "\\PEGASUS MAIL\\address books\\STAFF LIST.PMR"), stored);
}

namespace {

// The 8.3 alternate name the file system gives an entry, or "" when it has none.
std::string short_name_of(const std::string& path) {
  WIN32_FIND_DATAA entry = {};
  HANDLE search = FindFirstFileA(path.c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return std::string();
  FindClose(search);
  return entry.cAlternateFileName;
}

}  // namespace

TEST(LongPathResolver, ShortNamesBecomeLongOnes) {
  testing::TempFolder temp;
  temp.write("Pegasus Mail Folder\\Address Books.pmr", "x");
  const std::string base = drive_path(temp);
  const std::string folder = short_name_of(base + "\\Pegasus Mail Folder");
  const std::string file = short_name_of(base + "\\Pegasus Mail Folder\\Address Books.pmr");
  if (folder.empty() || file.empty()) SKIP_TEST("no 8.3 short names on this file system");
  // Measured under Wine: short names are hashed ("PROG~FBU"), not "PROGRA~1".
  EXPECT_EQ(long_path_resolver(base + "\\" + folder + "\\" + file),
            base + "\\Pegasus Mail Folder\\Address Books.pmr");
}

TEST(LongPathResolver, AnyMissingComponentGivesEmpty) {
  testing::TempFolder temp;
  temp.write("MAIL\\BOOK.PMR", "x");
  const std::string base = drive_path(temp);
  EXPECT_EQ(long_path_resolver(base + "\\MAIL\\NONE.PMR"), std::string());
  EXPECT_EQ(long_path_resolver(base + "\\NONE\\BOOK.PMR"), std::string());
  // Arguments after a program's path make its last component a name that is not there.
  EXPECT_EQ(long_path_resolver(base + "\\MAIL\\BOOK.PMR\" one two"), std::string());
}

TEST(LongPathResolver, TrailingBackslashAddsTheFolderFirstEntry) {
  testing::TempFolder temp;
  temp.write("ONE\\ONLY.PML", "x");
  temp.make_folder("EMPTY");
  const std::string base = drive_path(temp);
  EXPECT_EQ(long_path_resolver(base + "\\ONE\\"), base + "\\ONE\\ONLY.PML");
  EXPECT_EQ(long_path_resolver(base + "\\EMPTY\\"), std::string());
}

TEST(LongPathResolver, BareDriveRootAddsTheRootFirstEntry) {
  testing::TempFolder temp;
  const std::string root = drive_path(temp).substr(0, 3);  // "C:\"
  const std::string first = list_first_match(root, kListEverything);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(long_path_resolver(root), root + first);
}

TEST(LongPathResolver, RelativeNameIsTakenFromTheCurrentFolder) {
  testing::TempFolder temp;
  temp.write("FIND.EXE", "x");
  InFolder here(temp.path());
  EXPECT_EQ(long_path_resolver("NOSUCH"), std::string());
  // Its first two characters stand in for a drive.
  EXPECT_EQ(long_path_resolver("FIND.EXE"), std::string("FI\\FIND.EXE"));
}

TEST(LongPathResolver, NetworkPathGivesEmpty) {
  EXPECT_EQ(long_path_resolver("\\\\nowhere.invalid\\share\\MAIL\\VINTRELL.EXE"), std::string());
}

TEST(LongPathResolver, InputsOfTwoCharactersOrFewerAreNotLookedUp) {
  EXPECT_EQ(long_path_resolver("Q:"), std::string("Q:"));
  EXPECT_EQ(long_path_resolver("Q"), std::string("Q\\"));
  EXPECT_EQ(long_path_resolver(""), std::string("\\"));
}
