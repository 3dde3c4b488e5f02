// The STATIC class: a caption that takes no input.
#include "platform/headless/window_manager.h"
#include "platform/win32.h"

namespace headless {
namespace {

LRESULT static_procedure(HWND label, UINT message, WPARAM wparam, LPARAM lparam) {
  WindowRef self = find(label);
  if (!self) return 0;
  switch (message) {
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    case WM_SETFONT:
      self->font = reinterpret_cast<HFONT>(wparam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(self->font);
  }
  return DefWindowProcA(label, message, wparam, lparam);
}

}  // namespace

extern const WindowClass kStaticClass = {"Static", static_procedure, nullptr};

}  // namespace headless
