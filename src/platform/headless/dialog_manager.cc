// The dialog manager: dialogs from in-memory templates, the default dialog
// handling behind a dialog procedure, and the keyboard navigation of
// IsDialogMessageA. Measured against Wine 8 (the notes say where).
#include <climits>
#include <cstring>
#include <vector>

#include "platform/headless/window_manager.h"
#include "platform/win32.h"

namespace headless {
namespace {

struct DialogData : ClassData {
  DLGPROC procedure = nullptr;
  LONG_PTR message_result = 0;  // DWLP_MSGRESULT
  LONG_PTR user = 0;            // DWLP_USER
  HFONT font = nullptr;
  FontMetrics units = {8, 16};  // the system font's, until a template sets a font
  int default_id = IDOK;        // what DM_GETDEFID reports before any DM_SETDEFID
  HWND saved_focus = nullptr;
};

DialogData* dialog_data(HWND window) { return data_of<DialogData>(find(window)); }

// Metrics of 8-point "MS Sans Serif" under Wine 8 with its own sserife.fon, as
// on Windows: base units 6 by 13 pixels (13 is also the line height); other
// sizes scale with the point size.
FontMetrics template_font_metrics(int point_size) {
  return {MulDiv(6, point_size, 8), MulDiv(13, point_size, 8)};
}

bool visible_and_enabled(HWND window) {
  LONG style = GetWindowLongA(window, GWL_STYLE);
  return (style & (WS_VISIBLE | WS_DISABLED)) == WS_VISIBLE;
}

UINT dialog_code(HWND window, WPARAM wparam = 0, LPARAM lparam = 0) {
  return static_cast<UINT>(SendMessageA(window, WM_GETDLGCODE, wparam, lparam));
}

HWND find_default_button(HWND dialog) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (dialog_code(child) & DLGC_DEFPUSHBUTTON) return child;
  }
  return nullptr;
}

