#include "cli/find_command.h"

#include <string>
#include <vector>

#include "platform/win32.h"
#include "testing/process.h"
#include "testing/temp_folder.h"
#include "testing/test.h"

using namespace vintrell;
using Action = FindArguments::Action;

namespace {

std::string bytes(const char* s, size_t n) { return std::string(s, n); }

std::string book(const std::string& title, const std::string& records) {
  std::string header = title;
  header.resize(128, '\0');
  return header + records;
}

testing::ProcessResult find(const std::vector<std::string>& args,
                            const std::string& working_folder = std::string()) {
  return testing::run_program(testing::program_beside_this_one("vintrell-find"), args,
                              working_folder);
}

const char kUsageLine[] =
    "usage: vintrell-find [-d DIR | --dir DIR] [-l | --lists] [-c | --match-case] [--] TEXT\n";

}  // namespace

TEST(ParseFindArguments, TextAloneSearchesAddressBooksHere) {
  FindArguments parsed = parse_find_arguments({"smith"});
  EXPECT_TRUE(parsed.action == Action::kSearch);
  EXPECT_EQ(parsed.text, std::string("smith"));
  EXPECT_FALSE(parsed.directory_given);
  EXPECT_FALSE(parsed.lists);
  EXPECT_FALSE(parsed.match_case);
}

TEST(ParseFindArguments, LongShortAndBundledOptions) {
  FindArguments long_form =
      parse_find_arguments({"--dir", "C:\\mail", "--lists", "--match-case", "x"});
  EXPECT_TRUE(long_form.directory_given);
  EXPECT_EQ(long_form.directory, std::string("C:\\mail"));
  EXPECT_TRUE(long_form.lists);
  EXPECT_TRUE(long_form.match_case);

  FindArguments bundled = parse_find_arguments({"-lcd", "D", "x"});
  EXPECT_EQ(bundled.directory, std::string("D"));
  EXPECT_TRUE(bundled.lists && bundled.match_case);

  EXPECT_EQ(parse_find_arguments({"-dD", "x"}).directory, std::string("D"));
  EXPECT_EQ(parse_find_arguments({"--dir=D=E", "x"}).directory, std::string("D=E"));
  EXPECT_EQ(parse_find_arguments({"--dir=", "x"}).directory, std::string());
  EXPECT_TRUE(parse_find_arguments({"--dir=", "x"}).directory_given);
  EXPECT_EQ(parse_find_arguments({"-d", "A", "--dir", "B", "x"}).directory, std::string("B"));
  // Options may follow TEXT.
  FindArguments after = parse_find_arguments({"x", "-l"});
  EXPECT_EQ(after.text, std::string("x"));
  EXPECT_TRUE(after.lists);
}

TEST(ParseFindArguments, TextIsTakenAsGiven) {
  EXPECT_EQ(parse_find_arguments({""}).text, std::string());
  EXPECT_TRUE(parse_find_arguments({""}).action == Action::kSearch);
  EXPECT_EQ(parse_find_arguments({"-"}).text, std::string("-"));
  EXPECT_EQ(parse_find_arguments({"--", "-l"}).text, std::string("-l"));
  EXPECT_FALSE(parse_find_arguments({"--", "-l"}).lists);
  EXPECT_EQ(parse_find_arguments({"-c", "--", "--"}).text, std::string("--"));
  EXPECT_EQ(parse_find_arguments({" fred  jones "}).text, std::string(" fred  jones "));
  // A folder may look like an option: it is the value of -d all the same.
  EXPECT_EQ(parse_find_arguments({"-d", "-l", "x"}).directory, std::string("-l"));
}

TEST(ParseFindArguments, HelpAndVersionEndTheParsing) {
  EXPECT_TRUE(parse_find_arguments({"--help"}).action == Action::kHelp);
  EXPECT_TRUE(parse_find_arguments({"--help", "--bogus"}).action == Action::kHelp);
  EXPECT_TRUE(parse_find_arguments({"x", "--version", "y", "z"}).action == Action::kVersion);
  EXPECT_TRUE(parse_find_arguments({"--", "--help"}).action == Action::kSearch);
}

TEST(ParseFindArguments, UsageErrorsSayWhatIsWrong) {
  auto error_of = [](const std::vector<std::string>& args) {
    FindArguments parsed = parse_find_arguments(args);
    return parsed.action == Action::kUsageError ? parsed.error : std::string("(no error)");
  };
  EXPECT_EQ(error_of({}), std::string("no TEXT to find given"));
  EXPECT_EQ(error_of({"-l"}), std::string("no TEXT to find given"));
  EXPECT_EQ(error_of({"--frob", "x"}), std::string("unknown option '--frob'"));
  EXPECT_EQ(error_of({"-lx", "x"}), std::string("unknown option '-x'"));
  EXPECT_EQ(error_of({"x", "-d"}), std::string("option '-d' needs a folder"));
  EXPECT_EQ(error_of({"x", "--dir"}), std::string("option '--dir' needs a folder"));
  EXPECT_EQ(error_of({"--lists=yes", "x"}), std::string("option '--lists' takes no value"));
  EXPECT_EQ(error_of({"fred", "jones"}),
            std::string("more than one TEXT ('fred', 'jones'): quote a TEXT that holds blanks"));
}

// ---- vintrell-find as a process -------------------------------------------------

TEST(VintrellFind, PrintsSortedResultLinesThenTheSummary) {
  testing::TempFolder folder;
  folder.write("B.PMR", book("suppliers", "smith"));
  folder.write("A.PMR", book("Staff", "Smith smith"));
  folder.write("C.PMR", book("Club", "jones"));
  folder.write("D.PMR", book("Alumni", "SMITH"));
  testing::ProcessResult run = find({"-d", folder.path(), "smith"});
  ASSERT_TRUE(run.started);
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, std::string("Alumni ( 1 occurences)\n"
                                 "Staff ( 2 occurences)\n"
                                 "suppliers ( 1 occurences)\n"
                                 "Text found in  3 out of  4 Address Books\n"));
  EXPECT_EQ(run.err, std::string());
}

