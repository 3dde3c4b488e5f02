#include "services/folder_listing.h"

#include <filesystem>
#include <string>

#include "platform/win32.h"
#include "runtime/runtime.h"
#include "services/file_reading.h"
#include "testing/temp_folder.h"
#include "testing/test.h"
#include "testing/test_util.h"

using namespace vintrell;

namespace {

// The rest of the current listing, each name in brackets.
std::string rest_of_listing(const std::string& first) {
  std::string names;
  for (std::string name = first; !name.empty(); name = list_next_match()) {
    names += "[" + name + "]";
  }
  return names;
}

std::string listing(const std::string& mask, int32_t attribute_mask) {
  return rest_of_listing(list_first_match(mask, attribute_mask));
}

class FolderListingTest : public testing::Test {
 protected:
  testing::TempFolder folder;
  ProcedureFrame frame;
};

}  // namespace

TEST_F(FolderListingTest, PlainFilesOfOneKindInOrder) {
  folder.write("b.pml", "");
  folder.write("A.PML", "");
  folder.write("c.PmL", "");
  folder.write("d.pmr", "");
  folder.make_folder("sub.pml");
  EXPECT_EQ(listing(folder.join("*.PML"), kListPlainFiles), std::string("[A.PML][b.pml][c.PmL]"));
  EXPECT_EQ(list_next_match(), std::string());
  EXPECT_EQ(list_next_match(), std::string());
}

TEST_F(FolderListingTest, EverythingListsFoldersButNeverTheDotEntries) {
  folder.write("a.txt", "");
  folder.make_folder("sub");
  EXPECT_EQ(listing(folder.join("*.*"), kListEverything), std::string("[a.txt][sub]"));
  EXPECT_EQ(listing(folder.join("*"), kListPlainFiles), std::string("[a.txt]"));
  EXPECT_EQ(listing(folder.join("sub\\*.*"), kListEverything), std::string());
}

TEST_F(FolderListingTest, TrailingBackslashListsTheFolder) {
  folder.write("x.pml", "");
  folder.make_folder("inner");
  EXPECT_EQ(listing(folder.path() + "\\", kListEverything), std::string("[inner][x.pml]"));
  EXPECT_EQ(listing(folder.path() + "\\", kListPlainFiles), std::string("[x.pml]"));
  EXPECT_EQ(listing(folder.join("inner\\"), kListEverything), std::string());
}

TEST_F(FolderListingTest, NameWithoutWildcardsNamesOneEntry) {
  folder.write("Address Book.pmr", "");
  folder.make_folder("Long Folder Name");
  EXPECT_EQ(listing(folder.join("address book.PMR"), kListPlainFiles),
            std::string("[Address Book.pmr]"));
  EXPECT_EQ(listing(folder.join("long folder name"), kListEverything),
            std::string("[Long Folder Name]"));
  EXPECT_EQ(listing(folder.join("Long Folder Name"), kListPlainFiles), std::string());
}

TEST_F(FolderListingTest, HiddenFilesOnlyWithTheHiddenBit) {
  folder.write(".hidden.pml", "");
  folder.write("shown.pml", "");
  EXPECT_EQ(listing(folder.join("*.pml"), kListPlainFiles), std::string("[shown.pml]"));
  EXPECT_EQ(listing(folder.join(".hidden.pml"), kListPlainFiles), std::string());
  EXPECT_EQ(listing(folder.join("*.pml"), kListHidden), std::string("[.hidden.pml][shown.pml]"));
}

TEST_F(FolderListingTest, NothingFoundClearsTheRunTimeError) {
  set_error(kErrorEndOfData);
  EXPECT_EQ(list_first_match(folder.join("*.pml"), kListPlainFiles), std::string());
  EXPECT_EQ(current_run_time_error(), 0u);
  set_error(kErrorEndOfData);
  EXPECT_EQ(list_first_match(folder.join("missing\\*.pml"), kListPlainFiles), std::string());
  EXPECT_EQ(current_run_time_error(), 0u);
  folder.write("a.pml", "");
  set_error(kErrorEndOfData);
  EXPECT_EQ(list_first_match(folder.join("*.pml"), kListPlainFiles), std::string("a.pml"));
  EXPECT_EQ(current_run_time_error(), 0u);
  set_error(kErrorEndOfData);
  EXPECT_EQ(list_next_match(), std::string());
  EXPECT_EQ(current_run_time_error(), 0u);
}

