#include "search/search.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "runtime/runtime.h"
#include "services/file_reading.h"
#include "testing/temp_folder.h"
#include "testing/test.h"

using namespace vintrell;

namespace {

std::string bytes(const char* s, size_t n) { return std::string(s, n); }

struct Outcome {
  std::vector<std::string> lines;  // in the order the core gave them
  std::vector<std::string> summaries;
  std::vector<std::string> sorted_lines() const {
    std::vector<std::string> copy = lines;
    std::sort(copy.begin(), copy.end());
    return copy;
  }
};

Outcome search(const std::string& directory, const std::string& text, SearchKind kind,
               bool match_case = false) {
  Outcome outcome;
  run_search(
      make_search_request(directory, text, kind, match_case),
      [&](const std::string& line) {
        // Results always come before the summary.
        if (!outcome.summaries.empty()) outcome.lines.push_back("(after the summary)");
        outcome.lines.push_back(line);
      },
      [&](const std::string& line) { outcome.summaries.push_back(line); });
  return outcome;
}

std::string book(const std::string& title, const std::string& records) {
  std::string header = title;
  header.resize(128, '\0');
  return header + records;
}

// Lines joined with "\n", so that a mismatch shows every line.
std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += (out.empty() ? "" : "\n") + line;
  return out;
}

}  // namespace

TEST(NormaliseFolder, EndsInExactlyOneBackslash) {
  EXPECT_EQ(normalise_folder("C:\\mail"), std::string("C:\\mail\\"));
  EXPECT_EQ(normalise_folder("C:\\mail\\\\\\"), std::string("C:\\mail\\"));
  EXPECT_EQ(normalise_folder(""), std::string("\\"));
  EXPECT_EQ(normalise_folder("\\\\"), std::string("\\"));
  EXPECT_EQ(normalise_folder("C:/mail/"), std::string("C:/mail/\\"));  // only backslashes go
}

TEST(MakeSearchRequest, UpperCasesTheTextOnlyWithoutMatchCase) {
  SearchRequest off = make_search_request("d", " jo\x94 ", SearchKind::kAddressBooks, false);
  EXPECT_EQ(off.find_text, std::string(" JO\x99 "));  // as typed: blanks stay
  EXPECT_EQ(off.folder, std::string("d\\"));
  EXPECT_FALSE(off.match_case);
  SearchRequest on = make_search_request("d", "jo", SearchKind::kDistributionLists, true);
  EXPECT_EQ(on.find_text, std::string("jo"));
  EXPECT_TRUE(on.kind == SearchKind::kDistributionLists);
  EXPECT_TRUE(on.match_case);
}

TEST(RunSearch, AddressBooksWithHitsAreListedAndAllAreCounted) {
  testing::TempFolder folder;
  folder.write("A.PMR", book("Staff", "smith smith"));
  folder.write("B.PMR", book("Club", "jones"));
  folder.write("C.PMR", book("Suppliers", "SMITH"));
  folder.write("D.PMR", "");
  folder.write("E.PMR", book("Choir", "smit h"));
  Outcome found = search(folder.path(), "smith", SearchKind::kAddressBooks);
  EXPECT_EQ(joined(found.sorted_lines()),
            joined({"Staff ( 2 occurences)", "Suppliers ( 1 occurences)"}));
  EXPECT_EQ(joined(found.summaries), joined({"Text found in  2 out of  5 Address Books"}));
}

TEST(RunSearch, DistributionListsSummaryNamesThemAsTheProgramDoes) {
  testing::TempFolder folder;
  folder.write("A.PML", "Title: Rota\r\nsmith\r\njones\r\n");
  folder.write("B.PML", "Title: Quiz\r\njones\r\n");
  folder.write("C.PMR", book("Book", "smith"));
  Outcome found = search(folder.path() + "\\\\\\", "smith", SearchKind::kDistributionLists);
  EXPECT_EQ(joined(found.lines), joined({"Rota ( 1 out of  2 entries)"}));
  EXPECT_EQ(joined(found.summaries), joined({"Text found in  1 out of  2 Distributions Lists"}));
}

TEST(RunSearch, MissingOrEmptyFolderGivesZeroOutOfZero) {
  testing::TempFolder folder;
  Outcome empty = search(folder.path(), "smith", SearchKind::kAddressBooks);
  EXPECT_TRUE(empty.lines.empty());
  EXPECT_EQ(joined(empty.summaries), joined({"Text found in  0 out of  0 Address Books"}));
  Outcome missing = search(folder.join("nowhere"), "smith", SearchKind::kDistributionLists);
  EXPECT_TRUE(missing.lines.empty());
  EXPECT_EQ(joined(missing.summaries), joined({"Text found in  0 out of  0 Distributions Lists"}));
  EXPECT_FALSE(folder.exists("nowhere"));
}

