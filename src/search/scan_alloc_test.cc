// The scanners and the search core with string storage failing at each of their
// requests in turn: never a crash, a file that cannot be opened or read gives no
// line, counts are never made up, nothing is left open and no file is touched.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "runtime/runtime.h"
#include "search/address_book_scan.h"
#include "search/distribution_list_scan.h"
#include "search/search.h"
#include "services/file_reading.h"
#include "services/text.h"
#include "testing/temp_folder.h"
#include "testing/test.h"

using namespace vintrell;

namespace {

// Runs `action` with the n-th storage request failing. False when the action
// made fewer than n requests, so that nothing failed inside it.
bool fails_inside(int n, const std::function<void()>& action) {
  fail_string_storage_at(n);
  action();
  std::string probe;
  bool failed_inside = obtain_string_storage(&probe, 1);
  fail_string_storage_at(0);
  return failed_inside;
}

constexpr int kEnough = 1000;  // far more requests than any one search makes

class ScanStorageTest : public testing::Test {
 protected:
  ~ScanStorageTest() override {
    fail_string_storage_at(0);
    close_file(kScanFileNumber);
  }
  std::optional<std::string> scan_book(const std::string& name, const std::string& text) {
    // The thread's book buffer goes first, so that each scan asks for it anew.
    release_thread_read_buffer();
    std::optional<std::string> line = scan_address_book(folder.join(name), text, false);
    close_file(kScanFileNumber);
    return line;
  }
  std::optional<std::string> scan_list(const std::string& name, const std::string& text) {
    std::optional<std::string> line = scan_distribution_list(folder.join(name), text, false);
    close_file(kScanFileNumber);
    return line;
  }
  testing::TempFolder folder;
};

}  // namespace

TEST_F(ScanStorageTest, AddressBookUnderEveryFailure) {
  folder.write("STAFF.PMR", std::string("Staff\0smith@example.com\0Smith, Ann\0", 35));
  const std::map<std::string, std::string> before = folder.snapshot();
  const std::optional<std::string> clean = scan_book("STAFF.PMR", "SMITH");
  ASSERT_TRUE(clean == std::optional<std::string>("Staff ( 2 occurences)"));
  int n = 1;
  for (; n < kEnough; ++n) {
    std::optional<std::string> line;
    if (!fails_inside(n, [&] { line = scan_book("STAFF.PMR", "SMITH"); })) break;
    // The open's two requests and the bytes' one come first: without any of them
    // the book reads as empty. After them the count needs no storage, so a line
    // comes, its texts at worst cut short.
    if (n <= 3) {
      if (!EXPECT_FALSE(line.has_value())) ADD_FAILURE("request " + std::to_string(n));
    } else {
      if (!EXPECT_TRUE(line.has_value())) ADD_FAILURE("request " + std::to_string(n));
    }
    // Nothing left behind: the next scan gets the file and the whole answer.
    EXPECT_TRUE(scan_book("STAFF.PMR", "SMITH") == clean);
  }
  EXPECT_TRUE(n > 3 && n < kEnough);
  EXPECT_TRUE(folder.snapshot() == before);
}

TEST_F(ScanStorageTest, DistributionListUnderEveryFailure) {
  // One entry long enough to be stored in several chunks, with a hit at its end.
  folder.write("CLUB.PML", "Title: Club\r\nFred " + std::string(600, 'x') + " Smith\r\nann\r\n");
  const std::map<std::string, std::string> before = folder.snapshot();
  const std::optional<std::string> clean = scan_list("CLUB.PML", "SMITH");
  ASSERT_TRUE(clean == std::optional<std::string>("Club ( 1 out of  2 entries)"));
  int n = 1;
  for (; n < kEnough; ++n) {
    std::optional<std::string> line;
    if (!fails_inside(n, [&] { line = scan_list("CLUB.PML", "SMITH"); })) break;
    const std::string at = "request " + std::to_string(n);
    if (n <= 2) {  // the open's buffer and path: the list cannot be read at all
      if (!EXPECT_FALSE(line.has_value())) ADD_FAILURE(at);
      continue;
    }
    // A line that could not be stored is still one entry, never two, so the
    // total stays; its hit may be lost, and a number may be missing from the
    // text, but no number is ever wrong.
    if (!line) continue;
    size_t out_of = line->rfind(" out of ");
    if (out_of == std::string::npos) continue;
    std::string total = line->substr(out_of + 8);
    if (!EXPECT_TRUE(total == " 2 entries)" || total == " entries)")) {
      ADD_FAILURE(at + ": " + *line);
    }
    size_t open = line->rfind(" (", out_of);
    std::string hits = open == std::string::npos ? "" : line->substr(open + 2, out_of - open - 2);
    if (!EXPECT_TRUE(hits == " 1" || hits.empty())) ADD_FAILURE(at + ": " + *line);
  }
  EXPECT_TRUE(n > 2 && n < kEnough);
  EXPECT_TRUE(scan_list("CLUB.PML", "SMITH") == clean);
  EXPECT_TRUE(folder.snapshot() == before);
}

TEST_F(ScanStorageTest, ListLinesTakeNoStorageOfTheirOwn) {
  // Lines are judged where they lie in the read buffer: a failing request after
  // the open's two can only cost the result line's text, never an entry.
  folder.write("L.PML", "Title: L\r\n\\KEY\\ x\r\nann\r\n");
  EXPECT_TRUE(scan_list("L.PML", "ANN") == std::optional<std::string>("L ( 1 out of  1 entries)"));
  for (int n = 3; n < 8; ++n) {
    std::optional<std::string> line;
    fails_inside(n, [&] { line = scan_list("L.PML", "ANN"); });
    if (!EXPECT_TRUE(line.has_value())) continue;
    EXPECT_TRUE(line->find(" 2 entries)") == std::string::npos);
  }
}

TEST_F(ScanStorageTest, SearchUnderEveryFailureEndsWithOneSummary) {
  folder.write("A.PMR", std::string("Staff\0smith\0", 12));
  folder.write("B.PMR", std::string("Club\0Smith SMITH\0", 17));
  folder.write("C.PMR", std::string("Other\0jones\0", 12));
  folder.write("D.PML", "Title: List\r\nsmith\r\n");
  const std::map<std::string, std::string> before = folder.snapshot();
  for (SearchKind kind : {SearchKind::kAddressBooks, SearchKind::kDistributionLists}) {
    SearchRequest request = make_search_request(folder.path(), "smith", kind, false);
    const int files = kind == SearchKind::kAddressBooks ? 3 : 1;
    int n = 1;
    for (; n < kEnough; ++n) {
      std::vector<std::string> lines;
      int summaries = 0;
      bool failed = fails_inside(n, [&] {
        run_search(request, [&](const std::string& line) { lines.push_back(line); },
                   [&](const std::string&) { ++summaries; });
      });
      EXPECT_EQ(summaries, 1);
      EXPECT_TRUE(static_cast<int>(lines.size()) <= files);
      if (!failed) {
        // Past the last request: the whole answer.
        EXPECT_EQ(static_cast<int>(lines.size()), kind == SearchKind::kAddressBooks ? 2 : 1);
        break;
      }
    }
    EXPECT_TRUE(n > 1 && n < kEnough);
  }
  EXPECT_TRUE(folder.snapshot() == before);
}