// DM_SETDEFID: the id is kept whatever it names; push buttons change look.
void set_default_id(HWND dialog, DialogData* data, int id) {
  HWND new_button = GetDlgItem(dialog, id);
  const int old_id = data->default_id;
  data->default_id = id;
  UINT code = 0;
  if (new_button != nullptr) {
    code = dialog_code(new_button);
    if (!(code & (DLGC_UNDEFPUSHBUTTON | DLGC_BUTTON))) return;
  }
  HWND old_button = GetDlgItem(dialog, old_id);
  if (old_button == nullptr || !(dialog_code(old_button) & DLGC_DEFPUSHBUTTON)) {
    old_button = find_default_button(dialog);
  }
  if (old_button != nullptr && old_button != new_button) {
    SendMessageA(old_button, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  }
  if (new_button != nullptr && (code & DLGC_UNDEFPUSHBUTTON)) {
    SendMessageA(new_button, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
  }
}

// After a dialog-manager focus move: a push button reached becomes the default
// one in looks; moving to any other control gives the look back to the button
// of the default id (none in a dialog without one).
void set_default_button(HWND dialog, DialogData* data, HWND new_button) {
  HWND old_button = GetDlgItem(dialog, data->default_id);
  UINT code = 0;
  if (new_button != nullptr) {
    code = dialog_code(new_button);
    if (!(code & (DLGC_UNDEFPUSHBUTTON | DLGC_DEFPUSHBUTTON))) {
      new_button = old_button;
      code = new_button != nullptr ? dialog_code(new_button) : 0;
    }
  }
  if (old_button == nullptr || !(dialog_code(old_button) & DLGC_DEFPUSHBUTTON)) {
    old_button = find_default_button(dialog);
  }
  if (old_button != nullptr && old_button != new_button) {
    SendMessageA(old_button, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  }
  if (new_button != nullptr && (code & DLGC_UNDEFPUSHBUTTON)) {
    SendMessageA(new_button, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
  }
}

void save_focus(HWND dialog, DialogData* data) {
  HWND focus = GetFocus();
  if (focus != nullptr && IsChild(dialog, focus)) data->saved_focus = focus;
}

void restore_focus(HWND dialog, DialogData* data, bool just_activated) {
  if (GetWindowLongA(dialog, GWL_STYLE) & WS_MINIMIZE) return;
  if (!IsWindow(data->saved_focus) || data->saved_focus == dialog) {
    if (just_activated) return;
    // With nothing saved: the first tab stop, else the first control.
    data->saved_focus = GetNextDlgTabItem(dialog, nullptr, FALSE);
    if (data->saved_focus == nullptr) data->saved_focus = GetNextDlgGroupItem(dialog, nullptr, FALSE);
    if (!IsWindow(data->saved_focus)) return;
  }
  HWND target = data->saved_focus;
  data->saved_focus = nullptr;
  if (just_activated) {
    SetFocus(target);
  } else {
    focus_dialog_control(target);
  }
}

// What a dialog does with a message its procedure left alone.
LRESULT default_dialog_handling(HWND dialog, DialogData* data, UINT message, WPARAM wparam,
                                LPARAM lparam) {
  switch (message) {
    case WM_SHOWWINDOW:
      if (!wparam) save_focus(dialog, data);
      return DefWindowProcA(dialog, message, wparam, lparam);
    case WM_ACTIVATE:
      if (wparam) {
        restore_focus(dialog, data, true);
      } else {
        save_focus(dialog, data);
      }
      return 0;
    case WM_SETFOCUS:
      restore_focus(dialog, data, false);
      return 0;
    case DM_SETDEFID:
      set_default_id(dialog, data, static_cast<int>(wparam));
      return 1;
    case DM_GETDEFID: {
      if (data->default_id != 0) return MAKELONG(data->default_id, DC_HASDEFID);
      HWND button = find_default_button(dialog);
      return button != nullptr ? MAKELONG(GetDlgCtrlID(button), DC_HASDEFID) : 0;
    }
    case WM_NEXTDLGCTL: {
      HWND target = reinterpret_cast<HWND>(wparam);
      if (!lparam) target = GetNextDlgTabItem(dialog, GetFocus(), static_cast<BOOL>(wparam));
      if (target != nullptr) focus_dialog_control(target);
      set_default_button(dialog, data, target);
      return 0;
    }
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(data->font);
    case WM_CLOSE:
      // Closing a dialog is Cancel, posted for the dialog to decide on.
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
      return 0;
    case WM_INITDIALOG:
      return 0;
  }
  return DefWindowProcA(dialog, message, wparam, lparam);
}

LRESULT dialog_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  WindowRef self = find(dialog);
  DialogData* data = data_of<DialogData>(self);
  if (data == nullptr) return DefWindowProcA(dialog, message, wparam, lparam);
  data->message_result = 0;
  INT_PTR result = 0;
  if (data->procedure != nullptr) result = data->procedure(dialog, message, wparam, lparam);
  if (result == 0 && IsWindow(dialog)) {
    return default_dialog_handling(dialog, data, message, wparam, lparam);
  }
  if (message == WM_INITDIALOG) return result;
  return data->message_result;
}

void create_dialog_data(HWND window) {
  if (WindowRef w = find(window)) w->data.reset(new DialogData);
}

// The character a control's caption marks with '&', or 0.
int mnemonic_of(const std::string& text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;
      continue;
    }
    return static_cast<unsigned char>(text[i + 1]);
  }
  return 0;
}

int upper(int c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

// Alt+letter and a bare letter outside a text box: the control whose caption
// marks that letter is clicked, or for a label, the control after it focused.
bool handle_mnemonic(HWND dialog, HWND from, int character) {
  WindowRef d = find(dialog);
  if (!d || d->children.empty()) return false;
  std::vector<HWND> order = d->children;
  size_t start = 0;
  for (size_t i = 0; i < order.size(); ++i) {
    if (order[i] == from) start = i;
  }
  for (size_t k = 0; k < order.size(); ++k) {
    HWND control = order[(start + k) % order.size()];
    if (!visible_and_enabled(control)) continue;
    UINT code = dialog_code(control);
    if (!(code & (DLGC_BUTTON | DLGC_STATIC))) continue;
    WindowRef c = find(control);
    if (!c || upper(mnemonic_of(c->text)) != upper(character) || character == 0) continue;
    if (code & DLGC_STATIC) {
      SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), 1);
      SendMessageA(dialog, WM_NEXTDLGCTL, 0, 0);
    } else {
      SendMessageA(control, BM_CLICK, 0, 0);
    }
    return true;
  }
  return false;
}

