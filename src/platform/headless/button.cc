// The BUTTON class: push buttons, check boxes and option buttons, with the
// press-and-release rules that make one BN_CLICKED per click or Space.
#include "platform/headless/window_manager.h"
#include "platform/win32.h"

namespace headless {
namespace {

constexpr LONG kPressed = 0x40;   // held by the mouse or Space, beside BST_PUSHED
constexpr LONG kKeptStates = 0x0F;

struct ButtonData : ClassData {
  LONG state = BST_UNCHECKED;
};

UINT type_of(DWORD style) { return style & BS_TYPEMASK; }

// The highest check state each type keeps; BM_SETCHECK is cut down to it.
WPARAM max_check(UINT type) {
  switch (type) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
      return BST_CHECKED;
    case BS_3STATE:
    case BS_AUTO3STATE:
      return BST_INDETERMINATE;
  }
  return BST_UNCHECKED;
}

bool is_radio(UINT type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }

// The clicked option button is checked and every other one of its group
// cleared, going round the group from it.
void check_in_group(HWND button) {
  HWND parent = GetParent(button);
  HWND sibling = button;
  do {
    if (SendMessageA(sibling, WM_GETDLGCODE, 0, 0) == (DLGC_BUTTON | DLGC_RADIOBUTTON)) {
      SendMessageA(sibling, BM_SETCHECK, sibling == button ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    sibling = GetNextDlgGroupItem(parent, sibling, FALSE);
  } while (sibling != nullptr && sibling != button);
}

LRESULT button_procedure(HWND button, UINT message, WPARAM wparam, LPARAM lparam) {
  WindowRef self = find(button);
  ButtonData* data = data_of<ButtonData>(self);
  if (data == nullptr) return DefWindowProcA(button, message, wparam, lparam);
  const UINT type = type_of(self->style);

  switch (message) {
    case WM_GETDLGCODE:
      switch (type) {
        case BS_PUSHBUTTON:
          return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_DEFPUSHBUTTON:
          return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
          return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case BS_GROUPBOX:
          return DLGC_STATIC;
      }
      return DLGC_BUTTON;

    case WM_KEYDOWN:
      if (wparam == VK_SPACE) {
        SendMessageA(button, BM_SETSTATE, TRUE, 0);
        data->state |= kPressed;
        SetCapture(button);
      }
      return 0;

    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONDOWN:
      SetCapture(button);
      SetFocus(button);
      data->state |= kPressed;
      SendMessageA(button, BM_SETSTATE, TRUE, 0);
      return 0;

    case WM_KEYUP:
      if (wparam != VK_SPACE) return 0;
      [[fallthrough]];
    case WM_LBUTTONUP: {
      if (!(data->state & kPressed)) return 0;
      data->state &= kKeptStates;
      if (!(data->state & BST_PUSHED)) {
        ReleaseCapture();
        return 0;
      }
      SendMessageA(button, BM_SETSTATE, FALSE, 0);
      const POINT point = {static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      const bool inside = point.x >= 0 && point.y >= 0 && point.x < client_width(*self) &&
                          point.y < client_height(*self);
      if (message == WM_KEYUP || inside) {
        if (type == BS_AUTOCHECKBOX) {
          SendMessageA(button, BM_SETCHECK, (data->state & BST_CHECKED) ? 0 : 1, 0);
        } else if (type == BS_AUTORADIOBUTTON) {
          check_in_group(button);
        } else if (type == BS_AUTO3STATE) {
          SendMessageA(button, BM_SETCHECK,
                       (data->state & BST_INDETERMINATE) ? 0 : (data->state & 3) + 1, 0);
        }
        ReleaseCapture();
        // The command may end the dialog: nothing of the button is used after it.
        notify_parent(button, BN_CLICKED);
      } else {
        ReleaseCapture();
      }
      return 0;
    }

    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lparam) == button) return 0;
      if (data->state & kPressed) {
        data->state &= kKeptStates;
        if (data->state & BST_PUSHED) SendMessageA(button, BM_SETSTATE, FALSE, 0);
      }
      return 0;

    case WM_SETTEXT:
      DefWindowProcA(button, message, wparam, lparam);
      return 1;

    case WM_SETFONT:
      self->font = reinterpret_cast<HFONT>(wparam);
      return 0;

    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(self->font);

    case WM_SETFOCUS:
      data->state |= BST_FOCUS;
      if (self->style & BS_NOTIFY) notify_parent(button, BN_SETFOCUS);
      return 0;

    case WM_KILLFOCUS:
      data->state &= ~BST_FOCUS;
      if ((data->state & kPressed) && GetCapture() == button) ReleaseCapture();
      if (self->style & BS_NOTIFY) notify_parent(button, BN_KILLFOCUS);
      return 0;

    case BM_SETSTYLE:
      self->style = (self->style & ~BS_TYPEMASK) | (wparam & BS_TYPEMASK);
      return 0;

    case BM_CLICK:
      SendMessageA(button, WM_LBUTTONDOWN, 0, 0);
      SendMessageA(button, WM_LBUTTONUP, 0, 0);
      return 0;

    case BM_GETCHECK:
      return data->state & 3;

    case BM_SETCHECK: {
      WPARAM check = wparam > max_check(type) ? max_check(type) : wparam;
      // Option buttons are tab stops exactly while checked (measured under Wine 8).
      if (is_radio(type)) {
        if (check) {
          self->style |= WS_TABSTOP;
        } else {
          self->style &= ~WS_TABSTOP;
        }
      }
      data->state = (data->state & ~3) | static_cast<LONG>(check);
      return 0;
    }

    case BM_GETSTATE:
      return data->state;

    case BM_SETSTATE:
      if (wparam) {
        data->state |= BST_PUSHED;
      } else {
        data->state &= ~BST_PUSHED;
      }
      return 0;
  }
  return DefWindowProcA(button, message, wparam, lparam);
}

void create_button(HWND button) {
  if (WindowRef w = find(button)) w->data.reset(new ButtonData);
}

}  // namespace

extern const WindowClass kButtonClass = {"Button", button_procedure, create_button};

}  // namespace headless
