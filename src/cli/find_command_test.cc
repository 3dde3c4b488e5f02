#include "cli/find_command.h"

#include <nlohmann/json.hpp>

#include <cstdio>

#include <string>
#include <vector>
#ifdef VINTRELL_NATIVE_LAYER
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

#ifndef VINTRELL_NATIVE_LAYER
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif
const char kSeparator = kWindows ? '\\' : '/';

#ifdef VINTRELL_NATIVE_LAYER
// How a command line starts that runs a program without root's power to read
// and enter every folder: nothing for another user, setpriv for root. False
// where root cannot shed it here.
bool without_root_powers(std::vector<std::string>* prefix) {
  prefix->clear();
  if (geteuid() != 0) return true;
  if (access("/usr/bin/setpriv", X_OK) != 0) return false;
  *prefix = {"/usr/bin/setpriv", "--bounding-set=-dac_override,-dac_read_search",
             "--inh-caps=-dac_override,-dac_read_search"};
  return true;
}

// vintrell-find run so, in `working_folder`.
testing::ProcessResult find_unprivileged(const std::vector<std::string>& prefix,
                                         const std::vector<std::string>& args,
                                         const std::string& working_folder = std::string()) {
  std::vector<std::string> line = prefix;
  line.push_back(testing::program_beside_this_one("vintrell-find"));
  line.insert(line.end(), args.begin(), args.end());
  return testing::run_program(line[0], {line.begin() + 1, line.end()}, working_folder);
}
#endif

testing::ProcessResult find_with(const std::vector<std::string>& args,
                                 const testing::RunOptions& options) {
  return testing::run_program(testing::program_beside_this_one("vintrell-find"), args, options);
}

// The user's side speaking UTF-8: natively a UTF-8 locale, on Windows the wide
// command line (standard output, a pipe, then gets the code page's bytes).
testing::RunOptions in_utf8() {
  testing::RunOptions options;
  options.environment = {"LC_ALL=C.UTF-8"};
  options.utf8_arguments = true;
  return options;
}

testing::RunOptions in_c_locale() {
  testing::RunOptions options;
  options.environment = {"LC_ALL=C"};
  return options;
}

bool utf8_locale_available() {
#ifndef VINTRELL_NATIVE_LAYER
  return true;
#else
  locale_t probe = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  if (probe == static_cast<locale_t>(0)) return false;
  freelocale(probe);
  return true;
#endif
}

// What a result line shows on the test's output pipe when the user speaks
// UTF-8: UTF-8 natively, the code page's bytes on Windows (a redirected stream).
std::string as_shown(const std::string& utf8, const std::string& code_page_bytes) {
  return kWindows ? code_page_bytes : utf8;
}

const char kUsageLine[] =
    "usage: vintrell-find [-d DIR] [-l] [-c] [-r] [-H|--no-filename] [--entries]\n"
    "                     [--json|--csv] [--fold=program|codepage] [-s] [--raw]\n"
    "                     [--codepage N] [-j N] [--] TEXT\n";

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
  for (const std::vector<std::string>& args : {std::vector<std::string>{"-d", "", "x"},
                                               std::vector<std::string>{"x", "--dir="},
                                               std::vector<std::string>{"-rd", "", "x"}}) {
    EXPECT_EQ(error_of(args), std::string("an empty DIR names no folder (-d . is the current one)"));
  }
  EXPECT_EQ(error_of({"--lists=yes", "x"}), std::string("option '--lists' takes no value"));
  for (const char* jobs : {"0", "65", "two", ""}) {
    EXPECT_EQ(error_of({"-j", jobs, "x"}),
              "-j takes a number of files from 1 to 64, not '" + std::string(jobs) + "'");
  }
  EXPECT_EQ(error_of({"x", "-j"}), std::string("option '-j' needs a number"));
  EXPECT_EQ(parse_find_arguments({"--jobs=64", "x"}).jobs, 64u);
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
  // A folder that is not there is an error, not "not found"; the view stays the dialog's.
  testing::ProcessResult missing = find({"-l", "-d", folder.spelled("missing"), "smith"});
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_EQ(missing.out, std::string("Text found in  0 out of  0 Distributions Lists\n"));
  EXPECT_EQ(missing.err, "vintrell-find: " + folder.spelled("missing") + ": No such folder\n");
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
  // "/?" asks a Windows command for its help; elsewhere, and after "--", it is TEXT.
  testing::TempFolder folder;
  testing::ProcessResult asked = find({"-d", folder.path(), "/?"});
  EXPECT_EQ(asked.exit_code, kWindows ? 0 : 1);
  EXPECT_EQ(asked.out.compare(0, sizeof kUsageLine - 1, kUsageLine) == 0, kWindows);
  testing::ProcessResult text = find({"-d", folder.path(), "--", "/?"});
  EXPECT_EQ(text.exit_code, 1);
  EXPECT_EQ(text.out, std::string("Text found in  0 out of  0 Address Books\n"));
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
    testing::ProcessResult run = find({"--raw", "-d", folder.path(), "--", text});
    bool expected = text != "fred jones";
    EXPECT_EQ(run.exit_code, expected ? 0 : 1);
    if (run.exit_code != (expected ? 0 : 1)) ADD_FAILURE("for TEXT " + testing::quote(text));
  }
  // The empty text is a text too: no address book ever holds it.
  testing::ProcessResult empty = find({"--raw", "-d", folder.path(), ""});
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

