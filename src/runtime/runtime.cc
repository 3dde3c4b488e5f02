#include "runtime/runtime.h"

namespace vintrell {
namespace {

thread_local ProcedureFrame* t_innermost = nullptr;

// Win32 codes 0 to 39; every larger code uses the last entry.
constexpr uint8_t kPlatformErrorMap[41] = {
    0,   75, 53, 76, 67, 70, 51, 241, 7,  241,  // 0-9
    241, 51, 51, 51, 7,  68, 75, 74,  53, 70,   // 10-19
    68,  71, 51, 72, 51, 72, 72, 72,  27, 72,   // 20-29
    72,  72, 70, 70, 72, 75, 70, 75,  62, 61,   // 30-39
    75,                                          // 40 and above
};

}  // namespace

ProcedureFrame::ProcedureFrame() : caller_(t_innermost) { t_innermost = this; }

ProcedureFrame::~ProcedureFrame() { t_innermost = caller_; }

ProcedureFrame& current_frame() {
  if (t_innermost == nullptr) {
    // Code that runs outside any routine (thread start, tests) still records somewhere.
    thread_local ProcedureFrame outer;
    return outer;
  }
  return *t_innermost;
}

uint32_t current_run_time_error() { return current_frame().run_time_error(); }

int error_number_of(uint32_t record) { return static_cast<int>(record & kErrorNumberMask); }

uint32_t platform_code_of(uint32_t record) { return record >> kPlatformCodeShift; }

int set_error(int number) {
  set_platform_error(number, 0);
  return 0;
}

void set_platform_error(int number, uint32_t platform_code) {
  uint32_t n = static_cast<uint32_t>(number) & kErrorNumberMask;
  if (n == 0) {
    n = kErrorBadErrorNumber;
    platform_code = 0;
  }
  current_frame().record(n | kPendingFlag | ((platform_code & 0xFFFF) << kPlatformCodeShift));
}

void clear_run_time_error() { current_frame().record(0); }

int platform_error_number(uint32_t code) {
  return kPlatformErrorMap[code < 40 ? code : 40];
}

SpinLockHold::SpinLockHold(std::atomic<int32_t>& word) : word_(word) {
  while (word_.exchange(-1, std::memory_order_acquire) != 0) {
  }
}

SpinLockHold::~SpinLockHold() { word_.store(0, std::memory_order_release); }

void keep_error_mode_for_process() {
  RuntimeState& state = runtime_state();
  SpinLockHold hold(state.platform_call_lock);
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  state.error_mode_kept.store(true, std::memory_order_relaxed);
}

RuntimeState& runtime_state() {
  static RuntimeState state;
  return state;
}

}  // namespace vintrell