std::string title_from_units(const WORD* units, const WORD** end) {
  std::string text;
  const WORD* p = units;
  // Units below 256 are the ANSI bytes the engine wrote; others have no byte.
  for (; *p != 0; ++p) text += static_cast<char>(*p < 0x100 ? *p : '?');
  *end = p + 1;
  return text;
}

const WORD* skip_name(const WORD* p) {
  if (*p == 0) return p + 1;
  if (*p == 0xFFFF) return p + 2;
  while (*p != 0) ++p;
  return p + 1;
}

}  // namespace

extern const WindowClass kDialogClass = {"#32770", dialog_procedure, create_dialog_data};

bool is_dialog(HWND window) { return dialog_data(window) != nullptr; }

LONG_PTR* dialog_slot(const WindowRef& window, int index) {
  DialogData* data = data_of<DialogData>(window);
  if (data == nullptr) return nullptr;
  if (index == DWLP_MSGRESULT) return &data->message_result;
  if (index == DWLP_DLGPROC) return reinterpret_cast<LONG_PTR*>(&data->procedure);
  if (index == DWLP_USER) return &data->user;
  return nullptr;
}

void focus_dialog_control(HWND control) {
  if (dialog_code(control) & DLGC_HASSETSEL) SendMessageA(control, EM_SETSEL, 0, -1);
  SetFocus(control);
}

}  // namespace headless

using headless::find;
using headless::WindowRef;

HWND CreateDialogIndirectParamA(HINSTANCE instance, LPCDLGTEMPLATEA dialog_template, HWND owner,
                                DLGPROC dialog_proc, LPARAM init_param) {
  if (dialog_template == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const WORD* p = reinterpret_cast<const WORD*>(dialog_template);
  // Only the plain DLGTEMPLATE without items, of the standard dialog class: the
  // engine writes nothing else, and controls come one by one afterwards.
  if (p[0] == 1 && p[1] == 0xFFFF) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  DWORD style = p[0] | (static_cast<DWORD>(p[1]) << 16);
  DWORD ex_style = p[2] | (static_cast<DWORD>(p[3]) << 16);
  const WORD items = p[4];
  const short x = static_cast<short>(p[5]);
  const short y = static_cast<short>(p[6]);
  const short cx = static_cast<short>(p[7]);
  const short cy = static_cast<short>(p[8]);
  p = headless::skip_name(p + 9);  // menu
  if (*p != 0) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  ++p;
  std::string title = headless::title_from_units(p, &p);
  headless::FontMetrics units = {8, 16};
  if (style & DS_SETFONT) units = headless::template_font_metrics(static_cast<short>(*p));
  if (items != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }

  style |= DS_3DLOOK;
  if (style & DS_MODALFRAME) ex_style |= WS_EX_DLGMODALFRAME;
  if (!(style & WS_CHILD)) ex_style |= WS_EX_CONTROLPARENT;
  const int client_width = MulDiv(cx, units.average_width, 4);
  const int client_height = MulDiv(cy, units.height, 8);
  // The outer size allows for the caption and frame that the template's style
  // asks for; an overlapped window without WS_CAPTION gets both from the window
  // manager all the same, out of that size (measured under Wine 8: 300 by 150
  // units with 6 by 13 pixel units make a 450 by 244 window, client 444 by 219).
  const bool framed = (style & (WS_DLGFRAME | WS_THICKFRAME)) || (ex_style & WS_EX_DLGMODALFRAME);
  const bool captioned = !(style & WS_CHILD) && (style & WS_CAPTION) == WS_CAPTION;
  const int width = client_width + (framed ? 6 : 0);
  const int height = client_height + (framed ? 6 : 0) + (captioned ? headless::kCaptionHeight : 0);
  int left = MulDiv(x, units.average_width, 4);
  int top = MulDiv(y, units.height, 8);
  if (style & DS_CENTER) {
    // The screen of the test display, 1024 by 768.
    left = (1024 - width) / 2;
    top = (768 - height) / 2;
  }

  HWND dialog = CreateWindowExA(ex_style, "#32770", title.c_str(), style & ~WS_VISIBLE, left, top,
                                width, height, owner, nullptr, instance, nullptr);
  if (dialog == nullptr) return nullptr;
  headless::DialogData* data = headless::dialog_data(dialog);
  data->procedure = dialog_proc;
  data->units = units;
  if (style & DS_SETFONT) data->font = headless::create_font(units);
  if (dialog_proc != nullptr && data->font != nullptr) {
    SendMessageA(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(data->font), 0);
  }
  if (dialog_proc != nullptr && IsWindow(dialog)) {
    HWND focus = GetNextDlgTabItem(dialog, nullptr, FALSE);
    if (focus == nullptr) focus = GetNextDlgGroupItem(dialog, nullptr, FALSE);
    // A procedure that answers non-zero asks for the first tab stop to be focused.
    if (SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), init_param) &&
        IsWindow(dialog)) {
      focus = GetNextDlgTabItem(dialog, nullptr, FALSE);
      if (focus == nullptr) focus = GetNextDlgGroupItem(dialog, nullptr, FALSE);
      if (focus != nullptr) {
        if (headless::dialog_code(focus) & DLGC_HASSETSEL) {
          SendMessageA(focus, EM_SETSEL, 0, LONG_MAX);
        }
        SetFocus(focus);
      } else if (!(style & WS_CHILD)) {
        SetFocus(dialog);
      }
    }
  }
  if (IsWindow(dialog) && (style & WS_VISIBLE)) ShowWindow(dialog, SW_SHOWNORMAL);
  return dialog;
}

