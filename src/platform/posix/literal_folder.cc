#include "platform/posix/literal_folder.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/native_layer.h"
#include "platform/posix/paths.h"

namespace native_layer {
namespace {

// Set before any thread but the first starts.
bool g_active = false;
std::string g_folder;  // as the file calls spell it
int g_folder_fd = -1;
int g_folder_errno = 0;  // why it could not be opened
bool g_follow_links = true;

// One component at a time, each opened relative to the one before without
// following a link: for kernels without openat2.
int open_by_components(const std::string& below, int flags) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= below.size()) {
    size_t slash = below.find('/', start);
    if (slash == std::string::npos) slash = below.size();
    if (slash > start) names.push_back(below.substr(start, slash - start));
    start = slash + 1;
  }
  if (names.empty()) {
    errno = ENOENT;
    return -1;
  }
  int at = g_folder_fd;
  for (size_t i = 0; i + 1 < names.size(); ++i) {
    if (names[i] == "..") {
      if (at != g_folder_fd) close(at);
      errno = EXDEV;  // never above the folder
      return -1;
    }
    int next = openat(at, names[i].c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int error = errno;
    if (at != g_folder_fd) close(at);
    if (next < 0) {
      errno = error == ENOTDIR ? ELOOP : error;  // a link names no folder here
      return -1;
    }
    at = next;
  }
  if (names.back() == "..") {
    if (at != g_folder_fd) close(at);
    errno = EXDEV;
    return -1;
  }
  int fd = openat(at, names.back().c_str(), flags | O_NOFOLLOW);
  const int error = errno;
  if (at != g_folder_fd) close(at);
  errno = error;
  return fd;
}

int open_confined(const std::string& below, int flags) {
  open_how how = {};
  how.flags = static_cast<uint64_t>(flags | O_NOFOLLOW);
  how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH;
  long fd = syscall(SYS_openat2, g_folder_fd, below.c_str(), &how, sizeof how);
  if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) return static_cast<int>(fd);
  // No openat2 here (an older kernel, or a sandbox that refuses it).
  return open_by_components(below, flags);
}

// The path below the folder as POSIX spells it: '\' separates, and the
// listings' "/b", "/a", "/q" are the name's own characters again.
std::string posix_below(const char* text) {
  std::string out;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '\\') {
      out += '/';
    } else if (*p == '/' && (p[1] == 'b' || p[1] == 'a' || p[1] == 'q')) {
      out += p[1] == 'b' ? '\\' : p[1] == 'a' ? '*' : '?';
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

}  // namespace

void take_paths_literally(const std::string& folder, bool follow_links) {
  if (g_folder_fd >= 0) close(g_folder_fd);
  g_active = !folder.empty();
  g_folder = folder;
  g_folder_fd = -1;
  g_folder_errno = 0;
  g_follow_links = follow_links;
  if (!g_active) return;
  // The folder itself is what the user named: a link to it is followed.
  g_folder_fd = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (g_folder_fd < 0) g_folder_errno = errno;
}

std::string posix_path_below(const std::string& below) { return posix_below(below.c_str()); }

bool literal_path(const char* path, LiteralPath* out) {
  if (!g_active || path == nullptr) return false;
  // Paths below a folder whose name ends in '\' are joined without it.
  size_t n = g_folder.size();
  while (n > 0 && g_folder[n - 1] == '\\') --n;
  if (std::strncmp(path, g_folder.c_str(), n) != 0) return false;
  // "/" is the folder, and "/" + '\' a path below it.
  if (path[n] != '\0' && path[n] != '\\') return false;
  out->below = path[n] == '\0' ? std::string() : posix_below(path + n + 1);
  return true;
}

int open_literal(const LiteralPath& path, int flags) {
  if (g_folder_fd < 0) {
    errno = g_folder_errno;
    return -1;
  }
  if (path.below.empty()) return openat(g_folder_fd, ".", flags);
  if (g_follow_links) return openat(g_folder_fd, path.below.c_str(), flags);
  int fd = open_confined(path.below, flags);
  if (fd >= 0 || errno != ENOTDIR || (flags & O_DIRECTORY) == 0) return fd;
  // A folder asked for: a link in its place says "not a folder"; it is a link.
  int link = open_confined(path.below, O_PATH | O_CLOEXEC);
  struct stat st;
  const bool is_link = link >= 0 && fstat(link, &st) == 0 && S_ISLNK(st.st_mode);
  if (link >= 0) close(link);
  errno = is_link ? ELOOP : ENOTDIR;
  return -1;
}

DWORD literal_open_error(int error) {
  switch (error) {
    case ELOOP: return g_follow_links ? ERROR_CANT_RESOLVE_FILENAME : ERROR_STOPPED_ON_SYMLINK;
    case EXDEV: return ERROR_ACCESS_DENIED;  // a ".." that would leave the folder
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    default: return win32_error_from_errno(error);
  }
}

bool stat_literal(const LiteralPath& path, struct stat* st, bool* is_link) {
  *is_link = false;
  if (path.below.empty()) {
    // The folder as opened; by its name when it is no folder that opens.
    if ((g_folder_fd >= 0 ? fstat(g_folder_fd, st) : stat(g_folder.c_str(), st)) != 0) return false;
    struct stat link;
    *is_link = lstat(g_folder.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
    return true;
  }
  int fd = open_literal(path, O_PATH | O_CLOEXEC);
  if (fd < 0) return false;
  const bool done = fstat(fd, st) == 0;
  const int error = errno;
  close(fd);
  if (done && g_follow_links) {
    struct stat link;
    *is_link = fstatat(g_folder_fd, path.below.c_str(), &link, AT_SYMLINK_NOFOLLOW) == 0 &&
               S_ISLNK(link.st_mode);
  }
  errno = error;
  return done;
}

std::string listed_name(const std::string& posix_name) {
  std::string out;
  out.reserve(posix_name.size());
  for (char c : posix_name) {
    if (c == '\\' || c == '*' || c == '?') {
      out += '/';
      out += c == '\\' ? 'b' : c == '*' ? 'a' : 'q';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace native_layer