TEST(VintrellFind, FileHeldByAnotherProcessIsCountedWithoutALineAndNamedOnStandardError) {
  testing::TempFolder folder;
  folder.write("HELD.PMR", book("Held", "smith"));
  folder.write("FREE.PMR", book("Free", "smith"));
  HANDLE held = CreateFileA(folder.join("HELD.PMR").c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_TRUE(held != INVALID_HANDLE_VALUE);
  testing::ProcessResult run = find({"-d", folder.path(), "smith"});
  testing::ProcessResult silent = find({"-s", "-d", folder.path(), "smith"});
  CloseHandle(held);
  const std::string view = "Free ( 1 occurences)\nText found in  1 out of  2 Address Books\n";
  EXPECT_EQ(run.out, view);
  EXPECT_EQ(run.err, "vintrell-find: " + folder.spelled("HELD.PMR") +
                         ": Permission denied or in use by another program\n");
  EXPECT_EQ(run.exit_code, 2);
  // -s: no line, but the error still decides the exit status, as in grep.
  EXPECT_EQ(silent.out, view);
  EXPECT_EQ(silent.err, std::string());
  EXPECT_EQ(silent.exit_code, 2);
}

TEST(VintrellFind, ManyFilesAtATimeGiveWhatOneAtATimeGives) {
  // Three users' folders of books and lists with hits, misses, titles alike
  // (the list's order keeps the first found first) and one held file whose
  // message must come where its name is listed.
  testing::TempFolder folder;
  for (const char* user : {"ann", "bob", "carl"}) folder.make_folder(user);
  for (int i = 0; i < 150; ++i) {
    const std::string user = i % 3 == 0 ? "ann" : i % 3 == 1 ? "bob" : "carl";
    const std::string n = std::to_string(1000 + i);
    const std::string title = i % 7 == 0 ? "Same" : "Book " + n;
    std::string records;
    for (int k = 0; k < i % 5; ++k) {
      std::string record(458, '\0');
      record.replace(2, 10, "Jones " + n);  // the name field
      records += record;
    }
    folder.write(user + "\\A" + n + ".PMR", book(title, records));
    folder.write(user + "\\L" + n + ".PML", "\\TITLE " + title + "\r\n" +
                                                 std::string(i % 4, 'x') + "jones\r\nsmith\r\n");
  }
  // More lists than the threads may run ahead of the output, so that the
  // places kept for outcomes not yet written are each used several times.
  folder.make_folder("dan");
  for (int i = 0; i < 1100; ++i) {
    folder.write("dan\\M" + std::to_string(10000 + i) + ".PML",
                 "\\TITLE M" + std::to_string(i % 97) + "\r\n" + (i % 3 == 0 ? "jones\r\n" : "x\r\n"));
  }
  HANDLE held = CreateFileA(folder.join("bob\\A1013.PMR").c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_TRUE(held != INVALID_HANDLE_VALUE);
  const std::vector<std::vector<std::string>> forms = {
      {"-r", "jones"},
      {"-r", "-l", "--entries", "jones"},
      {"-r", "--json", "--entries", "jones"},
      {"-r", "--csv", "jones"},
  };
  for (const std::vector<std::string>& form : forms) {
    std::vector<std::string> one = {"-j", "1", "-d", folder.path()};
    std::vector<std::string> three = {"-j3", "-d", folder.path()};
    one.insert(one.end(), form.begin(), form.end());
    three.insert(three.end(), form.begin(), form.end());
    testing::ProcessResult a = find(one);
    testing::ProcessResult b = find(three);
    EXPECT_EQ(b.out, a.out);
    EXPECT_EQ(b.err, a.err);
    EXPECT_EQ(b.exit_code, a.exit_code);
    // The held book is an error; the lists are all read.
    EXPECT_EQ(a.exit_code, form[1] == "-l" ? 0 : 2);
    EXPECT_TRUE(a.out.size() > 2000);
  }
  CloseHandle(held);
}

// ---- options through getopt_long ------------------------------------------------

TEST(ParseFindArguments, AbbreviationsBundlesAndTheTerminalOptions) {
  FindArguments a =
      parse_find_arguments({"--di=D", "--li", "--match", "--no-m", "--ra", "--code=1250", "x"});
  EXPECT_TRUE(a.action == Action::kSearch);
  EXPECT_EQ(a.directory, std::string("D"));
  EXPECT_TRUE(a.lists && a.match_case && a.no_messages && a.raw);
  EXPECT_EQ(a.code_page, 1250u);
  FindArguments b = parse_find_arguments({"-l", "x", "-sc"});
  EXPECT_TRUE(b.lists && b.match_case && b.no_messages && !b.raw);
  EXPECT_EQ(b.code_page, 1252u);
  EXPECT_EQ(b.text_index, size_t{1});
  EXPECT_TRUE(parse_find_arguments({"-h"}).action == Action::kHelp);
  EXPECT_TRUE(parse_find_arguments({"-lh", "x"}).action == Action::kHelp);
  EXPECT_TRUE(parse_find_arguments({"--vers"}).action == Action::kVersion);

  auto error_of = [](const std::vector<std::string>& args) {
    FindArguments parsed = parse_find_arguments(args);
    return parsed.action == Action::kUsageError ? parsed.error : std::string("(no error)");
  };
  EXPECT_EQ(error_of({"x", "--codepage"}), std::string("option '--codepage' needs a number"));
  EXPECT_EQ(error_of({"x", "--code"}), std::string("option '--codepage' needs a number"));
  EXPECT_EQ(error_of({"--raw=1", "x"}), std::string("option '--raw' takes no value"));
  EXPECT_EQ(error_of({"--no-messages=1", "x"}), std::string("option '--no-messages' takes no value"));
  for (const char* bad : {"", "x", "0", "65536", "12a", "-1", "4294968548"}) {
    EXPECT_EQ(error_of({"--codepage", bad, "x"}),
              "'" + std::string(bad) + "' is not a code page number");
  }
}

// ---- vintrell-find and the user's terminal -----------------------------------------

TEST(VintrellFind, OptionsReachTheProcessInEveryForm) {
  testing::TempFolder folder;
  folder.write("A.PML", "Title: Rota\r\nFred JONES\r\nann jones\r\n");
  const std::string rota = "Rota ( 1 out of  2 entries)\nText found in  1 out of  1 Distributions Lists\n";
  struct Case {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"-lc", "--dir=" + folder.path(), "jones"}, rota},
      {{"--li", "--match", "-d" + folder.path(), "jones"}, rota},
      {{"jones", "-cld", folder.path()}, rota},
  };
  for (const Case& c : cases) {
    testing::ProcessResult run = find(c.args);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, std::string());
  }
  testing::ProcessResult help = find({"-h"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(help.out.compare(0, sizeof kUsageLine - 1, kUsageLine), 0);
  EXPECT_TRUE(help.out.find("--codepage") != std::string::npos);
  EXPECT_TRUE(help.out.find("0x81") != std::string::npos);  // the folded pairs, told truly
}

TEST(VintrellFind, TextAndTitlesInTheUsersCharactersForEachCodePage) {
  if (!utf8_locale_available()) SKIP_TEST("this host has no C.UTF-8 locale");
  struct Case {
    const char* code_page;
    std::string utf8;   // TEXT as typed
    std::string bytes;  // the same in the code page
  } cases[] = {
      {"1252", "M\xC3\xBCnchen", "M\xFCnchen"},
      {"1250", "\xC5\x81\xC3\xB3" "d\xC5\xBA", "\xA3\xF3" "d\x9F"},
      {"1251", "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0", "\xCC\xEE\xF1\xEA\xE2\xE0"},
      {"1253", "\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1", "\xC1\xE8\xDE\xED\xE1"},
      {"1254", "\xC4\xB0stanbul", "\xDDstanbul"},
      {"1257", "R\xC4\xAB" "ga", "R\xEE" "ga"},
  };
  for (const Case& c : cases) {
    testing::TempFolder folder;
    folder.write("A.PMR", book("Kunden " + c.bytes, "at " + c.bytes + ";"));
    std::vector<std::string> args = {"-d", folder.path(), c.utf8};
    if (std::string(c.code_page) != "1252") args.insert(args.begin(), {"--codepage", c.code_page});
    testing::ProcessResult run = find_with(args, in_utf8());
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.out, "Kunden " + as_shown(c.utf8, c.bytes) +
                           " ( 2 occurences)\nText found in  1 out of  1 Address Books\n");
    EXPECT_EQ(run.err, std::string());
    if (run.exit_code != 0) ADD_FAILURE(std::string("code page ") + c.code_page);
  }
  // Case folding is the program's own table: ASCII letters fold, a ü does not
  // find a Ü.
  testing::TempFolder folder;
  folder.write("A.PMR", book("Kunden", "M\xDCLLER"));
  EXPECT_EQ(find_with({"-d", folder.path(), "m\xC3\x9Cller"}, in_utf8()).exit_code, 0);
  EXPECT_EQ(find_with({"-d", folder.path(), "M\xC3\xBCLLER"}, in_utf8()).exit_code, 1);
}