BOOL MapDialogRect(HWND dialog, LPRECT rect) {
  headless::DialogData* data = headless::dialog_data(dialog);
  if (data == nullptr || rect == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  rect->left = MulDiv(rect->left, data->units.average_width, 4);
  rect->right = MulDiv(rect->right, data->units.average_width, 4);
  rect->top = MulDiv(rect->top, data->units.height, 8);
  rect->bottom = MulDiv(rect->bottom, data->units.height, 8);
  return TRUE;
}

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
  WindowRef d = find(dialog);
  if (!d) return nullptr;
  if (control == dialog) control = nullptr;
  if (control == nullptr && previous) return nullptr;
  const std::vector<HWND>& order = d->children;
  const size_t n = order.size();
  if (n == 0) return nullptr;
  size_t start = 0;
  bool found = false;
  for (size_t i = 0; i < n; ++i) {
    if (order[i] == control) {
      start = i;
      found = true;
    }
  }
  auto is_stop = [](HWND window) {
    LONG style = GetWindowLongA(window, GWL_STYLE);
    return (style & WS_TABSTOP) && (style & (WS_VISIBLE | WS_DISABLED)) == WS_VISIBLE;
  };
  if (!found) {
    // From the beginning (the end, backwards) when there is no place to start at.
    for (size_t k = 0; k < n; ++k) {
      HWND candidate = order[previous ? n - 1 - k : k];
      if (is_stop(candidate)) return candidate;
    }
    return control;
  }
  for (size_t k = 1; k <= n; ++k) {
    HWND candidate = order[previous ? (start + n - k) % n : (start + k) % n];
    if (is_stop(candidate)) return candidate;
  }
  return control;
}

// The group of a control runs from the last WS_GROUP at or before it (or the
// first control) up to the next WS_GROUP; without any, the whole dialog.
HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
  WindowRef d = find(dialog);
  if (!d) return nullptr;
  if (control == dialog) control = nullptr;
  if (control == nullptr && previous) return nullptr;
  const std::vector<HWND>& order = d->children;
  if (order.empty()) return nullptr;
  if (control == nullptr) {
    control = order.front();
    if (headless::visible_and_enabled(control)) return control;
  } else if (!IsChild(dialog, control)) {
    return nullptr;
  }
  size_t at = 0;
  for (size_t i = 0; i < order.size(); ++i) {
    if (order[i] == control) at = i;
  }
  size_t first = at;
  while (first > 0 && !(GetWindowLongA(order[first], GWL_STYLE) & WS_GROUP)) --first;
  size_t last = at + 1;
  while (last < order.size() && !(GetWindowLongA(order[last], GWL_STYLE) & WS_GROUP)) ++last;
  const size_t size = last - first;
  const size_t position = at - first;
  for (size_t k = 1; k < size; ++k) {
    HWND candidate = order[first + (previous ? (position + size - k) % size : (position + k) % size)];
    if (headless::visible_and_enabled(candidate)) return candidate;
  }
  return control;
}

