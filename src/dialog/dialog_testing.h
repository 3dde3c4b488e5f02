// What the dialog engine's tests share: recording callbacks and a fixture that
// builds dialogs shaped like the program's main dialog.
#ifndef VINTRELL_DIALOG_DIALOG_TESTING_H_
#define VINTRELL_DIALOG_DIALOG_TESTING_H_

#include <cstdint>
#include <string>
#include <vector>

#include "dialog/dialog.h"
#include "platform/win32.h"
#include "runtime/runtime.h"
#include "testing/test.h"

namespace dialog_testing {

struct Call {
  HWND dialog;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};

inline std::vector<Call>& control_calls() {
  static std::vector<Call> calls;
  return calls;
}

inline std::vector<Call>& dialog_calls() {
  static std::vector<Call> calls;
  return calls;
}

// Control callbacks: record, then answer as named.
inline int32_t record_control(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  control_calls().push_back({dialog, message, wparam, lparam});
  return 0;
}
inline int32_t record_and_handle(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  control_calls().push_back({dialog, message, wparam, lparam});
  return 1;
}
inline int32_t record_and_end_with_one(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  control_calls().push_back({dialog, message, wparam, lparam});
  vintrell::end_dialog(dialog, 1);
  return 0;
}

// Dialog callback: records every message it is given and answers 0.
inline int32_t record_dialog(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  dialog_calls().push_back({dialog, message, wparam, lparam});
  return 0;
}

// Commands in `calls` carrying `id` (any notification code when `code` < 0).
inline int commands_for(const std::vector<Call>& calls, int id, int code = -1) {
  int n = 0;
  for (const Call& call : calls) {
    if (call.message != WM_COMMAND || LOWORD(call.wparam) != id) continue;
    if (code >= 0 && HIWORD(call.wparam) != code) continue;
    ++n;
  }
  return n;
}

inline int messages_of(const std::vector<Call>& calls, UINT message) {
  int n = 0;
  for (const Call& call : calls) n += call.message == message ? 1 : 0;
  return n;
}

// Ids of the program-shaped dialog, as the main dialog has them.
constexpr int32_t kTextBox = 1;
constexpr int32_t kList = 2;
constexpr int32_t kSummaryBox = 3;
constexpr int32_t kDirectoryBox = 4;
constexpr int32_t kOptionA = 5;
constexpr int32_t kOptionB = 6;
constexpr int32_t kLabel = 7;
constexpr int32_t kFindButton = 10;
constexpr int32_t kCloseButton = 11;
constexpr int32_t kBrowseButton = 12;
constexpr int32_t kCheckBox = 13;
constexpr int32_t kFlatButton = 101;

class DialogTest : public testing::Test {
 public:
  DialogTest() {
    vintrell::runtime_state().instance = GetModuleHandleA(nullptr);
    control_calls().clear();
    dialog_calls().clear();
  }
  ~DialogTest() override {
    for (HWND dialog : dialogs_) {
      if (IsWindow(dialog)) DestroyWindow(dialog);
    }
    BYTE keys[256] = {};
    SetKeyboardState(keys);
  }

  HWND make_dialog(const std::string& title = "Test", HWND owner = nullptr) {
    HWND dialog = vintrell::new_dialog(owner, title, -1, -1, 300, 150, 0xA0000, 0);
    dialogs_.push_back(dialog);
    return dialog;
  }

  HWND add(HWND dialog, int32_t kind, int32_t id, const std::string& text, int32_t x, int32_t y,
           int32_t w, int32_t h, uint32_t style = 0,
           vintrell::ControlCallback callback = nullptr) {
    return vintrell::add_control(dialog, kind, id, text, "", nullptr, x, y, w, h, style, 0,
                                 callback);
  }

  // The main dialog's controls in its order: text box, check box, list, two text
  // boxes, two option buttons, a label, a flat button and three push buttons;
  // the Find and Close buttons carry `find` and `close`.
  HWND make_program_dialog(vintrell::ControlCallback find = record_control,
                           vintrell::ControlCallback close = record_and_end_with_one) {
    HWND d = make_dialog("Vintrell for Pegasus Mail");
    add(d, 9, kTextBox, "", 54, 14, 150, 12);
    add(d, 3, kCheckBox, "Match Case", 205, 14, 50, 12);
    add(d, 15, kList, "", 54, 46, 200, 36);
    add(d, 9, kSummaryBox, "", 54, 88, 200, 12);
    add(d, 9, kDirectoryBox, "C:\\MAIL\\", 54, 2, 200, 12);
    add(d, 7, kOptionA, "Address Books", 54, 28, 80, 12);
    add(d, 7, kOptionB, "Distribution Lists", 154, 28, 80, 12);
    vintrell::set_check(d, kOptionA, 1);
    add(d, 5, kLabel, "Directory", 4, 2, 46, 12);
    add(d, 1, kFlatButton, "http://example.com", 4, 114, 104, 12, 0x8000, record_control);
    add(d, 1, kBrowseButton, "Browse", 260, 2, 30, 14, 0, record_control);
    add(d, 1, kFindButton, "Find", 140, 110, 40, 14, 0, find);
    add(d, 1, kCloseButton, "Close", 200, 110, 40, 14, 0, close);
    vintrell::set_focus(d, kTextBox);
    return d;
  }

  // The control id that has the keyboard focus; 0 for none, -1 for the dialog.
  static int focused_id(HWND dialog) {
    HWND focus = GetFocus();
    if (focus == nullptr) return 0;
    if (focus == dialog) return -1;
    return GetDlgCtrlID(focus);
  }

 private:
  std::vector<HWND> dialogs_;
};

}  // namespace dialog_testing

#endif  // VINTRELL_DIALOG_DIALOG_TESTING_H_
