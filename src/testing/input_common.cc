#include <map>

#include "testing/input.h"

namespace testing {

struct UserInput::Script {
  std::function<HWND()> dialog;
  std::vector<std::function<void()>> steps;
  size_t next = 0;
  UINT_PTR timer = 0;
  UINT interval = USER_TIMER_MINIMUM;  // until the next turn
  bool finished = false;
  bool left_open = false;
};

namespace {

// Timers of the thread's own queue carry no window, so the script is found by
// the timer's id.
std::map<UINT_PTR, UserInput::Script*>& running_scripts() {
  static std::map<UINT_PTR, UserInput::Script*> scripts;
  return scripts;
}

LPARAM key_data(UINT virtual_key, bool up, bool alt) {
  DWORD flags = 0;
  if (alt) flags |= KF_ALTDOWN;
  if (up) flags |= KF_UP | KF_REPEAT;
  DWORD scan = MapVirtualKeyA(virtual_key, MAPVK_VK_TO_VSC) & 0xFF;
  return static_cast<LPARAM>(1 | (scan << 16) | (flags << 16));
}

// With no focus the system sends keys to the active window as system keys.
void post_key(UINT virtual_key, bool alt) {
  HWND focus = GetFocus();
  HWND target = focus != nullptr ? focus : GetActiveWindow();
  if (target == nullptr) return;
  const bool system = alt || focus == nullptr;
  if (alt) PostMessageA(target, WM_SYSKEYDOWN, VK_MENU, key_data(VK_MENU, false, true));
  PostMessageA(target, system ? WM_SYSKEYDOWN : WM_KEYDOWN, virtual_key,
               key_data(virtual_key, false, alt));
  PostMessageA(target, system ? WM_SYSKEYUP : WM_KEYUP, virtual_key,
               key_data(virtual_key, true, alt));
  // Alt released after another key: a plain key-up, which opens no menu.
  if (alt) PostMessageA(target, WM_KEYUP, VK_MENU, key_data(VK_MENU, true, false));
}

void set_shift(bool down) {
  BYTE state[256];
  GetKeyboardState(state);
  state[VK_SHIFT] = down ? 0x80 : 0x00;
  SetKeyboardState(state);
}

void CALLBACK on_turn(HWND, UINT, UINT_PTR id, DWORD);

// A thread timer cannot be given a new interval in place on every platform, so
// the script moves to a new timer.
void rearm(UserInput::Script* script, UINT interval) {
  KillTimer(nullptr, script->timer);
  running_scripts().erase(script->timer);
  script->timer = SetTimer(nullptr, 0, interval, on_turn);
  running_scripts()[script->timer] = script;
}

void CALLBACK on_turn(HWND, UINT, UINT_PTR id, DWORD) {
  auto found = running_scripts().find(id);
  if (found == running_scripts().end()) return;
  UserInput::Script* script = found->second;
  if (script->interval != USER_TIMER_MINIMUM) {
    script->interval = USER_TIMER_MINIMUM;
    rearm(script, USER_TIMER_MINIMUM);
  }
  if (script->next < script->steps.size()) {
    // Taken out first: a step may run a nested loop that comes back here.
    std::function<void()> step = script->steps[script->next++];
    step();
    if (script->interval != USER_TIMER_MINIMUM && script->timer != 0) rearm(script, script->interval);
    return;
  }
  KillTimer(nullptr, id);
  running_scripts().erase(id);
  script->timer = 0;
  script->finished = true;
  HWND dialog = script->dialog();
  if (dialog != nullptr && IsWindow(dialog)) {
    script->left_open = true;
    DestroyWindow(dialog);
  }
}

}  // namespace

UserInput::UserInput(HWND dialog) : script_(new Script) {
  script_->dialog = [dialog] { return dialog; };
}

UserInput::UserInput(std::function<HWND()> dialog) : script_(new Script) {
  script_->dialog = std::move(dialog);
}

UserInput::~UserInput() {
  if (script_->timer != 0) {
    KillTimer(nullptr, script_->timer);
    running_scripts().erase(script_->timer);
  }
}

UserInput& UserInput::key(UINT virtual_key) {
  script_->steps.push_back([virtual_key] { post_key(virtual_key, false); });
  return *this;
}

UserInput& UserInput::shift_key(UINT virtual_key) {
  // Posted keys leave the key state alone, so Shift is set in it directly and
  // released on the next turn, after the key has been handled.
  script_->steps.push_back([virtual_key] {
    set_shift(true);
    HWND focus = GetFocus();
    if (focus != nullptr) PostMessageA(focus, WM_KEYDOWN, VK_SHIFT, key_data(VK_SHIFT, false, false));
    post_key(virtual_key, false);
    if (focus != nullptr) PostMessageA(focus, WM_KEYUP, VK_SHIFT, key_data(VK_SHIFT, true, false));
  });
  script_->steps.push_back([] { set_shift(false); });
  return *this;
}

UserInput& UserInput::alt_key(UINT virtual_key) {
  script_->steps.push_back([virtual_key] { post_key(virtual_key, true); });
  return *this;
}

UserInput& UserInput::type(const std::string& text) {
  script_->steps.push_back([text] {
    HWND focus = GetFocus();
    HWND target = focus != nullptr ? focus : GetActiveWindow();
    if (target == nullptr) return;
    for (unsigned char c : text) {
      PostMessageA(target, focus != nullptr ? WM_CHAR : WM_SYSCHAR, c, 1);
    }
  });
  return *this;
}

UserInput& UserInput::click(int id) {
  Script* script = script_.get();
  script_->steps.push_back([script, id] {
    HWND control = GetDlgItem(script->dialog(), id);
    if (control == nullptr) return;
    RECT client = {0, 0, 0, 0};
    GetClientRect(control, &client);
    const LPARAM point = MAKELPARAM((client.left + client.right) / 2,
                                    (client.top + client.bottom) / 2);
    PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageA(control, WM_LBUTTONUP, 0, point);
  });
  return *this;
}

UserInput& UserInput::close_box() {
  Script* script = script_.get();
  script_->steps.push_back([script] {
    HWND dialog = script->dialog();
    if (dialog != nullptr) PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  });
  return *this;
}

UserInput& UserInput::idle(UINT milliseconds) {
  Script* script = script_.get();
  script_->steps.push_back([script, milliseconds] { script->interval = milliseconds; });
  return *this;
}

UserInput& UserInput::run(std::function<void()> step) {
  script_->steps.push_back(std::move(step));
  return *this;
}

void UserInput::start() {
  if (script_->timer != 0 || script_->finished) return;
  script_->timer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, on_turn);
  if (script_->timer != 0) running_scripts()[script_->timer] = script_.get();
}

bool UserInput::done() const { return script_->next >= script_->steps.size(); }

bool UserInput::left_open() const { return script_->left_open; }

size_t UserInput::delivered() const { return script_->next; }

}  // namespace testing