TEST(RunSearch, OnlyPlainFilesOfTheKindAreScannedInAnyCase) {
  testing::TempFolder folder;
  folder.write("lower.pmr", book("Lower", "smith"));
  folder.write("Mixed.PmR", book("Mixed", "smith"));
  folder.make_folder("FOLDER.PMR");
  folder.write("FOLDER.PMR\\INSIDE.PMR", book("Inside", "smith"));
  folder.write("OTHER.TXT", book("Text", "smith"));
  folder.write("OTHER.PMR.BAK", book("Backup", "smith"));
  folder.write("NODOTPMR", book("Nodot", "smith"));
  Outcome found = search(folder.path(), "smith", SearchKind::kAddressBooks);
  EXPECT_EQ(joined(found.sorted_lines()),
            joined({"Lower ( 1 occurences)", "Mixed ( 1 occurences)"}));
  EXPECT_EQ(joined(found.summaries), joined({"Text found in  2 out of  2 Address Books"}));
}

TEST(RunSearch, HiddenFilesAreNotScanned) {
  testing::TempFolder folder;
  folder.write("SEEN.PMR", book("Seen", "smith"));
  // Dot names are hidden, as Wine shows them.
  folder.write(".HIDDEN.PMR", book("Hidden", "smith"));
  Outcome found = search(folder.path(), "smith", SearchKind::kAddressBooks);
  EXPECT_EQ(joined(found.lines), joined({"Seen ( 1 occurences)"}));
  EXPECT_EQ(joined(found.summaries), joined({"Text found in  1 out of  1 Address Books"}));
}

