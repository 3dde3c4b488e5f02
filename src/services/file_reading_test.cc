#include "services/file_reading.h"

#include <filesystem>
#include <string>
#include <initializer_list>

#include "platform/win32.h"
#include "runtime/runtime.h"
#include "services/text.h"
#include "testing/temp_folder.h"
#include "testing/test.h"
#include "testing/test_util.h"

using namespace vintrell;

namespace {

constexpr int16_t kFile = 1;

int last_error_number() { return error_number_of(current_run_time_error()); }

// Every line of a file opened for line reading, until `at end of file` says so,
// each in brackets.
std::string all_lines(const std::string& path) {
  std::string lines;
  open_for_line_reading(path, kFile);
  for (int guard = 0; !at_end_of_file(kFile) && guard < 100000; ++guard) {
    lines += "[" + read_line(kFile) + "]";
  }
  close_file(kFile);
  return lines;
}

class FileReadingTest : public testing::Test {
 protected:
  ~FileReadingTest() override { close_file(kFile); }
  std::string file(const std::string& name, const std::string& bytes) {
    folder.write(name, bytes);
    return folder.join(name);
  }
  testing::TempFolder folder;
  ProcedureFrame frame;
};

std::string repeat(char c, size_t n) { return std::string(n, c); }

// Files opened for line reading while it lives read `size` bytes per refill, so
// that small files cross refills (0: the usual look-ahead).
class LookAhead {
 public:
  explicit LookAhead(uint32_t size) : before_(set_line_look_ahead_size(size)) {}
  ~LookAhead() { set_line_look_ahead_size(before_); }
  LookAhead(const LookAhead&) = delete;
  LookAhead& operator=(const LookAhead&) = delete;

 private:
  uint32_t before_;
};

constexpr uint32_t kUsualLookAhead = 64 * 1024;

std::string bracketed(std::initializer_list<std::string> lines) {
  std::string out;
  for (const std::string& line : lines) out += "[" + line + "]";
  return out;
}

}  // namespace

TEST_F(FileReadingTest, LinesEndAtCrOrCrLfAndTheEndIsReported) {
  std::string path = file("a.pml", "one\r\ntwo\r\n");
  open_for_line_reading(path, kFile);
  EXPECT_EQ(current_run_time_error(), 0u);
  EXPECT_EQ(at_end_of_file(kFile), 0);
  EXPECT_EQ(read_line(kFile), std::string("one"));
  EXPECT_EQ(read_line(kFile), std::string("two"));
  EXPECT_EQ(at_end_of_file(kFile), -1);
  EXPECT_EQ(current_run_time_error(), 0u);
  EXPECT_EQ(read_line(kFile), std::string());
  EXPECT_EQ(last_error_number(), kErrorEndOfData);
  EXPECT_EQ(at_end_of_file(kFile), -1);
}

TEST_F(FileReadingTest, LastLineNeedsNoTerminator) {
  EXPECT_EQ(all_lines(file("a.pml", "one\r\ntwo")), bracketed({"one", "two"}));
  EXPECT_EQ(all_lines(file("b.pml", "one\rtwo\r")), bracketed({"one", "two"}));
}

TEST_F(FileReadingTest, LoneLfAndNulStayInsideTheLine) {
  std::string nul_line("x\0y", 3);
  EXPECT_EQ(all_lines(file("a.pml", "a\nb\r")), bracketed({"a\nb"}));
  EXPECT_EQ(all_lines(file("b.pml", nul_line + "\r\n" + std::string(1, '\0'))),
            bracketed({nul_line, std::string(1, '\0')}));
}

TEST_F(FileReadingTest, CrCrLfGivesOneEmptyLineBetween) {
  EXPECT_EQ(all_lines(file("a.pml", "a\r\r\nb")), bracketed({"a", "", "b"}));
}

TEST_F(FileReadingTest, OnlyCrBytesGiveEmptyLines) {
  EXPECT_EQ(all_lines(file("a.pml", "\r\r\r")), bracketed({"", "", ""}));
}

