// Helpers that many tests want, with one implementation per platform.
#ifndef VINTRELL_TESTING_TEST_UTIL_H_
#define VINTRELL_TESTING_TEST_UTIL_H_

#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace testing {

// True on the project's own platform layer, false on the real Win32 (Wine).
bool on_native_layer();

// A message box seen while `action` ran. The native layer records boxes; on
// Win32 a watcher thread reads each box of this process and presses its button.
struct SeenMessageBox {
  std::string caption;
  std::string text;
  bool topmost = false;
};
std::vector<SeenMessageBox> message_boxes_during(const std::function<void()>& action);

// Puts the process back into the folder it was in.
class CurrentDirectoryRestorer {
 public:
  CurrentDirectoryRestorer() { GetCurrentDirectoryA(sizeof saved_, saved_); }
  ~CurrentDirectoryRestorer() { SetCurrentDirectoryA(saved_); }
  CurrentDirectoryRestorer(const CurrentDirectoryRestorer&) = delete;
  CurrentDirectoryRestorer& operator=(const CurrentDirectoryRestorer&) = delete;

 private:
  char saved_[MAX_PATH + 1] = "";
};

}  // namespace testing

#endif  // VINTRELL_TESTING_TEST_UTIL_H_
