#include "mail_generator.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "search/search.h"
#include "services/case_table.h"
#include "testing/temp_folder.h"
#include "testing/test.h"
#include "testing/test_util.h"

namespace {

// The options examples/mail/ was written with (see the README).
mailgen::Options sample_options() {
  mailgen::Options options;
  options.seed = 1;
  options.address_books = 6;
  options.distribution_lists = 6;
  return options;
}

std::map<std::string, std::string> folder_of(const mailgen::Options& options) {
  std::map<std::string, std::string> files;
  mailgen::generate(options,
                    [&](const mailgen::GeneratedFile& file) { files[file.name] = file.bytes; });
  return files;
}

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Non-overlapping occurrences in the upper-cased bytes, the plain way.
int reference_count(const std::string& haystack, const std::string& upper_needle) {
  std::string upper = haystack;
  for (char& c : upper) c = static_cast<char>(vintrell::upper_case_byte(c));
  int count = 0;
  auto at = upper.begin();
  while (true) {
    at = std::search(at, upper.end(), upper_needle.begin(), upper_needle.end());
    if (at == upper.end()) return count;
    ++count;
    at += static_cast<std::ptrdiff_t>(upper_needle.size());
  }
}

}  // namespace

TEST(MailGenerator, SameSeedSameBytesOtherSeedOtherBytes) {
  mailgen::Options options = sample_options();
  EXPECT_TRUE(folder_of(options) == folder_of(options));
  mailgen::Options other = options;
  other.seed = 2;
  EXPECT_TRUE(folder_of(options) != folder_of(other));
  EXPECT_EQ(folder_of(options).size(), 18u);  // 6 books, their 6 indexes, 6 lists
}

TEST(MailGenerator, AddressBooksHaveHeaderAndWholeRecords) {
  mailgen::Options options = sample_options();
  options.address_books = 30;
  options.distribution_lists = 0;
  const std::map<std::string, std::string> files = folder_of(options);
  EXPECT_EQ(files.size(), 60u);
  for (const auto& [name, bytes] : files) {
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(vintrell::upper_case_byte(c));
    if (ends_with(upper, ".PM!")) {
      // The index beside its book: 20 bytes per record of the book.
      const std::string book = name.substr(0, name.size() - 1) + (name[name.size() - 2] == 'm' ? "r" : "R");
      ASSERT_TRUE(files.count(book) == 1);
      EXPECT_EQ(bytes.size(), (files.at(book).size() - mailgen::kHeaderSize) / mailgen::kRecordSize * 20);
      continue;
    }
    EXPECT_TRUE(ends_with(upper, ".PMR"));
    ASSERT_TRUE(bytes.size() > static_cast<size_t>(mailgen::kHeaderSize));
    EXPECT_EQ((bytes.size() - mailgen::kHeaderSize) % mailgen::kRecordSize, 0u);
    size_t nul = bytes.find('\0');
    EXPECT_TRUE(nul > 0 && nul < static_cast<size_t>(mailgen::kLongNameSize));
    // Every text field of every record ends in a NUL within its width.
    const int widths[] = {40, 40, 12, 60, 60, 24, 24, 80, 100, 4};
    for (size_t record = mailgen::kHeaderSize; record < bytes.size();
         record += mailgen::kRecordSize) {
      size_t at = record + 2;
      for (int width : widths) {
        EXPECT_EQ(bytes[at + width - 1], '\0');
        at += width;
      }
    }
  }
}

TEST(MailGenerator, DistributionListsAreTitledCrLfText) {
  mailgen::Options options = sample_options();
  options.address_books = 0;
  options.distribution_lists = 40;
  const std::map<std::string, std::string> files = folder_of(options);
  int nested = 0;
  for (const auto& [name, bytes] : files) {
    EXPECT_EQ(bytes.compare(0, 7, "\\TITLE "), 0);
    EXPECT_TRUE(bytes.find("\r\n\\NOSIG Y\r\n") == bytes.find("\r\n"));
    // "@FILE" entries name another list of the same folder.
    for (size_t at = bytes.find("\r\n@"); at != std::string::npos; at = bytes.find("\r\n@", at + 1)) {
      const std::string other = bytes.substr(at + 3, bytes.find("\r\n", at + 3) - at - 3);
      EXPECT_TRUE(files.count(other) == 1 && other != name);
      ++nested;
    }
    EXPECT_TRUE(ends_with(bytes, "\r\n"));
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] == '\n') EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r');
      if (bytes[i] == '\r') EXPECT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n');
      EXPECT_TRUE(bytes[i] != '\0' && bytes[i] != '\x1A');
    }
  }
  EXPECT_TRUE(nested > 0);
}

TEST(MailGenerator, TheSampleFolderIsTheGeneratorsOutput) {
  if (!testing::on_native_layer()) {
    SKIP_TEST("the source tree is compared by the native build");
  }
  for (const auto& [name, bytes] : folder_of(sample_options())) {
    std::ifstream in(std::string(VINTRELL_SOURCE_DIR) + "/examples/mail/" + name, std::ios::binary);
    std::string committed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(committed == bytes);
    if (committed != bytes) ADD_FAILURE("examples/mail/" + name + " differs: regenerate it");
  }
}

// The search core over a generated folder finds what a plain reference counts.
TEST(MailGenerator, SearchAgreesWithAPlainCountOnGeneratedFolders) {
  testing::TempFolder folder;
  mailgen::Options options;
  options.seed = 7;
  options.address_books = 12;
  options.distribution_lists = 0;
  options.records_per_book = 40;
  std::map<std::string, std::string> files = folder_of(options);
  for (const auto& [name, bytes] : files) folder.write(name, bytes);

  const std::vector<std::string> texts = {"smith", "SMITH",       "example.",          "M\xFCller",
                                          "e",     "Mill Lane\0", std::string(3, '\0')};
  for (const std::string& text : texts) {
    std::string upper = text;
    for (char& c : upper) c = static_cast<char>(vintrell::upper_case_byte(c));
    std::vector<std::string> expected;
    for (const auto& [name, bytes] : files) {
      if (name.back() == '!') continue;  // an index (*.PM!), never searched
      int count = reference_count(bytes, upper);
      if (count > 0) {
        expected.push_back(bytes.substr(0, bytes.find('\0')) + " ( " + std::to_string(count) +
                           " occurences)");
      }
    }
    std::vector<std::string> found;
    std::string summary;
    vintrell::run_search(
        vintrell::make_search_request(folder.path(), text, vintrell::SearchKind::kAddressBooks,
                                      false),
        [&](const std::string& line) { found.push_back(line); },
        [&](const std::string& line) { summary = line; });
    std::sort(expected.begin(), expected.end());
    std::sort(found.begin(), found.end());
    EXPECT_TRUE(found == expected);
    if (found != expected) ADD_FAILURE("counts differ for '" + text + "'");
    EXPECT_EQ(summary, "Text found in  " + std::to_string(expected.size()) + " out of  12" +
                           " Address Books");
  }
}