TEST_F(FileReadingTest, CrLfSplitAcrossTheLookAheadBufferIsOneTerminator) {
  // The CR is the buffer's last byte, the LF comes only with the next refill;
  // and a file that ends exactly at a refill's end, with and without its CR LF.
  for (uint32_t size : {2u, 128u, kUsualLookAhead}) {
    LookAhead look_ahead(size == kUsualLookAhead ? 0 : size);
    std::string first = repeat('a', size - 1);
    std::string next = repeat('b', size - 2);
    EXPECT_EQ(all_lines(file("a.pml", first + "\r\nnext\r\n")), bracketed({first, "next"}));
    EXPECT_EQ(all_lines(file("b.pml", first + "\r" + next + "\r\n")), bracketed({first, next}));
    EXPECT_EQ(all_lines(file("c.pml", repeat('c', size))), bracketed({repeat('c', size)}));
    // Ctrl-Z as the first byte of the second refill still ends the data.
    EXPECT_EQ(all_lines(file("d.pml", first + "\r\x1A" "after\r\n")), bracketed({first}));
  }
}

TEST_F(FileReadingTest, LongLinesComeBackWhole) {
  LookAhead look_ahead(128);
  std::string line300 = repeat('x', 300);
  std::string line_huge;
  for (int i = 0; i < 5000; ++i) line_huge += static_cast<char>('a' + i % 26);
  EXPECT_EQ(all_lines(file("a.pml", line300 + "\r\n" + line_huge + "\r\nend")),
            bracketed({line300, line_huge, "end"}));
  // A line of exactly one chunk, and one of a chunk and a byte.
  EXPECT_EQ(all_lines(file("b.pml", repeat('c', 256) + "\r" + repeat('d', 257))),
            bracketed({repeat('c', 256), repeat('d', 257)}));
}

TEST_F(FileReadingTest, CtrlZEndsTheDataAndIsNeverConsumed) {
  std::string path = file("a.pml", "abc\x1A" "def\r\nghi\r\n");
  open_for_line_reading(path, kFile);
  EXPECT_EQ(read_line(kFile), std::string("abc"));
  EXPECT_EQ(at_end_of_file(kFile), -1);
  EXPECT_EQ(read_line(kFile), std::string());
  EXPECT_EQ(last_error_number(), kErrorEndOfData);
  EXPECT_EQ(read_line(kFile), std::string());
  EXPECT_EQ(at_end_of_file(kFile), -1);
  close_file(kFile);
  EXPECT_EQ(all_lines(path), bracketed({"abc"}));
}

TEST_F(FileReadingTest, EmptyFileEndsAtOnce) {
  std::string path = file("a.pml", "");
  open_for_line_reading(path, kFile);
  EXPECT_EQ(current_run_time_error(), 0u);
  EXPECT_EQ(at_end_of_file(kFile), -1);
  EXPECT_EQ(read_line(kFile), std::string());
  EXPECT_EQ(last_error_number(), kErrorEndOfData);
}

TEST_F(FileReadingTest, WholeFileReadKeepsEveryByteAndFlagsAShortRead) {
  std::string bytes;
  for (int i = 0; i < 1000; ++i) bytes += static_cast<char>(i % 7 == 0 ? 0 : i);
  std::string path = file("a.pmr", bytes);
  open_for_whole_file_reading(path, kFile);
  EXPECT_EQ(current_run_time_error(), 0u);
  EXPECT_EQ(file_length(kFile), 1000.0);
  EXPECT_EQ(read_bytes(kFile, 1000), bytes);
  EXPECT_EQ(at_end_of_file(kFile), 0);
  EXPECT_EQ(read_bytes(kFile, 10), std::string());
  EXPECT_EQ(at_end_of_file(kFile), -1);
  EXPECT_EQ(current_run_time_error(), 0u);
  EXPECT_EQ(file_length(kFile), 1000.0);  // measuring does not move the position
}

TEST_F(FileReadingTest, ShortReadGivesWhatThereIs) {
  open_for_whole_file_reading(file("a.pmr", "abc"), kFile);
  EXPECT_EQ(read_bytes(kFile, 2), std::string("ab"));
  EXPECT_EQ(at_end_of_file(kFile), 0);
  EXPECT_EQ(read_bytes(kFile, 5), std::string("c"));
  EXPECT_EQ(at_end_of_file(kFile), -1);
}

TEST_F(FileReadingTest, EmptyFileMeasuresZeroAndReadsNothing) {
  open_for_whole_file_reading(file("a.pmr", ""), kFile);
  EXPECT_EQ(file_length(kFile), 0.0);
  EXPECT_EQ(read_bytes(kFile, 0), std::string());
  EXPECT_EQ(current_run_time_error(), 0u);
  EXPECT_EQ(at_end_of_file(kFile), 0);
}