TEST(VintrellFind, TextTheCodePageCannotHoldOrThatIsNoUtf8IsAnError) {
  if (!utf8_locale_available()) SKIP_TEST("this host has no C.UTF-8 locale");
  testing::TempFolder folder;
  folder.write("A.PMR", book("Kunden", "\xA3\xF3" "d\x9F"));
  testing::ProcessResult run = find_with({"-d", folder.path(), "\xC5\x81\xC3\xB3" "d\xC5\xBA"}, in_utf8());
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.out, std::string());
  EXPECT_TRUE(run.err.find("(U+0141) is not in code page 1252\n") != std::string::npos);
  EXPECT_EQ(run.err.compare(0, 21, "vintrell-find: TEXT: "), 0);
  if (!kWindows) {
    EXPECT_EQ(run.err, "vintrell-find: TEXT: '\xC5\x81' (U+0141) is not in code page 1252\n");
    // Bytes that are no UTF-8 cannot be meant as characters: --raw passes them.
    testing::ProcessResult bytes = find_with({"-d", folder.path(), "\xA3\xF3"}, in_utf8());
    EXPECT_EQ(bytes.exit_code, 2);
    EXPECT_EQ(bytes.err, std::string("vintrell-find: TEXT: not UTF-8 (use --raw to search for "
                                     "bytes as they are)\n"));
    EXPECT_EQ(find_with({"--raw", "-d", folder.path(), "\xA3\xF3"}, in_utf8()).exit_code, 0);
  }
  for (const char* code_page : {"932", "12345"}) {  // a double-byte one, and none at all
    testing::ProcessResult refused = find({"--codepage", code_page, "-d", folder.path(), "x"});
    EXPECT_EQ(refused.exit_code, 2);
    EXPECT_EQ(refused.out, std::string());
    const std::string prefix = "vintrell-find: code page " + std::string(code_page) + ": ";
    EXPECT_EQ(refused.err.compare(0, prefix.size(), prefix), 0);
  }
  EXPECT_TRUE(find({"--codepage", "932", "x"}).err.find("not a single-byte code page") !=
              std::string::npos);
}

TEST(VintrellFind, OutsideUtf8AndWithRawTheBytesPassUnchanged) {
  testing::TempFolder folder;
  const std::string title = "Kunden M\xFCnchen \x1b[31m\x81";
  folder.write("A.PMR", book(title, "M\xFCller"));
  const std::string summary = "Text found in  1 out of  1 Address Books\n";
  // --raw: every byte as it is, also in a UTF-8 locale.
  // (On Windows the bytes go through the ANSI command line, as --raw takes them.)
  testing::RunOptions raw_side = in_utf8();
  raw_side.utf8_arguments = false;
  testing::ProcessResult raw = find_with({"--raw", "-d", folder.path(), "M\xFCller"}, raw_side);
  EXPECT_EQ(raw.exit_code, 0);
  EXPECT_EQ(raw.out, title + " ( 1 occurences)\n" + summary);
  if (!kWindows) {
    // Another locale: bytes both ways, but the title is still one harmless
    // line: C0 and C1 control bytes (0x81) escaped, other bytes as they are.
    testing::ProcessResult c = find_with({"-d", folder.path(), "M\xFCller"}, in_c_locale());
    EXPECT_EQ(c.exit_code, 0);
    EXPECT_EQ(c.out, "Kunden M\xFCnchen \\x1b[31m\\x81 ( 1 occurences)\n" + summary);
  }
}

TEST(VintrellFind, ControlCharactersOfATitleAreShownAsEscapes) {
  testing::TempFolder folder;
  const std::string forged = "Forged\nText found in  9 out of  9 Address Books\r\x1b]0;x\x07\t\x7f\x01";
  folder.write("A.PMR", book(forged, "smith"));
  folder.write("B.PMR", book("Odd \x81 byte", "smith"));
  const std::string escaped =
      "Forged\\nText found in  9 out of  9 Address Books\\r\\x1b]0;x\\x07\\t\\x7f\\x01";
  const std::string summary = "Text found in  2 out of  2 Address Books\n";
  // A byte the code page leaves undefined has no character: escaped too in UTF-8.
  std::vector<testing::RunOptions> sides = {in_utf8()};
  if (!kWindows) sides.push_back(in_c_locale());
  for (size_t i = 0; i < sides.size(); ++i) {
    testing::ProcessResult run = find_with({"-d", folder.path(), "smith"}, sides[i]);
    // Outside UTF-8 the byte is a C1 control to an 8-bit terminal: escaped.
    std::string odd = i == 0 ? as_shown("Odd \\x81 byte", "Odd \x81 byte") : "Odd \\x81 byte";
    EXPECT_EQ(run.out, escaped + " ( 1 occurences)\n" + odd + " ( 1 occurences)\n" + summary);
  }
  testing::ProcessResult raw = find({"--raw", "-d", folder.path(), "smith"});
  EXPECT_EQ(raw.out, forged + " ( 1 occurences)\nOdd \x81 byte ( 1 occurences)\n" + summary);
}

TEST(VintrellFind, OnAWindowsConsoleTheTitlesShowAsCharacters) {
  if (!kWindows) SKIP_TEST("a console is a Windows stream; natively the locale decides");
  testing::TempFolder folder;
  folder.write("A.PMR", book("Kunden \xA3\xF3" "d\x9F \x1b", "smith"));
  testing::RunOptions options = in_utf8();
  options.console_output = true;
  testing::ProcessResult run = find_with({"--codepage", "1250", "-d", folder.path(), "smith"}, options);
  if (!run.started) {
    ADD_FAILURE("the console could not be made or the program not started: " + run.err);
    return;
  }
  EXPECT_EQ(run.err, std::string());
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, std::string("Kunden \xC5\x81\xC3\xB3" "d\xC5\xBA \\x1b ( 1 occurences)\n"
                                 "Text found in  1 out of  1 Address Books\n"));
}

// ---- errors as grep gives them --------------------------------------------------

TEST(VintrellFind, AFolderThatCannotBeSearchedIsNamedWithExitTwo) {
  testing::TempFolder folder;
  folder.write("FILE.PMR", book("File", "smith"));
  folder.make_folder("LOCKED");
  folder.write("LOCKED\\A.PMR", book("Locked", "smith"));
  struct Case {
    std::string dir;
    std::string reason;
  } cases[] = {
      {folder.spelled("missing"), "No such folder"},
      {folder.spelled("FILE.PMR"), "Not a folder"},
  };
  std::vector<Case> all(std::begin(cases), std::end(cases));
  std::vector<std::string> prefix;
#ifdef VINTRELL_NATIVE_LAYER
  // Root reads every folder: the search then runs without that power.
  chmod((folder.path() + "/LOCKED").c_str(), 0);
  if (without_root_powers(&prefix)) {
    all.push_back({folder.spelled("LOCKED"), "Permission denied"});
  } else {
    std::printf("the unreadable folder is not tried: root, and no setpriv to shed its power\n");
  }
#endif
  for (const Case& c : all) {
#ifdef VINTRELL_NATIVE_LAYER
    testing::ProcessResult run = find_unprivileged(prefix, {"-d", c.dir, "smith"});
#else
    testing::ProcessResult run = find({"-d", c.dir, "smith"});
#endif
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.out, std::string("Text found in  0 out of  0 Address Books\n"));
    EXPECT_EQ(run.err, "vintrell-find: " + c.dir + ": " + c.reason + "\n");
  }
#ifdef VINTRELL_NATIVE_LAYER
  chmod((folder.path() + "/LOCKED").c_str(), 0700);
