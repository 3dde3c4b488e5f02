#include "platform/native_layer.h"
#include "testing/test_util.h"

namespace testing {

bool on_native_layer() { return true; }

std::vector<SeenMessageBox> message_boxes_during(const std::function<void()>& action) {
  native_layer::clear_message_boxes();
  action();
  std::vector<SeenMessageBox> seen;
  for (const auto& box : native_layer::message_boxes()) {
    seen.push_back({box.caption, box.text, (box.style & MB_TOPMOST) != 0});
  }
  return seen;
}

}  // namespace testing