TEST_F(FileReadingTest, MissingFileIsNeverCreated) {
  folder.write("kept.pmr", "kept");
  auto before = folder.snapshot();
  open_for_whole_file_reading(folder.join("gone.pmr"), kFile);
  EXPECT_EQ(last_error_number(), kErrorFileNotFound);
  EXPECT_EQ(file_length(kFile), 0.0);
  EXPECT_EQ(read_bytes(kFile, 10), std::string());
  EXPECT_EQ(last_error_number(), kErrorFileNotOpen);
  close_file(kFile);
  EXPECT_EQ(folder.snapshot() == before, true);
  EXPECT_FALSE(folder.exists("gone.pmr"));
}

TEST_F(FileReadingTest, MissingFileOrFolderForLineReading) {
  open_for_line_reading(folder.join("gone.pml"), kFile);
  EXPECT_EQ(last_error_number(), kErrorFileNotFound);
  EXPECT_EQ(read_line(kFile), std::string());
  EXPECT_EQ(last_error_number(), kErrorFileNotOpen);
  open_for_line_reading(folder.join("no-folder\\gone.pml"), kFile);
  EXPECT_EQ(last_error_number(), kErrorPathNotFound);
  open_for_whole_file_reading(folder.join("no-folder\\gone.pmr"), kFile);
  EXPECT_EQ(last_error_number(), kErrorPathNotFound);
  EXPECT_EQ(folder.snapshot().size(), 0u);
}

