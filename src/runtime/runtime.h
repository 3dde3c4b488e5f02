// The run-time frame: per-routine error records, the guarded platform call, the
// process-wide run-time state and its spin locks.
#ifndef VINTRELL_RUNTIME_RUNTIME_H_
#define VINTRELL_RUNTIME_RUNTIME_H_

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/win32.h"

namespace vintrell {

// Error numbers that run-time operations record.
constexpr int kErrorOutOfMemory = 7;
constexpr int kErrorBadErrorNumber = 51;  // also what a request to record 0 becomes
constexpr int kErrorFileNotOpen = 52;
constexpr int kErrorFileNotFound = 53;
constexpr int kErrorWrongFileMode = 54;
constexpr int kErrorFileAlreadyOpen = 55;
constexpr int kErrorEndOfData = 62;
constexpr int kErrorBadFileName = 64;
constexpr int kErrorAccessDenied = 70;
constexpr int kErrorPathNotFound = 76;

// Layout of a run-time error record.
constexpr uint32_t kErrorNumberMask = 0x000000FF;
constexpr uint32_t kPendingFlag = 0x00008000;
constexpr int kPlatformCodeShift = 16;

// The procedure frame of one routine call. Every routine of the program opens one
// on entry; run-time operations record failures into the innermost open frame of
// their thread, so a callee's error never shows in its caller. Frame exit
// releases the routine's locals by ordinary destruction.
class ProcedureFrame {
 public:
  ProcedureFrame();
  ~ProcedureFrame();
  ProcedureFrame(const ProcedureFrame&) = delete;
  ProcedureFrame& operator=(const ProcedureFrame&) = delete;

  uint32_t run_time_error() const { return run_time_error_; }
  void record(uint32_t value) { run_time_error_ = value; }

 private:
  uint32_t run_time_error_ = 0;
  ProcedureFrame* caller_;
};

// The innermost frame of this thread (a thread-wide outer frame when no routine
// has opened one).
ProcedureFrame& current_frame();
uint32_t current_run_time_error();
int error_number_of(uint32_t record);
uint32_t platform_code_of(uint32_t record);

// Records error `number` (low 8 bits; 0 becomes 51) in the current frame,
// replacing what was there. Returns 0, the failing operation's numeric result.
int set_error(int number);
// As set_error, keeping the platform's error code in the record's top 16 bits.
void set_platform_error(int number, uint32_t platform_code);
// The folder listing clears the record after every directory-entry request.
void clear_run_time_error();

// The error number that a Win32 error code maps to (entry 40 for every code of
// 40 and above).
int platform_error_number(uint32_t code);

// A process-wide lock word: 0 free, -1 held; taken by atomic exchange in a busy
// loop, released by a plain store.
class SpinLockHold {
 public:
  explicit SpinLockHold(std::atomic<int32_t>& word);
  ~SpinLockHold();
  SpinLockHold(const SpinLockHold&) = delete;
  SpinLockHold& operator=(const SpinLockHold&) = delete;

 private:
  std::atomic<int32_t>& word_;
};

struct RuntimeState {
  HINSTANCE instance = nullptr;
  std::atomic<int32_t> platform_call_lock{0};
  std::atomic<int32_t> run_time_lock{0};
  std::atomic<int32_t> file_table_lock{0};
  UINT saved_error_mode = 0;
  // Set once by a program that calls from several threads: the error mode
  // stays as guarded calls want it, and they take no lock.
  std::atomic<bool> error_mode_kept{false};
};

RuntimeState& runtime_state();

// What a guarded platform call observed. The call failed exactly when the last
// error it left is not 0, whatever the function returned.
struct PlatformOutcome {
  uint32_t code = 0;
  bool failed() const { return code != 0; }
  int error_number() const { return platform_error_number(code); }
  uint32_t platform_code() const { return code & 0xFFFF; }
};

// For the rest of the process, critical-error boxes stay off: guarded calls
// may then be made from any number of threads at once. Call before any
// thread but the first starts.
void keep_error_mode_for_process();

// Critical-error boxes off, last error cleared, the call made, last error read,
// error mode restored: all under the platform-call lock (or, once the mode is
// kept for the process, only the last error, which is the thread's own).
template <typename Call>
auto guarded_platform_call(PlatformOutcome* outcome, Call&& call) -> decltype(call()) {
  RuntimeState& state = runtime_state();
  if (state.error_mode_kept.load(std::memory_order_relaxed)) {
    SetLastError(0);
    auto result = call();
    outcome->code = GetLastError();
    return result;
  }
  SpinLockHold hold(state.platform_call_lock);
  state.saved_error_mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  SetLastError(0);
  auto result = call();
  outcome->code = GetLastError();
  SetErrorMode(state.saved_error_mode);
  return result;
}

// Shows a message box with no owner: the text and caption up to their first NUL,
// "Quorvastel" when the caption is empty, only the style's low 16 bits. Returns
// what MessageBoxA returns.
int show_message(const std::string& text, int32_t style, const std::string& caption);

extern const char kDefaultCaption[];

// The program's own entry; the process exit code is its result.
using MainRoutine = int32_t (*)(HINSTANCE instance, HINSTANCE previous,
                                const std::string& command_tail, int32_t show_code);

// Start-up through the main routine's return: returns its result.
int32_t run_process(MainRoutine main_routine);
// run_process, then ExitProcess with its result. Called from the C runtime's entry.
[[noreturn]] void process_entry(MainRoutine main_routine);

// The part of a command line behind the program's own name and the blanks after it.
std::string command_tail_of(const char* command_line);
// wShowWindow when STARTF_USESHOWWINDOW is set, else SW_SHOWDEFAULT.
int32_t show_code_of(const STARTUPINFOA& info);

}  // namespace vintrell

#endif  // VINTRELL_RUNTIME_RUNTIME_H_
