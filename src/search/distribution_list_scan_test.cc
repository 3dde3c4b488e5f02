#include "search/distribution_list_scan.h"

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

// One list scanned as the core does it: the text upper-cased unless match case,
// and file number 1 closed afterwards.
// "(none)" stands for no line.
std::string scan(const testing::TempFolder& folder, const std::string& name,
                 const std::string& text, bool match_case = false) {
  std::optional<std::string> line =
      scan_distribution_list(folder.join(name), match_case ? text : upper_case(text), match_case);
  close_file(kScanFileNumber);
  return line ? *line : kNone;
}

}  // namespace

TEST(DistributionListScan, ResultLineCountsMatchingEntriesOutOfAll) {
  testing::TempFolder folder;
  folder.write("CLUB.PML",
               "Title: Club members\r\n"
               "ann@example.com\r\n"
               "\"Fred Smith\" <fred@example.com>\r\n"
               "smith smith smith\r\n"
               "Smithers\r\n"
               "bob@example.org\r\n");
  EXPECT_EQ(scan(folder, "CLUB.PML", "smith"), std::string("Club members ( 3 out of  5 entries)"));
  EXPECT_EQ(scan(folder, "CLUB.PML", "nobody"), kNone);
}

TEST(DistributionListScan, TitleIsTheFirstLineFromItsEighthByte) {
  testing::TempFolder folder;
  folder.write("A.PML", "1234567Staff\r\nx\r\n");
  folder.write("SHORT.PML", "Title:\r\nx\r\n");
  folder.write("SEVEN.PML", "Title: \r\nx\r\n");
  folder.write("ZERO.PML", bytes("Title: A\0B\r\nx\r\n", 15));
  EXPECT_EQ(scan(folder, "A.PML", "x"), std::string("Staff ( 1 out of  1 entries)"));
  EXPECT_EQ(scan(folder, "SHORT.PML", "x"), std::string(" ( 1 out of  1 entries)"));
  EXPECT_EQ(scan(folder, "SEVEN.PML", "x"), std::string(" ( 1 out of  1 entries)"));
  EXPECT_EQ(scan(folder, "ZERO.PML", "x"), bytes("A\0B ( 1 out of  1 entries)", 26));
}

TEST(DistributionListScan, TitleLineIsNeverSearched) {
  testing::TempFolder folder;
  folder.write("ONLY.PML", "Title: smith\r\n");
  folder.write("MORE.PML", "Title: smith\r\nann\r\n");
  EXPECT_EQ(scan(folder, "ONLY.PML", "smith"), kNone);
  EXPECT_EQ(scan(folder, "MORE.PML", "smith"), kNone);
}

TEST(DistributionListScan, ControlLinesAreNeitherCountedNorSearched) {
  testing::TempFolder folder;
  folder.write("A.PML",
               "Title: Board\r\n"
               "\\smith\r\n"
               "\\\r\n"
               "smith\r\n"
               " \\smith\r\n");  // a blank first: an entry
  EXPECT_EQ(scan(folder, "A.PML", "smith"), std::string("Board ( 2 out of  2 entries)"));
}

TEST(DistributionListScan, BlankLinesAreEntriesThatMatchOnlyEmptyText) {
  testing::TempFolder folder;
  folder.write("A.PML", "Title: Rota\r\n\r\nsmith\r\n\r\n");
  folder.write("BLANK.PML", "Title: Rota\r\n\r\n\r\n");
  EXPECT_EQ(scan(folder, "A.PML", "smith"), std::string("Rota ( 1 out of  3 entries)"));
  // Empty text: every entry that is not empty is a hit.
  EXPECT_EQ(scan(folder, "A.PML", ""), std::string("Rota ( 1 out of  3 entries)"));
  EXPECT_EQ(scan(folder, "BLANK.PML", ""), kNone);
}

TEST(DistributionListScan, CaseRulesFollowTheFixedTable) {
  testing::TempFolder folder;
  folder.write("A.PML", "Title: Quiz\r\nFred JONES\r\nann jones\r\n\xE9mile\r\nx\x94y\r\n");
  EXPECT_EQ(scan(folder, "A.PML", "jones"), std::string("Quiz ( 2 out of  4 entries)"));
  EXPECT_EQ(scan(folder, "A.PML", "jones", true), std::string("Quiz ( 1 out of  4 entries)"));
  EXPECT_EQ(scan(folder, "A.PML", "\xC9mile"), kNone);
  EXPECT_EQ(scan(folder, "A.PML", "\x99Y"), std::string("Quiz ( 1 out of  4 entries)"));
}