TEST_F(FileReadingTest, OpensShareWithEveryOpenerThatShares) {
  const std::string path = file("a.pml", "one\r\n");
  constexpr DWORD kRead = GENERIC_READ, kWrite = GENERIC_WRITE;
  constexpr DWORD kAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  struct Opener {
    DWORD access, share;
    bool shares_with_a_search;  // a search opens while it is open, and it while a search has
  } openers[] = {
      {kRead | kWrite, kAll, true},  // a mail client keeping its books open
      {kRead | kWrite, FILE_SHARE_READ, true},
      {kRead, FILE_SHARE_READ, true},
      {kRead, 0, false},  // an opener that excludes everyone
      {kWrite, FILE_SHARE_WRITE, false},  // one that lets nobody read
  };
  auto open_other = [&](const Opener& o) {
    return CreateFileA(path.c_str(), o.access, o.share, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  for (const Opener& o : openers) {
    ProcedureFrame each;
    // The other opener first.
    HANDLE other = open_other(o);
    ASSERT_TRUE(other != INVALID_HANDLE_VALUE);
    open_for_line_reading(path, kFile);
    if (o.shares_with_a_search) {
      EXPECT_EQ(current_run_time_error(), 0u);
      EXPECT_EQ(read_line(kFile), std::string("one"));
    } else {
      EXPECT_EQ(last_error_number(), kErrorAccessDenied);
      EXPECT_EQ(platform_code_of(current_run_time_error()), 0u);  // recorded with set error
      EXPECT_EQ(read_line(kFile), std::string());
      EXPECT_EQ(last_error_number(), kErrorFileNotOpen);
      EXPECT_EQ(at_end_of_file(kFile), -1);
      EXPECT_EQ(last_error_number(), kErrorFileNotFound);
      open_for_whole_file_reading(path, kFile);
      EXPECT_EQ(last_error_number(), kErrorAccessDenied);
      EXPECT_EQ(file_length(kFile), 0.0);
    }
    close_file(kFile);
    CloseHandle(other);
    // The search first: the other opener gets in exactly when it shares.
    ProcedureFrame second;
    open_for_whole_file_reading(path, kFile);
    ASSERT_EQ(current_run_time_error(), 0u);
    SetLastError(0);
    other = open_other(o);
    EXPECT_EQ(other != INVALID_HANDLE_VALUE, o.shares_with_a_search);
    if (other == INVALID_HANDLE_VALUE) {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    } else {
      CloseHandle(other);
    }
    EXPECT_EQ(read_bytes(kFile, 5), std::string("one\r\n"));
    close_file(kFile);
  }
}

TEST_F(FileReadingTest, BadPathsAndNumbersAreRefused) {
  std::string path = file("a.pml", "x");
  open_for_line_reading("", kFile);
  EXPECT_EQ(last_error_number(), kErrorBadFileName);
  open_for_line_reading(folder.join("*.pml"), kFile);
  EXPECT_EQ(last_error_number(), kErrorBadFileName);
  open_for_whole_file_reading(folder.join("a?pml"), kFile);
  EXPECT_EQ(last_error_number(), kErrorBadFileName);
  open_for_line_reading(folder.path(), kFile);  // a folder is no file to read
  EXPECT_EQ(last_error_number(), kErrorAccessDenied);
  open_for_whole_file_reading(folder.path(), kFile);
  EXPECT_EQ(last_error_number(), kErrorAccessDenied);
  open_for_line_reading(path, -1);
  EXPECT_EQ(last_error_number(), kErrorFileNotOpen);
  EXPECT_EQ(read_line(-1), std::string());
  EXPECT_EQ(last_error_number(), kErrorFileNotOpen);
  EXPECT_EQ(read_line(kFile), std::string());
  EXPECT_EQ(last_error_number(), kErrorFileNotOpen);
}

TEST_F(FileReadingTest, OnlyTheFirst255BytesOfThePathCount) {
  // A file whose full path is exactly 255 bytes long: whatever follows is cut
  // off, a wildcard included.
  size_t name_size = 255 - folder.join("").size();
  ASSERT_TRUE(name_size > 10 && name_size < 250);
  std::string path = file(repeat('n', name_size - 4) + ".pml", "kept\r\n");
  ASSERT_EQ(path.size(), 255u);
  open_for_line_reading(path + "*.pml", kFile);
  EXPECT_EQ(current_run_time_error(), 0u);
  EXPECT_EQ(read_line(kFile), std::string("kept"));
}

TEST_F(FileReadingTest, OpeningANumberTwiceKeepsTheFirstFile) {
  std::string first = file("a.pml", "first\r\n");
  std::string second = file("b.pml", "second\r\n");
  open_for_line_reading(first, kFile);
  open_for_line_reading(second, kFile);
  EXPECT_EQ(last_error_number(), kErrorFileAlreadyOpen);
  EXPECT_EQ(read_line(kFile), std::string("first"));
  open_for_whole_file_reading(second, kFile);
  EXPECT_EQ(last_error_number(), kErrorFileAlreadyOpen);
  // The refused open did not take the second file either.
  open_for_line_reading(second, 2);
  EXPECT_EQ(read_line(2), std::string("second"));
  close_file(2);
}

TEST_F(FileReadingTest, ClosingTwiceDoesNothingTheSecondTime) {
  open_for_line_reading(file("a.pml", "x"), kFile);
  close_file(kFile);
  EXPECT_EQ(current_run_time_error(), 0u);
  close_file(kFile);
  EXPECT_EQ(current_run_time_error(), 0u);
  EXPECT_EQ(read_line(kFile), std::string());
  EXPECT_EQ(last_error_number(), kErrorFileNotOpen);
}

TEST_F(FileReadingTest, WrongReadForTheOpenKind) {
  open_for_whole_file_reading(file("a.pmr", "x\r\n"), kFile);
  EXPECT_EQ(read_line(kFile), std::string());
  EXPECT_EQ(last_error_number(), kErrorWrongFileMode);
  close_file(kFile);
  open_for_line_reading(file("b.pml", "x\r\n"), kFile);
  EXPECT_EQ(read_bytes(kFile, 1), std::string());
  EXPECT_EQ(last_error_number(), kErrorWrongFileMode);
  EXPECT_EQ(file_length(kFile), 3.0);  // measuring works for both kinds
  EXPECT_EQ(read_line(kFile), std::string("x"));
}

TEST_F(FileReadingTest, NegativeCountRecordsOutOfMemory) {
  open_for_whole_file_reading(file("a.pmr", "abc"), kFile);
  EXPECT_EQ(read_bytes(kFile, -1), std::string());
  EXPECT_EQ(last_error_number(), kErrorOutOfMemory);
  EXPECT_EQ(read_bytes(kFile, 3), std::string("abc"));  // nothing was consumed
}

TEST_F(FileReadingTest, NoStorageForTheRecordLeavesTheNumberFree) {
  std::string path = file("a.pml", "x\r\n");
  fail_string_storage_at(1);
  open_for_line_reading(path, kFile);
  fail_string_storage_at(0);
  EXPECT_EQ(last_error_number(), kErrorOutOfMemory);
  EXPECT_EQ(read_line(kFile), std::string());
  EXPECT_EQ(last_error_number(), kErrorFileNotOpen);
  open_for_line_reading(path, kFile);  // and the file itself was never taken
  EXPECT_EQ(read_line(kFile), std::string("x"));
}

TEST_F(FileReadingTest, NoStorageForTheBytesReadsNothing) {
  open_for_whole_file_reading(file("a.pmr", "abc"), kFile);
  fail_string_storage_at(1);
  EXPECT_EQ(read_bytes(kFile, 3), std::string());
  fail_string_storage_at(0);
  EXPECT_EQ(last_error_number(), kErrorOutOfMemory);
  EXPECT_EQ(read_bytes(kFile, 3), std::string("abc"));
}

TEST_F(FileReadingTest, FileNumbersAreIndependent) {
  open_for_line_reading(file("a.pml", "a1\ra2\r"), 0);
  open_for_line_reading(file("b.pml", "b1\rb2\r"), 300);
  open_for_whole_file_reading(file("c.pmr", "c"), kFile);
  EXPECT_EQ(read_line(0), std::string("a1"));
  EXPECT_EQ(read_line(300), std::string("b1"));
  close_file(300);
  EXPECT_EQ(read_line(0), std::string("a2"));
  EXPECT_EQ(read_bytes(kFile, 1), std::string("c"));
  close_file(0);
  EXPECT_EQ(read_line(300), std::string());
  EXPECT_EQ(last_error_number(), kErrorFileNotOpen);
}

TEST_F(FileReadingTest, SuccessfulOpenLeavesTheRecordedErrorAlone) {
  set_error(kErrorEndOfData);
  open_for_line_reading(file("a.pml", "x"), kFile);
  EXPECT_EQ(last_error_number(), kErrorEndOfData);
  open_for_whole_file_reading(file("b.pmr", "x"), 2);
  EXPECT_EQ(last_error_number(), kErrorEndOfData);
  close_file(2);
}

TEST_F(FileReadingTest, ReadOnlyFileOpensForWholeFileReading) {
  std::string path = file("a.pmr", "locked");
  std::filesystem::permissions(folder.path() + "/a.pmr",
                               std::filesystem::perms::owner_read | std::filesystem::perms::group_read,
                               std::filesystem::perm_options::replace);
  open_for_whole_file_reading(path, kFile);
  EXPECT_EQ(current_run_time_error(), 0u);
  EXPECT_EQ(read_bytes(kFile, 6), std::string("locked"));
}

TEST_F(FileReadingTest, FileOf2GiBAndMoreIsMeasuredButNeverAllocated) {
  std::string path = file("big.pmr", "");
  std::error_code error;
  std::filesystem::resize_file(folder.path() + "/big.pmr", 0x90000000ull, error);
  if (error) SKIP_TEST("the file system refuses a sparse 2.25 GiB file");
  open_for_whole_file_reading(path, kFile);
  ASSERT_EQ(current_run_time_error(), 0u);
  double size = file_length(kFile);
  EXPECT_EQ(size, 2415919104.0);
  int32_t as_32_bits = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(size)));
  EXPECT_EQ(as_32_bits < 0, true);
  EXPECT_EQ(read_bytes(kFile, as_32_bits), std::string());
  EXPECT_EQ(last_error_number(), kErrorOutOfMemory);
  EXPECT_EQ(at_end_of_file(kFile), 0);
}

