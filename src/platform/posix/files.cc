// KERNEL32 files and the current directory over POSIX.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/posix/literal_folder.h"
#include "platform/posix/files.h"
#include "platform/posix/handles.h"
#include "platform/posix/paths.h"
#include "platform/win32.h"

namespace native_layer {
namespace {

constexpr DWORD kFileFlagBackupSemantics = 0x02000000;

// Who has a file open in this process, for the share-mode check between two
// handles of one process; across processes the flock taken at open decides.
struct Opener {
  const void* owner;
  DWORD access;
  DWORD share;
};

// Never destroyed: file objects still open at exit use these in their teardown.
// In parts by file, each with its own lock: threads opening different files
// seldom wait for each other.
using FileId = std::pair<dev_t, ino_t>;

// A cache line each; a part holds the few files of its share that are open,
// so a plain list is searched.
struct alignas(64) OpenersPart {
  std::mutex mutex;
  std::vector<std::pair<FileId, Opener>> openers;
};

OpenersPart& openers_of(const FileId& id) {
  constexpr size_t kParts = 16;
  static auto* parts = new OpenersPart[kParts];
  return parts[static_cast<size_t>(id.second) % kParts];
}

bool conflicts(const Opener& a, const Opener& b) {
  auto refused = [](DWORD access, DWORD share) {
    return ((access & GENERIC_READ) && !(share & FILE_SHARE_READ)) ||
           ((access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE));
  };
  return refused(a.access, b.share) || refused(b.access, a.share);
}

class FileObject : public KernelObject {
 public:
  FileObject(int fd, DWORD access, DWORD share, const struct stat& st)
      : fd_(fd), access_(access), share_(share), id_(st.st_dev, st.st_ino), mode_(st.st_mode) {}
  ~FileObject() override {
    forget_opener();
    close(fd_);
  }

  // Records this handle as an opener unless it collides with one already open.
  bool admit() {
    OpenersPart& part = openers_of(id_);
    std::lock_guard<std::mutex> hold(part.mutex);
    Opener self{this, access_, share_};
    for (const auto& other : part.openers) {
      if (other.first == id_ && conflicts(self, other.second)) return false;
    }
    part.openers.emplace_back(id_, self);
    admitted_ = true;
    return true;
  }

  int fd() const { return fd_; }
  DWORD access() const { return access_; }
  // The kind of file never changes while it is open: no stat per question.
  mode_t mode() const { return mode_; }

 private:
  void forget_opener() {
    if (!admitted_) return;
    OpenersPart& part = openers_of(id_);
    std::lock_guard<std::mutex> hold(part.mutex);
    for (auto& opener : part.openers) {
      if (opener.second.owner == this) {
        opener = part.openers.back();
        part.openers.pop_back();
        return;
      }
    }
  }

