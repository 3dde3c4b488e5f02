#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include "platform/win32.h"
#include "testing/test_util.h"

namespace testing {
namespace {

struct Watch {
  std::mutex mutex;
  std::vector<SeenMessageBox> seen;
  std::set<HWND> answered;
  DWORD process = GetCurrentProcessId();
};

BOOL CALLBACK look_at_window(HWND window, LPARAM param) {
  Watch* watch = reinterpret_cast<Watch*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char class_name[64] = "";
  GetClassNameA(window, class_name, sizeof class_name);
  if (process != watch->process || std::string(class_name) != "#32770" ||
      !IsWindowVisible(window)) {
    return TRUE;
  }
  // A message box's text is its static control 0xFFFF.
  HWND text_control = GetDlgItem(window, 0xFFFF);
  if (text_control == nullptr || watch->answered.count(window)) return TRUE;
  watch->answered.insert(window);
  SeenMessageBox box;
  char buffer[1024] = "";
  GetWindowTextA(window, buffer, sizeof buffer);
  box.caption = buffer;
  buffer[0] = '\0';
  GetWindowTextA(text_control, buffer, sizeof buffer);
  box.text = buffer;
  box.topmost = (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  {
    std::lock_guard<std::mutex> hold(watch->mutex);
    watch->seen.push_back(box);
  }
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return TRUE;
}

}  // namespace

bool on_native_layer() { return false; }

std::vector<SeenMessageBox> message_boxes_during(const std::function<void()>& action) {
  Watch watch;
  std::atomic<bool> done{false};
  std::thread watcher([&] {
    while (!done.load()) {
      EnumWindows(look_at_window, reinterpret_cast<LPARAM>(&watch));
      Sleep(20);
    }
  });
  action();
  done.store(true);
  watcher.join();
  return watch.seen;
}

}  // namespace testing