TEST_F(FolderListingTest, EmptyMaskContinuesTheListing) {
  folder.write("a.pml", "");
  folder.write("b.pml", "");
  folder.write("c.pml", "");
  EXPECT_EQ(list_first_match(folder.join("*.pml"), kListPlainFiles), std::string("a.pml"));
  EXPECT_EQ(list_first_match("", kListEverything), std::string("b.pml"));
  EXPECT_EQ(list_next_match(), std::string("c.pml"));
  EXPECT_EQ(list_first_match("", kListPlainFiles), std::string());
}

TEST_F(FolderListingTest, NoListingUnderWayGivesNothingAndKeepsTheError) {
  list_first_match(folder.join("missing\\*.*"), kListPlainFiles);  // ends any listing
  set_error(kErrorEndOfData);
  EXPECT_EQ(list_next_match(), std::string());
  EXPECT_EQ(list_first_match("", kListPlainFiles), std::string());
  EXPECT_EQ(error_number_of(current_run_time_error()), kErrorEndOfData);
}

TEST_F(FolderListingTest, NewListingEndsTheOldOne) {
  folder.write("a.pml", "");
  folder.write("b.pml", "");
  folder.write("x.pmr", "");
  EXPECT_EQ(list_first_match(folder.join("*.pml"), kListPlainFiles), std::string("a.pml"));
  EXPECT_EQ(list_first_match(folder.join("*.pmr"), kListPlainFiles), std::string("x.pmr"));
  EXPECT_EQ(list_next_match(), std::string());
}

TEST_F(FolderListingTest, MaskIsCutAt256Bytes) {
  folder.write("a.pml", "");
  // 256 bytes end in the backslash, so `*.*` is appended to the cut mask.
  std::string base = folder.path() + "\\";
  std::string padded = base;
  while (padded.size() < 256) padded.insert(base.size() - 1, "\\");
  ASSERT_EQ(padded.size(), 256u);
  EXPECT_EQ(listing(padded + "*.pmr", kListPlainFiles), std::string("[a.pml]"));
}

TEST_F(FolderListingTest, NamesComeFromTheEntryNotFromTheMask) {
  folder.write("MiXeD.Pml", "");
  EXPECT_EQ(list_first_match(folder.join("mixed.pml"), kListPlainFiles), std::string("MiXeD.Pml"));
}

using testing::CurrentDirectoryRestorer;

TEST_F(FolderListingTest, BareDriveListsItsCurrentFolder) {
  folder.write("here.pml", "");
  folder.make_folder("inner");
  CurrentDirectoryRestorer restore;
  ASSERT_EQ(SetCurrentDirectoryA(folder.path().c_str()), TRUE);
  char current[MAX_PATH + 1];
  ASSERT_TRUE(GetCurrentDirectoryA(sizeof current, current) > 2);
  std::string drive(current, 2);
  EXPECT_EQ(listing(drive, kListEverything), std::string("[here.pml][inner]"));
  EXPECT_EQ(listing(drive, kListPlainFiles), std::string("[here.pml]"));
}

TEST_F(FolderListingTest, ReadOnlyAndArchiveBitsNeverReject) {
  folder.write("locked.pml", "");
  SetFileAttributesA(folder.join("locked.pml").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(listing(folder.join("*.pml"), kListPlainFiles), std::string("[locked.pml]"));
  EXPECT_EQ(listing(folder.join("*.pml"), kListEverything), std::string("[locked.pml]"));
}

TEST_F(FolderListingTest, ShortFolderNameGivesTheLongName) {
  if (testing::on_native_layer()) SKIP_TEST("the native layer has no 8.3 names");
  folder.make_folder("Pegasus Mail Folder");
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(folder.join("Pegasus Mail Folder").c_str(), &entry);
  ASSERT_TRUE(search != INVALID_HANDLE_VALUE);
  FindClose(search);
  std::string short_name = entry.cAlternateFileName;
  ASSERT_TRUE(!short_name.empty());
  EXPECT_EQ(list_first_match(folder.join(short_name), kListEverything),
            std::string("Pegasus Mail Folder"));
  EXPECT_EQ(list_first_match(folder.join(short_name), kListPlainFiles), std::string());
}
