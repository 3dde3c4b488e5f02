#include "platform/posix/confinement.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/native_layer.h"
#include "platform/posix/paths.h"

namespace native_layer {
namespace {

// Set once, before any thread but the first starts.
int g_folder_fd = -1;
std::string g_folder;  // the folder's POSIX path as the opens below spell it

// One component at a time, each opened relative to the one before without
// following a link: for kernels without openat2.
int open_by_components(const std::string& rest, int flags) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t slash = rest.find('/', start);
    if (slash == std::string::npos) slash = rest.size();
    if (slash > start) names.push_back(rest.substr(start, slash - start));
    start = slash + 1;
  }
  if (names.empty()) {
    errno = ENOENT;
    return -1;
  }
  int at = g_folder_fd;
  for (size_t i = 0; i + 1 < names.size(); ++i) {
    int next = openat(at, names[i].c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int error = errno;
    if (at != g_folder_fd) close(at);
    if (next < 0) {
      errno = error == ENOTDIR ? ELOOP : error;  // a link names no folder here
      return -1;
    }
    at = next;
  }
  int fd = openat(at, names.back().c_str(), flags | O_NOFOLLOW);
  const int error = errno;
  if (at != g_folder_fd) close(at);
  errno = error;
  return fd;
}

}  // namespace

void follow_no_links_below(const std::string& folder) {
  if (g_folder_fd >= 0) close(g_folder_fd);
  g_folder_fd = -1;
  g_folder.clear();
  std::string posix;
  if (!plain_relative_path(folder.c_str(), &posix) &&
      to_posix_path(folder.c_str(), &posix, false) != ERROR_SUCCESS) {
    return;
  }
  // The folder itself is what the user named: a link to it is followed.
  int fd = open(posix.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  g_folder_fd = fd;
  g_folder = posix;
}

bool below_confining_folder(const std::string& posix_path, std::string* rest) {
  if (g_folder_fd < 0) return false;
  const std::string prefix = g_folder == "/" ? g_folder : g_folder + "/";
  if (posix_path.size() <= prefix.size() || posix_path.compare(0, prefix.size(), prefix) != 0) {
    return false;
  }
  *rest = posix_path.substr(prefix.size());
  return true;
}

namespace {

int open_confined(const std::string& rest, int flags) {
  open_how how = {};
  how.flags = static_cast<uint64_t>(flags | O_NOFOLLOW);
  how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH;
  long fd = syscall(SYS_openat2, g_folder_fd, rest.c_str(), &how, sizeof how);
  if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) return static_cast<int>(fd);
  // No openat2 here (an older kernel, or a sandbox that refuses it).
  return open_by_components(rest, flags);
}

}  // namespace

int open_below_confining_folder(const std::string& rest, int flags) {
  int fd = open_confined(rest, flags);
  if (fd >= 0 || errno != ENOTDIR || (flags & O_DIRECTORY) == 0) return fd;
  // A folder asked for: a link in its place says "not a folder"; it is a link.
  int link = open_confined(rest, O_PATH | O_CLOEXEC);
  struct stat st;
  const bool is_link = link >= 0 && fstat(link, &st) == 0 && S_ISLNK(st.st_mode);
  if (link >= 0) close(link);
  errno = is_link ? ELOOP : ENOTDIR;
  return -1;
}

}  // namespace native_layer
