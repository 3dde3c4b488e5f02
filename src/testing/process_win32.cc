#include <string>
#include <vector>

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

// Takes what is waiting in `pipe` without blocking; false once the writer has
// closed it and nothing is left.
bool take_waiting(HANDLE pipe, std::string* sink) {
  char buffer[65536];
  DWORD waiting = 0;
  if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr)) return false;
  while (waiting > 0) {
    DWORD n = 0;
    if (!ReadFile(pipe, buffer, waiting < sizeof buffer ? waiting : sizeof buffer, &n, nullptr) ||
        n == 0) {
      return false;
    }
    sink->append(buffer, n);
    waiting -= n;
  }
  return true;
}

// Both pipes read in turn on this one thread: a second reader thread is what
// made the Wine loader crash now and then where i386 code runs under QEMU.
void drain_both(HANDLE out, std::string* out_sink, HANDLE err, std::string* err_sink) {
  bool out_open = true, err_open = true;
  while (out_open || err_open) {
    const size_t before = out_sink->size() + err_sink->size();
    if (out_open) out_open = take_waiting(out, out_sink);
    if (err_open) err_open = take_waiting(err, err_sink);
    if (out_sink->size() + err_sink->size() == before) Sleep(1);
  }
}

struct Handle {
  HANDLE h = nullptr;
  ~Handle() {
    if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

std::wstring wide_of(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
  return wide;
}

std::string utf8_of(const wchar_t* wide, size_t n) {
  if (n == 0) return std::string();
  int m = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(m), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(n), &out[0], m, nullptr, nullptr);
  return out;
}

// What a console screen buffer shows, row by row up to its cursor.
std::string console_text(HANDLE screen) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(screen, &info)) return std::string();
  std::string text;
  const SHORT width = info.dwSize.X;
  const SHORT rows = info.dwCursorPosition.X == 0 ? info.dwCursorPosition.Y
                                                  : static_cast<SHORT>(info.dwCursorPosition.Y + 1);
  std::vector<wchar_t> row(static_cast<size_t>(width));
  for (SHORT y = 0; y < rows; ++y) {
    DWORD got = 0;
    COORD at = {0, y};
    if (!ReadConsoleOutputCharacterW(screen, row.data(), static_cast<DWORD>(width), at, &got)) break;
    while (got > 0 && row[got - 1] == L' ') --got;
    text += utf8_of(row.data(), got) + "\n";
  }
  return text;
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
  const std::string& working_folder = options.working_folder;
  ProcessResult result;
  SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  Handle screen;
  if (options.console_output) {
    // A console of the test's own. Started by Wine from a Unix shell, the test
    // sits on a bare console without screen buffers: it leaves that for a new
    // one. Made before the pipes, which its conhost would otherwise inherit.
    BOOL allocated = AllocConsole();
    DWORD alloc_error = GetLastError();
    if (!allocated && alloc_error == ERROR_ACCESS_DENIED && FreeConsole()) {
      allocated = AllocConsole();
      alloc_error = GetLastError();
    }
    screen.h = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                         CONSOLE_TEXTMODE_BUFFER, nullptr);
    if (screen.h == INVALID_HANDLE_VALUE) {
      result.err = "no console screen buffer: error " + std::to_string(GetLastError()) +
                   " (AllocConsole " + std::to_string(allocated) + ", error " +
                   std::to_string(alloc_error) + ")";
      return result;
    }
  }
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

  Handle read_only_output;
  HANDLE output = out_write.h;
  if (options.failing_output) {
    read_only_output.h = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inherit, OPEN_EXISTING, 0, nullptr);
    output = read_only_output.h;
  }
  if (options.console_output) output = screen.h;

  std::string command_line = quoted(program);
  for (const std::string& arg : args) command_line += " " + quoted(arg);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = null_input.h;
  startup.hStdOutput = output;
  startup.hStdError = err_write.h;
  PROCESS_INFORMATION info = {};
  BOOL started;
  if (options.utf8_arguments) {
    std::wstring wide_line = wide_of(command_line);
    std::wstring wide_folder = wide_of(working_folder);
    STARTUPINFOW wide_startup = {};
    wide_startup.cb = sizeof wide_startup;
    wide_startup.dwFlags = startup.dwFlags;
    wide_startup.hStdInput = startup.hStdInput;
    wide_startup.hStdOutput = startup.hStdOutput;
    wide_startup.hStdError = startup.hStdError;
    started = CreateProcessW(wide_of(program).c_str(), &wide_line[0], nullptr, nullptr, TRUE, 0,
                             nullptr, working_folder.empty() ? nullptr : wide_folder.c_str(),
                             &wide_startup, &info);
  } else {
    started = CreateProcessA(program.c_str(), &command_line[0], nullptr, nullptr, TRUE, 0, nullptr,
                             working_folder.empty() ? nullptr : working_folder.c_str(), &startup,
                             &info);
  }
  if (!started) return result;
  result.started = true;
  Handle process, thread;
  process.h = info.hProcess;
  thread.h = info.hThread;
  CloseHandle(out_write.h);
  out_write.h = nullptr;
  CloseHandle(err_write.h);
  err_write.h = nullptr;

  drain_both(out_read.h, &result.out, err_read.h, &result.err);
  WaitForSingleObject(process.h, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.h, &code);
  result.exit_code = static_cast<int>(code);
  if (options.console_output) result.out = console_text(screen.h);
  return result;
}

std::string program_beside_this_one(const std::string& name) {
  char self[MAX_PATH * 4];
  DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  std::string path(self, n);
  return path.substr(0, path.find_last_of("\\/") + 1) + name + ".exe";
}

}  // namespace testing