#endif
}

TEST(VintrellFind, AWriteErrorOnStandardOutputIsAnError) {
  testing::TempFolder folder;
  folder.write("A.PMR", book("Staff", "smith"));
  testing::RunOptions failing;
  failing.failing_output = true;
  const std::string reason = kWindows ? "Permission denied" : "No space left on device";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-d", folder.path(), "smith"}, {"--help"}, {"--version"}}) {
    testing::ProcessResult run = find_with(args, failing);
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.err, "vintrell-find: write error: " + reason + "\n");
  }
}

TEST(VintrellFind, ACurrentFolderThatCannotBeNamedIsNeverSearchedInstead) {
  if (kWindows) SKIP_TEST("Windows keeps a process's current folder from being deleted");
  testing::TempFolder folder;
  folder.write("A.PMR", book("Staff", "smith"));
  folder.make_folder("gone");
  // The shell enters the folder and removes it, then becomes vintrell-find.
  testing::ProcessResult run = testing::run_program(
      "/bin/sh",
      {"-c", "cd \"$1\" && rmdir \"$1\" && exec \"$2\" smith", "sh", folder.path() + "/gone",
       testing::program_beside_this_one("vintrell-find")},
      folder.path());
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.out, std::string());
  EXPECT_EQ(run.err, std::string("vintrell-find: current folder: No such file or folder\n"));
}

// ---- paths the platform's cuts would shorten ---------------------------------------

namespace {

// A folder below `base` whose path, as the program is given it, is exactly
// `length` bytes long.
std::string folder_of_length(const testing::TempFolder& base, size_t length) {
  std::string relative;
  size_t left = length - base.path().size();
  while (left > 0) {
    size_t take = left > 101 ? 101 : left;
    if (left - take == 1) --take;  // no component of a lone separator
    relative += "\\" + std::string(take - 1, 'd');
    left -= take;
  }
  base.make_folder(relative.substr(1));
  for (char& c : relative) c = c == '\\' ? kSeparator : c;
  return base.path() + relative;
}

}  // namespace

TEST(VintrellFind, PathsAndMasksTheCutsWouldShortenAreNeverUsed) {
  testing::TempFolder base;
  ASSERT_TRUE(base.path().size() < 200);
  // 249: "\A.PMR" makes 255 bytes, the most an open takes; the mask fits.
  std::string fits = folder_of_length(base, 249);
  // 250: the mask "\*.PMR" (256) fits, the path (256) would open "...\A.PM".
  std::string path_too_long = folder_of_length(base, 250);
  // 253: the mask would be cut to "...\*." and list "B".
  std::string mask_too_long = folder_of_length(base, 253);
  for (const std::string& dir : {fits, path_too_long, mask_too_long}) {
    std::string relative = dir.substr(base.path().size() + 1);
    base.write(relative + "\\A.PMR", book("Right", "smith"));
    base.write(relative + "\\A.PM", book("Wrong", "smith"));
    base.write(relative + "\\B", book("Other kind", "smith"));
  }
  testing::ProcessResult fitting = find({"-d", fits, "smith"});
  EXPECT_EQ(fitting.exit_code, 0);
  EXPECT_EQ(fitting.out, std::string("Right ( 1 occurences)\nText found in  1 out of  1 Address Books\n"));
  EXPECT_EQ(fitting.err, std::string());

  testing::ProcessResult long_path = find({"-d", path_too_long, "smith"});
  EXPECT_EQ(long_path.exit_code, 2);
  EXPECT_EQ(long_path.out, std::string("Text found in  0 out of  1 Address Books\n"));
  EXPECT_EQ(long_path.err, "vintrell-find: " + path_too_long + kSeparator +
                               "A.PMR: Path too long to open (more than 255 bytes)\n");

  testing::ProcessResult long_mask = find({"-d", mask_too_long, "smith"});
  EXPECT_EQ(long_mask.exit_code, 2);
  EXPECT_EQ(long_mask.out, std::string("Text found in  0 out of  0 Address Books\n"));
  EXPECT_EQ(long_mask.err, "vintrell-find: " + mask_too_long +
                               ": Path too long to list (more than 256 bytes with the file mask)\n");
}

// ---- whole mail trees ---------------------------------------------------------------

namespace {


// A file written through the platform's ANSI calls, so that a non-ASCII name
// is the same bytes the program lists (natively UTF-8, on Windows the ANSI
// code page's).
void write_named(const std::string& folder, const std::vector<std::string>& parts,
                 const std::string& bytes) {
  std::string path = folder;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    path += "\\" + parts[i];
    CreateDirectoryA(path.c_str(), nullptr);
  }
  path += "\\" + parts.back();
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  if (file != INVALID_HANDLE_VALUE) {
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
  }
}

// A symbolic link `name` in `folder` pointing at `target` ('/'-separated,
// relative). Under Wine through the host's ln, which Wine starts as a Unix
// program; true when the link is there.
// The links made under Wine, by their host names: removed by the host's rm,
// since the test's own file calls would see folders where the links are.
std::vector<std::string>& wine_links() {
  static std::vector<std::string> links;
  return links;
}

bool make_link(const testing::TempFolder& base, const std::string& folder, const std::string& name,
               const std::string& target) {
#ifndef VINTRELL_NATIVE_LAYER
  // The link's own name as the host names it; a Unix child of Wine does not
  // start in the Windows working folder.
  using UnixName = char*(__cdecl*)(const wchar_t*);
  auto unix_name = reinterpret_cast<UnixName>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
  if (unix_name == nullptr) return false;
  std::string windows_folder = base.join(folder);
  std::wstring wide(windows_folder.begin(), windows_folder.end());
  char* host_folder = unix_name(wide.c_str());
  if (host_folder == nullptr) return false;
  std::string link = std::string(host_folder) + "/" + name;
  HeapFree(GetProcessHeap(), 0, host_folder);
  testing::run_program("Z:\\bin\\ln", {"-s", target, link});
  wine_links().push_back(link);
  WIN32_FIND_DATAA entry;
  HANDLE found = FindFirstFileA(base.join(folder + "\\" + name).c_str(), &entry);
  if (found == INVALID_HANDLE_VALUE) return false;
  FindClose(found);
  return true;
#else
  std::string path = base.path() + "/" + folder + "/" + name;
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return symlink(target.c_str(), path.c_str()) == 0;
#endif
}

// Whether the platform shows the link `path` as a reparse point, which a walk
// passes by. Wine 8.0 shows a link to a file as the file itself.
bool shown_as_link(const std::string& path) {
  WIN32_FIND_DATAA entry;
  HANDLE found = FindFirstFileA(path.c_str(), &entry);
  if (found == INVALID_HANDLE_VALUE) return false;
  FindClose(found);
  return (entry.dwFileAttributes & 0x400) != 0;
}

// The non-ASCII user folder: "jörg" as the file system names it.
const std::string kJoerg = kWindows ? "j\xF6rg" : "j\xC3\xB6rg";

// The admin's mail tree: users with and without hits, a hidden folder, a link
// loop, a planted link to a file outside the tree.
struct MailTree {
  testing::TempFolder base;
  std::string root;        // MAIL, as given to -d
  bool loop_made = false;  // the link loop could be made here
  bool file_link_listed_as_file = false;  // the platform lists the planted link as a file

