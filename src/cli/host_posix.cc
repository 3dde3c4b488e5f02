#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/host.h"
#include "platform/native_layer.h"

namespace vintrell {

bool relative_to_deleted_working_folder(const std::string& folder) {
  if (!folder.empty() && folder[0] == '/') return false;
  // A removed folder has no links left; asked of "." itself, whatever its
  // path's length or its parents' permissions.
  struct stat here;
  if (stat(".", &here) != 0) return true;
  return here.st_nlink == 0;
}

void end_for_gone_reader(int) {
  // The platform layer ignores SIGPIPE so that a write reports the closed
  // pipe; from here on the signal is what ends the process.
  signal(SIGPIPE, SIG_DFL);
  sigset_t pipe_only;
  sigemptyset(&pipe_only);
  sigaddset(&pipe_only, SIGPIPE);
  pthread_sigmask(SIG_UNBLOCK, &pipe_only, nullptr);
  raise(SIGPIPE);
  _exit(128 + SIGPIPE);
}

bool working_folder_to_search(std::string* folder, std::string*) {
  *folder = ".";
  return true;
}

void take_paths_as_given(const std::string& folder, bool follow_links) {
  native_layer::take_paths_literally(folder, follow_links);
}

std::string path_as_spelled(const std::string& below) {
  return native_layer::posix_path_below(below);
}

char path_separator() { return '/'; }

unsigned processor_count() {
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 0) {
    return static_cast<unsigned>(CPU_COUNT(&allowed));
  }
  long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<unsigned>(online) : 1;
}

}  // namespace vintrell
