#include <atomic>
#include <thread>

#include "runtime/runtime.h"
#include "testing/test.h"
#include "testing/test_util.h"

using namespace vintrell;

namespace {

void record_in_own_frame(int number) {
  ProcedureFrame frame;
  set_error(number);
}

}  // namespace

TEST(ErrorRecord, LayoutHoldsNumberPendingFlagAndPlatformCode) {
  ProcedureFrame frame;
  set_platform_error(53, 18);
  EXPECT_EQ(current_run_time_error(), 0x00128035u);
  EXPECT_EQ(error_number_of(current_run_time_error()), 53);
  EXPECT_EQ(platform_code_of(current_run_time_error()), 18u);
  set_error(7);
  EXPECT_EQ(current_run_time_error(), 0x00008007u);
}

TEST(ErrorRecord, ZeroIsRecordedAs51AndOnlyLow8BitsCount) {
  ProcedureFrame frame;
  set_error(0);
  EXPECT_EQ(current_run_time_error(), 0x00008033u);
  set_platform_error(0, 5);
  EXPECT_EQ(current_run_time_error(), 0x00008033u);  // no code kept for a 0 request
  set_error(0x134);
  EXPECT_EQ(error_number_of(current_run_time_error()), 0x34);
  EXPECT_EQ(set_error(52), 0);
}

TEST(ErrorRecord, SecondFailureReplacesTheFirst) {
  ProcedureFrame frame;
  set_platform_error(70, 32);
  set_error(62);
  EXPECT_EQ(current_run_time_error(), 0x0000803Eu);
}

TEST(ErrorRecord, CalleeErrorNeverReachesTheCaller) {
  ProcedureFrame frame;
  EXPECT_EQ(current_run_time_error(), 0u);
  record_in_own_frame(64);
  EXPECT_EQ(current_run_time_error(), 0u);
  set_error(55);
  record_in_own_frame(7);
  EXPECT_EQ(error_number_of(current_run_time_error()), 55);
}

TEST(ErrorRecord, FramesOfOtherThreadsAreApart) {

  ProcedureFrame frame;
  set_error(53);
  std::thread other([] {
    ProcedureFrame own;
    EXPECT_EQ(current_run_time_error(), 0u);
    set_error(7);
  });
  other.join();
  EXPECT_EQ(error_number_of(current_run_time_error()), 53);
}

TEST(PlatformErrorMap, EntriesAtTheEdges) {
  EXPECT_EQ(platform_error_number(0), 0);
  EXPECT_EQ(platform_error_number(1), 75);
  EXPECT_EQ(platform_error_number(2), 53);
  EXPECT_EQ(platform_error_number(3), 76);
  EXPECT_EQ(platform_error_number(5), 70);
  EXPECT_EQ(platform_error_number(8), 7);
  EXPECT_EQ(platform_error_number(18), 53);
  EXPECT_EQ(platform_error_number(28), 27);
  EXPECT_EQ(platform_error_number(32), 70);
  EXPECT_EQ(platform_error_number(38), 62);
  EXPECT_EQ(platform_error_number(39), 61);
  EXPECT_EQ(platform_error_number(40), 75);
  EXPECT_EQ(platform_error_number(183), 75);
  EXPECT_EQ(platform_error_number(65538), 75);
  EXPECT_EQ(platform_error_number(0xFFFFFFFFu), 75);
}

TEST(GuardedCall, JudgesByLastErrorNotByReturnValue) {
  PlatformOutcome outcome;
  // Succeeds by its return value but leaves ERROR_ALREADY_EXISTS behind.
  int result = guarded_platform_call(&outcome, [] {
    SetLastError(ERROR_ALREADY_EXISTS);
    return 1;
  });
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(outcome.failed());
  EXPECT_EQ(outcome.error_number(), 75);
  EXPECT_EQ(outcome.platform_code(), 183u);

  // Fails by its return value but leaves last error 0: a success.
  result = guarded_platform_call(&outcome, [] { return 0; });
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(outcome.failed());
}

TEST(GuardedCall, ClearsLastErrorBeforeAndKeepsCodeModulo65536) {
  SetLastError(ERROR_ACCESS_DENIED);
  PlatformOutcome outcome;
  guarded_platform_call(&outcome, [] { return 0; });
  EXPECT_FALSE(outcome.failed());

  guarded_platform_call(&outcome, [] {
    SetLastError(65538);
    return 0;
  });
  EXPECT_EQ(outcome.error_number(), 75);
  EXPECT_EQ(outcome.platform_code(), 2u);
}