  MailTree() {
    root = base.path() + kSeparator + "MAIL";
    base.write("MAIL\\TOP.PMR", book("Postmaster", std::string("\0jones@old.example\0", 19)));
    base.write("MAIL\\ann\\ADDR.PMR",
               book("Ann's book", std::string("\0Fred JONES\0jones@old.example\0Smith\0", 36)));
    base.write("MAIL\\ann\\STAFF.PML",
               "Title: Staff\r\nFred Jones <jones@old.example>\r\n\\jones control\r\nann\r\n"
               "jones@new.example\r\n");
    base.write("MAIL\\bob\\BOOK.PMR", book("Bob", std::string("\0nobody\0", 8)));
    base.write("MAIL\\bob\\CLUB.PML", "Title: Club\r\nann\r\n");
    base.write("MAIL\\carl\\deep\\D.PMR", book("Deep", std::string("\0JONES@OLD.EXAMPLE\0", 19)));
    write_named(base.path(), {"MAIL", kJoerg, "J.PMR"},
                book("J\xF6rg's book", std::string("\0jones\0", 7)));
    base.write("MAIL\\.trash\\T.PMR", book("Trash", "jones"));
    base.write("MAIL\\.trash\\T.PML", "Title: Trash\r\njones\r\n");
    base.write("outside\\SECRET.PMR", book("Secret", "jones"));
    loop_made = make_link(base, "MAIL\\ann", "loop", "..");
    make_link(base, "MAIL\\bob", "OUT.PMR", "../../outside/SECRET.PMR");
    file_link_listed_as_file = !shown_as_link(base.join("MAIL\\bob\\OUT.PMR"));
  }
  ~MailTree() {
    for (const std::string& link : wine_links()) testing::run_program("Z:\\bin\\rm", {link});
    wine_links().clear();
  }
  // What -r says of the planted link where the platform lists it as a file:
  // the open finds it resolves out of the tree.
  std::string link_refusal() const {
    if (!file_link_listed_as_file) return std::string();
    return "vintrell-find: " + path("bob/OUT.PMR") +
           ": A symbolic link since it was listed (not followed)\n";
  }
  std::string path(const std::string& below) const {
    std::string p = root + kSeparator + below;
    for (char& c : p) {
      if (c == '/' || c == '\\') c = kSeparator;
    }
    return p;
  }
};

}  // namespace

TEST(VintrellFind, RecursiveSearchOfAMailTreeInEachForm) {
  if (!utf8_locale_available()) SKIP_TEST("this host has no C.UTF-8 locale");
  MailTree tree;
  EXPECT_TRUE(tree.loop_made);
  // Wine 8.0 lists the planted link as the file it names (see the manual page);
  // the open finds it resolves out of the tree and refuses it, never read.
  const bool listed_as_file = tree.file_link_listed_as_file;
  EXPECT_EQ(listed_as_file, kWindows);
  const std::string joerg_title = as_shown("J\xC3\xB6rg's book", "J\xF6rg's book");
  const std::string top = tree.path("TOP.PMR") + ":Postmaster ( 1 occurences)\n";
  const std::string ann = tree.path("ann/ADDR.PMR") + ":Ann's book ( 2 occurences)\n";
  const std::string deep = tree.path("carl/deep/D.PMR") + ":Deep ( 1 occurences)\n";
  const std::string joerg = tree.path(kJoerg + "/J.PMR") + ":" + joerg_title + " ( 1 occurences)\n";
  const std::string books = listed_as_file ? "Text found in  4 out of  6 Address Books\n"
                                           : "Text found in  4 out of  5 Address Books\n";
  const std::string refused = tree.link_refusal();
  const int found = listed_as_file ? 2 : 0;  // an error, though the text was found
  struct Case {
    std::vector<std::string> args;
    std::string out;
    std::string err;
    int exit_code;
  } cases[] = {
      {{"-r", "-d", tree.root, "jones"}, top + ann + deep + joerg + books, refused, found},
      {{"--recursive", "--no-filename", "-d", tree.root, "jones"},
       "Postmaster ( 1 occurences)\nAnn's book ( 2 occurences)\nDeep ( 1 occurences)\n" +
           joerg_title + " ( 1 occurences)\n" + books,
       refused, found},
      {{"-rc", "-d", tree.root, "jones"},
       top + tree.path("ann/ADDR.PMR") + ":Ann's book ( 1 occurences)\n" +
           tree.path(kJoerg + "/J.PMR") + ":" + joerg_title + " ( 1 occurences)\n" +
           (listed_as_file ? "Text found in  3 out of  6 Address Books\n"
                           : "Text found in  3 out of  5 Address Books\n"),
       refused, found},
      {{"-r", "--entries", "-d", tree.root, "jones@old"},
       tree.path("TOP.PMR") + ":Postmaster ( 1 occurences)\n    jones@old.example\n" +
           tree.path("ann/ADDR.PMR") + ":Ann's book ( 1 occurences)\n    jones@old.example\n" +
           tree.path("carl/deep/D.PMR") + ":Deep ( 1 occurences)\n    JONES@OLD.EXAMPLE\n" +
           (listed_as_file ? "Text found in  3 out of  6 Address Books\n"
                           : "Text found in  3 out of  5 Address Books\n"),
       refused, found},
      {{"-r", "-l", "--entries", "-d", tree.root, "jones"},
       tree.path("ann/STAFF.PML") +
           ":Staff ( 2 out of  3 entries)\n    Fred Jones <jones@old.example>\n"
           "    jones@new.example\n"
           "Text found in  1 out of  2 Distributions Lists\n",
       "", 0},
      // A trailing separator of either kind is not doubled.
      {{"-r", "-l", "-d", tree.root + "/", "jones"},
       tree.path("ann/STAFF.PML") + ":Staff ( 2 out of  3 entries)\n"
           "Text found in  1 out of  2 Distributions Lists\n",
       "", 0},
      // Without -r one folder, as the dialog; -H names the files there too.
      {{"-H", "-d", tree.path("ann"), "jones"},
       ann + "Text found in  1 out of  1 Address Books\n", "", 0},
      {{"-r", "-d", tree.path("bob"), "jones"},
       listed_as_file ? "Text found in  0 out of  2 Address Books\n"
                      : "Text found in  0 out of  1 Address Books\n",
       refused, listed_as_file ? 2 : 1},
  };
  for (const Case& c : cases) {
    testing::ProcessResult run = find_with(c.args, in_utf8());
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.exit_code, c.exit_code);
    if (run.out != c.out) ADD_FAILURE("for arguments " + testing::quote(c.args[0] + " " + c.args[1]));
  }
  // Without DIR the paths start below the current folder, as grep -r's do.
  testing::ProcessResult here = find_with({"-r", "-l", "jones"}, [&] {
    testing::RunOptions options = in_utf8();
    options.working_folder = tree.path("ann");
    return options;
  }());
  EXPECT_EQ(here.out, std::string("STAFF.PML:Staff ( 2 out of  3 entries)\n"
                                  "Text found in  1 out of  1 Distributions Lists\n"));
}

namespace {

std::string base64_of(const std::string& bytes) {
  const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t bits = 0, count = 0;
  for (unsigned char c : bytes) {
    bits = (bits << 8) | c;
    count += 8;
    while (count >= 6) {
      out += digits[(bits >> (count - 6)) & 63];
      count -= 6;
    }
  }
  if (count > 0) out += digits[(bits << (6 - count)) & 63];
  while (out.size() % 4 != 0) out += '=';
  return out;
}

}  // namespace

