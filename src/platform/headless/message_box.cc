// MessageBoxA without a screen: the box is recorded for tests, reported on
// stderr, and answered as if OK had been pressed.
#include <cstdio>
#include <mutex>

#include "platform/native_layer.h"
#include "platform/win32.h"

namespace {

std::mutex& boxes_mutex() {
  static std::mutex m;
  return m;
}

std::vector<native_layer::MessageBoxRecord>& boxes() {
  static std::vector<native_layer::MessageBoxRecord> list;
  return list;
}

}  // namespace

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  std::string t = text ? text : "";
  // Windows titles a box with a null caption "Error".
  std::string c = caption ? caption : "Error";
  {
    std::lock_guard<std::mutex> hold(boxes_mutex());
    boxes().push_back({c, t, type});
  }
  std::fprintf(stderr, "[message box] %s: %s\n", c.c_str(), t.c_str());
  return IDOK;
}

namespace native_layer {

std::vector<MessageBoxRecord> message_boxes() {
  std::lock_guard<std::mutex> hold(boxes_mutex());
  return boxes();
}

void clear_message_boxes() {
  std::lock_guard<std::mutex> hold(boxes_mutex());
  boxes().clear();
}

}  // namespace native_layer