  int fd_;
  DWORD access_;
  DWORD share_;
  std::pair<dev_t, ino_t> id_;
  mode_t mode_;
  bool admitted_ = false;
};

bool has_invalid_name_character(const char* path) {
  // A drive's colon is the only one allowed.
  for (const char* p = path; *p != '\0'; ++p) {
    if (std::strchr("*?<>|\"", *p) != nullptr) return true;
  }
  return false;
}

bool ends_in_separator(const char* path) {
  size_t n = std::strlen(path);
  return n > 0 && (path[n - 1] == '\\' || path[n - 1] == '/');
}

// Win32 code for an open() that failed with `error` on `posix_path`.
DWORD open_error(int error, const std::string& posix_path) {
  if (error == ENOENT) return missing_name_error(posix_path);
  return win32_error_from_errno(error);
}

HANDLE fail(DWORD code) {
  SetLastError(code);
  return INVALID_HANDLE_VALUE;
}

int open_flags(DWORD desired_access) {
  int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;  // a pipe must not block the open
  bool wants_read = (desired_access & GENERIC_READ) != 0;
  bool wants_write = (desired_access & GENERIC_WRITE) != 0;
  return flags | (wants_write ? (wants_read ? O_RDWR : O_WRONLY) : O_RDONLY);
}

// Admitted by this process's other openers, and across processes by one lock
// per open: shared for an opener that shares, exclusive for share mode 0,
// never waited for.
bool admitted(FileObject& file, DWORD share_mode) {
  if (!file.admit()) return false;
  return !(flock(file.fd(), (share_mode == 0 ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0 &&
           errno == EWOULDBLOCK);
}

// Wine 8.0: a folder opened as a file is refused with 5, as on Windows.
bool refuses_folder(DWORD flags_and_attributes, DWORD desired_access) {
  return !(flags_and_attributes & kFileFlagBackupSemantics) || (desired_access & GENERIC_WRITE);
}

HANDLE open_literal_file(const LiteralPath& literal, DWORD desired_access, DWORD share_mode,
                         DWORD flags_and_attributes) {
  const int fd = open_literal(literal, open_flags(desired_access));
  if (fd < 0) return fail(literal_open_error(errno));
  struct stat st;
  if (fstat(fd, &st) != 0) {
    const int error = errno;
    close(fd);
    return fail(win32_error_from_errno(error));
  }
  if (S_ISDIR(st.st_mode) && refuses_folder(flags_and_attributes, desired_access)) {
    close(fd);
    return fail(ERROR_ACCESS_DENIED);
  }
  // Only files and folders are listed there: a pipe or device in a listed
  // file's place came since, and is not read.
  if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
    close(fd);
    return fail(ERROR_BAD_FILE_TYPE);
  }
  auto file = std::make_shared<FileObject>(fd, desired_access, share_mode, st);
  if (!admitted(*file, share_mode)) return fail(ERROR_SHARING_VIOLATION);
  SetLastError(ERROR_SUCCESS);
  return register_object(file);
}

}  // namespace
}  // namespace native_layer

using native_layer::FileObject;

HANDLE CreateFileA(LPCSTR name, DWORD desired_access, DWORD share_mode, LPSECURITY_ATTRIBUTES,
                   DWORD disposition, DWORD flags_and_attributes, HANDLE) {
  using namespace native_layer;
  if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) {
    return fail(ERROR_INVALID_PARAMETER);
  }
  // In the literal folder the name is the POSIX one, opened by descriptor.
  LiteralPath literal;
  if (disposition == OPEN_EXISTING && literal_path(name, &literal)) {
    return open_literal_file(literal, desired_access, share_mode, flags_and_attributes);
  }
  // The name as spelled; its case is looked up only when it does not open.
  std::string path;
  DWORD code = plain_relative_path(name, &path) ? ERROR_SUCCESS : to_posix_path(name, &path, false);
  if (code == ERROR_INVALID_DRIVE) {
    // Wine 8.0: an unmapped drive looks like an empty one (2 for a name in its root).
    std::string rest(name + 2);
    size_t start = rest.find_first_not_of("\\/");
    bool in_root = start != std::string::npos && rest.find_first_of("\\/", start) == std::string::npos;
    return fail(in_root ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
  }
  if (code != ERROR_SUCCESS) return fail(code);
  if (has_invalid_name_character(name)) return fail(ERROR_INVALID_NAME);

  int flags = open_flags(desired_access);
  bool wants_write = (desired_access & GENERIC_WRITE) != 0;

  // Only a name ending in a separator is looked at before the open; any other
  // name is judged by what the open finds (one stat less per file).
  struct stat st;
  bool existed = false;
  if (ends_in_separator(name)) {
    to_posix_path(name, &path);
    existed = stat(path.c_str(), &st) == 0;
    // Wine 8.0: "file.txt\" gives 123.
    if (!existed || !S_ISDIR(st.st_mode)) {
      return fail(existed ? ERROR_INVALID_NAME : missing_name_error(path));
    }
  }
  int fd = open(path.c_str(), flags);
  if (fd < 0 && (errno == ENOENT || errno == ENOTDIR)) {
    int error = errno;
    std::string resolved;
    if (to_posix_path(name, &resolved) == ERROR_SUCCESS && resolved != path) {
      path = resolved;
      fd = open(path.c_str(), flags);
    } else {
      errno = error;
    }
  }
  existed = fd >= 0;
  for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
    if (attempt > 0) {
      fd = open(path.c_str(), flags);
      if (fd >= 0) {
        existed = true;
        break;
      }
    }
    if (errno == EISDIR) return fail(ERROR_ACCESS_DENIED);  // a folder asked for writing
    if (errno != ENOENT || disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) {
      return fail(open_error(errno, path));
    }
    // Create, but only a file that is still missing: no race with another creator.
    fd = open(path.c_str(), flags | O_CREAT | O_EXCL, 0666);
    if (fd < 0 && errno != EEXIST) return fail(open_error(errno, path));
  }
  if (fd < 0) return fail(ERROR_SHARING_VIOLATION);
  if (fstat(fd, &st) != 0) {
    int error = errno;
    close(fd);
    return fail(win32_error_from_errno(error));
  }
  if (S_ISDIR(st.st_mode) && refuses_folder(flags_and_attributes, desired_access)) {
    close(fd);
    return fail(ERROR_ACCESS_DENIED);
  }
  if (existed && disposition == CREATE_NEW) {
    close(fd);
    return fail(ERROR_FILE_EXISTS);
  }
  // O_NONBLOCK stays: reads and writes of regular files and folders ignore it,
  // and a pipe or device keeps its open's promise never to block.

