#include "search/address_book_scan.h"

#include <filesystem>
#include <optional>
#include <string>

#include "platform/win32.h"
#include "runtime/runtime.h"
#include "search/search.h"
#include "services/file_reading.h"
#include "services/text.h"
#include "testing/temp_folder.h"
#include "testing/test.h"

using namespace vintrell;

namespace {

const std::string kNone = "(none)";

std::string bytes(const char* s, size_t n) { return std::string(s, n); }

// A header as the client writes it: the long name, NUL-padded to 128 bytes.
std::string book(const std::string& title, const std::string& records) {
  std::string header = title;
  header.resize(128, '\0');
  return header + records;
}

// One book scanned as the core does it: the text upper-cased unless match case,
// and file number 1 closed afterwards.
// "(none)" stands for no line.
std::string scan(const testing::TempFolder& folder, const std::string& name,
                 const std::string& text, bool match_case = false) {
  std::optional<std::string> line =
      scan_address_book(folder.join(name), match_case ? text : upper_case(text), match_case);
  close_file(kScanFileNumber);
  return line ? *line : kNone;
}

}  // namespace

TEST(AddressBookScan, ResultLineHoldsTitleAndOccurrenceCount) {
  testing::TempFolder folder;
  folder.write("STAFF.PMR", book("Staff", bytes("Smith\0\0smith\0SMITH\0Smithers\0", 28)));
  EXPECT_EQ(scan(folder, "STAFF.PMR", "smith"), std::string("Staff ( 4 occurences)"));
  EXPECT_EQ(scan(folder, "STAFF.PMR", "nobody"), kNone);
}

TEST(AddressBookScan, TitleIsSearchedToo) {
  testing::TempFolder folder;
  folder.write("A.PMR", book("Smith family", std::string(458, '\0')));
  EXPECT_EQ(scan(folder, "A.PMR", "smith"), std::string("Smith family ( 1 occurences)"));
}

TEST(AddressBookScan, TitleRunsToTheFirstNul) {
  testing::TempFolder folder;
  folder.write("NONUL.PMR", "abc abc");
  folder.write("FIRST.PMR", bytes("\0abc", 4));
  folder.write("MID.PMR", bytes("Club\0 members abc\0", 19));
  EXPECT_EQ(scan(folder, "NONUL.PMR", "abc"), std::string("abc abc ( 2 occurences)"));
  EXPECT_EQ(scan(folder, "FIRST.PMR", "abc"), std::string(" ( 1 occurences)"));
  EXPECT_EQ(scan(folder, "MID.PMR", "abc"), std::string("Club ( 1 occurences)"));
}

TEST(AddressBookScan, OccurrencesDoNotOverlap) {
  testing::TempFolder folder;
  folder.write("FOUR.PMR", bytes("T\0aaaa", 6));
  folder.write("THREE.PMR", bytes("T\0aaa", 5));
  folder.write("SPLIT.PMR", bytes("T\0abababa", 9));
  EXPECT_EQ(scan(folder, "FOUR.PMR", "aa"), std::string("T ( 2 occurences)"));
  EXPECT_EQ(scan(folder, "THREE.PMR", "aa"), std::string("T ( 1 occurences)"));
  EXPECT_EQ(scan(folder, "SPLIT.PMR", "aba"), std::string("T ( 2 occurences)"));
}

TEST(AddressBookScan, EmptyTextIsNeverFound) {
  testing::TempFolder folder;
  folder.write("A.PMR", book("Staff", "anything"));
  EXPECT_EQ(scan(folder, "A.PMR", ""), kNone);
  EXPECT_EQ(scan(folder, "A.PMR", "", true), kNone);
}