BOOL IsDialogMessageA(HWND dialog, LPMSG msg) {
  if (msg == nullptr || !IsWindow(dialog)) return FALSE;
  if (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd)) return FALSE;
  switch (msg->message) {
    case WM_KEYDOWN: {
      const UINT code = headless::dialog_code(msg->hwnd, msg->wParam, reinterpret_cast<LPARAM>(msg));
      if (code & DLGC_WANTMESSAGE) break;
      switch (msg->wParam) {
        case VK_TAB:
          if (code & DLGC_WANTTAB) break;
          SendMessageA(dialog, WM_NEXTDLGCTL, (GetKeyState(VK_SHIFT) & 0x8000) ? 1 : 0, 0);
          return TRUE;
        case VK_RIGHT:
        case VK_DOWN:
        case VK_LEFT:
        case VK_UP: {
          if (code & DLGC_WANTARROWS) break;
          const bool previous = msg->wParam == VK_LEFT || msg->wParam == VK_UP;
          HWND next = GetNextDlgGroupItem(dialog, msg->hwnd, previous);
          if (next != nullptr && headless::dialog_code(next, msg->wParam, reinterpret_cast<LPARAM>(msg)) ==
                                     (DLGC_BUTTON | DLGC_RADIOBUTTON)) {
            SetFocus(next);
            // Reaching an automatic option button checks it, through a click.
            if ((GetWindowLongA(next, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON &&
                SendMessageA(next, BM_GETCHECK, 0, 0) != BST_CHECKED) {
              SendMessageA(next, BM_CLICK, 1, 0);
            }
          } else {
            SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), 1);
          }
          return TRUE;
        }
        case VK_CANCEL:
        case VK_ESCAPE:
          SendMessageA(dialog, WM_COMMAND, IDCANCEL,
                       reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
          return TRUE;
        case VK_EXECUTE:
        case VK_RETURN: {
          // The focused default push button, else the default id (IDOK unless
          // set), else IDOK. A button focused by SetFocus alone is no default
          // one; the dialog manager's own moves make it one (Wine 8).
          HWND focus = GetFocus();
          LRESULT default_id = 0;
          if (IsChild(dialog, focus) && (headless::dialog_code(focus) & DLGC_DEFPUSHBUTTON)) {
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                         reinterpret_cast<LPARAM>(focus));
          } else if (HIWORD(default_id = SendMessageA(dialog, DM_GETDEFID, 0, 0)) == DC_HASDEFID) {
            HWND button = GetDlgItem(dialog, LOWORD(default_id));
            if (button == nullptr || IsWindowEnabled(button)) {
              SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(LOWORD(default_id), BN_CLICKED),
                           reinterpret_cast<LPARAM>(button));
            }
          } else {
            SendMessageA(dialog, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
          }
          return TRUE;
        }
      }
      break;
    }
    case WM_CHAR: {
      const UINT code = headless::dialog_code(msg->hwnd, msg->wParam, reinterpret_cast<LPARAM>(msg));
      if (code & (DLGC_WANTCHARS | DLGC_WANTMESSAGE)) break;
      if (msg->wParam == '\t' && (code & DLGC_WANTTAB)) break;
      if (headless::handle_mnemonic(dialog, msg->hwnd, static_cast<int>(msg->wParam))) return TRUE;
      break;
    }
    case WM_SYSCHAR:
      if (headless::handle_mnemonic(dialog, msg->hwnd, static_cast<int>(msg->wParam))) return TRUE;
      break;
  }
  TranslateMessage(msg);
  DispatchMessageA(msg);
  return TRUE;
}