  auto file = std::make_shared<FileObject>(fd, desired_access, share_mode, st);
  if (!admitted(*file, share_mode)) return fail(ERROR_SHARING_VIOLATION);
  if (existed && (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING)) {
    // Wine 8.0 truncates through a read-only handle too.
    int done = wants_write ? ftruncate(fd, 0) : truncate(path.c_str(), 0);
    if (done != 0) return fail(win32_error_from_errno(errno));
  }
  HANDLE handle = register_object(file);
  bool reports_existing = existed && (disposition == OPEN_ALWAYS || disposition == CREATE_ALWAYS);
  SetLastError(reports_existing ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

namespace native_layer {

HANDLE handle_for_descriptor(int fd, DWORD access) {
  int own = dup(fd);
  if (own < 0) return nullptr;
  struct stat st;
  if (fstat(own, &st) != 0) {
    close(own);
    return nullptr;
  }
  return register_object(
      std::make_shared<FileObject>(own, access, FILE_SHARE_READ | FILE_SHARE_WRITE, st));
}

}  // namespace native_layer

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD to_read, LPDWORD read, LPOVERLAPPED) {
  if (read != nullptr) *read = 0;
  auto object = native_layer::find_object<FileObject>(file);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!(object->access() & GENERIC_READ)) {
    SetLastError(ERROR_ACCESS_DENIED);  // Wine 8.0: reading a write-only handle
    return FALSE;
  }
  // A disk file gives all that was asked for up to its end; read() may give less.
  char* out = static_cast<char*>(buffer);
  DWORD total = 0;
  while (total < to_read) {
    ssize_t n = ::read(object->fd(), out + total, to_read - total);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) break;  // an idle pipe: what came so far
    if (n < 0) {
      SetLastError(native_layer::win32_error_from_errno(errno));
      return FALSE;
    }
    if (n == 0) break;
    total += static_cast<DWORD>(n);
    // A regular file gives less only at its end: no second call to learn that.
    if (S_ISREG(object->mode()) && total < to_read) break;
  }
  if (read != nullptr) *read = total;
  return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD to_write, LPDWORD written, LPOVERLAPPED) {
  if (written != nullptr) *written = 0;
  auto object = native_layer::find_object<FileObject>(file);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!(object->access() & GENERIC_WRITE)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const char* in = static_cast<const char*>(buffer);
  DWORD total = 0;
  while (total < to_write) {
    ssize_t n = ::write(object->fd(), in + total, to_write - total);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      // A non-blocking descriptor (a pipe its reader set so) that is full:
      // wait for room, as a Windows handle would block.
      struct pollfd room = {object->fd(), POLLOUT, 0};
      poll(&room, 1, -1);
      continue;
    }
    if (n <= 0) {
      SetLastError(native_layer::win32_error_from_errno(n < 0 ? errno : ENOSPC));
      if (written != nullptr) *written = total;
      return FALSE;
    }
    total += static_cast<DWORD>(n);
  }
  if (written != nullptr) *written = total;
  return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distance_high, DWORD method) {
  auto object = native_layer::find_object<FileObject>(file);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  if (method > FILE_END) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  int64_t offset = distance_high != nullptr
                       ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distance_high)) << 32) |
                                              static_cast<uint32_t>(distance))
                       : static_cast<int64_t>(distance);
  // From the start, one call: a file that cannot seek fails the seek as it
  // fails asking where it is. Otherwise asking where the pointer is also finds
  // out whether the file can seek at all.
  int64_t target = offset;
  if (method != FILE_BEGIN || offset < 0) {
    off_t here = lseek(object->fd(), 0, SEEK_CUR);
    struct stat st;
    if (here < 0 || (method == FILE_END && fstat(object->fd(), &st) != 0)) {
      SetLastError(native_layer::win32_error_from_errno(errno));
      return INVALID_SET_FILE_POINTER;
    }
    int64_t base = method == FILE_BEGIN ? 0 : method == FILE_CURRENT ? here : st.st_size;
    // Offsets stay far below 2^63 on both sides, so the sum cannot overflow.
    target = base + offset;
    if (target < 0) {
      SetLastError(ERROR_NEGATIVE_SEEK);  // Wine 8.0: 131, the high part left alone
      return INVALID_SET_FILE_POINTER;
    }
  }
  if (lseek(object->fd(), static_cast<off_t>(target), SEEK_SET) < 0) {
    SetLastError(native_layer::win32_error_from_errno(errno));
    return INVALID_SET_FILE_POINTER;
  }
  DWORD low = static_cast<DWORD>(static_cast<uint64_t>(target) & 0xFFFFFFFFu);
  if (distance_high != nullptr) *distance_high = static_cast<LONG>(static_cast<uint64_t>(target) >> 32);
  // Without a high part Wine 8.0 answers the low 32 bits of any position.
  if (low == INVALID_SET_FILE_POINTER) SetLastError(ERROR_SUCCESS);
  return low;
}