TEST(DistributionListScan, CarriageReturnsEndLinesUnlessThereIsNone) {
  testing::TempFolder folder;
  struct Case {
    const char* bytes;
    const char* line;  // nullptr: no result line
  } cases[] = {
      {"Title: Mac\rsmith\rjones", "Mac ( 1 out of  2 entries)"},
      {"Title: Odd\r\r\nsmith\r\n", "Odd ( 1 out of  2 entries)"},
      // Not one CR: the bare LFs end the lines instead.
      {"Title: Unix\nsmith\n\\NOSIG Y\n\nsmith", "Unix ( 2 out of  3 entries)"},
      // One CR anywhere, and an LF alone ends nothing.
      {"Title: Mix\nsmith\r\nsmith\n", "Mix\nsmith ( 1 out of  1 entries)"},
      // What follows a Ctrl-Z is not read, its CRs neither.
      {"Title: Cut\nsmith\n\x1a\r\nsmith\r\n", "Cut ( 1 out of  1 entries)"},
      {"Title: Lone\n", nullptr},
  };
  for (const Case& c : cases) {
    folder.write("L.PML", c.bytes);
    EXPECT_EQ(scan(folder, "L.PML", "smith"), std::string(c.line != nullptr ? c.line : kNone));
  }
}

TEST(DistributionListScan, BlockBoundariesChangeNothing) {
  testing::TempFolder folder;
  // Line ends, CR LF pairs, control lines and occurrences at every offset of
  // a small look-ahead, and lines far longer than it.
  const std::string list = "Title: Edges\r\nsmith\r\n\\CTL smith\r\nxsmi\r\nth\r\r\n" +
                           std::string(300, 'y') + "smith" + std::string(300, 'y') +
                           "\r\nSMITH\r\n\n\r\nsmit";
  folder.write("E.PML", list);
  folder.write("U.PML", "Title: Unix\n" + std::string(200, 'z') + "\nsmith\n\\x\nsm");
  const std::string edges = scan(folder, "E.PML", "smith");
  const std::string unix_list = scan(folder, "U.PML", "smith");
  EXPECT_EQ(edges, std::string("Edges ( 3 out of  8 entries)"));
  EXPECT_EQ(unix_list, std::string("Unix ( 1 out of  3 entries)"));
  for (uint32_t size : {1u, 2u, 3u, 5u, 7u, 64u}) {
    uint32_t before = set_line_look_ahead_size(size);
    EXPECT_EQ(scan(folder, "E.PML", "smith"), edges);
    EXPECT_EQ(scan(folder, "E.PML", "\nsmith"), std::string(kNone));
    EXPECT_EQ(scan(folder, "U.PML", "smith"), unix_list);
    set_line_look_ahead_size(before);
  }
}

TEST(DistributionListScan, CtrlZEndsTheList) {
  testing::TempFolder folder;
  folder.write("A.PML", "Title: Old\r\nsmith\r\n\x1Asmith\r\nsmith\r\n");
  EXPECT_EQ(scan(folder, "A.PML", "smith"), std::string("Old ( 1 out of  1 entries)"));
}

TEST(DistributionListScan, LinesOfMegabytesAreSearchedWhole) {
  testing::TempFolder folder;
  std::string long_entry(3 * 1024 * 1024, 'x');
  folder.write("BIG.PML", "Title: Big\r\n" + long_entry + "smith\r\n" + long_entry + "\r\n");
  EXPECT_EQ(scan(folder, "BIG.PML", "xsmithx"), kNone);
  EXPECT_EQ(scan(folder, "BIG.PML", "xsmith"), std::string("Big ( 1 out of  2 entries)"));
}

