// The benchmark's hands on the real vintrell.exe under Wine: starts the program,
// lets it sit idle with the dialog open for a while, then types a text, presses
// Find and times the command until the results list holds its lines and has
// been painted.
//
//   vintrell-bench-driver.exe PROGRAM.EXE FOLDER TEXT IDLE_SECONDS
//
// Prints "idle_begin" and "idle_end" around the idle time, then "name value"
// lines (find_ms, results, summary) for tools/benchmark.sh; exit code 0 when the
// program started and the Find ended.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "testing/top_window.h"

namespace {

const char kCaption[] = "Vintrell for Pegasus Mail";
constexpr int kTextToFind = 1, kResults = 2, kSummary = 3, kDirectory = 4;
constexpr int kAddressBooks = 5, kFind = 10, kClose = 11;
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: vintrell-bench-driver PROGRAM.EXE FOLDER TEXT IDLE_SECONDS\n");
    return 2;
  }
  const std::string exe = argv[1], folder = argv[2], text = argv[3];
  const double idle_seconds = std::atof(argv[4]);

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  std::string command = "\"" + exe + "\"";
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  if (!CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &info)) {
    std::fprintf(stderr, "bench-driver: cannot start %s\n", exe.c_str());
    return 1;
  }
  HWND dialog = nullptr;
  for (int waited = 0; waited < 30000; waited += 20) {
    if ((dialog = testing::visible_window_of(info.dwProcessId, kCaption)) != nullptr) break;
    Sleep(20);
  }
  if (dialog == nullptr) {
    std::fprintf(stderr, "bench-driver: the dialog did not appear\n");
    TerminateProcess(info.hProcess, 99);
    return 1;
  }
  auto control = [&](int id) { return GetDlgItem(dialog, id); };

  // Idle: the dialog open, nothing happening. The benchmark reads the
  // program's CPU time between the two marks (Wine's GetProcessTimes of
  // another process leaves out most of it).
  WaitForInputIdle(info.hProcess, 10000);
  Sleep(1000);
  std::printf("idle_begin\n");
  std::fflush(stdout);
  Sleep(static_cast<DWORD>(idle_seconds * 1000));
  std::printf("idle_end\n");
  std::fflush(stdout);

  SendMessageA(control(kDirectory), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
  SendMessageA(control(kTextToFind), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  SendMessageA(control(kAddressBooks), BM_CLICK, 0, 0);
  HWND list = control(kResults);
  // The command runs inside the sent click; the list is painted once the
  // program is back in its loop and nothing of the list is left to paint.
  double start = seconds_now();
  SendMessageA(control(kFind), BM_CLICK, 0, 0);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_BLOCK, kPatienceMilliseconds, &ignored);
  for (int waited = 0; GetUpdateRect(list, nullptr, FALSE) && waited < 60000; ++waited) Sleep(1);
  double elapsed = seconds_now() - start;
  LRESULT results = SendMessageA(list, LB_GETCOUNT, 0, 0);
  char summary[256] = "";
  SendMessageA(control(kSummary), WM_GETTEXT, sizeof summary, reinterpret_cast<LPARAM>(summary));
  std::printf("find_ms %.1f\nresults %ld\nsummary %s\n", elapsed * 1000, static_cast<long>(results),
              summary);

  PostMessageA(control(kClose), BM_CLICK, 0, 0);
  if (WaitForSingleObject(info.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(info.hProcess, 99);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return 0;
}