TEST(AddressBookScan, CaseRulesFollowTheFixedTable) {
  testing::TempFolder folder;
  folder.write("A.PMR", book("sTaFf", "Fred JONES, fred jones"));
  // Match case off: the title keeps its own case although the search ran upper-cased.
  EXPECT_EQ(scan(folder, "A.PMR", "jones"), std::string("sTaFf ( 2 occurences)"));
  EXPECT_EQ(scan(folder, "A.PMR", "jones", true), std::string("sTaFf ( 1 occurences)"));
  EXPECT_EQ(scan(folder, "A.PMR", "JONES", true), std::string("sTaFf ( 1 occurences)"));
  EXPECT_EQ(scan(folder, "A.PMR", "staff", true), kNone);

  // Code page 437's pairs fold (0x94 and 0x99); the ANSI accents (0xE9, 0xC9) do not.
  folder.write("B.PMR", book("T", "x\x94y \xE9"));
  EXPECT_EQ(scan(folder, "B.PMR", "\x99y"), std::string("T ( 1 occurences)"));
  EXPECT_EQ(scan(folder, "B.PMR", "\x94y"), std::string("T ( 1 occurences)"));
  EXPECT_EQ(scan(folder, "B.PMR", "\xC9"), kNone);
  EXPECT_EQ(scan(folder, "B.PMR", "\xE9"), std::string("T ( 1 occurences)"));
}

TEST(AddressBookScan, TextCrossingFieldsAndNulBytesIsFound) {
  testing::TempFolder folder;
  folder.write("A.PMR", bytes("T\0a\0b\0\0a\0b", 10));
  EXPECT_EQ(scan(folder, "A.PMR", bytes("a\0b", 3)), std::string("T ( 2 occurences)"));
  EXPECT_EQ(scan(folder, "A.PMR", std::string(1, '\0')), std::string("T ( 5 occurences)"));
}

TEST(AddressBookScan, FilesThatGiveNothingGiveNoLine) {
  testing::TempFolder folder;
  folder.write("EMPTY.PMR", "");
  EXPECT_EQ(scan(folder, "EMPTY.PMR", "a"), kNone);
  // A book that vanished is neither found nor created.
  EXPECT_EQ(scan(folder, "GONE.PMR", "a"), kNone);
  EXPECT_FALSE(folder.exists("GONE.PMR"));
}

TEST(AddressBookScan, BookHeldOpenByAnotherGivesNoLine) {
  testing::TempFolder folder;
  folder.write("HELD.PMR", book("Held", "smith"));
  HANDLE held = CreateFileA(folder.join("HELD.PMR").c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_TRUE(held != INVALID_HANDLE_VALUE);
  EXPECT_EQ(scan(folder, "HELD.PMR", "smith"), kNone);
  CloseHandle(held);
  EXPECT_EQ(scan(folder, "HELD.PMR", "smith"), std::string("Held ( 1 occurences)"));
}

TEST(AddressBookScan, LeavesFileNumberOneOpenAndTheBookUnchanged) {
  testing::TempFolder folder;
  std::string content = book("Staff", bytes("smith\0\xFF\x01", 8));
  folder.write("A.PMR", content);
  folder.write("OTHER.PML", "x");
  ASSERT_TRUE(scan_address_book(folder.join("A.PMR"), "SMITH", false).has_value());
  {
    ProcedureFrame frame;
    open_for_line_reading(folder.join("OTHER.PML"), kScanFileNumber);
    EXPECT_EQ(error_number_of(current_run_time_error()), kErrorFileAlreadyOpen);
  }
  close_file(kScanFileNumber);
  EXPECT_EQ(folder.read("A.PMR"), content);
}

TEST(AddressBookScan, BookOfTwoGibibytesOrMoreGivesNoLine) {
  testing::TempFolder folder;
  folder.write("HUGE.PMR", bytes("Huge\0smith", 10));
  std::error_code error;
  std::string host_path = folder.path() + "/HUGE.PMR";
  // Sparse: no disk space is used for the hole.
  std::filesystem::resize_file(host_path, 2147483648ull, error);
  if (error) SKIP_TEST("this file system cannot hold a sparse 2 GiB file");
  EXPECT_EQ(scan(folder, "HUGE.PMR", "smith"), kNone);
}

TEST(AddressBookScan, BinaryGarbageIsCountedLikeAnyBytes) {
  testing::TempFolder folder;
  std::string garbage;
  uint32_t state = 12345;
  for (int i = 0; i < 100000; ++i) {
    state = state * 1103515245u + 12345u;
    garbage += static_cast<char>(state >> 24);
  }
  garbage += "zq";
  folder.write("JUNK.PMR", garbage);
  std::string upper = upper_case(garbage);
  int expected = count_occurrences(upper, "ZQ");
  std::string title = garbage.substr(0, garbage.find('\0'));
  EXPECT_EQ(scan(folder, "JUNK.PMR", "zq"),
            title + " ( " + std::to_string(expected) + " occurences)");
}