TEST(VintrellFind, ListsWithMatchCase) {
  testing::TempFolder folder;
  folder.write("A.PML", "Title: Rota\r\nFred JONES\r\nann jones\r\n\\jones\r\n");
  folder.write("B.PML", "Title: Quiz\r\nJONES\r\n");
  testing::ProcessResult run = find({"--lists", "--match-case", "--dir", folder.path(), "jones"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, std::string("Rota ( 1 out of  2 entries)\n"
                                 "Text found in  1 out of  2 Distributions Lists\n"));
}

TEST(VintrellFind, NothingFoundExitsWithOne) {
  testing::TempFolder folder;
  folder.write("A.PMR", book("Staff", "jones"));
  testing::ProcessResult run = find({"-d", folder.path(), "smith"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out, std::string("Text found in  0 out of  1 Address Books\n"));
  testing::ProcessResult missing = find({"-l", "-d", folder.join("missing"), "smith"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_EQ(missing.out, std::string("Text found in  0 out of  0 Distributions Lists\n"));
  EXPECT_FALSE(folder.exists("missing"));
}

TEST(VintrellFind, UsageErrorGoesToStandardErrorWithExitTwo) {
  testing::ProcessResult run = find({"--frob", "smith"});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.out, std::string());
  EXPECT_EQ(run.err, std::string("vintrell-find: unknown option '--frob'\n") + kUsageLine);
  testing::ProcessResult no_text = find({});
  EXPECT_EQ(no_text.exit_code, 2);
  EXPECT_EQ(no_text.err, std::string("vintrell-find: no TEXT to find given\n") + kUsageLine);
}

TEST(VintrellFind, HelpAndVersion) {
  testing::ProcessResult help = find({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(help.out.compare(0, sizeof kUsageLine - 1, kUsageLine), 0);
  EXPECT_TRUE(help.out.find("--match-case") != std::string::npos);
  EXPECT_EQ(help.err, std::string());
  testing::ProcessResult version = find({"--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out, std::string("vintrell-find " VINTRELL_VERSION "\n"));
}

TEST(VintrellFind, SearchesTheWorkingFolderByDefault) {
  testing::TempFolder folder;
  folder.write("A.PMR", book("Here", "smith"));
  testing::ProcessResult run = find({"smith"}, folder.path());
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, std::string("Here ( 1 occurences)\n"
                                 "Text found in  1 out of  1 Address Books\n"));
}

TEST(VintrellFind, TextArrivesByteForByte) {
  testing::TempFolder folder;
  folder.write("A.PMR", book("T", " fred  jones | *.PMR | a\\\"b\\\\ | caf\xE9 "));
  for (const std::string text :
       {" fred  jones ", "*.PMR", "a\\\"b\\\\", "caf\xE9 ", "fred jones"}) {
    testing::ProcessResult run = find({"-d", folder.path(), "--", text});
    bool expected = text != "fred jones";
    EXPECT_EQ(run.exit_code, expected ? 0 : 1);
    if (run.exit_code != (expected ? 0 : 1)) ADD_FAILURE("for TEXT " + testing::quote(text));
  }
  // The empty text is a text too: no address book ever holds it.
  testing::ProcessResult empty = find({"-d", folder.path(), ""});
  EXPECT_EQ(empty.exit_code, 1);
  EXPECT_EQ(empty.out, std::string("Text found in  0 out of  1 Address Books\n"));
}

TEST(VintrellFind, LinesAreShownUpToTheirFirstNulAndSortedSo) {
  testing::TempFolder folder;
  folder.write("A.PML", bytes("Title: Bz\0Zebra\r\nsmith\r\n", 25));
  folder.write("B.PML", "Title: b\r\nsmith\r\n");
  folder.write("C.PML", "Title: BA\r\nsmith\r\n");
  testing::ProcessResult run = find({"-l", "-d", folder.path(), "smith"});
  EXPECT_EQ(run.out, std::string("b ( 1 out of  1 entries)\n"
                                 "BA ( 1 out of  1 entries)\n"
                                 "Bz\n"
                                 "Text found in  3 out of  3 Distributions Lists\n"));
}

TEST(VintrellFind, NeverCreatesOrChangesAFile) {
  testing::TempFolder folder;
  folder.write("A.PMR", book("Staff", bytes("smith\0\r\n", 8)));
  folder.write("B.PML", "Title: B\r\nsmith\r\n");
  folder.write("C.PMR", "");
  folder.make_folder("SUB.PMR");
  auto before = folder.snapshot();
  find({"-d", folder.path(), "smith"});
  find({"-l", "-d", folder.path(), "smith"});
  find({"smith"}, folder.path());
  EXPECT_TRUE(folder.snapshot() == before);
}

TEST(VintrellFind, FileHeldByAnotherProcessIsCountedWithoutALine) {
  testing::TempFolder folder;
  folder.write("HELD.PMR", book("Held", "smith"));
  folder.write("FREE.PMR", book("Free", "smith"));
  HANDLE held = CreateFileA(folder.join("HELD.PMR").c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_TRUE(held != INVALID_HANDLE_VALUE);
  testing::ProcessResult run = find({"-d", folder.path(), "smith"});
  CloseHandle(held);
  EXPECT_EQ(run.out, std::string("Free ( 1 occurences)\n"
                                 "Text found in  1 out of  2 Address Books\n"));
}
