// Helpers that many tests want, with one implementation per platform.
#ifndef VINTRELL_TESTING_TEST_UTIL_H_
#define VINTRELL_TESTING_TEST_UTIL_H_

#include <functional>
#include <string>
#include <vector>

namespace testing {

// True on the project's own platform layer, false on the real Win32 (Wine).
bool on_native_layer();

// True where the 32-bit Wine runs under QEMU's user-mode emulator
// (tools/with-wine.sh says so): its threads crash the emulated loader now and
// then, so tests of a second thread are skipped there, saying why.
bool threads_are_emulated();

// A message box seen while `action` ran. The native layer records boxes; on
// Win32 a watcher thread reads each box of this process and presses its button.
struct SeenMessageBox {
  std::string caption;
  std::string text;
  bool topmost = false;
};
std::vector<SeenMessageBox> message_boxes_during(const std::function<void()>& action);

}  // namespace testing

#endif  // VINTRELL_TESTING_TEST_UTIL_H_