TEST(VintrellFind, JsonLinesParseAndHoldUtf8Whatever) {
  MailTree tree;
#ifdef VINTRELL_NATIVE_LAYER
  // A name that is no UTF-8 (Latin-1 "léa"): its byte is escaped, not dropped.
  tree.base.write("MAIL\\l\xE9" "a\\L.PMR", book("L\xE9" "a", "jones"));
#else
  if (GetACP() != 1252) SKIP_TEST("the names here are written in code page 1252");
#endif
  for (const testing::RunOptions& side : {in_utf8(), in_c_locale()}) {
    testing::ProcessResult run =
        find_with({"-r", "--json", "--entries", "-d", tree.root, "jones"}, side);
    EXPECT_EQ(run.exit_code, tree.file_link_listed_as_file ? 2 : 0);
    EXPECT_EQ(run.err, tree.link_refusal());
    std::vector<nlohmann::json> objects;
    size_t at = 0;
    while (at < run.out.size()) {
      size_t end = run.out.find('\n', at);
      ASSERT_TRUE(end != std::string::npos);
      nlohmann::json object = nlohmann::json::parse(run.out.substr(at, end - at), nullptr, false);
      ASSERT_FALSE(object.is_discarded());
      objects.push_back(object);
      at = end + 1;
    }
    const size_t results = objects.size() - 1;
    ASSERT_TRUE(results >= 4);
    auto path_of = [&](const std::string& below) {
      std::string utf8 = tree.path(below);
      if (kWindows) {  // the ANSI "ö" as UTF-8
        size_t o = utf8.find('\xF6');
        if (o != std::string::npos) utf8.replace(o, 1, "\xC3\xB6");
      }
      return utf8;
    };
    EXPECT_EQ(objects[0]["path"].get<std::string>(), path_of("TOP.PMR"));
    EXPECT_EQ(objects[1]["path"].get<std::string>(), path_of("ann/ADDR.PMR"));
    EXPECT_EQ(objects[1]["title"].get<std::string>(), std::string("Ann's book"));
    EXPECT_EQ(objects[1]["count"].get<int>(), 2);
    EXPECT_TRUE(objects[1]["matches"] ==
                nlohmann::json::array({"Fred JONES", "jones@old.example"}));
    bool joerg_seen = false, lea_seen = false;
    for (size_t i = 0; i < results; ++i) {
      if (objects[i]["path"].is_object()) {
        // A name that is no UTF-8: its exact bytes, base64 ("MAIL/l\xE9a/L.PMR").
        EXPECT_EQ(objects[i]["path"].size(), size_t{1});
        lea_seen = objects[i]["path"]["bytes"].get<std::string>() ==
                   base64_of(tree.root + "/l\xE9" "a/L.PMR");
        EXPECT_TRUE(lea_seen);
        EXPECT_EQ(objects[i]["title"].get<std::string>(), std::string("L\xC3\xA9" "a"));
        continue;
      }
      const std::string path = objects[i]["path"].get<std::string>();
      if (path == path_of(kJoerg + "/J.PMR")) {
        joerg_seen = true;
        // Titles come from the code page, whatever the locale.
        EXPECT_EQ(objects[i]["title"].get<std::string>(), std::string("J\xC3\xB6rg's book"));
      }
    }
    EXPECT_TRUE(joerg_seen);
    EXPECT_EQ(lea_seen, !kWindows);
    const nlohmann::json& summary = objects.back();
    EXPECT_EQ(summary["kind"].get<std::string>(), std::string("address books"));
    EXPECT_EQ(summary["found"].get<size_t>(), results);
    EXPECT_EQ(summary["summary"].get<std::string>(),
              "Text found in  " + std::to_string(results) + " out of  " +
                  std::to_string(summary["scanned"].get<int>()) + " Address Books");
  }
  testing::ProcessResult lists = find({"-r", "-l", "--json", "-d", tree.root, "jones"});
  EXPECT_EQ(lists.exit_code, 0);
  EXPECT_EQ(lists.out,
            "{\"path\":" + nlohmann::json(tree.path("ann/STAFF.PML")).dump() +
                ",\"title\":\"Staff\",\"hits\":2,\"entries\":3}\n"
                "{\"summary\":\"Text found in  1 out of  2 Distributions Lists\",\"found\":1,"
                "\"scanned\":2,\"kind\":\"distribution lists\"}\n");
}

TEST(VintrellFind, RecursiveSearchNamesTheFoldersItCannotListAndSearchesTheRest) {
  MailTree tree;
  // A folder too deep to list: its mask would pass the 256 bytes a listing takes.
  std::string deep = "MAIL\\eve";
  while (tree.base.path().size() + deep.size() < 250) deep += "\\" + std::string(20, 'd');
  tree.base.write(deep + "\\E.PMR", book("Eve", "jones"));
  const std::string deep_shown = tree.path(deep.substr(5));
  // A user folder that cannot be listed. Root reads every folder, so there the
  // search runs without the capabilities that let it (setpriv).
  std::vector<std::string> prefix;
  bool locked = false;
#ifdef VINTRELL_NATIVE_LAYER
  tree.base.write("MAIL\\dora\\D.PMR", book("Dora", "jones"));
  const std::string dora = tree.base.path() + "/MAIL/dora";
  chmod(dora.c_str(), 0);
  if (geteuid() != 0) {
    locked = access(dora.c_str(), R_OK) != 0;
  } else if (access("/usr/bin/setpriv", X_OK) == 0) {
    prefix = {"--bounding-set=-dac_override,-dac_read_search",
              "--inh-caps=-dac_override,-dac_read_search",
              testing::program_beside_this_one("vintrell-find")};
    locked = true;
  }
#endif
  auto run_find = [&](std::vector<std::string> args) {
    if (prefix.empty()) return find_with(args, in_c_locale());
    args.insert(args.begin(), prefix.begin(), prefix.end());
    return testing::run_program("/usr/bin/setpriv", args, in_c_locale());
  };
  // (Under Wine the link loop looks like a folder to the test's own walk.)
  const auto before = kWindows ? decltype(tree.base.snapshot())() : tree.base.snapshot();
  testing::ProcessResult run = run_find({"-r", "-d", tree.root, "jones"});
  if (locked && run.err.compare(0, 8, "setpriv:") == 0) {
    locked = false;  // the capabilities could not be dropped here
    prefix.clear();
    run = run_find({"-r", "-d", tree.root, "jones"});
  }
  EXPECT_EQ(run.exit_code, 2);
  // Every other folder is searched: the summary counts them all.
  // (The planted link, where it is listed as a file, is counted and refused.)
  const int scanned = tree.file_link_listed_as_file ? 6 : 5;
  EXPECT_TRUE(run.out.find(tree.path("carl/deep/D.PMR") + ":Deep") != std::string::npos);
  EXPECT_EQ(run.out.substr(run.out.rfind("Text found")),
            "Text found in  4 out of  " + std::to_string(scanned) + " Address Books\n");
  std::string expected_err = tree.link_refusal();
  if (locked) expected_err += "vintrell-find: " + tree.path("dora") + ": Permission denied\n";
  expected_err += "vintrell-find: " + deep_shown +
                  ": Path too long to list (more than 256 bytes with the file mask)\n";
  EXPECT_EQ(run.err, expected_err);
  if (!locked) {
    std::printf("  (no folder made unreadable here: %s)\n",
                kWindows ? "Wine runs the test as root and has no permissions of its own"
                         : "no setpriv to drop root's capabilities");
  }
#ifdef VINTRELL_NATIVE_LAYER
  chmod(dora.c_str(), 0700);
#endif
  if (!kWindows) EXPECT_TRUE(tree.base.snapshot() == before);
}

