// SHELL32 without a desktop shell: the folder picker answers what a test arranged,
// and ShellExecuteA hands its target to the desktop's opener (xdg-open).
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/native_layer.h"
#include "platform/posix/paths.h"
#include "platform/win32.h"

extern char** environ;

// The item-id list of a picked folder: here just its path. Callers never free
// one (nothing in the program needs to), so they stay owned by the layer.
struct _ITEMIDLIST {
  std::string path;
};

namespace {

// ShellExecuteA's failure results, as Windows names them.
constexpr INT_PTR kOutOfResources = 0;
constexpr INT_PTR kFileNotFound = 2;
constexpr INT_PTR kAccessDenied = 5;
constexpr INT_PTR kBadFormat = 11;
constexpr INT_PTR kNoAssociation = 31;
// Measured under Wine: a launched URL or an opened folder gives 33.
constexpr INT_PTR kLaunched = 33;

// xdg-open's documented exit status for a file that does not exist.
constexpr int kOpenerFileNotFound = 2;

// How long ShellExecuteA waits for the opener's verdict. An opener that runs
// longer has started whatever it opens; it is reaped in the background.
constexpr int kOpenerVerdictMilliseconds = 3000;

std::mutex& shell_mutex() {
  static std::mutex m;
  return m;
}

native_layer::FolderPickerHook& picker_hook() {
  static native_layer::FolderPickerHook hook;
  return hook;
}

std::vector<std::string>& opener() {
  static std::vector<std::string> command{"xdg-open"};
  return command;
}

std::deque<std::unique_ptr<ITEMIDLIST>>& picked_lists() {
  static std::deque<std::unique_ptr<ITEMIDLIST>> lists;
  return lists;
}

HINSTANCE as_result(INT_PTR value) { return reinterpret_cast<HINSTANCE>(value); }

bool equal_ignoring_case(const char* a, const char* b) {
  return native_layer::same_name_ignoring_case(a, b);
}

// "scheme:rest" with a scheme of two or more characters; one letter is a drive.
bool is_url(const std::string& target) {
  size_t colon = target.find(':');
  if (colon == std::string::npos || colon < 2) return false;
  for (size_t i = 0; i < colon; ++i) {
    char c = target[i];
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    if (!letter && !(i > 0 && other)) return false;
  }
  return true;
}

bool is_absolute(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return true;
  return !path.empty() && (path[0] == '\\' || path[0] == '/');
}

INT_PTR result_of_spawn_error(int error) {
  switch (error) {
    case ENOMEM:
    case EAGAIN:
      return kOutOfResources;
    case EACCES:
    case EPERM:
      return kAccessDenied;
    case ENOEXEC:
      return kBadFormat;
    default:
      return kNoAssociation;  // no opener to hand the target to
  }
}

INT_PTR result_of_exit_status(int status) {
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return kLaunched;
  if (WIFEXITED(status) && WEXITSTATUS(status) == kOpenerFileNotFound) return kFileNotFound;
  return kNoAssociation;
}

INT_PTR run_opener(const std::string& target, const std::string& posix_directory) {
  std::vector<std::string> command;
  {
    std::lock_guard<std::mutex> hold(shell_mutex());
    command = opener();
  }
  if (command.empty()) return kNoAssociation;
  command.push_back(target);
  std::vector<char*> argv;
  for (std::string& argument : command) argv.push_back(&argument[0]);
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (!posix_directory.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, posix_directory.c_str());
  }
  pid_t child = 0;
  int error = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return result_of_spawn_error(error);

  int status = 0;
  for (int waited = 0; waited < kOpenerVerdictMilliseconds; waited += 10) {
    pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) return result_of_exit_status(status);
    if (done < 0 && errno != EINTR) return kLaunched;  // reaped elsewhere
    usleep(10 * 1000);
  }
  std::thread([child] {
    int ignored = 0;
    while (waitpid(child, &ignored, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return kLaunched;
}

}  // namespace

LPITEMIDLIST SHBrowseForFolderA(LPBROWSEINFOA info) {
  if (info == nullptr) return nullptr;
  native_layer::FolderPickerHook hook;
  {
    std::lock_guard<std::mutex> hold(shell_mutex());
    hook = picker_hook();
  }
  std::string chosen;
  if (!hook || !hook(*info, &chosen)) return nullptr;
  if (info->pszDisplayName != nullptr) {
    // The display name is the picked folder's last component.
    size_t cut = chosen.find_last_of("\\/", chosen.size() > 1 ? chosen.size() - 2 : 0);
    std::string display = cut == std::string::npos ? chosen : chosen.substr(cut + 1);
    size_t n = display.size() < MAX_PATH - 1 ? display.size() : MAX_PATH - 1;
    std::memcpy(info->pszDisplayName, display.data(), n);
    info->pszDisplayName[n] = '\0';
  }
  std::lock_guard<std::mutex> hold(shell_mutex());
  picked_lists().push_back(std::unique_ptr<ITEMIDLIST>(new ITEMIDLIST{chosen}));
  return picked_lists().back().get();
}

BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path) {
  if (path == nullptr) return FALSE;
  path[0] = '\0';
  // A folder outside the file system (a hook's "") has no path to give.
  if (list == nullptr || list->path.empty() || list->path.size() >= MAX_PATH) return FALSE;
  std::memcpy(path, list->path.c_str(), list->path.size() + 1);
  return TRUE;
}

HINSTANCE ShellExecuteA(HWND, LPCSTR operation, LPCSTR file, LPCSTR, LPCSTR directory,
                        INT) {
  // Measured under Wine: an unknown verb gives 31, an empty target 11, a path
  // that names nothing 2 whatever the directory, a missing directory is ignored.
  if (operation != nullptr && operation[0] != '\0' && !equal_ignoring_case(operation, "open")) {
    return as_result(kNoAssociation);
  }
  std::string target = file != nullptr ? file : "";
  if (target.empty()) return as_result(kBadFormat);

  std::string posix_directory;
  if (directory != nullptr && directory[0] != '\0') {
    struct stat st;
    if (native_layer::to_posix_path(directory, &posix_directory) != 0 ||
        stat(posix_directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      posix_directory.clear();
    }
  }
  if (is_url(target)) return as_result(run_opener(target, posix_directory));

  // A relative target names a file in the directory given.
  std::string windows_path = target;
  if (!is_absolute(target) && directory != nullptr && directory[0] != '\0') {
    windows_path = std::string(directory) + "\\" + target;
  }
  std::string posix_path;
  struct stat st;
  if (native_layer::to_posix_path(windows_path.c_str(), &posix_path) != 0 ||
      stat(posix_path.c_str(), &st) != 0) {
    return as_result(kFileNotFound);
  }
  return as_result(run_opener(posix_path, posix_directory));
}

namespace native_layer {

void set_folder_picker_hook(FolderPickerHook hook) {
  std::lock_guard<std::mutex> hold(shell_mutex());
  picker_hook() = std::move(hook);
}

void set_link_opener(const std::vector<std::string>& command) {
  std::lock_guard<std::mutex> hold(shell_mutex());
  opener() = command;
}

}  // namespace native_layer