DWORD GetFileSize(HANDLE file, LPDWORD size_high) {
  auto object = native_layer::find_object<FileObject>(file);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
  }
  struct stat st;
  if (fstat(object->fd(), &st) != 0) {
    SetLastError(native_layer::win32_error_from_errno(errno));
    return INVALID_FILE_SIZE;
  }
  uint64_t size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
  if (size_high != nullptr) *size_high = static_cast<DWORD>(size >> 32);
  DWORD low = static_cast<DWORD>(size & 0xFFFFFFFFu);
  if (low == INVALID_FILE_SIZE) SetLastError(ERROR_SUCCESS);
  return low;
}

DWORD GetFileType(HANDLE file) {
  auto object = native_layer::find_object<FileObject>(file);
  // Wine 8.0: an unknown handle answers FILE_TYPE_UNKNOWN and leaves the last error.
  if (object == nullptr) return FILE_TYPE_UNKNOWN;
  mode_t mode = object->mode();
  if (S_ISREG(mode) || S_ISDIR(mode)) return FILE_TYPE_DISK;
  if (S_ISCHR(mode)) return FILE_TYPE_CHAR;
  if (S_ISFIFO(mode) || S_ISSOCK(mode)) return FILE_TYPE_PIPE;
  return FILE_TYPE_UNKNOWN;
}