// ---- trust: errors never look like results ------------------------------------------

namespace {

// vintrell-find run by /bin/sh with `script`, which names the program "$0" and
// the folder "$1": for working folders, pipes and redirections no RunOptions
// gives.
testing::ProcessResult through_shell(const std::string& script, const std::string& folder,
                                     const std::string& working_folder = std::string()) {
  return testing::run_program(
      "/bin/sh", {"-c", script, testing::program_beside_this_one("vintrell-find"), folder},
      working_folder);
}

}  // namespace

TEST(VintrellFind, EveryFormInADeletedWorkingFolderIsRefused) {
  if (kWindows) SKIP_TEST("Windows keeps a process's current folder from being deleted");
  testing::TempFolder folder;
  folder.write("mail\\A.PMR", book("Staff", "smith"));
  folder.write("mail\\A.PML", "Title: Rota\r\nsmith\r\n");
  folder.make_folder("gone");
  // In the folder "gone", deleted, a "mail" beside it must not be what
  // "-d mail" (or the root's "/mail") finds: every form fails, nothing searched.
  // (An empty DIR is refused before the folder is looked at.)
  for (const std::string args : {"-d mail", "-d ./mail", "-d .", "-r", "--lists", "-r -d ../mail", ""}) {
    testing::ProcessResult run = through_shell(
        "cd \"$1/gone\" && rmdir \"$1/gone\" && exec \"$0\" " + args + " smith", folder.path());
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.out, std::string());
    EXPECT_EQ(run.err, std::string("vintrell-find: current folder: No such file or folder\n"));
    if (run.exit_code != 2) ADD_FAILURE("for arguments " + testing::quote(args));
    folder.make_folder("gone");
  }
  // An absolute DIR does not depend on it.
  testing::ProcessResult absolute = through_shell(
      "cd \"$1/gone\" && rmdir \"$1/gone\" && exec \"$0\" -d \"$1/mail\" smith", folder.path());
  EXPECT_EQ(absolute.exit_code, 0);
  EXPECT_EQ(absolute.out, std::string("Staff ( 1 occurences)\nText found in  1 out of  1 Address Books\n"));
}

TEST(VintrellFind, AClosedReaderEndsTheSearchWithoutAWordAsGrep) {
  if (kWindows) SKIP_TEST("no shell pipeline here; the same code ends quietly on ERROR_NO_DATA");
  testing::TempFolder folder;
  std::string fields;
  for (int i = 0; i < 200000; ++i) fields += std::string("\0smith", 6);
  folder.write("A.PMR", book("Big", fields));
  // head takes one byte and closes the pipe while the entries are written.
  testing::ProcessResult run = through_shell(
      "(\"$0\" --entries -d \"$1\" smith; echo \"status $?\" >&2) | head -c 1 >/dev/null",
      folder.path());
  EXPECT_EQ(run.err, std::string("status 141\n"));  // SIGPIPE, as grep: no message
}

TEST(VintrellFind, TheOutputFileInTheSearchedTreeIsSkippedWithAMessage) {
  if (kWindows) SKIP_TEST("no shell redirection here");
  testing::TempFolder folder;
  folder.write("mail\\A.PMR", book("Staff", "smith"));
  folder.write("mail\\FOUND.PMR", "");
  const std::string view = "mail/A.PMR:Staff ( 1 occurences)\nText found in  1 out of  1 Address Books\n";
  struct Case {
    std::string script;
    std::string err;
  } cases[] = {
      {"\"$0\" -r -d mail smith > mail/FOUND.PMR",
       "vintrell-find: mail/FOUND.PMR: input file is also the output\n"},
      {"\"$0\" -r -d mail smith >> mail/FOUND.PMR",
       "vintrell-find: mail/FOUND.PMR: input file is also the output\n"},
      {"\"$0\" -s -r -d mail smith > mail/FOUND.PMR", ""},
  };
  for (const Case& c : cases) {
    folder.write("mail\\FOUND.PMR", "");
    testing::ProcessResult run = through_shell(c.script + "; echo \"status $?\"", folder.path(), folder.path());
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, std::string("status 2\n"));
    EXPECT_EQ(folder.read("mail\\FOUND.PMR"), view);
  }
  // Another file as the output is no trouble.
  testing::ProcessResult elsewhere =
      through_shell("\"$0\" -r -d mail smith > out.txt; echo \"status $?\"", folder.path(), folder.path());
  EXPECT_EQ(elsewhere.out, std::string("status 0\n"));
}

TEST(VintrellFind, MessagesNameTheReasonInWordsAndEscapeNames) {
  testing::TempFolder folder;
  folder.write("A.PMR", book("Staff", "smith"));
  const std::string forged = "x\x1b]0;PWNED\x07\x1b[2J\nvintrell-find: all clear";
  const std::string forged_shown = "x\\x1b]0;PWNED\\x07\\x1b[2J\\nvintrell-find: all clear";
  struct Case {
    std::vector<std::string> args;
    testing::RunOptions side;
    int exit_code;
    std::string err;
  } cases[] = {
      // A code page iconv names with three digits; EBCDIC keeps no ASCII.
      {{"--codepage", "037", "-d", folder.path(), "x"}, {}, 2,
       "vintrell-find: code page 37: does not keep ASCII as it is\n"},
      {{"--codepage", "437", "-d", folder.path(), "smith"}, {}, 0, ""},
      {{"--codepage", "850", "-d", folder.path(), "smith"}, {}, 0, ""},
      // A DIR holding control characters cannot forge a line in the message.
      {{"-d", folder.join(forged), "x"}, in_c_locale(), 2,
       "vintrell-find: " + folder.join(forged_shown) + ": No such folder\n"},
  };
  std::vector<Case> all(std::begin(cases), std::end(cases));
  if (!kWindows) {
    // C1 characters: in UTF-8 as characters, elsewhere as bytes (each byte of one).
    all.push_back({{"-d", folder.path() + "/z\xC2\x9By", "x"}, in_utf8(), 2,
                   "vintrell-find: " + folder.path() + "/z\\xc2\\x9by: No such folder\n"});
    all.push_back({{"-d", folder.path() + "/z\x9B\xC3\xA9", "x"}, in_c_locale(), 2,
                   "vintrell-find: " + folder.path() + "/z\\x9b\xC3\xA9: No such folder\n"});
    if (make_link(folder, ".", "loop", "loop")) {
      all.push_back({{"-d", folder.path() + "/loop", "x"}, {}, 2,
                     "vintrell-find: " + folder.path() + "/loop: Too many levels of symbolic links\n"});
    }
  }
  for (const Case& c : all) {
    testing::ProcessResult run = find_with(c.args, c.side);
    EXPECT_EQ(run.exit_code, c.exit_code);
    EXPECT_EQ(run.err, c.err);
    if (run.err != c.err) ADD_FAILURE("for arguments " + testing::quote(c.args[c.args.size() - 2]));
  }
}

