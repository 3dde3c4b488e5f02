// Waiting for the thread's next message (MsgWaitForMultipleObjects without
// handles), as the modal loop waits on an empty queue, pinned under Wine.
#include <thread>

#include "platform/win32.h"
#include "testing/test.h"
#include "testing/test_util.h"

namespace {

constexpr DWORD kPatience = 10000;  // only ever reached by a fault

// Windows defines WAIT_OBJECT_0 as a signed status: compared as DWORDs here.
constexpr DWORD kWoken = WAIT_OBJECT_0;
constexpr DWORD kTimedOut = WAIT_TIMEOUT;

DWORD wait_for_input(DWORD milliseconds) {
  return MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT);
}

// Empties the thread's queue.
void drain() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
}

}  // namespace

TEST(MessageWait, OnlyInputThatArrivedSinceTheLastLookEndsTheWait) {
  drain();
  EXPECT_EQ(wait_for_input(0), kTimedOut);
  EXPECT_EQ(wait_for_input(20), kTimedOut);

  // Posted to the thread: the wait ends at once, and the message is there.
  PostMessageA(nullptr, WM_NULL, 7, 0);
  EXPECT_EQ(wait_for_input(kPatience), kWoken);
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(message.wParam, static_cast<WPARAM>(7));
  // Seen but left in the queue: no longer new, so it does not end a wait.
  EXPECT_EQ(wait_for_input(0), kTimedOut);
  drain();

  PostQuitMessage(3);
  EXPECT_EQ(wait_for_input(kPatience), kWoken);
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
  drain();
}

TEST(MessageWait, APostFromAnotherThreadAndADueTimerWakeTheWait) {
  HWND window = CreateWindowExA(0, "STATIC", "target", 0, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_TRUE(window != nullptr);
  // Whatever the creation queued is gone before the wait begins.
  drain();
  std::thread poster([window] {
    Sleep(30);
    PostMessageA(window, WM_NULL, 9, 0);
  });
  DWORD woken = wait_for_input(kPatience);
  poster.join();
  EXPECT_EQ(woken, kWoken);
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, window, WM_NULL, WM_NULL, PM_REMOVE));
  EXPECT_EQ(message.hwnd, window);
  EXPECT_EQ(message.wParam, static_cast<WPARAM>(9));
  DestroyWindow(window);
  drain();  // what the window's end queued

  UINT_PTR timer = SetTimer(nullptr, 0, 20, nullptr);
  ASSERT_TRUE(timer != 0);
  // Wine may queue input of its own meanwhile, which wakes the wait first; the
  // timer, which repeats, wakes one of the waits that follow.
  bool timer_seen = false;
  for (int wait = 0; wait < 50 && !timer_seen; ++wait) {
    ASSERT_EQ(wait_for_input(kPatience), kWoken);
    timer_seen = PeekMessageA(&message, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE) != FALSE;
    if (!timer_seen) drain();
  }
  EXPECT_TRUE(timer_seen);
  EXPECT_EQ(message.message, static_cast<UINT>(WM_TIMER));
  KillTimer(nullptr, timer);
  drain();
}
