#include <thread>

#include "platform/win32.h"
#include "testing/process.h"

namespace testing {
namespace {

// One argument as the C runtime's command-line parser reads it back: quoted when
// it is empty or holds blanks or quotes, backslashes doubled only before a quote.
std::string quoted(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      out.append(backslashes * 2 + 1, '\\');
    } else {
      out.append(backslashes, '\\');
    }
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  out += '"';
  return out;
}

void drain(HANDLE pipe, std::string* sink) {
  char buffer[65536];
  DWORD n = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0) sink->append(buffer, n);
}

struct Handle {
  HANDLE h = nullptr;
  ~Handle() {
    if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

}  // namespace

ProcessResult run_program(const std::string& program, const std::vector<std::string>& args,
                          const std::string& working_folder) {
  ProcessResult result;
  SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  Handle out_read, out_write, err_read, err_write, null_input;
  if (!CreatePipe(&out_read.h, &out_write.h, &inherit, 0) ||
      !CreatePipe(&err_read.h, &err_write.h, &inherit, 0)) {
    return result;
  }
  // Our ends stay ours, so the pipes close when the child ends.
  SetHandleInformation(out_read.h, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err_read.h, HANDLE_FLAG_INHERIT, 0);
  null_input.h = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);

  std::string command_line = quoted(program);
  for (const std::string& arg : args) command_line += " " + quoted(arg);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = null_input.h;
  startup.hStdOutput = out_write.h;
  startup.hStdError = err_write.h;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(program.c_str(), &command_line[0], nullptr, nullptr, TRUE, 0, nullptr,
                      working_folder.empty() ? nullptr : working_folder.c_str(), &startup, &info)) {
    return result;
  }
  result.started = true;
  Handle process, thread;
  process.h = info.hProcess;
  thread.h = info.hThread;
  CloseHandle(out_write.h);
  out_write.h = nullptr;
  CloseHandle(err_write.h);
  err_write.h = nullptr;

  std::thread err_reader(drain, err_read.h, &result.err);
  drain(out_read.h, &result.out);
  err_reader.join();
  WaitForSingleObject(process.h, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.h, &code);
  result.exit_code = static_cast<int>(code);
  return result;
}

std::string program_beside_this_one(const std::string& name) {
  char self[MAX_PATH * 4];
  DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  std::string path(self, n);
  return path.substr(0, path.find_last_of("\\/") + 1) + name + ".exe";
}

}  // namespace testing