TEST(GuardedCall, SwitchesCriticalErrorBoxesOffAndRestoresTheMode) {
  UINT before = SetErrorMode(0);
  PlatformOutcome outcome;
  UINT inside = guarded_platform_call(&outcome, [] {
    UINT mode = SetErrorMode(0);
    SetErrorMode(mode);
    return mode;
  });
  EXPECT_EQ(inside & 0x8001u, 0x8001u);
  EXPECT_EQ(SetErrorMode(before), 0u);
  EXPECT_EQ(runtime_state().platform_call_lock.load(), 0);
}

TEST(GuardedCall, LastErrorIsPerThread) {

  // Only atomics between setting and reading: thread start and join may touch
  // the last error themselves.
  std::atomic<int> step{0};
  DWORD seen_here = 0, seen_there = 0;
  std::thread other([&] {
    while (step.load() != 1) {
    }
    SetLastError(ERROR_PATH_NOT_FOUND);
    step.store(2);
    while (step.load() != 3) {
    }
    seen_there = GetLastError();
  });
  SetLastError(ERROR_FILE_NOT_FOUND);
  step.store(1);
  while (step.load() != 2) {
  }
  seen_here = GetLastError();
  step.store(3);
  other.join();
  EXPECT_EQ(seen_here, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(seen_there, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(SpinLock, SerialisesTwoThreads) {

  std::atomic<int32_t> word{0};
  long counter = 0;
  auto work = [&] {
    for (int i = 0; i < 20000; ++i) {
      SpinLockHold hold(word);
      ++counter;
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 40000L);
  EXPECT_EQ(word.load(), 0);
}

TEST(ProcessEntry, CommandTailSkipsTheProgramNameAndBlanks) {
  EXPECT_EQ(command_tail_of("C:\\MAIL\\FIND.EXE"), std::string());
  EXPECT_EQ(command_tail_of("C:\\MAIL\\FIND.EXE   one two"), std::string("one two"));
  EXPECT_EQ(command_tail_of("\"C:\\My Mail\\FIND.EXE\" x"), std::string("x"));
  EXPECT_EQ(command_tail_of("\"C:\\unclosed x"), std::string());
  EXPECT_EQ(command_tail_of(nullptr), std::string());
}

TEST(ProcessEntry, ShowCodeComesFromStartupInfoOnlyWhenFlagged) {
  STARTUPINFOA info = {};
  info.wShowWindow = 3;
  EXPECT_EQ(show_code_of(info), 10);
  info.dwFlags = STARTF_USESHOWWINDOW;
  EXPECT_EQ(show_code_of(info), 3);
}

namespace {
std::string g_seen_tail;
HINSTANCE g_seen_instance;
int32_t recording_main(HINSTANCE instance, HINSTANCE previous, const std::string& tail,
                       int32_t) {
  g_seen_instance = instance;
  g_seen_tail = tail;
  // The main routine runs inside a clean outer frame.
  return previous == nullptr && current_run_time_error() == 0 ? 0 : 9;
}
}  // namespace

TEST(ProcessEntry, CallsTheMainRoutineWithTheModuleAndHandsBackItsResult) {
  EXPECT_EQ(run_process(&recording_main), 0);
  EXPECT_EQ(g_seen_instance, static_cast<HINSTANCE>(GetModuleHandleA(nullptr)));
  EXPECT_EQ(runtime_state().instance, g_seen_instance);
  EXPECT_EQ(g_seen_tail, command_tail_of(GetCommandLineA()));
}

TEST(ShowMessage, EmptyCaptionBecomesTheDefaultAndTextEndsAtNul) {
  auto boxes = testing::message_boxes_during([] {
    show_message(std::string("first\0hidden", 12), 0, std::string());
    show_message("second", 0, " ");
    show_message("third", 0x40000, std::string("cap\0tail", 8));
  });
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].caption, std::string("Quorvastel"));
  EXPECT_EQ(boxes[0].text, std::string("first"));
  EXPECT_EQ(boxes[1].caption, std::string(" "));
  EXPECT_EQ(boxes[2].caption, std::string("cap"));
  EXPECT_FALSE(boxes[2].topmost);  // MB_TOPMOST lies above the low 16 bits
}
