// The records, CSV and nested-list views of vintrell-find, as a user sees them.
#include <nlohmann/json.hpp>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/entries_output.h"
#include "cli/records.h"
#include "testing/process.h"
#include "testing/temp_folder.h"
#include "testing/test.h"
#include "testing/test_util.h"

using namespace vintrell;

namespace {

#ifndef VINTRELL_NATIVE_LAYER
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// One record: the fields by their keys' order, NUL-padded (a field as wide as
// its width has no NUL and runs into the next one).
std::string record(const std::vector<std::string>& fields) {
  std::string r(kBookRecordSize, '\0');
  for (size_t f = 0; f < fields.size() && f < kRecordFieldCount; ++f) {
    r.replace(kRecordFields[f].offset, fields[f].size(), fields[f]);
  }
  return r;
}

std::string header(const std::string& title) {
  std::string h = title;
  h.resize(kBookHeaderSize, '\0');
  return h;
}

testing::ProcessResult find(const std::vector<std::string>& args) {
  testing::RunOptions options;
  options.environment = {"LC_ALL=C.UTF-8"};
  options.utf8_arguments = true;
  return testing::run_program(testing::program_beside_this_one("vintrell-find"), args, options);
}

const std::string kAnn = record({"Ann Smith", "Acme", "ann", "1 Mill Lane", "Ashworth", "+44 1",
                                 "", "", "ann@example.org"});
const std::string kBob = record({"Bob Jones", "", "", "", "Brindle", "+44 2", "", "smith's friend",
                                 "bob@example.org"});
// The name fills its 40 bytes, so "SmithAcme" runs across name and organisation.
const std::string kFull = record({std::string(35, 'x') + "Smith", "Acme Ltd", "", "", "", "", "",
                                  "", "full@example.org"});

}  // namespace

TEST(Records, EachRecordThatHoldsTheTextIsOneLine) {
  struct Case {
    const char* what;
    std::string book;
    std::string text;
    std::string out;
  } cases[] = {
      {"records at the start and the end", header("Staff") + kAnn + kFull + kBob, "smith",
       "Staff ( 3 occurences)\n"
       "    Ann Smith <ann@example.org>, Acme\n"
       "    xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxSmith <full@example.org>, Acme Ltd\n"
       "    Bob Jones <bob@example.org> (notes: smith's friend)\n"},
      {"a match across two fields", header("Staff") + kAnn + kFull, "smithacme",
       "Staff ( 1 occurences)\n"
       "    xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxSmith <full@example.org>, Acme Ltd\n"},
      {"a field other than name, organisation and address", header("Staff") + kAnn + kBob,
       "brindle", "Staff ( 1 occurences)\n    Bob Jones <bob@example.org> (postal: Brindle)\n"},
      {"a match in the header only gives no record line", header("Smith's") + kBob, "smith's",
       "Smith's ( 2 occurences)\n    Bob Jones <bob@example.org> (notes: smith's friend)\n"},
      {"only in the header", header("Smith's") + kAnn, "smith's", "Smith's ( 1 occurences)\n"},
      // A partial last record: not the records' layout, the fields as ever.
      {"a partial last record", header("Staff") + kAnn + kBob.substr(0, 300), "brindle",
       "Staff ( 1 occurences)\n    Brindle\n"},
      {"a book of another size", header("Staff") + std::string("x\0Jo Smith\0smithy", 17), "smith",
       "Staff ( 2 occurences)\n    Jo Smith\n    smithy\n"},
  };
  for (const Case& c : cases) {
    testing::TempFolder folder;
    folder.write("A.PMR", c.book);
    testing::ProcessResult run = find({"-d", folder.path(), "--entries", c.text});
    EXPECT_EQ(run.out, c.out + "Text found in  1 out of  1 Address Books\n");
    if (run.out != c.out + "Text found in  1 out of  1 Address Books\n") ADD_FAILURE(c.what);
    EXPECT_EQ(run.exit_code, 0);
  }
}

TEST(Records, JsonFieldsByNameAndCsvRows) {
  testing::TempFolder folder;
  const std::string quoted = record({"O'Neil, \"Pat\"", "Acme", "", "", "Ashworth\r\nsmith"});
  folder.write("A.PMR", header("Staff") + kAnn + quoted + kBob);
  // The client's indexes: never listed, by their names or (under Wine) by
  // the 8.3 short names that long names get.
  folder.write("A.PM!", header("Index") + kAnn);
  folder.write("Customers north.PM!", header("Index") + kAnn);
  folder.write("Customers north book.PM!x", header("Index") + kAnn);
  testing::ProcessResult json = find({"-d", folder.path(), "--json", "--entries", "smith"});
  nlohmann::json object = nlohmann::json::parse(json.out.substr(0, json.out.find('\n')));
  ASSERT_EQ(object["records"].size(), 3u);
  EXPECT_EQ(object["records"][0]["name"].get<std::string>(), std::string("Ann Smith"));
  EXPECT_EQ(object["records"][0]["street"].get<std::string>(), std::string("1 Mill Lane"));
  EXPECT_EQ(object["records"][0]["fax"].get<std::string>(), std::string());
  EXPECT_TRUE(object["records"][0]["matched"] == nlohmann::json::array({"name"}));
  EXPECT_TRUE(object["records"][2]["matched"] == nlohmann::json::array({"notes"}));
  EXPECT_EQ(object["count"].get<int>(), 3);

  testing::ProcessResult csv = find({"-H", "-d", folder.path(), "--csv", "smith"});
  const std::string path = folder.path() + (kWindows ? "\\" : "/") + "A.PMR";
  EXPECT_EQ(csv.out,
            "book,name,of,key,street,postal,phone,fax,notes,email\r\n" +
                path + ",Ann Smith,Acme,ann,1 Mill Lane,Ashworth,+44 1,,,ann@example.org\r\n" +
                path + ",\"O'Neil, \"\"Pat\"\"\",Acme,,,\"Ashworth\r\nsmith\",,,,\r\n" + path +
                ",Bob Jones,,,,Brindle,+44 2,,smith's friend,bob@example.org\r\n");
  EXPECT_EQ(csv.err, std::string("Text found in  1 out of  1 Address Books\n"));
  EXPECT_EQ(csv.exit_code, 0);
  EXPECT_EQ(csv_field("a,b"), std::string("\"a,b\""));
  EXPECT_EQ(csv_field("plain"), std::string("plain"));
}

