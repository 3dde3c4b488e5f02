#include "dialog/dialog.h"

#include <algorithm>
#include <cstring>

#include "runtime/runtime.h"
#include "services/text.h"

namespace vintrell {
namespace {

template <typename Callback>
Callback callback_in(HWND window) {
  return reinterpret_cast<Callback>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

HWND owner_of(HWND dialog) {
  return reinterpret_cast<HWND>(GetWindowLongPtrA(dialog, GWLP_HWNDPARENT));
}

// The last new dialog's font, given to every control added after it.
HFONT g_dialog_font = nullptr;

// Corner sums wrap as the 32-bit arithmetic of the platform's RECT would.
LONG wrapped_sum(int32_t a, int32_t b) {
  return static_cast<LONG>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

}  // namespace

HWND new_dialog(HWND owner, const std::string& title, int32_t x, int32_t y, int32_t width,
                int32_t height, uint32_t style, uint32_t extended_style) {
  ProcedureFrame frame;
  const std::vector<uint8_t> bytes =
      dialog_template(title, x, y, width, height, style, extended_style);
  // The platform wants the template on a 4-byte boundary.
  std::vector<uint32_t> aligned((bytes.size() + 3) / 4, 0);
  std::memcpy(aligned.data(), bytes.data(), bytes.size());
  RuntimeState& state = runtime_state();
  HWND dialog = CreateDialogIndirectParamA(
      state.instance, reinterpret_cast<LPCDLGTEMPLATEA>(aligned.data()), owner,
      engine_dialog_procedure, 0);
  // Every later control gets this font, whatever dialog it goes into.
  g_dialog_font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
  return dialog;
}

HFONT dialog_font() { return g_dialog_font; }

HWND add_control(HWND dialog, int32_t kind, int32_t id, const std::string& text,
                 const std::string& /*class_name*/, const std::vector<std::string>* initial_items,
                 int32_t x, int32_t y, int32_t width, int32_t height, uint32_t style,
                 uint32_t extended_style, ControlCallback callback) {
  ProcedureFrame frame;
  ControlCreation creation;
  if (!control_creation(kind, style, extended_style, &creation)) return nullptr;

  // Converting the corners, not the size, keeps neighbouring controls flush.
  RECT rect = {x, y, wrapped_sum(x, width), wrapped_sum(y, height)};
  MapDialogRect(dialog, &rect);
  RuntimeState& state = runtime_state();
  HWND control = CreateWindowExA(
      creation.extended_style, creation.class_name, text.c_str(), creation.style, rect.left,
      rect.top, static_cast<int>(wrapped_sum(rect.right, -rect.left)),
      static_cast<int>(wrapped_sum(rect.bottom, -rect.top)), dialog,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), state.instance, nullptr);
  if (control == nullptr) return nullptr;

  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(g_dialog_font), 1);
  SetWindowLongPtrA(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(callback));
  if (kind == kListBoxKind && initial_items != nullptr) {
    for (const std::string& item : *initial_items) {
      if (item.empty() || item[0] == '\0') continue;
      SendMessageA(control, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
  }
  if (kind == kPushButtonKind && (creation.style & BS_DEFPUSHBUTTON)) {
    SendMessageA(dialog, DM_SETDEFID, static_cast<WPARAM>(id), 0);
  }
  return control;
}

INT_PTR CALLBACK engine_dialog_procedure(HWND dialog, UINT message, WPARAM wparam,
                                         LPARAM lparam) {
  if (message == WM_ACTIVATE) {
    // Answered here so the dialog manager neither saves nor restores the focus.
    const WORD activation = LOWORD(wparam);
    if (activation == WA_INACTIVE || activation == WA_ACTIVE || activation == WA_CLICKACTIVE) {
      return 1;
    }
  }
  if (message == WM_COMMAND) {
    // The notification code is not looked at: every command of the id counts.
    HWND control = GetDlgItem(dialog, LOWORD(wparam));
    if (control != nullptr) {
      ControlCallback callback = callback_in<ControlCallback>(control);
      if (callback != nullptr) {
        int32_t answer = callback(dialog, message, wparam, lparam);
        if (answer != 0) return answer;
      }
    }
  }
  // A callback that ended the dialog leaves a dead handle here: no callback then.
  DialogCallback dialog_callback = callback_in<DialogCallback>(dialog);
  if (dialog_callback != nullptr) {
    int32_t answer = dialog_callback(dialog, message, wparam, lparam);
    if (answer != 0) return answer;
  }
  if (message == WM_SYSCOMMAND && LOWORD(wparam) == SC_CLOSE) {
    end_dialog(dialog, 0);
    return 1;
  }
  // WM_INITDIALOG answered 0: the dialog manager leaves the focus alone.
  return 0;
}

void run_modal(HWND dialog, DialogCallback dialog_callback, int32_t* result) {
  ProcedureFrame frame;
  // Only a destroyed dialog ends the loop, and a dialog that never was would
  // leave it polling an empty queue for ever.
  if (!IsWindow(dialog)) return;
  if (dialog_callback != nullptr) {
    dialog_callback(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(dialog), 0);
  }
  SetWindowLongPtrA(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(dialog_callback));
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(result));
  HWND owner = owner_of(dialog);
  if (owner != nullptr) {
    SendMessageA(owner, WM_CANCELMODE, 0, 0);
    EnableWindow(owner, FALSE);
  }
  const LONG style = GetWindowLongA(dialog, GWL_STYLE);
  ShowWindow(dialog, (style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED : SW_SHOW);

  // One message per pass; no message ends the loop by itself, WM_QUIT included.
  // An empty queue is waited on, not polled, so an idle dialog costs no CPU.
  MSG message;
  for (;;) {
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      // A dialog destroyed inside a sent message leaves nothing in the queue
      // behind it; without this check the loop would wait for ever.
      if (!IsWindow(dialog)) break;
      if (!(style & DS_NOIDLEMSG) && owner != nullptr) {
        SendMessageA(owner, WM_ENTERIDLE, MSGF_DIALOGBOX, reinterpret_cast<LPARAM>(dialog));
      }
      // Until something arrives, with no timeout: an idle dialog wakes for
      // nothing. Only this thread can destroy it, while it handles a message:
      // a message sent from another thread wakes the wait too (the next
      // PeekMessageA delivers it), and the check above then sees the dialog gone.
      MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
      continue;
    }
    if (!(IsWindow(dialog) && IsDialogMessageA(dialog, &message))) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (!IsWindow(dialog)) break;
  }
  if (owner != nullptr) SetFocus(owner);
}

void end_dialog(HWND dialog, int32_t result) {
  ProcedureFrame frame;
  // A dialog callback that answers the WM_CLOSE below with end_dialog would
  // otherwise recurse without end; the first call finishes the job.
  thread_local std::vector<HWND> ending;
  if (std::find(ending.begin(), ending.end(), dialog) != ending.end()) return;
  ending.push_back(dialog);
  SendMessageA(dialog, WM_CLOSE, 0, 0);
  ending.pop_back();
  HWND owner = owner_of(dialog);
  BOOL owner_was_disabled = FALSE;
  if (owner != nullptr) owner_was_disabled = EnableWindow(owner, TRUE);
  auto* result_variable = reinterpret_cast<int32_t*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (result_variable != nullptr) *result_variable = result;
  if (!DestroyWindow(dialog) && owner_was_disabled) EnableWindow(owner, FALSE);
}

void set_focus(HWND dialog, int32_t id) {
  ProcedureFrame frame;
  SetFocus(GetDlgItem(dialog, id));
}

void set_control_text(HWND dialog, int32_t id, const std::string& text) {
  ProcedureFrame frame;
  SetWindowTextA(GetDlgItem(dialog, id), text.c_str());
}

std::string get_control_text(HWND dialog, int32_t id) {
  ProcedureFrame frame;
  HWND control = GetDlgItem(dialog, id);
  // Wine 8 answers GetWindowTextA on a null window with stray bytes.
  if (control == nullptr) return std::string();
  std::string buffer;
  if (!obtain_string_storage(&buffer, kControlTextBuffer)) return std::string();
  buffer[0] = '\0';
  int copied = GetWindowTextA(control, &buffer[0], kControlTextBuffer);
  if (copied < 0) copied = 0;
  if (copied > kControlTextBuffer - 1) copied = kControlTextBuffer - 1;
  std::string text;
  if (!obtain_string_storage(&text, static_cast<size_t>(copied))) return std::string();
  if (copied > 0) std::memcpy(&text[0], buffer.data(), static_cast<size_t>(copied));
  return text;
}

int32_t get_check(HWND dialog, int32_t id) {
  ProcedureFrame frame;
  return static_cast<int32_t>(SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0));
}

void set_check(HWND dialog, int32_t id, int32_t state) {
  ProcedureFrame frame;
  SendMessageA(GetDlgItem(dialog, id), BM_SETCHECK,
               static_cast<WPARAM>(static_cast<uint32_t>(state)), 0);
}

int32_t add_list_item(HWND dialog, int32_t id, const std::string& text) {
  ProcedureFrame frame;
  return static_cast<int32_t>(SendMessageA(GetDlgItem(dialog, id), LB_ADDSTRING, 0,
                                            reinterpret_cast<LPARAM>(text.c_str())));
}

void set_control_redraw(HWND dialog, int32_t id, bool redraw) {
  ProcedureFrame frame;
  HWND control = GetDlgItem(dialog, id);
  // InvalidateRect of no window would repaint the whole screen.
  if (control == nullptr) return;
  SendMessageA(control, WM_SETREDRAW, redraw ? TRUE : FALSE, 0);
  if (redraw) InvalidateRect(control, nullptr, TRUE);
}

void reset_list(HWND dialog, int32_t id) {
  ProcedureFrame frame;
  SendMessageA(GetDlgItem(dialog, id), LB_RESETCONTENT, 0, 0);
}

}  // namespace vintrell
