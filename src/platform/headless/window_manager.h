// The headless window manager's inside, shared by the USER32 entry points and
// the standard control classes. Windows are objects in memory; nothing is drawn.
//
// Windows belong to the thread that uses them: focus, activation, capture, key
// state, timers and the message queue are per thread, as on Windows. Only
// posting a message may come from another thread.
#ifndef VINTRELL_PLATFORM_HEADLESS_WINDOW_MANAGER_H_
#define VINTRELL_PLATFORM_HEADLESS_WINDOW_MANAGER_H_

#include <memory>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace headless {

// Class-specific data of a window; each control class derives its own.
struct ClassData {
  virtual ~ClassData() = default;
};

struct WindowClass {
  const char* name;  // as GetClassNameA reports it
  WNDPROC procedure;
  // Sets up the class data once the window exists, before it is returned.
  void (*create)(HWND window);
};

// The classes the layer knows, found by name without regard to case.
const WindowClass* find_class(const char* name);
extern const WindowClass kDialogClass;
extern const WindowClass kButtonClass;
extern const WindowClass kEditClass;
extern const WindowClass kStaticClass;
extern const WindowClass kListBoxClass;

struct MessageQueue;

struct Window {
  HWND handle = nullptr;
  const WindowClass* window_class = nullptr;
  DWORD style = 0;
  DWORD ex_style = 0;
  LONG_PTR id = 0;          // child windows only
  HWND parent = nullptr;    // child windows only
  HWND owner = nullptr;     // top-level windows only
  std::vector<HWND> children;  // creation order: the stacking and the Tab order
  RECT rect = {0, 0, 0, 0};    // in the parent's client coordinates, or the screen's
  std::string text;
  LONG_PTR user_data = 0;
  HFONT font = nullptr;
  bool destroying = false;
  std::unique_ptr<ClassData> data;
  std::shared_ptr<MessageQueue> queue;  // of the thread that created the window
};

using WindowRef = std::shared_ptr<Window>;

// The live window of `handle` (null for 0, unknown or destroyed handles). The
// reference keeps the object valid, even should the window be destroyed
// meanwhile.
WindowRef find(HWND handle);

template <typename Data>
Data* data_of(const WindowRef& window) {
  return window ? dynamic_cast<Data*>(window->data.get()) : nullptr;
}

// The top-level window that holds `window` (itself if it is one).
HWND root_of(HWND window);

// A top-level window's caption bar, in pixels (Wine 8's default metrics).
constexpr int kCaptionHeight = 19;

// Client rectangle size of a window (its frame and edges taken off).
int client_width(const Window& window);
int client_height(const Window& window);
// Where a window's client area starts, in screen coordinates.
POINT client_origin(const Window& window);

// Sends WM_COMMAND with (id, code) from a control to its parent.
void notify_parent(HWND control, WORD code);

// Fonts: what the dialog manager creates for a template's font, and the
// character metrics a control lays itself out with.
struct FontMetrics {
  int average_width;
  int height;
};
HFONT create_font(const FontMetrics& metrics);
FontMetrics metrics_of(HFONT font);

// The dialog manager's part for IsDialogMessageA and the dialog class.
bool is_dialog(HWND window);
// The dialog's DWLP_* slot at byte offset `index`, or null (not a dialog, or no
// such slot).
LONG_PTR* dialog_slot(const WindowRef& window, int index);

// The focus-moving helper of the default dialog handling: selects an edit's
// text, then focuses the control.
void focus_dialog_control(HWND control);

}  // namespace headless

#endif  // VINTRELL_PLATFORM_HEADLESS_WINDOW_MANAGER_H_