TEST(Records, NestedListsAreNamedByTheirTitle) {
  testing::TempFolder folder;
  folder.write("A.PML", "\\TITLE Rota\r\n\\NOSIG Y\r\n@LIST0A12.PML\r\n@GONE.PML\r\n@..\\A.PML\r\n");
  folder.write("LIST0A12.PML", "\\TITLE Club members\r\nann@example.org\r\n");
  testing::ProcessResult run = find({"-l", "-d", folder.path(), "--entries", ".pml"});
  EXPECT_EQ(run.out, std::string("Rota ( 3 out of  3 entries)\n"
                                 "    @LIST0A12.PML (list: Club members)\n"
                                 "    @GONE.PML\n"
                                 "    @..\\A.PML\n"
                                 "Text found in  1 out of  2 Distributions Lists\n"));
  testing::ProcessResult json = find({"-l", "-d", folder.path(), "--json", "--entries", "0a12"});
  nlohmann::json object = nlohmann::json::parse(json.out.substr(0, json.out.find('\n')));
  EXPECT_EQ(object["matches"][0]["list"]["file"].get<std::string>(), std::string("LIST0A12.PML"));
  EXPECT_EQ(object["matches"][0]["list"]["title"].get<std::string>(), std::string("Club members"));
  EXPECT_EQ(object["hits"].get<int>(), 1);
}

TEST(Records, FoldByTheCodePagesOwnLetters) {
  testing::TempFolder folder;
  folder.write("A.PMR", header("Staff") + record({"Hans M\xFCller"}));
  struct Case {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"M\xC3\x9CLLER"}, "Text found in  0 out of  1 Address Books\n"},
      {{"--fold=program", "m\xC3\xBCller"}, "Staff ( 1 occurences)\nText found in  1 out of  1 Address Books\n"},
      {{"--fold=codepage", "M\xC3\x9CLLER"}, "Staff ( 1 occurences)\nText found in  1 out of  1 Address Books\n"},
      {{"--fold=codepage", "-c", "M\xC3\x9CLLER"}, "Text found in  0 out of  1 Address Books\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"-d", folder.path()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    EXPECT_EQ(find(args).out, c.out);
  }
  EXPECT_EQ(find({"--fold=other", "x"}).exit_code, 2);
}

// The README's sample output is what `make run` prints: each "$ vintrell-find"
// line of its first block run in the source folder.
TEST(Records, TheReadmesSampleOutputIsWhatMakeRunPrints) {
#ifdef VINTRELL_SOURCE_DIR
  if (!testing::on_native_layer()) SKIP_TEST("the source tree is read by the native build");
  std::ifstream in(std::string(VINTRELL_SOURCE_DIR) + "/README.md");
  std::string readme((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t at = readme.find("```\n$ make run\n");
  ASSERT_TRUE(at != std::string::npos);
  const size_t end = readme.find("```\n", at + 4);
  at = readme.find('\n', at + 4) + 1;
  int commands = 0;
  while (at < end) {
    size_t line_end = readme.find('\n', at);
    std::string command = readme.substr(at + 16, line_end - at - 16);  // after "$ vintrell-find "
    size_t block_end = readme.find("\n\n", line_end);
    if (block_end > end) block_end = end - 1;
    const std::string expected = readme.substr(line_end + 1, block_end - line_end);
    std::vector<std::string> args;
    for (size_t from = 0; from <= command.size();) {
      size_t blank = command.find(' ', from);
      if (blank == std::string::npos) blank = command.size();
      args.push_back(command.substr(from, blank - from));
      from = blank + 1;
    }
    testing::RunOptions options;
    options.environment = {"LC_ALL=C.UTF-8"};
    options.working_folder = VINTRELL_SOURCE_DIR;
    testing::ProcessResult run =
        testing::run_program(testing::program_beside_this_one("vintrell-find"), args, options);
    EXPECT_EQ(run.out, expected);
    ++commands;
    at = block_end + 2;
  }
  EXPECT_EQ(commands, 3);
#endif
}
