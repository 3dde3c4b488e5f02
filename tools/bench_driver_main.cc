// The benchmark's hands on the real vintrell.exe and on its floors under Wine.
//
//   vintrell-bench-driver.exe PROGRAM.EXE FOLDER TEXT DIALOG.EXE LINES IDLE_SECONDS REPEATS
//
// 1. Starts PROGRAM.EXE, lets it sit idle with the dialog open, then types TEXT
//    and FOLDER, presses Find REPEATS times and times each command until the
//    results list holds its lines and has been painted.
// 2. Starts DIALOG.EXE idle (vintrell-bench-dialog.exe: one edit control) and
//    lets it sit idle as long.
// 3. Starts DIALOG.EXE fill LINES (a sorted list box and a Fill button), presses
//    Fill REPEATS times and times it the same way; then holds its list against
//    the program's results, line for line.
//
// Prints "idle_begin NAME" and "idle_end NAME" around each idle time (NAME is
// program or dialog; tools/benchmark.sh reads the CPU time between them), then
// "name value" lines: find_ms and fill_ms (medians), results, summary,
// fill_lines, same_lines (1 when both lists hold the same lines). Exit code 0
// when every step ran.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "testing/top_window.h"

namespace {

const char kCaption[] = "Vintrell for Pegasus Mail";
const char kIdleCaption[] = "Vintrell bench idle dialog";
const char kFillCaption[] = "Vintrell bench fill dialog";
constexpr int kTextToFind = 1, kResults = 2, kSummary = 3, kDirectory = 4;
constexpr int kAddressBooks = 5, kFind = 10, kClose = 11;
constexpr int kFillList = 101, kFillButton = 102;  // vintrell-bench-dialog.exe
constexpr DWORD kPatienceMilliseconds = 600000;  // the slowest list seen took 40 s

double seconds_now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Started {
  PROCESS_INFORMATION info = {};
  HWND dialog = nullptr;
};

// Starts `exe` with `args` in `folder` and waits for its dialog; false (the
// process ended) when the dialog does not appear.
bool start(const std::string& exe, const std::string& args, const std::string& folder,
           const char* caption, Started* started) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  std::string command = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  if (!CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &started->info)) {
    std::fprintf(stderr, "bench-driver: cannot start %s\n", exe.c_str());
    return false;
  }
  for (int waited = 0; waited < 30000; waited += 20) {
    started->dialog = testing::visible_window_of(started->info.dwProcessId, caption);
    if (started->dialog != nullptr) break;
    Sleep(20);
  }
  if (started->dialog == nullptr) {
    std::fprintf(stderr, "bench-driver: the dialog of %s did not appear\n", exe.c_str());
    TerminateProcess(started->info.hProcess, 99);
    return false;
  }
  WaitForInputIdle(started->info.hProcess, 10000);
  return true;
}

// Presses the button `close` (0: closes the dialog) and waits for the process
// to end.
void finish(Started* started, int close) {
  if (close != 0) {
    PostMessageA(GetDlgItem(started->dialog, close), BM_CLICK, 0, 0);
  } else {
    PostMessageA(started->dialog, WM_CLOSE, 0, 0);
  }
  if (WaitForSingleObject(started->info.hProcess, 30000) != WAIT_OBJECT_0) {
    TerminateProcess(started->info.hProcess, 99);
  }
  CloseHandle(started->info.hThread);
  CloseHandle(started->info.hProcess);
}

// Nothing happening for a while. The benchmark reads the process's CPU time
// between the two marks (Wine's GetProcessTimes of another process leaves
// out most of it).
void sit_idle(const char* name, double seconds) {
  Sleep(1000);
  std::printf("idle_begin %s\n", name);
  std::fflush(stdout);
  Sleep(static_cast<DWORD>(seconds * 1000));
  std::printf("idle_end %s\n", name);
  std::fflush(stdout);
  // The process must still be there when the reader takes its second reading.
  Sleep(1000);
}

// Milliseconds from pressing `button` until `list` is painted. The command
// runs inside the sent click; the list is painted once the program is back in
// its loop and nothing of the list is left to paint.
double timed_click(HWND dialog, int button, HWND list) {
  const double start = seconds_now();
  SendMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_BLOCK, kPatienceMilliseconds, &ignored);
  for (int waited = 0; GetUpdateRect(list, nullptr, FALSE) && waited < 60000; ++waited) Sleep(1);
  return (seconds_now() - start) * 1000;
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 != 0 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Measured under Wine: a cross-process ANSI LB_GETTEXT hands back UTF-16, so
// the lines are taken and compared as wide text.
std::vector<std::wstring> lines_of(HWND list) {
  std::vector<std::wstring> lines;
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length < 0) break;
    std::wstring line(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&line[0]));
    line.resize(static_cast<size_t>(length));
    lines.push_back(line);
  }
  return lines;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 8) {
    std::fprintf(stderr,
                 "usage: vintrell-bench-driver PROGRAM.EXE FOLDER TEXT DIALOG.EXE LINES "
                 "IDLE_SECONDS REPEATS\n");
    return 2;
  }
  const std::string exe = argv[1], folder = argv[2], text = argv[3];
  const std::string dialog_exe = argv[4], lines_file = argv[5];
  const double idle_seconds = std::atof(argv[6]);
  const int repeats = std::max(1, std::atoi(argv[7]));

  // 1. The program.
  Started program;
  if (!start(exe, "", folder, kCaption, &program)) return 1;
  HWND dialog = program.dialog;
  sit_idle("program", idle_seconds);
  SendMessageA(GetDlgItem(dialog, kDirectory), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(folder.c_str()));
  SendMessageA(GetDlgItem(dialog, kTextToFind), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(text.c_str()));
  SendMessageA(GetDlgItem(dialog, kAddressBooks), BM_CLICK, 0, 0);
  HWND results = GetDlgItem(dialog, kResults);
  std::vector<double> find_ms;
  for (int i = 0; i < repeats; ++i) find_ms.push_back(timed_click(dialog, kFind, results));
  const std::vector<std::wstring> found = lines_of(results);
  char summary[256] = "";
  SendMessageA(GetDlgItem(dialog, kSummary), WM_GETTEXT, sizeof summary,
               reinterpret_cast<LPARAM>(summary));
  std::printf("find_ms %.1f\nresults %ld\nsummary %s\n", median(find_ms),
              static_cast<long>(found.size()), summary);
  std::fflush(stdout);
  finish(&program, kClose);

  // 2. The minimal dialog at rest.
  Started idle;
  if (!start(dialog_exe, "idle", "", kIdleCaption, &idle)) return 1;
  sit_idle("dialog", idle_seconds);
  finish(&idle, 0);

  // 3. The plain fill of a sorted list box.
  Started fill;
  if (!start(dialog_exe, "fill \"" + lines_file + "\"", "", kFillCaption, &fill)) return 1;
  HWND list = GetDlgItem(fill.dialog, kFillList);
  std::vector<double> fill_ms;
  for (int i = 0; i < repeats; ++i) fill_ms.push_back(timed_click(fill.dialog, kFillButton, list));
  const std::vector<std::wstring> filled = lines_of(list);
  std::printf("fill_ms %.1f\nfill_lines %ld\nsame_lines %d\n", median(fill_ms),
              static_cast<long>(filled.size()), filled == found ? 1 : 0);
  std::fflush(stdout);
  finish(&fill, 0);
  return 0;
}
