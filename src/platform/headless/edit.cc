// The EDIT class, single-line: typing, the caret and the selection, and the EN_*
// notifications Wine 8 sends for them.
#include <algorithm>
#include <string>

#include "platform/headless/window_manager.h"
#include "platform/win32.h"

namespace headless {
namespace {

struct EditData : ClassData {
  size_t anchor = 0;  // the fixed end of the selection
  size_t caret = 0;   // the moving end
  size_t limit = 30000;  // what a user may type; WM_SETTEXT is not held to it
};

size_t selection_start(const EditData& e) { return std::min(e.anchor, e.caret); }
size_t selection_end(const EditData& e) { return std::max(e.anchor, e.caret); }

void notify_change(HWND edit) {
  notify_parent(edit, EN_UPDATE);
  notify_parent(edit, EN_CHANGE);
}

void replace_selection(Window& w, EditData& e, const std::string& with) {
  const size_t start = selection_start(e);
  w.text.replace(start, selection_end(e) - start, with);
  e.anchor = e.caret = start + with.size();
}

void type_character(HWND edit, Window& w, EditData& e, unsigned char c) {
  if (w.style & ES_READONLY) return;
  if (c == VK_BACK) {
    if (e.anchor == e.caret) {
      if (e.caret == 0) return;
      e.anchor = e.caret - 1;
    }
    replace_selection(w, e, std::string());
  } else if (c >= 0x20 && c != 0x7F) {
    const size_t after = w.text.size() - (selection_end(e) - selection_start(e)) + 1;
    if (after > e.limit) {
      notify_parent(edit, EN_MAXTEXT);
      return;
    }
    replace_selection(w, e, std::string(1, static_cast<char>(c)));
  } else {
    return;  // other control characters (Tab, Enter, Escape, Ctrl+letter) do nothing
  }
  notify_change(edit);
}

void press_key(HWND edit, Window& w, EditData& e, UINT key) {
  const bool extend = GetKeyState(VK_SHIFT) < 0;
  const size_t length = w.text.size();
  switch (key) {
    case VK_LEFT:
      if (!extend && e.anchor != e.caret) {
        e.anchor = e.caret = selection_start(e);
      } else {
        e.caret = e.caret > 0 ? e.caret - 1 : 0;
        if (!extend) e.anchor = e.caret;
      }
      break;
    case VK_RIGHT:
      if (!extend && e.anchor != e.caret) {
        e.anchor = e.caret = selection_end(e);
      } else {
        e.caret = std::min(e.caret + 1, length);
        if (!extend) e.anchor = e.caret;
      }
      break;
    case VK_HOME:
      e.caret = 0;
      if (!extend) e.anchor = 0;
      break;
    case VK_END:
      e.caret = length;
      if (!extend) e.anchor = length;
      break;
    case VK_DELETE:
      if (w.style & ES_READONLY) return;
      if (e.anchor == e.caret) {
        if (e.caret >= length) return;
        e.anchor = e.caret + 1;
      }
      replace_selection(w, e, std::string());
      notify_change(edit);
      break;
  }
}

LRESULT edit_procedure(HWND edit, UINT message, WPARAM wparam, LPARAM lparam) {
  WindowRef self = find(edit);
  EditData* e = data_of<EditData>(self);
  if (e == nullptr) return DefWindowProcA(edit, message, wparam, lparam);
  Window& w = *self;

  switch (message) {
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;

    case WM_SETTEXT:
      // The whole text, past the typing limit; the caret goes to the start.
      w.text = lparam != 0 ? reinterpret_cast<const char*>(lparam) : "";
      e->anchor = e->caret = 0;
      notify_change(edit);
      return TRUE;

    case WM_CHAR:
      type_character(edit, w, *e, static_cast<unsigned char>(wparam & 0xFF));
      return 0;

    case WM_KEYDOWN:
      press_key(edit, w, *e, static_cast<UINT>(wparam));
      return 0;

    case WM_LBUTTONDOWN: {
      if (GetFocus() != edit) SetFocus(edit);
      const int x = static_cast<short>(LOWORD(lparam));
      const int width = std::max(1, metrics_of(w.font).average_width);
      const long index = (x - 1 + width / 2) / width;
      e->anchor = e->caret = static_cast<size_t>(std::clamp<long>(index, 0, static_cast<long>(w.text.size())));
      return 0;
    }

    case EM_GETSEL: {
      const DWORD start = static_cast<DWORD>(selection_start(*e));
      const DWORD end = static_cast<DWORD>(selection_end(*e));
      if (wparam != 0) *reinterpret_cast<DWORD*>(wparam) = start;
      if (lparam != 0) *reinterpret_cast<DWORD*>(lparam) = end;
      return (start > 0xFFFF || end > 0xFFFF) ? -1 : MAKELONG(start, end);
    }

    case EM_SETSEL: {
      const size_t length = w.text.size();
      const int start = static_cast<int>(wparam);
      const int end = static_cast<int>(lparam);
      if (start == -1) {
        e->anchor = e->caret;  // -1 only drops the selection
        return 0;
      }
      auto clamp = [length](int value) {
        return value < 0 ? length : std::min(static_cast<size_t>(value), length);
      };
      e->anchor = clamp(start);
      e->caret = clamp(end);
      return 0;
    }

    case EM_REPLACESEL:
      replace_selection(w, *e, lparam != 0 ? reinterpret_cast<const char*>(lparam) : "");
      notify_change(edit);
      return 0;

    case EM_LIMITTEXT:
      e->limit = wparam != 0 ? static_cast<size_t>(wparam) : 0x7FFFFFFE;
      return 0;

    case EM_GETLIMITTEXT:
      return static_cast<LRESULT>(e->limit);

    case WM_SETFOCUS:
      notify_parent(edit, EN_SETFOCUS);
      return 0;

    case WM_KILLFOCUS:
      notify_parent(edit, EN_KILLFOCUS);
      return 0;

    case WM_SETFONT:
      w.font = reinterpret_cast<HFONT>(wparam);
      return 0;

    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(w.font);
  }
  return DefWindowProcA(edit, message, wparam, lparam);
}

// The edit draws its own border and drops WS_BORDER from its style; it gets no
// client edge for it (measured under Wine 8).
void create_edit(HWND edit) {
  WindowRef w = find(edit);
  if (!w) return;
  w->style &= ~WS_BORDER;
  w->data.reset(new EditData);
}

}  // namespace

extern const WindowClass kEditClass = {"Edit", edit_procedure, create_edit};

}  // namespace headless