TEST(VintrellFind, AFolderThatCanBeReadButNotEnteredIsAnError) {
#ifndef VINTRELL_NATIVE_LAYER
  SKIP_TEST("Windows folders have no search permission of their own");
#else
  testing::TempFolder folder;
  folder.write("mail\\A.PMR", book("Staff", "smith"));
  folder.write("mail\\shut\\B.PMR", book("Shut", "smith"));
  chmod((folder.path() + "/mail/shut").c_str(), 0644);
  // Root enters every folder: there the search runs without that power.
  std::vector<std::string> prefix;
  if (!without_root_powers(&prefix)) {
    chmod((folder.path() + "/mail/shut").c_str(), 0755);
    SKIP_TEST("root, and no setpriv to shed its power to enter every folder");
  }
  struct Case {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"-d", "mail/shut", "smith"}, "Text found in  0 out of  0 Address Books\n"},
      {{"-r", "-d", "mail", "smith"},
       "mail/A.PMR:Staff ( 1 occurences)\nText found in  1 out of  1 Address Books\n"},
  };
  for (const Case& c : cases) {
    testing::ProcessResult run = find_unprivileged(prefix, c.args, folder.path());
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, std::string("vintrell-find: mail/shut: Permission denied\n"));
  }
  chmod((folder.path() + "/mail/shut").c_str(), 0755);
#endif
}

TEST(VintrellFind, NativelyDirAndTheNamesBelowItArePosixBytes) {
#ifndef VINTRELL_NATIVE_LAYER
  SKIP_TEST("Windows paths are the Windows tests' own");
#else
  testing::TempFolder base;
  const std::string at = base.path() + "/";
  auto plant = [&](const std::string& folder, const std::string& name, const std::string& title) {
    std::string path;
    for (size_t start = 0; start < folder.size();) {
      size_t slash = folder.find('/', start);
      if (slash == std::string::npos) slash = folder.size();
      path += (path.empty() ? "" : "/") + folder.substr(start, slash - start);
      mkdir((at + path).c_str(), 0755);
      start = slash + 1;
    }
    FILE* file = std::fopen((at + folder + "/" + name).c_str(), "wb");
    const std::string bytes = book(title, "smith");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  };
  plant("mail", "A.PMR", "Lower");
  plant("t/a\\b", "A.PMR", "Backslash");  // beside a/b, not the same folder
  plant("t/a/b", "A.PMR", "Slash");
  plant("elsewhere", "E.PMR", "Elsewhere");
  mkdir((at + "elsewhere/deep").c_str(), 0755);
  mkdir((at + "other").c_str(), 0755);
  ASSERT_EQ(symlink("../elsewhere/deep", (at + "other/link").c_str()), 0);
  plant("c:/mail", "C.PMR", "Drive");
  plant("w", "x*?\"<>|.PMR", "Wild");
  // A name that, escaped ('\\' as "/b"), outgrows what a listing holds: named
  // as too long to open (cut where it was cut), never passed over.
  const std::string backslashes(20, '\\');
  plant("long", std::string(230, 'x') + backslashes + ".PMR", "Long");
  plant("long", "A.PMR", "Short");
  const std::string one = " ( 1 occurences)\n";
  const std::string found_1 = "Text found in  1 out of  1 Address Books\n";
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::string out;
    std::string err;
  } cases[] = {
      // Exact case, as the kernel looks names up.
      {{"-d", "MAIL", "smith"}, 2, "Text found in  0 out of  0 Address Books\n",
       "vintrell-find: MAIL: No such folder\n"},
      {{"-H", "-d", "mail/", "smith"}, 0, "mail/A.PMR:Lower" + one + found_1, ""},
      {{"-H", "-d", "t/a\\b", "smith"}, 0, "t/a\\b/A.PMR:Backslash" + one + found_1, ""},
      {{"-r", "-H", "-d", "t", "smith"}, 0,
       "t/a/b/A.PMR:Slash" + one + "t/a\\b/A.PMR:Backslash" + one +
           "Text found in  2 out of  2 Address Books\n",
       ""},
      // ".." after a link is the link's target's parent, as the kernel has it.
      {{"-H", "-d", "other/link/..", "smith"}, 0, "other/link/../E.PMR:Elsewhere" + one + found_1,
       ""},
      {{"-d", "c:/mail", "smith"}, 0, "Drive" + one + found_1, ""},
      {{"-d", "z:", "smith"}, 2, "Text found in  0 out of  0 Address Books\n",
       "vintrell-find: z:: No such folder\n"},
      {{"-r", "-H", "-d", "w", "smith"}, 0, "w/x*?\"<>|.PMR:Wild" + one + found_1, ""},
      {{"-d", "long", "smith"}, 2, "Short" + one + "Text found in  1 out of  2 Address Books\n",
       "vintrell-find: long/" + std::string(230, 'x') + backslashes.substr(0, 14) +
           ": Path too long to open (more than 255 bytes)\n"},
  };
  for (const Case& c : cases) {
    testing::ProcessResult run = find(c.args, base.path());
    EXPECT_EQ(run.exit_code, c.exit_code);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
  }

  // A working folder deeper than a path may be long (made, entered and removed
  // through descriptors and two links): relative names still work, and no DIR
  // is "." whatever the folder's name.
  const std::string level(200, 'd');
  ASSERT_EQ(mkdir((at + "deep").c_str(), 0755), 0);
  std::vector<int> levels{open((at + "deep").c_str(), O_RDONLY | O_DIRECTORY)};
  std::string first_half, second_half;
  for (int i = 0; i < 25; ++i) {
    ASSERT_EQ(mkdirat(levels.back(), level.c_str(), 0755), 0);
    levels.push_back(openat(levels.back(), level.c_str(), O_RDONLY | O_DIRECTORY));
    (i < 12 ? first_half : second_half) += (i == 0 || i == 12 ? "" : "/") + level;
  }
  ASSERT_EQ(mkdirat(levels.back(), "mail", 0755), 0);
  const std::string deep_book = book("Deep", "smith");
  int book_fd = openat(levels.back(), "mail/A.PMR", O_WRONLY | O_CREAT, 0644);
  ASSERT_TRUE(book_fd >= 0);
  ASSERT_EQ(write(book_fd, deep_book.data(), deep_book.size()),
            static_cast<ssize_t>(deep_book.size()));
  close(book_fd);
  ASSERT_EQ(symlink(("deep/" + first_half).c_str(), (at + "short").c_str()), 0);
  ASSERT_EQ(symlinkat(second_half.c_str(), levels[12], "next"), 0);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-d", "mail", "smith"}, std::vector<std::string>{"-r", "smith"}}) {
    testing::ProcessResult run = find(args, at + "short/next");
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.out, (args[0] == "-r" ? "mail/A.PMR:Deep" : "Deep") + one + found_1);
    EXPECT_EQ(run.err, std::string());
  }
  unlinkat(levels[12], "next", 0);
  unlinkat(levels.back(), "mail/A.PMR", 0);
  unlinkat(levels.back(), "mail", AT_REMOVEDIR);
  for (int i = 25; i > 0; --i) {
    close(levels[i]);
    unlinkat(levels[i - 1], level.c_str(), AT_REMOVEDIR);
  }
  close(levels[0]);
#endif
}
