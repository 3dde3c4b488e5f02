// A scripted user at the keyboard and the mouse, for dialog tests that run the
// same on the real Win32 and on the native layer.
//
// Input goes where the system sends it: keys and characters to the window that
// has the keyboard focus when their turn comes (to the active window, as
// WM_SYSKEYDOWN / WM_SYSCHAR, when none has it), clicks to the control under the
// pointer. Steps are delivered from the thread's own message loop by a timer,
// and a timer fires only when the thread's queue is empty, so each step starts
// after every message of the steps before it has been handled, including what
// they posted in turn.
//
//   testing::UserInput input(dialog);
//   input.key(VK_TAB).type("abc").click(10).run([&] { checks... });
//   input.start();
//   run_modal(dialog, nullptr, &result);   // or any message loop
#ifndef VINTRELL_TESTING_INPUT_H_
#define VINTRELL_TESTING_INPUT_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace testing {

class UserInput {
 public:
  // `dialog` is the window the steps are for. Once every step has been delivered
  // and the queue is empty again, a dialog still open is destroyed, so the
  // loop that runs it always ends.
  explicit UserInput(HWND dialog);
  // For a dialog that does not exist yet: asked for its handle at every turn.
  explicit UserInput(std::function<HWND()> dialog);
  ~UserInput();
  UserInput(const UserInput&) = delete;
  UserInput& operator=(const UserInput&) = delete;

  // A key pressed and released: WM_KEYDOWN, WM_KEYUP.
  UserInput& key(UINT virtual_key);
  // The same with Shift held down for the thread's key state (Shift+Tab).
  UserInput& shift_key(UINT virtual_key);
  // The same with Alt held: WM_SYSKEYDOWN / WM_SYSKEYUP (Alt+F4 closes).
  UserInput& alt_key(UINT virtual_key);
  // One WM_CHAR per byte, as typing produces after translation.
  UserInput& type(const std::string& text);
  // The left button pressed and released in the middle of the dialog's control
  // `id` (the first with that id).
  UserInput& click(int id);
  // The caption's close box: WM_SYSCOMMAND with SC_CLOSE.
  UserInput& close_box();
  // The user does nothing for `milliseconds`: the next step waits that long, so
  // the thread's queue runs empty even where every turn is slow.
  UserInput& idle(UINT milliseconds);
  // The test's own code at this turn (checks, engine calls).
  UserInput& run(std::function<void()> step);

  // Starts delivering; the first step comes once the thread's loop runs.
  void start();

  // Every step has been delivered.
  bool done() const;
  // The dialog outlived the steps and was destroyed by this script.
  bool left_open() const;
  // How many steps have been delivered so far.
  size_t delivered() const;

  struct Script;

 private:
  std::unique_ptr<Script> script_;
};

}  // namespace testing

#endif  // VINTRELL_TESTING_INPUT_H_