namespace {

// The lines a reader should give: split at CR or CR LF, up to a Ctrl-Z.
std::string expected_lines(const std::string& bytes) {
  std::string lines, line;
  bool any = false;
  size_t i = 0;
  for (; i < bytes.size() && bytes[i] != '\x1A'; ++i) {
    if (bytes[i] == '\r') {
      lines += "[" + line + "]";
      line.clear();
      any = false;
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      line += bytes[i];
      any = true;
    }
  }
  if (any) lines += "[" + line + "]";
  return lines;
}

}  // namespace

TEST_F(FileReadingTest, ManyRefillsAgreeWithASimpleSplit) {
  // Terminators and special bytes land on every position of small buffers; the
  // usual one holds each of these files whole.
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
  const char alphabet[] = {'a', 'b', '\r', '\n', '\0', ' ', '\xFF', '\r'};
  const uint32_t sizes[] = {1, 3, 128, 0};
  for (int round = 0; round < 24; ++round) {
    LookAhead look_ahead(sizes[round % 4]);
    std::string bytes;
    size_t size = 1 + next() % 3000;
    for (size_t i = 0; i < size; ++i) bytes += alphabet[next() % sizeof alphabet];
    if (round % 5 == 4) bytes[next() % size] = '\x1A';
    std::string name = "r" + std::to_string(round) + ".pml";
    if (!EXPECT_EQ(all_lines(file(name, bytes)), expected_lines(bytes))) break;
  }
}
