#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "testing/process.h"

namespace testing {
namespace {

void close_quietly(int fd) {
  if (fd >= 0) close(fd);
}

}  // namespace

ProcessResult run_program(const std::string& program, const std::vector<std::string>& args,
                          const std::string& working_folder) {
  RunOptions options;
  options.working_folder = working_folder;
  return run_program(program, args, options);
}

ProcessResult run_program(const std::string& program, const std::vector<std::string>& args,
                          const RunOptions& options) {
  ProcessResult result;
  if (options.console_output) return result;  // no consoles here
  const std::string& working_folder = options.working_folder;
  // The environment, prepared before fork: the child may only exec.
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    bool replaced = false;
    for (const std::string& given : options.environment) {
      if (entry.compare(0, given.find('=') + 1, given, 0, given.find('=') + 1) == 0) {
        replaced = true;
      }
    }
    if (!replaced) environment.push_back(entry);
  }
  for (const std::string& given : options.environment) environment.push_back(given);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(&entry[0]);
  envp.push_back(nullptr);
  int out_pipe[2] = {-1, -1};
  int err_pipe[2] = {-1, -1};
  if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) {
    close_quietly(out_pipe[0]);
    close_quietly(out_pipe[1]);
    return result;
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  pid_t child = fork();
  if (child == 0) {
    // Only async-signal-safe calls from here on.
    int null_fd = open("/dev/null", O_RDONLY);
    if (null_fd >= 0) dup2(null_fd, 0);
    int full_fd = options.failing_output ? open("/dev/full", O_WRONLY) : -1;
    dup2(full_fd >= 0 ? full_fd : out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    if (!working_folder.empty() && chdir(working_folder.c_str()) != 0) _exit(126);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (child < 0) {
    close(out_pipe[0]);
    close(err_pipe[0]);
    return result;
  }
  result.started = true;

  // Both pipes at once, so a child that fills one while we wait on the other
  // cannot stall.
  struct pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_count = 2;
  while (open_count > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  for (auto& fd : fds) close_quietly(fd.fd);

  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) {
    result.exit_code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.exit_code = 128 + WTERMSIG(status);
  }
  if (result.exit_code == 127 && result.out.empty() && result.err.empty()) {
    result.started = false;  // exec failed
  }
  return result;
}

std::string program_beside_this_one(const std::string& name) {
  char self[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return name;
  std::string path(self, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/') + 1) + name;
}

}  // namespace testing