BOOL GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION info) {
  auto object = native_layer::find_object<FileObject>(file);
  struct stat st;
  if (object == nullptr || info == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (fstat(object->fd(), &st) != 0) {
    SetLastError(native_layer::win32_error_from_errno(errno));
    return FALSE;
  }
  *info = BY_HANDLE_FILE_INFORMATION();
  info->dwFileAttributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  const uint64_t device = static_cast<uint64_t>(st.st_dev);
  const uint64_t inode = static_cast<uint64_t>(st.st_ino);
  // Windows has a 32-bit volume serial: the device's two halves folded.
  info->dwVolumeSerialNumber = static_cast<DWORD>(device ^ (device >> 32));
  info->nFileIndexHigh = static_cast<DWORD>(inode >> 32);
  info->nFileIndexLow = static_cast<DWORD>(inode & 0xFFFFFFFFu);
  const uint64_t size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
  info->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  info->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
  info->nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
  return TRUE;
}

BOOL CloseHandle(HANDLE object) {
  // Wine 8.0: INVALID_HANDLE_VALUE is the process's own pseudo-handle; closing it succeeds.
  if (object == INVALID_HANDLE_VALUE) return TRUE;
  auto closed = native_layer::unregister_any_object(
      object, [](native_layer::KernelObject* o) { return o->closed_by_close_handle(); });
  if (closed == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
  std::vector<char> cwd(4096);
  while (getcwd(cwd.data(), cwd.size()) == nullptr) {
    if (errno != ERANGE) {
      SetLastError(native_layer::win32_error_from_errno(errno));
      return 0;
    }
    cwd.resize(cwd.size() * 2);
  }
  std::string text = native_layer::to_windows_path(cwd.data());
  // Too small a buffer (Wine 8.0): the size needed, NUL included, buffer untouched.
  if (buffer == nullptr || size <= text.size()) return static_cast<DWORD>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
  std::string posix;
  DWORD code = native_layer::to_posix_path(path, &posix);
  if (code != ERROR_SUCCESS) {
    SetLastError(code == ERROR_INVALID_DRIVE ? ERROR_PATH_NOT_FOUND : code);
    return FALSE;
  }
  struct stat st;
  if (stat(posix.c_str(), &st) != 0) {
    SetLastError(errno == ENOENT ? native_layer::missing_name_error(posix)
                                 : native_layer::win32_error_from_errno(errno));
    return FALSE;
  }
  if (!S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_DIRECTORY);
    return FALSE;
  }
  if (chdir(posix.c_str()) != 0) {
    SetLastError(native_layer::win32_error_from_errno(errno));
    return FALSE;
  }
  return TRUE;
}

namespace {

// Resolves `path` for the calls below; false (last error set) when it cannot be.
bool resolve(LPCSTR path, std::string* posix) {
  DWORD code = native_layer::to_posix_path(path, posix);
  if (code == ERROR_SUCCESS) return true;
  SetLastError(code == ERROR_INVALID_DRIVE ? ERROR_PATH_NOT_FOUND : code);
  return false;
}

BOOL fail_with_errno(const std::string& posix) {
  SetLastError(errno == ENOENT ? native_layer::missing_name_error(posix)
                               : native_layer::win32_error_from_errno(errno));
  return FALSE;
}

}  // namespace

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES) {
  std::string posix;
  if (!resolve(path, &posix)) return FALSE;
  if (mkdir(posix.c_str(), 0777) == 0) return TRUE;
  if (errno == EEXIST) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return FALSE;
  }
  return fail_with_errno(posix);
}

BOOL RemoveDirectoryA(LPCSTR path) {
  std::string posix;
  if (!resolve(path, &posix)) return FALSE;
  if (rmdir(posix.c_str()) == 0) return TRUE;
  if (errno == ENOTDIR) {
    SetLastError(ERROR_DIRECTORY);
    return FALSE;
  }
  return fail_with_errno(posix);
}

BOOL DeleteFileA(LPCSTR path) {
  std::string posix;
  if (!resolve(path, &posix)) return FALSE;
  struct stat st;
  if (lstat(posix.c_str(), &st) != 0) return fail_with_errno(posix);
  if (S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (unlink(posix.c_str()) != 0) return fail_with_errno(posix);
  return TRUE;
}

DWORD GetFileAttributesA(LPCSTR path) {
  native_layer::LiteralPath literal;
  if (native_layer::literal_path(path, &literal)) {
    struct stat st;
    bool is_link = false;
    if (!native_layer::stat_literal(literal, &st, &is_link)) {
      SetLastError(native_layer::literal_open_error(errno));
      return INVALID_FILE_ATTRIBUTES;
    }
    std::string name = literal.below.substr(literal.below.find_last_of('/') + 1);
    return native_layer::attributes_of(st, is_link, name);
  }
  std::string posix;
  if (!resolve(path, &posix)) return INVALID_FILE_ATTRIBUTES;
  struct stat st;
  if (stat(posix.c_str(), &st) != 0) {
    fail_with_errno(posix);
    return INVALID_FILE_ATTRIBUTES;
  }
  struct stat link;
  bool is_link = lstat(posix.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
  std::string name = posix.substr(posix.find_last_of('/') + 1);
  return native_layer::attributes_of(st, is_link, name);
}

BOOL SetFileAttributesA(LPCSTR path, DWORD attributes) {
  std::string posix;
  if (!resolve(path, &posix)) return FALSE;
  struct stat st;
  if (stat(posix.c_str(), &st) != 0) return fail_with_errno(posix);
  // Only the read-only bit has a POSIX counterpart: the write permissions.
  mode_t mode = st.st_mode & 07777;
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  } else if ((mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    mode |= S_IWUSR;
  }
  if (chmod(posix.c_str(), mode) != 0) return fail_with_errno(posix);
  return TRUE;
}
