// KERNEL32 directory search over POSIX.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#if defined(__linux__)
#include <sys/syscall.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/literal_folder.h"
#include "platform/posix/handles.h"
#include "platform/posix/name_match.h"
#include "platform/posix/paths.h"
#include "platform/win32.h"

namespace native_layer {
namespace {

// One entry as a listing keeps it: what FindNextFileA gives, and its sort key.
struct ListedEntry {
  DWORD attributes = 0;
  FILETIME created = {}, accessed = {}, written = {};
  uint64_t size = 0;
  std::string name;  // as listed
};

class SearchObject : public KernelObject {
 public:
  SearchObject(std::vector<ListedEntry> entries, std::vector<uint32_t> order)
      : entries_(std::move(entries)), order_(std::move(order)) {}
  bool closed_by_close_handle() const override { return false; }

  // Copies the next entry out; false at the end.
  bool next(LPWIN32_FIND_DATAA data) {
    if (position_ >= order_.size()) {
      // A listing read to its end may stay open long: its entries go now.
      std::vector<ListedEntry>().swap(entries_);
      std::vector<uint32_t>().swap(order_);
      position_ = 0;
      return false;
    }
    const ListedEntry& entry = entries_[order_[position_++]];
    std::memset(data, 0, sizeof *data);
    data->dwFileAttributes = entry.attributes;
    data->ftCreationTime = entry.created;
    data->ftLastAccessTime = entry.accessed;
    data->ftLastWriteTime = entry.written;
    data->nFileSizeHigh = static_cast<DWORD>(entry.size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(entry.size & 0xFFFFFFFFu);
    std::memcpy(data->cFileName, entry.name.c_str(), entry.name.size() + 1);
    return true;
  }

 private:
  std::vector<ListedEntry> entries_;
  std::vector<uint32_t> order_;
  size_t position_ = 0;
};

FILETIME filetime_of(const struct timespec& t) {
  // 100-nanosecond steps since 1601-01-01.
  int64_t ticks = (static_cast<int64_t>(t.tv_sec) + 11644473600LL) * 10000000LL + t.tv_nsec / 100;
  if (ticks < 0) ticks = 0;
  FILETIME out;
  out.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) & 0xFFFFFFFFu);
  out.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
  return out;
}

// The entry `name` of `folder`; false for a name that no longer resolves (a
// dangling symbolic link, which Wine 8.0 leaves out of a listing).
// Looked up by name inside the open folder `folder_fd`, not by its whole path.
bool describe_entry(int folder_fd, const std::string& name, ListedEntry* entry) {
  // The entry itself first; only a link costs a second look, at its target.
  struct stat st;
  if (fstatat(folder_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
  bool is_link = S_ISLNK(st.st_mode);
  if (is_link && fstatat(folder_fd, name.c_str(), &st, 0) != 0) return false;
  entry->attributes = attributes_of(st, is_link, name);
  entry->created = filetime_of(st.st_ctim);
  entry->accessed = filetime_of(st.st_atim);
  entry->written = filetime_of(st.st_mtim);
  entry->size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
  return true;
}

// Wine 8.0 delivers a folder sorted: "." and ".." first, then by name without
// regard to case, character by character as Unicode (so "\x8A" after "\xE9"),
// names equal so by byte order.
// A byte's sort weight as a byte of the same order: its rank among the at most
// 256 weights, so that keys compare as plain bytes (and short ones are made
// without allocating).
const unsigned char* weight_ranks() {
  static const auto ranks = [] {
    std::vector<uint16_t> weights;
    for (int c = 0; c < 256; ++c) weights.push_back(name_sort_weight(static_cast<char>(c)));
    std::vector<uint16_t> distinct = weights;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    std::vector<unsigned char> out(256);
    for (int c = 0; c < 256; ++c) {
      out[c] = static_cast<unsigned char>(
          std::lower_bound(distinct.begin(), distinct.end(), weights[c]) - distinct.begin());
    }
    return out;
  }();
  return ranks.data();
}

std::vector<uint32_t> listed_order(std::vector<ListedEntry>* entries) {
  // Each name's key (each byte's weight as its rank among the weights) is
  // made once, not at every comparison, and all of them in one buffer.
  const unsigned char* ranks = weight_ranks();
  const size_t n = entries->size();
  std::vector<uint32_t> key_at(n + 1);
  for (size_t i = 0; i < n; ++i) key_at[i + 1] = key_at[i] + (*entries)[i].name.size();
  std::string keys(key_at[n], '\0');
  for (size_t i = 0; i < n; ++i) {
    const std::string& name = (*entries)[i].name;
    for (size_t k = 0; k < name.size(); ++k) {
      keys[key_at[i] + k] = static_cast<char>(ranks[static_cast<unsigned char>(name[k])]);
    }
  }
  // "." and ".." first.
  auto rank = [](const std::string& name) { return name == "." ? 0 : name == ".." ? 1 : 2; };
  auto key = [&](uint32_t i) {
    return std::string_view(keys.data() + key_at[i], key_at[i + 1] - key_at[i]);
  };
  std::vector<uint32_t> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = static_cast<uint32_t>(i);
  std::sort(order.begin(), order.end(), [&](uint32_t x, uint32_t y) {
    const ListedEntry& a = (*entries)[x];
    const ListedEntry& b = (*entries)[y];
    const int rank_a = rank(a.name), rank_b = rank(b.name);
    if (rank_a != rank_b) return rank_a < rank_b;
    const int by_key = key(x).compare(key(y));
    return by_key != 0 ? by_key < 0 : a.name < b.name;
  });
  return order;
}

HANDLE fail(DWORD code) {
  SetLastError(code);
  return INVALID_HANDLE_VALUE;
}

// One entry of a folder as read: its name and, where the file system says,
// its kind (DT_UNKNOWN where it does not).
struct FolderEntry {
  const char* name;
  unsigned char type;
};

#if defined(__linux__)
// The entries of an open folder, read from the kernel in batches as they
// come: a listing costs its reads and the close (fdopendir would also stat
// the folder, and read and set its descriptor's flags). Closes the folder.
class FolderEntries {
 public:
  explicit FolderEntries(int fd) : fd_(fd), buffer_(new char[kBufferSize]) {}
  ~FolderEntries() { close(fd_); }
  FolderEntries(const FolderEntries&) = delete;
  FolderEntries& operator=(const FolderEntries&) = delete;

  int fd() const { return fd_; }
  // The next entry; false at the end, or where the folder cannot be read
  // further (as readdir ends).
  bool next(FolderEntry* out) {
    for (;;) {
      if (at_ >= size_) {
        ssize_t got;
        do {
          got = syscall(SYS_getdents64, fd_, buffer_.get(), kBufferSize);
        } while (got < 0 && errno == EINTR);
        if (got <= 0) return false;
        size_ = static_cast<size_t>(got);
        at_ = 0;
      }
      // A record's fields are read from their offsets, not through a
      // dirent64 laid over the bytes.
      const char* record = buffer_.get() + at_;
      uint64_t inode;
      unsigned short length;
      std::memcpy(&inode, record + offsetof(struct dirent64, d_ino), sizeof inode);
      std::memcpy(&length, record + offsetof(struct dirent64, d_reclen), sizeof length);
      if (length == 0 || length > size_ - at_) {  // a broken batch ends the listing
        size_ = at_ = 0;
        return false;
      }
      at_ += length;
      if (inode == 0) continue;  // a deleted entry, which readdir passes over too
      out->name = record + offsetof(struct dirent64, d_name);
      out->type = static_cast<unsigned char>(record[offsetof(struct dirent64, d_type)]);
      return true;
    }
  }

 private:
  static constexpr size_t kBufferSize = 32 * 1024;
  int fd_;
  std::unique_ptr<char[]> buffer_;
  size_t at_ = 0, size_ = 0;
};
#else
// The entries of an open folder through readdir, where the kernel's own
// batches are not to be had. Closes the folder.
class FolderEntries {
 public:
  explicit FolderEntries(int fd) : fd_(fd), dir_(fdopendir(fd)) {}
  ~FolderEntries() {
    if (dir_ != nullptr) closedir(dir_);
    else close(fd_);
  }
  FolderEntries(const FolderEntries&) = delete;
  FolderEntries& operator=(const FolderEntries&) = delete;

  int fd() const { return fd_; }
  bool next(FolderEntry* out) {
    const struct dirent* entry = dir_ != nullptr ? readdir(dir_) : nullptr;
    if (entry == nullptr) return false;
    out->name = entry->d_name;
    out->type = entry->d_type;
    return true;
  }

 private:
  int fd_;
  DIR* dir_;
};
#endif

// The entries of the open folder `folder_fd` whose listed names match
// `pattern`, sorted, as a search handle with the first in `data`; `literal`
// lists names as the literal folder gives them. Closes `folder_fd`.
HANDLE list_entries(int folder_fd, const std::string& pattern, bool is_root, bool literal,
                    LPWIN32_FIND_DATAA data) {
  std::vector<ListedEntry> entries;
  FolderEntries dir(folder_fd);
  FolderEntry entry;
  while (dir.next(&entry)) {
    const std::string name = entry.name;
    const bool dots = name == "." || name == "..";
    if (dots && is_root) continue;
    ListedEntry listed;
    listed.name = literal ? listed_name(name) : name;
    if (!name_matches_mask(pattern, listed.name)) continue;
    if (listed.name.size() >= MAX_PATH) {
      // Only an escaped name grows past what a listing holds. It is listed cut
      // (at a whole character), so that it is named as too long to open
      // rather than passed over; any path made of it is past the open's limit.
      if (!literal) continue;
      size_t cut = MAX_PATH - 1;
      if (listed.name[cut - 1] == '/') --cut;
      listed.name.resize(cut);
    }
    if (literal && (entry.type == DT_REG || entry.type == DT_DIR)) {
      // The entry's kind is all the literal folder's listings give: no stat.
      listed.attributes = entry.type == DT_DIR ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
      if (name[0] == '.' && !dots) listed.attributes |= FILE_ATTRIBUTE_HIDDEN;
    } else if (!describe_entry(dir.fd(), name, &listed)) {
      continue;
    }
    entries.push_back(std::move(listed));
  }
  if (entries.empty()) return fail(ERROR_FILE_NOT_FOUND);
  std::vector<uint32_t> order = listed_order(&entries);
  auto search = std::make_shared<SearchObject>(std::move(entries), std::move(order));
  search->next(data);
  HANDLE handle = register_object(search);
  SetLastError(ERROR_SUCCESS);
  return handle;
}

// A mask in the literal folder: its folder opened through the folder's
// descriptor, the last component the pattern.
HANDLE find_first_literal(const LiteralPath& mask, LPWIN32_FIND_DATAA data) {
  const size_t slash = mask.below.find_last_of('/');
  LiteralPath folder;
  folder.below = slash == std::string::npos ? std::string() : mask.below.substr(0, slash);
  const std::string pattern = slash == std::string::npos ? mask.below : mask.below.substr(slash + 1);
  const int fd = open_literal(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    return fail(error == ENOENT ? ERROR_PATH_NOT_FOUND
                : error == ENOTDIR && !folder.below.empty() ? ERROR_INVALID_NAME
                                                            : literal_open_error(error));
  }
  // A folder that can be read but not entered lists nothing, as when each
  // entry was looked at: its names alone are no entries one could open.
  if (faccessat(fd, ".", X_OK, AT_EACCESS) != 0) {
    close(fd);
    return fail(ERROR_FILE_NOT_FOUND);
  }
  // "folder\" names no entry, as on Windows.
  if (pattern.empty()) {
    close(fd);
    return fail(ERROR_FILE_NOT_FOUND);
  }
  return list_entries(fd, pattern, false, true, data);
}

}  // namespace
}  // namespace native_layer

HANDLE FindFirstFileA(LPCSTR mask, LPWIN32_FIND_DATAA data) {
  using namespace native_layer;
  if (mask == nullptr || mask[0] == '\0') return fail(ERROR_PATH_NOT_FOUND);
  LiteralPath literal;
  if (literal_path(mask, &literal) && !literal.below.empty()) return find_first_literal(literal, data);
  std::string path;
  DWORD code = to_posix_path(mask, &path);
  if (code == ERROR_INVALID_DRIVE) return fail(ERROR_PATH_NOT_FOUND);
  if (code != ERROR_SUCCESS) return fail(code);

  char last = mask[std::strlen(mask) - 1];
  bool names_nothing = last == '\\' || last == '/' || last == ':' || path == "/";
  size_t slash = path.find_last_of('/');
  std::string folder = names_nothing ? path : (slash == 0 ? "/" : path.substr(0, slash));
  std::string pattern = names_nothing ? "" : path.substr(slash + 1);

  struct stat st;
  if (stat(folder.c_str(), &st) != 0) {
    return fail(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                    : win32_error_from_errno(errno));
  }
  if (!S_ISDIR(st.st_mode) || names_nothing) {
    // Wine 8.0: "file.txt\*" gives 123; "folder\" names no entry: 2.
    return fail(!S_ISDIR(st.st_mode) ? ERROR_INVALID_NAME : ERROR_FILE_NOT_FOUND);
  }
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return fail(win32_error_from_errno(errno));
  // A drive's root has no "." and ".." entries, as on Windows.
  return list_entries(fd, pattern, is_drive_root(folder), false, data);
}

BOOL FindNextFileA(HANDLE search, LPWIN32_FIND_DATAA data) {
  auto object = native_layer::find_object<native_layer::SearchObject>(search);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!object->next(data)) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  return TRUE;
}

BOOL FindClose(HANDLE search) {
  if (native_layer::unregister_object<native_layer::SearchObject>(search) == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