TEST(RunSearch, FileThatCannotBeOpenedCountsWithoutALine) {
  testing::TempFolder folder;
  folder.write("HELD.PMR", book("Held", "smith"));
  folder.write("FREE.PMR", book("Free", "smith"));
  folder.write("HELD.PML", "Title: Held\r\nsmith\r\n");
  HANDLE book_hold = CreateFileA(folder.join("HELD.PMR").c_str(), GENERIC_READ, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE list_hold = CreateFileA(folder.join("HELD.PML").c_str(), GENERIC_READ, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_TRUE(book_hold != INVALID_HANDLE_VALUE);
  ASSERT_TRUE(list_hold != INVALID_HANDLE_VALUE);
  Outcome books = search(folder.path(), "smith", SearchKind::kAddressBooks);
  Outcome lists = search(folder.path(), "smith", SearchKind::kDistributionLists);
  CloseHandle(book_hold);
  CloseHandle(list_hold);
  EXPECT_EQ(joined(books.lines), joined({"Free ( 1 occurences)"}));
  EXPECT_EQ(joined(books.summaries), joined({"Text found in  1 out of  2 Address Books"}));
  EXPECT_TRUE(lists.lines.empty());
  EXPECT_EQ(joined(lists.summaries), joined({"Text found in  0 out of  1 Distributions Lists"}));
}

TEST(RunSearch, EmptyTextListsNonEmptyEntriesButNoBook) {
  testing::TempFolder folder;
  folder.write("A.PML", "Title: Rota\r\nann\r\n\r\nbob\r\n");
  folder.write("A.PMR", book("Staff", "ann"));
  Outcome lists = search(folder.path(), "", SearchKind::kDistributionLists);
  EXPECT_EQ(joined(lists.lines), joined({"Rota ( 2 out of  3 entries)"}));
  Outcome books = search(folder.path(), "", SearchKind::kAddressBooks);
  EXPECT_TRUE(books.lines.empty());
  EXPECT_EQ(joined(books.summaries), joined({"Text found in  0 out of  1 Address Books"}));
}

TEST(RunSearch, MatchCaseDecidesForEveryFile) {
  testing::TempFolder folder;
  folder.write("A.PMR", book("A", "Fred JONES"));
  folder.write("B.PMR", book("B", "fred jones"));
  EXPECT_EQ(joined(search(folder.path(), "jones", SearchKind::kAddressBooks, true).lines),
            joined({"B ( 1 occurences)"}));
  EXPECT_EQ(search(folder.path(), "jones", SearchKind::kAddressBooks, false).lines.size(), 2u);
}

TEST(RunSearch, ClosesEveryFileAndChangesNothing) {
  testing::TempFolder folder;
  folder.write("A.PMR", book("A", bytes("smith\0\r\n\x1A", 9)));
  folder.write("B.PML", "Title: B\r\nsmith\r\n");
  folder.write("C.PMR", "");
  auto before = folder.snapshot();
  search(folder.path(), "smith", SearchKind::kAddressBooks);
  search(folder.path(), "smith", SearchKind::kDistributionLists);
  EXPECT_EQ(folder.snapshot() == before, true);
  // File number 1 is free again: another open under it succeeds.
  ProcedureFrame frame;
  open_for_line_reading(folder.join("B.PML"), kScanFileNumber);
  EXPECT_EQ(current_run_time_error(), 0u);
  close_file(kScanFileNumber);
}

TEST(AsListed, OrderIgnoresAsciiCaseAndPutsPrefixesFirst) {
  // A line level with one already listed goes before it.
  EXPECT_EQ(joined(as_listed({"beta", "Alpha", "alp", "ALPHA2", "Beta"})),
            joined({"alp", "Alpha", "ALPHA2", "Beta", "beta"}));
  // With more of them, before the one the binary search meets first.
  EXPECT_EQ(joined(as_listed({"b", "B", "a", "b"})), joined({"a", "b", "B", "b"}));
  EXPECT_TRUE(compare_results("abc", "ABC") == 0);
  EXPECT_TRUE(compare_results("ab", "abc") < 0);
  EXPECT_TRUE(compare_results("", "a") < 0);
}

TEST(AsListed, HighBytesSortByTheLocalesCollation) {
  // A closing quote (0x94) is punctuation, first; e-acute (0xE9) sits by e; the
  // trade mark (0x99) weighs as a letter after t.
  EXPECT_EQ(joined(as_listed({"\xE9", "\x99", "Z", "\x94"})),
            joined({"\x94", "\xE9", "\x99", "Z"}));
  EXPECT_TRUE(compare_results("_", "a") < 0);  // punctuation before letters
}

TEST(AsListed, LinesAreCutAtTheirFirstNulBeforeSorting) {
  EXPECT_EQ(joined(as_listed({bytes("b\0a", 3), "b", bytes("a\0z", 3)})), joined({"a", "b", "b"}));
  EXPECT_EQ(as_listed({bytes("\0x", 2)}).size(), 1u);
  EXPECT_EQ(as_listed({bytes("\0x", 2)})[0], std::string());
}

namespace {

std::vector<std::string> items_of(HWND list) {
  std::vector<std::string> items;
  const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::string item(static_cast<size_t>(SendMessageA(list, LB_GETTEXTLEN, i, 0)) + 1, '\0');
    item.resize(static_cast<size_t>(SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&item[0]))));
    items.push_back(item);
  }
  return items;
}

}  // namespace

TEST(AsListed, IsTheOrderOfARealSortedListBox) {
  // Seeded random result lines, many of them level with others (case apart),
  // added to a sorted list box one by one and read back.
  HWND list = CreateWindowExA(0, "LISTBOX", "", WS_POPUP | LBS_SORT, 0, 0, 200, 200, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_TRUE(list != nullptr);
  const char* const kTitles[] = {
      "co-op", "coop", "coat", "a'b", "ab", "\xC9" "clair", "Eclair", "1x", "10x", "-dash",
      "\xC4rzte", "Arzt", "Stra\xDF" "e", "Strasse", "\xE6sop", "Aesop", "MacDonald",
      "Mc Donald", "", "x", "\xF8ve", "ove", "na\xEFve", "naive", "o'neil", "oneil"};
  std::mt19937 random(14);
  size_t lines = 0;
  for (int round = 0; round < 40; ++round) {
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    std::vector<std::string> added;
    // The first list is long enough to hold thousands of level pairs.
    const int count = round == 0 ? 1500 : 1 + static_cast<int>(random() % 50);
    for (int k = 0; k < count; ++k) {
      std::string line = kTitles[random() % (sizeof kTitles / sizeof kTitles[0])];
      for (char& c : line) {
        if (random() % 3 == 0 && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) c ^= 0x20;
      }
      if (random() % 2) line += " ( " + std::to_string(random() % 3) + " occurences)";
      SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
      added.push_back(line);
    }
    lines += added.size();
    const std::vector<std::string> shown = items_of(list);
    EXPECT_EQ(joined(shown), joined(as_listed(added)));
    if (testing::current_test_failed()) break;
  }
  std::printf("list box: %zu lines in 40 lists, read back in the order the search gives\n", lines);
  DestroyWindow(list);
}
