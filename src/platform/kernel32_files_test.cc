// KERNEL32 file calls as the program meets them. Run under Wine these pin the
// real behaviour; natively they hold the project's layer to it.
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/win32.h"
#include "runtime/runtime.h"
#include "services/file_reading.h"
#include "testing/temp_folder.h"
#include "testing/test.h"
#include "testing/test_util.h"

#ifdef VINTRELL_NATIVE_LAYER
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/native_layer.h"
#endif

namespace {

// A handle closed at the end of its scope.
class Opened {
 public:
  explicit Opened(HANDLE handle) : handle_(handle) {}
  ~Opened() {
    if (valid()) CloseHandle(handle_);
  }
  Opened(const Opened&) = delete;
  Opened& operator=(const Opened&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE release() {
    HANDLE h = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return h;
  }

 private:
  HANDLE handle_;
};

// Last error after a CreateFileA of `path`, or 0 when it succeeded (the handle
// is closed at once). A successful open may leave 183 (ERROR_ALREADY_EXISTS).
DWORD open_error(const std::string& path, DWORD access = GENERIC_READ, DWORD share = 0,
                 DWORD disposition = OPEN_EXISTING) {
  SetLastError(0xDEAD);
  Opened file(CreateFileA(path.c_str(), access, share, nullptr, disposition,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD code = GetLastError();
  if (file.valid()) return code == ERROR_ALREADY_EXISTS ? code : 0;
  return code;
}

HANDLE open_file(const std::string& path, DWORD access = GENERIC_READ, DWORD share = 0,
                 DWORD disposition = OPEN_EXISTING) {
  return CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

std::string read_all(HANDLE file, DWORD count) {
  std::string bytes(count, '\0');
  DWORD got = 0;
  if (!ReadFile(file, &bytes[0], count, &got, nullptr)) return "(failed)";
  bytes.resize(got);
  return bytes;
}

DWORD position_of(HANDLE file) { return SetFilePointer(file, 0, nullptr, FILE_CURRENT); }

constexpr DWORD kNone = 0;

}  // namespace

TEST(CreateFile, MissingNamesAreFileOrPathNotFound) {
  testing::TempFolder folder;
  folder.write("file.txt", "x");
  EXPECT_EQ(open_error(folder.join("missing.txt")), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(open_error(folder.join("missing\\x.txt")), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(open_error(folder.join("file.txt\\x.txt")), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(open_error(folder.join("missing.txt"), GENERIC_READ, 0, TRUNCATE_EXISTING),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(open_error(folder.join("missing\\x.txt"), GENERIC_READ, 0, OPEN_ALWAYS),
            static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(open_error(""), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(folder.exists("missing.txt"), false);
}

TEST(CreateFile, RefusedNames) {
  testing::TempFolder folder;
  folder.write("file.txt", "x");
  folder.make_folder("sub");
  EXPECT_EQ(open_error(folder.join("sub")), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(open_error(folder.path() + "\\"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(open_error(folder.join("sub"), GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS),
            static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(open_error(folder.join("f*.txt")), static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_EQ(open_error(folder.join("file.tx?")), static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_EQ(open_error(folder.join("file.txt\\")), static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_EQ(open_error(folder.join("file.txt"), GENERIC_READ, 0, 0),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(open_error(folder.join("file.txt"), GENERIC_READ, 0, 6),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(CreateFile, DispositionsOnAnExistingFile) {
  testing::TempFolder folder;
  std::string path = folder.join("f.txt");
  folder.write("f.txt", "12345");
  EXPECT_EQ(open_error(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS),
            static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(open_error(path, GENERIC_READ, 0, OPEN_ALWAYS), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(open_error(path, GENERIC_READ, 0, CREATE_NEW), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(open_error(path, 0, 0, OPEN_EXISTING), kNone);
  EXPECT_EQ(folder.read("f.txt"), std::string("12345"));
  EXPECT_EQ(open_error(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS),
            static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(folder.read("f.txt"), std::string());
  folder.write("f.txt", "12345");
  // Wine 8.0 truncates even through a handle without write access.
  EXPECT_EQ(open_error(path, GENERIC_READ, 0, TRUNCATE_EXISTING), kNone);
  EXPECT_EQ(folder.read("f.txt"), std::string());
}

TEST(CreateFile, MissingFileIsCreatedOnlyWhenAskedTo) {
  testing::TempFolder folder;
  EXPECT_EQ(open_error(folder.join("a.txt"), GENERIC_READ, 0, OPEN_EXISTING),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(folder.exists("a.txt"), false);
  EXPECT_EQ(open_error(folder.join("a.txt"), GENERIC_READ, 0, OPEN_ALWAYS), kNone);
  EXPECT_EQ(folder.exists("a.txt"), true);
  EXPECT_EQ(open_error(folder.join("b.txt"), GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW), kNone);
  EXPECT_EQ(folder.exists("b.txt"), true);
}

TEST(CreateFile, ShareModeZeroExcludesEveryOtherOpener) {
  testing::TempFolder folder;
  folder.write("f.txt", "x");
  std::string path = folder.join("f.txt");
  const DWORD shares[] = {0, FILE_SHARE_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE};
  for (DWORD first : shares) {
    for (DWORD second : shares) {
      Opened holder(open_file(path, GENERIC_READ, first));
      ASSERT_TRUE(holder.valid());
      bool excluded = first == 0 || second == 0;
      DWORD expected = excluded ? static_cast<DWORD>(ERROR_SHARING_VIOLATION) : kNone;
      if (!EXPECT_EQ(open_error(path, GENERIC_READ, second), expected)) {
        ADD_FAILURE("share modes " + std::to_string(first) + " then " + std::to_string(second));
      }
    }
  }
  // Once the holder lets go, the file opens again.
  Opened holder(open_file(path, GENERIC_READ, 0));
  EXPECT_EQ(open_error(path), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(holder.release());
  EXPECT_EQ(open_error(path), kNone);
}

TEST(CreateFile, WriterExcludesReadersThatDoNotShareWriting) {
  testing::TempFolder folder;
  folder.write("f.txt", "x");
  std::string path = folder.join("f.txt");
  Opened writer(open_file(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ));
  ASSERT_TRUE(writer.valid());
  EXPECT_EQ(open_error(path, GENERIC_READ, FILE_SHARE_READ),
            static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(open_error(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE), kNone);
  EXPECT_EQ(open_error(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE),
            static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

TEST(CreateFile, PathsAreTidiedAsOnWindows) {
  testing::TempFolder folder;
  folder.write("Name.txt", "x");
  folder.make_folder("Sub");
  EXPECT_EQ(open_error(folder.join("Name.txt.")), kNone);
  EXPECT_EQ(open_error(folder.join("Name.txt  ")), kNone);
  EXPECT_EQ(open_error(folder.join("Name.txt. .")), kNone);
  EXPECT_EQ(open_error(folder.join("missing\\..\\Name.txt")), kNone);
  EXPECT_EQ(open_error(folder.join("sub\\..\\.\\NAME.TXT")), kNone);
  EXPECT_EQ(open_error(folder.path() + "\\\\Name.txt"), kNone);
  EXPECT_EQ(open_error(folder.path() + "/Name.txt"), kNone);
}

TEST(ReadFile, ReadsWhatIsThereAndNothingPastTheEnd) {
  testing::TempFolder folder;
  folder.write("f.bin", std::string("ab\0cd", 5));
  Opened file(open_file(folder.join("f.bin")));
  ASSERT_TRUE(file.valid());
  EXPECT_EQ(read_all(file.get(), 3), std::string("ab\0", 3));
  EXPECT_EQ(read_all(file.get(), 10), std::string("cd"));
  SetLastError(0);
  EXPECT_EQ(read_all(file.get(), 10), std::string());
  EXPECT_EQ(GetLastError(), kNone);
  EXPECT_EQ(read_all(file.get(), 0), std::string());
  DWORD got = 99;
  char byte;
  EXPECT_EQ(ReadFile(file.get(), &byte, 1, &got, nullptr), TRUE);
  EXPECT_EQ(got, kNone);  // the count is written even at the end
}

TEST(ReadFile, RefusedWithoutReadAccess) {
  testing::TempFolder folder;
  folder.write("f.txt", "abc");
  Opened file(open_file(folder.join("f.txt"), GENERIC_WRITE));
  ASSERT_TRUE(file.valid());
  char buffer[4];
  DWORD got = 99;
  SetLastError(0);
  EXPECT_EQ(ReadFile(file.get(), buffer, 3, &got, nullptr), FALSE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(got, kNone);
}

TEST(SetFilePointer, MovesWithin32Bits) {
  testing::TempFolder folder;
  folder.write("f.txt", "0123456789");
  Opened file(open_file(folder.join("f.txt")));
  ASSERT_TRUE(file.valid());
  EXPECT_EQ(SetFilePointer(file.get(), 4, nullptr, FILE_BEGIN), 4u);
  EXPECT_EQ(read_all(file.get(), 2), std::string("45"));
  EXPECT_EQ(SetFilePointer(file.get(), -3, nullptr, FILE_CURRENT), 3u);
  EXPECT_EQ(SetFilePointer(file.get(), -1, nullptr, FILE_END), 9u);
  EXPECT_EQ(read_all(file.get(), 5), std::string("9"));
  EXPECT_EQ(SetFilePointer(file.get(), 100, nullptr, FILE_BEGIN), 100u);
  EXPECT_EQ(read_all(file.get(), 5), std::string());
}

TEST(SetFilePointer, NegativeTargetIsRefusedAndNothingMoves) {
  testing::TempFolder folder;
  folder.write("f.txt", "0123456789");
  Opened file(open_file(folder.join("f.txt")));
  ASSERT_TRUE(file.valid());
  SetFilePointer(file.get(), 2, nullptr, FILE_BEGIN);
  SetLastError(0);
  EXPECT_EQ(SetFilePointer(file.get(), -5, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
  EXPECT_EQ(SetFilePointer(file.get(), -11, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
  LONG high = -1;
  SetLastError(0);
  EXPECT_EQ(SetFilePointer(file.get(), -1, &high, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
  EXPECT_EQ(high, -1);  // the high part is left as it was
  EXPECT_EQ(position_of(file.get()), 2u);
  SetLastError(0);
  EXPECT_EQ(SetFilePointer(file.get(), 0, nullptr, 7), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(SetFilePointer, HighPartReachesPast4GiB) {
  testing::TempFolder folder;
  folder.write("f.txt", "0123456789");
  Opened file(open_file(folder.join("f.txt")));
  ASSERT_TRUE(file.valid());
  LONG high = 1;
  EXPECT_EQ(SetFilePointer(file.get(), 5, &high, FILE_BEGIN), 5u);
  EXPECT_EQ(high, 1);
  high = 0;
  EXPECT_EQ(SetFilePointer(file.get(), 0, &high, FILE_CURRENT), 5u);
  EXPECT_EQ(high, 1);
  // A position whose low half is all ones is told apart by a last error of 0.
  high = 0;
  SetLastError(0xDEAD);
  EXPECT_EQ(SetFilePointer(file.get(), -1, &high, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), kNone);
  EXPECT_EQ(high, 0);
  high = 0;
  EXPECT_EQ(SetFilePointer(file.get(), 3, &high, FILE_BEGIN), 3u);
  EXPECT_EQ(read_all(file.get(), 2), std::string("34"));
}

TEST(GetFileSize, BothHalvesOfASparseFile) {
  testing::TempFolder folder;
  folder.write("big.bin", "");
  std::error_code error;
  std::filesystem::resize_file(folder.path() + "/big.bin", 0x100000005ull, error);
  if (error) SKIP_TEST("the file system refuses a sparse 4 GiB file");
  Opened file(open_file(folder.join("big.bin")));
  ASSERT_TRUE(file.valid());
  DWORD high = 99;
  SetLastError(0);
  EXPECT_EQ(GetFileSize(file.get(), &high), 5u);
  EXPECT_EQ(high, 1u);
  EXPECT_EQ(GetLastError(), kNone);
  EXPECT_EQ(GetFileSize(file.get(), nullptr), 5u);  // without the high half: the low one
  // Without a high part the pointer still goes past 2 GiB, as Wine 8.0 shows.
  EXPECT_EQ(SetFilePointer(file.get(), 0x7FFFFFFF, nullptr, FILE_BEGIN), 0x7FFFFFFFu);
  EXPECT_EQ(SetFilePointer(file.get(), 1, nullptr, FILE_CURRENT), 0x80000000u);
  EXPECT_EQ(GetFileType(file.get()), static_cast<DWORD>(FILE_TYPE_DISK));
}

TEST(Handles, ClosedOrUnknownHandlesAreInvalid) {
  testing::TempFolder folder;
  folder.write("f.txt", "x");
  HANDLE file = open_file(folder.join("f.txt"));
  ASSERT_TRUE(file != INVALID_HANDLE_VALUE);
  EXPECT_EQ(CloseHandle(file), TRUE);
  SetLastError(0);
  EXPECT_EQ(CloseHandle(file), FALSE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(0);
  EXPECT_EQ(GetFileSize(file, nullptr), INVALID_FILE_SIZE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  char byte;
  DWORD got = 0;
  SetLastError(0);
  EXPECT_EQ(ReadFile(file, &byte, 1, &got, nullptr), FALSE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(0);
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(0);
  EXPECT_EQ(GetFileType(file), static_cast<DWORD>(FILE_TYPE_UNKNOWN));
  SetLastError(0);
  EXPECT_EQ(CloseHandle(nullptr), FALSE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(CloseHandle(INVALID_HANDLE_VALUE), TRUE);  // the process's own pseudo-handle
}

using testing::CurrentDirectoryRestorer;

TEST(CurrentDirectory, RelativeNamesStartThere) {
  testing::TempFolder folder;
  folder.write("sub\\f.txt", "x");
  CurrentDirectoryRestorer restore;
  ASSERT_EQ(SetCurrentDirectoryA(folder.join("sub").c_str()), TRUE);
  EXPECT_EQ(open_error("f.txt"), kNone);
  EXPECT_EQ(open_error("..\\sub\\f.txt"), kNone);
  char buffer[MAX_PATH + 1];
  DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
  ASSERT_TRUE(n > 4 && n < sizeof buffer);
  std::string here(buffer, n);
  EXPECT_EQ(here.substr(here.size() - 4), std::string("\\sub"));
  EXPECT_EQ(here[1], ':');
  EXPECT_EQ(open_error(here + "\\f.txt"), kNone);
  // Drive-relative: the drive's current folder.
  EXPECT_EQ(open_error(here.substr(0, 2) + "f.txt"), kNone);
}

TEST(CurrentDirectory, TooSmallABufferAsksForTheSizeWithItsNul) {
  CurrentDirectoryRestorer restore;
  char buffer[MAX_PATH + 1];
  DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
  ASSERT_TRUE(n > 2);
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(GetCurrentDirectoryA(n, buffer), n + 1);
  EXPECT_EQ(buffer[0], 'x');  // untouched
  EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), n + 1);
  EXPECT_EQ(GetCurrentDirectoryA(n + 1, buffer), n);
  EXPECT_EQ(std::strlen(buffer), static_cast<size_t>(n));
}

TEST(CurrentDirectory, OnlyAFolderCanBeEntered) {
  testing::TempFolder folder;
  folder.write("f.txt", "x");
  CurrentDirectoryRestorer restore;
  SetLastError(0);
  EXPECT_EQ(SetCurrentDirectoryA(folder.join("missing").c_str()), FALSE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  SetLastError(0);
  EXPECT_EQ(SetCurrentDirectoryA(folder.join("f.txt").c_str()), FALSE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
}

TEST(NativeLayerFiles, CurrentDirectoryIsShownOnDriveZ) {
#ifndef VINTRELL_NATIVE_LAYER
  SKIP_TEST("the Z: form of POSIX folders is the native layer's own");
#else
  testing::TempFolder folder;
  CurrentDirectoryRestorer restore;
  ASSERT_EQ(SetCurrentDirectoryA(folder.path().c_str()), TRUE);
  char buffer[MAX_PATH + 1];
  DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
  std::string expected = "Z:" + folder.path();
  for (char& c : expected) c = (c == '/') ? '\\' : c;
  EXPECT_EQ(std::string(buffer, n), expected);
  ASSERT_EQ(SetCurrentDirectoryA("Z:\\"), TRUE);
  n = GetCurrentDirectoryA(sizeof buffer, buffer);
  EXPECT_EQ(std::string(buffer, n), std::string("Z:\\"));
#endif
}

TEST(NativeLayerFiles, BelowAFolderWhoseLinksAreNotFollowedNoLinkIs) {
#ifndef VINTRELL_NATIVE_LAYER
  SKIP_TEST("the hook is the native layer's own; -r passes reparse points by on Windows");
#else
  // mail/ holds a book, a link to a book outside, a link to a folder outside;
  // "link-to-mail" names mail/ itself, as a user's DIR may.
  testing::TempFolder folder;
  folder.write("mail\\real\\A.PMR", "a");
  folder.write("outside\\S.PMR", "s");
  const std::string base = folder.path();
  ASSERT_EQ(symlink((base + "/outside/S.PMR").c_str(), (base + "/mail/real/OUT.PMR").c_str()), 0);
  ASSERT_EQ(symlink((base + "/outside").c_str(), (base + "/mail/away").c_str()), 0);
  ASSERT_EQ(symlink((base + "/mail").c_str(), (base + "/link-to-mail").c_str()), 0);
  ASSERT_EQ(mkfifo((base + "/mail/real/PIPE.PMR").c_str(), 0644), 0);  // in a listed file's place
  WIN32_FIND_DATAA data;
  auto list_error = [&](const std::string& mask) {
    SetLastError(0);
    HANDLE search = FindFirstFileA(mask.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return GetLastError();
    FindClose(search);
    return kNone;
  };
  const std::string mail = base + "/link-to-mail";
  struct {
    std::string path;
    DWORD before, after;  // CreateFileA's error before and after the hook
  } cases[] = {
      {mail + "\\real\\A.PMR", kNone, kNone},
      {mail + "\\real\\OUT.PMR", kNone, ERROR_STOPPED_ON_SYMLINK},
      {mail + "\\away\\S.PMR", kNone, ERROR_STOPPED_ON_SYMLINK},
      {mail + "\\real\\NONE.PMR", ERROR_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND},
      {mail + "\\real\\PIPE.PMR", kNone, ERROR_BAD_FILE_TYPE},
      {folder.join("outside\\S.PMR"), kNone, kNone},  // not below the folder
  };
  for (const auto& c : cases) EXPECT_EQ(open_error(c.path), c.before);
  EXPECT_EQ(list_error(mail + "\\away\\*"), kNone);
  native_layer::take_paths_literally(mail, false);
  for (const auto& c : cases) EXPECT_EQ(open_error(c.path), c.after);
  EXPECT_EQ(list_error(mail + "\\away\\*"), ERROR_STOPPED_ON_SYMLINK);
  EXPECT_EQ(list_error(mail + "\\real\\*.PMR"), kNone);
  EXPECT_EQ(std::string(data.cFileName), std::string("A.PMR"));  // listed through the folder
  EXPECT_EQ(list_error(mail + "\\*"), kNone);
  native_layer::take_paths_literally("", true);
  EXPECT_EQ(open_error(mail + "\\real\\OUT.PMR"), kNone);
#endif
}

TEST(NativeLayerFiles, MappedDriveNamesAFolder) {
#ifndef VINTRELL_NATIVE_LAYER
  SKIP_TEST("drive mapping is the native layer's own");
#else
  testing::TempFolder folder;
  folder.write("in\\f.txt", "x");
  native_layer::map_drive('m', folder.path());
  EXPECT_EQ(open_error("M:\\in\\f.txt"), kNone);
  EXPECT_EQ(open_error("m:/in/../in/F.TXT"), kNone);
  EXPECT_EQ(open_error("M:\\..\\..\\in\\f.txt"), kNone);  // nothing above the drive's root
  {
    CurrentDirectoryRestorer restore;
    ASSERT_EQ(SetCurrentDirectoryA("M:\\in"), TRUE);
    char buffer[MAX_PATH + 1];
    DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
    EXPECT_EQ(std::string(buffer, n), std::string("M:\\in"));
    EXPECT_EQ(open_error("M:f.txt"), kNone);
  }
  native_layer::unmap_drive('M');
  // Wine 8.0 answers a drive that does not exist as an empty one.
  EXPECT_EQ(open_error("M:\\in"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(open_error("M:\\in\\f.txt"), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
#endif
}

TEST(NativeLayerFiles, PipeOpensWithoutBlocking) {
#ifndef VINTRELL_NATIVE_LAYER
  SKIP_TEST("a named pipe in a folder is made with POSIX mkfifo");
#else
  testing::TempFolder folder;
  std::string path = folder.path() + "/pipe.pml";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  Opened pipe(open_file(path));
  ASSERT_TRUE(pipe.valid());
  EXPECT_EQ(GetFileType(pipe.get()), static_cast<DWORD>(FILE_TYPE_PIPE));
  EXPECT_EQ(GetFileSize(pipe.get(), nullptr), 0u);
  SetLastError(0);
  // Wine 8.0: seeking a pipe fails with 1.
  EXPECT_EQ(SetFilePointer(pipe.get(), 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
  EXPECT_EQ(read_all(pipe.get(), 10), std::string());  // no writer: nothing, at once
#endif
}

TEST(NativeLayerFiles, ExclusiveOpenHoldsAgainstOtherProcesses) {
#ifndef VINTRELL_NATIVE_LAYER
  SKIP_TEST("covered by the share-mode tests: Windows checks share modes per handle");
#else
  testing::TempFolder folder;
  folder.write("f.txt", "x");
  std::string path = folder.join("f.txt");
  Opened holder(open_file(path, GENERIC_READ, 0));
  ASSERT_TRUE(holder.valid());
  // Another process that honours locks, asking for the least: a shared lock.
  std::string posix_path = folder.path() + "/f.txt";
  pid_t child = fork();
  if (child == 0) {
    int fd = open(posix_path.c_str(), O_RDONLY);
    bool refused = fd >= 0 && flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    _exit(refused ? 0 : 1);
  }
  int status = -1;
  ASSERT_TRUE(child > 0);
  waitpid(child, &status, 0);
  EXPECT_EQ(WIFEXITED(status) && WEXITSTATUS(status) == 0, true);
#endif
}

TEST(NativeLayerFiles, ReadingAPipeEndsAtOnceInsteadOfHanging) {
#ifndef VINTRELL_NATIVE_LAYER
  SKIP_TEST("a named pipe in a folder is made with POSIX mkfifo");
#else
  testing::TempFolder folder;
  std::string path = folder.path() + "/pipe.pml";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  vintrell::ProcedureFrame frame;
  vintrell::open_for_line_reading(path, 1);
  EXPECT_EQ(vintrell::current_run_time_error(), 0u);
  EXPECT_EQ(vintrell::file_length(1), 0.0);  // not a disk file: 0 without an error
  EXPECT_EQ(vintrell::current_run_time_error(), 0u);
  // The look-ahead cannot seek a pipe; the failed look-ahead counts as the end.
  EXPECT_EQ(vintrell::at_end_of_file(1), -1);
  EXPECT_EQ(vintrell::current_run_time_error(), 0x00018000u | 75u);
  EXPECT_EQ(vintrell::read_line(1), std::string());
  EXPECT_EQ(vintrell::current_run_time_error(), 0x00008000u | 75u);
  vintrell::close_file(1);
  vintrell::open_for_whole_file_reading(path, 1);
  EXPECT_EQ(vintrell::read_bytes(1, 10), std::string());
  EXPECT_EQ(vintrell::at_end_of_file(1), -1);
  vintrell::close_file(1);
#endif
}