TEST(DistributionListScan, AnEntryLongerThan2GiBIsCountedAndSearchedWhole) {
#ifndef VINTRELL_NATIVE_LAYER
  SKIP_TEST("NTFS would write the 2 GiB of zeros that a native file system leaves as a hole");
#endif
  // "\TITLE Huge", then one entry of 2 GiB + 8 NUL bytes (a hole, no disk
  // used) ending in "jones", then "smith": positions past 2^31 must not wrap.
  testing::TempFolder folder;
  const std::string path = folder.join("HUGE.PML");
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_TRUE(file != INVALID_HANDLE_VALUE);
  auto write = [&](const std::string& text) {
    DWORD written = 0;
    return WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
  };
  const std::string title = "\\TITLE Huge\r\n";
  bool made = write(title);
  const uint64_t tail = title.size() + (uint64_t{1} << 31) + 8;
  LONG low = static_cast<LONG>(static_cast<uint32_t>(tail));
  LONG high = static_cast<LONG>(tail >> 32);
  made = made && SetFilePointer(file, low, &high, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
  made = made && write("jones\r\nsmith\r\n");
  CloseHandle(file);
  ASSERT_TRUE(made);
  EXPECT_EQ(scan(folder, "HUGE.PML", "jones"), std::string("Huge ( 1 out of  2 entries)"));
  EXPECT_EQ(scan(folder, "HUGE.PML", "jonessmith"), kNone);
}

TEST(DistributionListScan, FilesThatGiveNothingEndAtOnce) {
  testing::TempFolder folder;
  folder.write("EMPTY.PML", "");
  folder.write("HELD.PML", "Title: Held\r\nsmith\r\n");
  EXPECT_EQ(scan(folder, "EMPTY.PML", ""), kNone);
  EXPECT_EQ(scan(folder, "GONE.PML", ""), kNone);
  EXPECT_FALSE(folder.exists("GONE.PML"));
  HANDLE held = CreateFileA(folder.join("HELD.PML").c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_TRUE(held != INVALID_HANDLE_VALUE);
  EXPECT_EQ(scan(folder, "HELD.PML", "smith"), kNone);
  CloseHandle(held);
  EXPECT_EQ(scan(folder, "HELD.PML", "smith"), std::string("Held ( 1 out of  1 entries)"));
}

TEST(DistributionListScan, BinaryGarbageEndsWithoutFault) {
  testing::TempFolder folder;
  std::string garbage;
  uint32_t state = 99;
  for (int i = 0; i < 50000; ++i) {
    state = state * 1103515245u + 12345u;
    garbage += static_cast<char>(state >> 24);
  }
  folder.write("JUNK.PML", garbage);
  // Only whether it ends matters here; the counts follow the rules tested above.
  scan(folder, "JUNK.PML", "");
  scan(folder, "JUNK.PML", "a", true);
  folder.write("NOLINES.PML", std::string(1000, '\0'));
  EXPECT_EQ(scan(folder, "NOLINES.PML", ""), kNone);
}

TEST(DistributionListScan, LeavesFileNumberOneOpen) {
  testing::TempFolder folder;
  folder.write("A.PML", "Title: A\r\nsmith\r\n");
  ASSERT_TRUE(scan_distribution_list(folder.join("A.PML"), "SMITH", false).has_value());
  {
    ProcedureFrame frame;
    open_for_line_reading(folder.join("A.PML"), kScanFileNumber);
    EXPECT_EQ(error_number_of(current_run_time_error()), kErrorFileAlreadyOpen);
  }
  close_file(kScanFileNumber);
}

// Line ends, control lines and occurrences at every offset around the 64-byte
// steps the scan counts lines in, with each kind of line end, and the list cut
// into small refills as well as read whole.
TEST(DistributionListScan, LinesCountTheSameWhereverTheyFallAgainstTheScansSteps) {
  testing::TempFolder folder;
  const uint32_t usual = set_line_look_ahead_size(0);
  for (const char* end : {"\r\n", "\r", "\n"}) {
    for (size_t pad = 50; pad <= 140; ++pad) {
      const std::string e = end;
      // Entries: a long one, "a smith", a blank one, "b", "c smith" and a
      // last "d end" without its line end; two control lines, one holding the
      // text.
      const std::string list = "Title: T" + e + std::string(pad, 'x') + e + "\\ctl" + e + "a smith" +
                               e + "\\smith" + e + e + "b" + e + "c smith" + e + "d end";
      folder.write("L.PML", list);
      for (uint32_t look_ahead : {0u, 7u, 64u, 65u}) {
        set_line_look_ahead_size(look_ahead);
        // The row goes with the answer, so that a failure names it.
        const std::string row = std::string(e == "\r\n" ? "CR LF" : e == "\r" ? "CR" : "LF") +
                                ", pad " + std::to_string(pad) + ", look-ahead " +
                                std::to_string(look_ahead) + ": ";
        EXPECT_EQ(row + scan(folder, "L.PML", "smith"), row + "T ( 2 out of  6 entries)");
        EXPECT_EQ(row + scan(folder, "L.PML", "end"), row + "T ( 1 out of  6 entries)");
        EXPECT_EQ(row + scan(folder, "L.PML", "ctl"), row + kNone);
        EXPECT_EQ(row + scan(folder, "L.PML", "zebedee"), row + kNone);
      }
    }
  }
  set_line_look_ahead_size(usual);
}
