// USER32 without a screen: window objects, their relations and data, focus,
// activation, capture, key state, timers and the message queue.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <unordered_map>

#include "platform/headless/window_manager.h"
#include "platform/win32.h"

namespace headless {

struct MessageQueue {
  std::mutex mutex;
  std::deque<MSG> posted;
  bool quit = false;
  WPARAM quit_code = 0;
  // Something arrived since the owning thread last looked (PeekMessageA); a
  // waiting thread is woken through `arrived`.
  bool changed = false;
  std::condition_variable arrived;
};

namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
  HWND window;
  UINT_PTR id;
  UINT elapse;
  TIMERPROC procedure;
  Clock::time_point due;
};

// What Windows keeps per thread.
struct ThreadInput {
  std::shared_ptr<MessageQueue> queue = std::make_shared<MessageQueue>();
  HWND focus = nullptr;
  HWND active = nullptr;
  HWND capture = nullptr;
  BYTE keys[256] = {};
  std::vector<Timer> timers;
  UINT_PTR next_thread_timer = 0x7FFF;  // Wine counts thread timers down from here
};

ThreadInput& input() {
  thread_local ThreadInput state;
  return state;
}

struct Table {
  std::mutex mutex;
  std::unordered_map<HWND, WindowRef> windows;
  std::vector<HWND> top_levels;  // creation order
  uintptr_t next_handle = 0x10020;
};

Table& table() {
  static Table* t = new Table;  // never destroyed: windows may outlive static teardown
  return *t;
}

std::vector<HWND> top_levels() {
  std::lock_guard<std::mutex> hold(table().mutex);
  return table().top_levels;
}

bool is_within(HWND window, HWND ancestor) {
  return window != nullptr && (window == ancestor || IsChild(ancestor, window));
}

int frame_of(const Window& w) {
  if (w.style & WS_CHILD) {
    return ((w.ex_style & WS_EX_CLIENTEDGE) ? 2 : 0) + ((w.style & WS_BORDER) ? 1 : 0);
  }
  if (w.style & WS_THICKFRAME) return 4;
  if ((w.style & WS_DLGFRAME) || (w.ex_style & WS_EX_DLGMODALFRAME)) return 3;
  return (w.style & WS_BORDER) ? 1 : 0;
}

int caption_of(const Window& w) {
  return (!(w.style & WS_CHILD) && (w.style & WS_CAPTION) == WS_CAPTION) ? kCaptionHeight : 0;
}

// Focus moves without any check; the old window hears of it first.
HWND change_focus(HWND target) {
  ThreadInput& t = input();
  HWND old = t.focus;
  if (old == target) return old;
  t.focus = target;
  if (old != nullptr && IsWindow(old)) {
    SendMessageA(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(target), 0);
  }
  if (target != nullptr && t.focus == target && IsWindow(target)) {
    SendMessageA(target, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  }
  return old;
}

// Activation of a top-level window (or of none). With `move_focus`, as for a
// window being shown, the focus goes to the window itself unless it is inside.
void set_active(HWND top, bool move_focus) {
  ThreadInput& t = input();
  HWND old = t.active;
  if (top == old) return;
  t.active = top;
  if (old != nullptr && IsWindow(old)) {
    SendMessageA(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(top));
  }
  if (top != nullptr && IsWindow(top)) {
    SendMessageA(top, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), reinterpret_cast<LPARAM>(old));
  }
  if (!move_focus || t.active != top) return;
  if (top == nullptr) {
    change_focus(nullptr);
  } else if (t.focus == nullptr || root_of(t.focus) != top) {
    change_focus(top);
  }
}

bool can_be_activated(HWND window, HWND leaving) {
  WindowRef w = find(window);
  return w && window != leaving && !w->destroying && (w->style & WS_VISIBLE) &&
         !(w->style & WS_DISABLED);
}

// Whom the activation passes to when `leaving` goes: its owner, else the
// newest other shown window, else nobody.
void activate_other(HWND leaving) {
  WindowRef w = find(leaving);
  HWND next = nullptr;
  if (w && w->owner != nullptr && can_be_activated(w->owner, leaving)) {
    next = w->owner;
  } else {
    std::vector<HWND> tops = top_levels();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
      if (can_be_activated(*it, leaving)) {
        next = *it;
        break;
      }
    }
  }
  set_active(next, true);
}

void collect_subtree(HWND window, std::vector<HWND>* out) {
  WindowRef w = find(window);
  if (!w) return;
  out->push_back(window);
  for (HWND child : w->children) collect_subtree(child, out);
}

void send_destroy(HWND window) {
  SendMessageA(window, WM_DESTROY, 0, 0);
  WindowRef w = find(window);
  if (!w) return;
  std::vector<HWND> children = w->children;
  for (HWND child : children) send_destroy(child);
}

void send_nc_destroy(HWND window) {
  WindowRef w = find(window);
  if (!w) return;
  std::vector<HWND> children = w->children;
  for (HWND child : children) send_nc_destroy(child);
  SendMessageA(window, WM_NCDESTROY, 0, 0);
}

bool message_matches(const MSG& m, HWND window, UINT first, UINT last) {
  if (window == reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) {
    if (m.hwnd != nullptr) return false;
  } else if (window != nullptr && m.hwnd != window && !IsChild(window, m.hwnd)) {
    return false;
  }
  if (first == 0 && last == 0) return true;
  return m.message >= first && m.message <= last;
}

Timer* find_timer(HWND window, UINT_PTR id) {
  for (Timer& timer : input().timers) {
    if (timer.window == window && timer.id == id) return &timer;
  }
  return nullptr;
}

DWORD tick_count() {
  using namespace std::chrono;
  return static_cast<DWORD>(
      duration_cast<milliseconds>(Clock::now().time_since_epoch()).count());
}

// Characters the US keyboard gives for a key, with the thread's key state.
int character_of(UINT key) {
  const BYTE* keys = input().keys;
  const bool shift = keys[VK_SHIFT] & 0x80;
  const bool control = keys[VK_CONTROL] & 0x80;
  switch (key) {
    case VK_BACK:
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_SPACE:
      return static_cast<int>(key);
  }
  if (key >= 'A' && key <= 'Z') {
    if (control) return static_cast<int>(key - 'A' + 1);
    const bool upper = shift != ((keys[VK_CAPITAL] & 1) != 0);
    return upper ? static_cast<int>(key) : static_cast<int>(key - 'A' + 'a');
  }
  if (key >= '0' && key <= '9' && !control) {
    static const char kShifted[] = ")!@#$%^&*(";
    return shift ? kShifted[key - '0'] : static_cast<int>(key);
  }
  return -1;
}

}  // namespace

WindowRef find(HWND handle) {
  if (handle == nullptr) return nullptr;
  std::lock_guard<std::mutex> hold(table().mutex);
  auto found = table().windows.find(handle);
  return found == table().windows.end() ? nullptr : found->second;
}

HWND root_of(HWND window) {
  WindowRef w = find(window);
  while (w && (w->style & WS_CHILD) && w->parent != nullptr) {
    WindowRef up = find(w->parent);
    if (!up) break;
    w = up;
  }
  return w ? w->handle : nullptr;
}

int client_width(const Window& w) {
  return std::max<LONG>(0, w.rect.right - w.rect.left - 2 * frame_of(w));
}

int client_height(const Window& w) {
  return std::max<LONG>(0, w.rect.bottom - w.rect.top - 2 * frame_of(w) - caption_of(w));
}

POINT client_origin(const Window& w) {
  POINT origin = {w.rect.left + frame_of(w), w.rect.top + frame_of(w) + caption_of(w)};
  if (w.style & WS_CHILD) {
    if (WindowRef parent = find(w.parent)) {
      POINT base = client_origin(*parent);
      origin.x += base.x;
      origin.y += base.y;
    }
  }
  return origin;
}

void notify_parent(HWND control, WORD code) {
  WindowRef w = find(control);
  if (!w || w->parent == nullptr) return;
  SendMessageA(w->parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(w->id), code),
               reinterpret_cast<LPARAM>(control));
}

}  // namespace headless

using headless::find;
using headless::input;
using headless::WindowRef;

HWND CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR window_name, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menu_or_id,
                     HINSTANCE, LPVOID) {
  const headless::WindowClass* window_class =
      class_name != nullptr ? headless::find_class(class_name) : nullptr;
  if (window_class == nullptr) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  WindowRef parent_window = find(parent);
  if (parent != nullptr && !parent_window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if ((style & WS_CHILD) && !parent_window) {
    SetLastError(ERROR_TLW_WITH_WSCHILD);
    return nullptr;
  }

  auto w = std::make_shared<headless::Window>();
  w->window_class = window_class;
  const bool child = (style & WS_CHILD) != 0;
  const bool show = !child && (style & WS_VISIBLE);
  if (!child) {
    // Top-level windows always clip their siblings; overlapped ones get a caption.
    style |= WS_CLIPSIBLINGS;
    if (!(style & WS_POPUP)) style |= WS_CAPTION;
    style &= ~WS_VISIBLE;  // shown below, through ShowWindow
  }
  if ((ex_style & WS_EX_DLGMODALFRAME) || (style & (WS_DLGFRAME | WS_THICKFRAME))) {
    ex_style |= 0x00000100;  // WS_EX_WINDOWEDGE
  }
  w->style = style;
  w->ex_style = ex_style;
  if (child) {
    w->parent = parent;
    w->id = reinterpret_cast<LONG_PTR>(menu_or_id);
  } else {
    w->owner = headless::root_of(parent);
  }
  w->text = window_name != nullptr ? window_name : "";
  w->rect = {x, y, static_cast<LONG>(static_cast<uint32_t>(x) + static_cast<uint32_t>(width)),
             static_cast<LONG>(static_cast<uint32_t>(y) + static_cast<uint32_t>(height))};
  w->queue = input().queue;
  {
    headless::Table& t = headless::table();
    std::lock_guard<std::mutex> hold(t.mutex);
    w->handle = reinterpret_cast<HWND>(t.next_handle);
    t.next_handle += 4;
    t.windows[w->handle] = w;
    if (!child) t.top_levels.push_back(w->handle);
  }
  if (child) parent_window->children.push_back(w->handle);
  if (window_class->create != nullptr) window_class->create(w->handle);
  if (show) ShowWindow(w->handle, SW_SHOW);
  return w->handle;
}

BOOL DestroyWindow(HWND window) {
  WindowRef w = find(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (w->destroying) return FALSE;
  w->destroying = true;
  headless::ThreadInput& t = input();

  if (!(w->style & WS_CHILD)) {
    for (HWND other : headless::top_levels()) {
      WindowRef o = find(other);
      if (o && o->owner == window) DestroyWindow(other);
    }
  }
  // Wine 8's order: activation passes on (to the owner first) and takes the
  // focus along, then WM_DESTROY goes out.
  if (t.active == window) headless::activate_other(window);
  if (headless::is_within(t.focus, window)) {
    HWND parent = (w->style & WS_CHILD) ? w->parent : nullptr;
    if (parent != nullptr) {
      SetFocus(parent);
    } else {
      headless::change_focus(nullptr);
    }
  }
  if (headless::is_within(t.capture, window)) ReleaseCapture();
  w->style &= ~WS_VISIBLE;

  headless::send_destroy(window);
  headless::send_nc_destroy(window);

  std::vector<HWND> gone;
  headless::collect_subtree(window, &gone);
  {
    headless::Table& table = headless::table();
    std::lock_guard<std::mutex> hold(table.mutex);
    for (HWND h : gone) table.windows.erase(h);
    table.top_levels.erase(std::remove(table.top_levels.begin(), table.top_levels.end(), window),
                           table.top_levels.end());
  }
  if (WindowRef parent = find(w->parent)) {
    auto& siblings = parent->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
  }
  // Windows drops what was posted to a destroyed window, and its timers.
  auto is_gone = [&gone](HWND h) { return std::find(gone.begin(), gone.end(), h) != gone.end(); };
  {
    std::lock_guard<std::mutex> hold(w->queue->mutex);
    auto& posted = w->queue->posted;
    posted.erase(std::remove_if(posted.begin(), posted.end(),
                                [&](const MSG& m) { return is_gone(m.hwnd); }),
                 posted.end());
  }
  auto& timers = t.timers;
  timers.erase(std::remove_if(timers.begin(), timers.end(),
                              [&](const headless::Timer& timer) { return is_gone(timer.window); }),
               timers.end());
  if (is_gone(t.focus)) t.focus = nullptr;
  if (is_gone(t.active)) t.active = nullptr;
  if (is_gone(t.capture)) t.capture = nullptr;
  return TRUE;
}

BOOL IsWindow(HWND window) { return find(window) != nullptr; }

BOOL IsWindowVisible(HWND window) {
  for (WindowRef w = find(window); w; w = find(w->parent)) {
    if (!(w->style & WS_VISIBLE)) return FALSE;
    if (!(w->style & WS_CHILD)) return TRUE;
  }
  return FALSE;
}

BOOL IsWindowEnabled(HWND window) {
  WindowRef w = find(window);
  return w && !(w->style & WS_DISABLED);
}

BOOL IsChild(HWND parent, HWND window) {
  WindowRef w = find(window);
  while (w && (w->style & WS_CHILD) && w->parent != nullptr) {
    if (w->parent == parent) return TRUE;
    w = find(w->parent);
  }
  return FALSE;
}

HWND GetParent(HWND window) {
  WindowRef w = find(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (w->style & WS_CHILD) return w->parent;
  return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND GetWindow(HWND window, UINT relation) {
  WindowRef w = find(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (relation == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
  if (relation == GW_OWNER) return (w->style & WS_CHILD) ? nullptr : w->owner;
  std::vector<HWND> siblings;
  if (w->style & WS_CHILD) {
    if (WindowRef parent = find(w->parent)) siblings = parent->children;
  } else {
    siblings = headless::top_levels();
  }
  if (siblings.empty()) return nullptr;
  auto at = std::find(siblings.begin(), siblings.end(), window);
  switch (relation) {
    case GW_HWNDFIRST:
      return siblings.front();
    case GW_HWNDLAST:
      return siblings.back();
    case GW_HWNDNEXT:
      return (at == siblings.end() || at + 1 == siblings.end()) ? nullptr : *(at + 1);
    case GW_HWNDPREV:
      return (at == siblings.end() || at == siblings.begin()) ? nullptr : *(at - 1);
  }
  return nullptr;
}

HWND GetDlgItem(HWND dialog, int id) {
  WindowRef d = find(dialog);
  if (!d) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  for (HWND child : d->children) {
    WindowRef c = find(child);
    if (c && c->id == static_cast<LONG_PTR>(id)) return child;
  }
  SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return nullptr;
}

int GetDlgCtrlID(HWND control) {
  WindowRef w = find(control);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return (w->style & WS_CHILD) ? static_cast<int>(w->id) : 0;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
  WindowRef w = find(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  switch (index) {
    case GWL_STYLE:
      return static_cast<LONG_PTR>(static_cast<LONG>(w->style));
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(static_cast<LONG>(w->ex_style));
    case GWLP_ID:
      return (w->style & WS_CHILD) ? w->id : 0;
    case GWLP_USERDATA:
      return w->user_data;
    case GWLP_HWNDPARENT:
      return reinterpret_cast<LONG_PTR>((w->style & WS_CHILD) ? w->parent : w->owner);
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->window_class->procedure);
  }
  if (LONG_PTR* slot = headless::dialog_slot(w, index)) return *slot;
  SetLastError(ERROR_INVALID_INDEX);
  return 0;
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  WindowRef w = find(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  LONG_PTR old = 0;
  switch (index) {
    case GWL_STYLE:
      old = static_cast<LONG>(w->style);
      w->style = static_cast<DWORD>(value);
      return old;
    case GWL_EXSTYLE:
      old = static_cast<LONG>(w->ex_style);
      w->ex_style = static_cast<DWORD>(value);
      return old;
    case GWLP_ID:
      if (!(w->style & WS_CHILD)) break;
      old = w->id;
      w->id = value;
      return old;
    case GWLP_USERDATA:
      old = w->user_data;
      w->user_data = value;
      return old;
    case GWLP_HWNDPARENT:
      if (w->style & WS_CHILD) break;
      old = reinterpret_cast<LONG_PTR>(w->owner);
      w->owner = headless::root_of(reinterpret_cast<HWND>(value));
      return old;
  }
  if (LONG_PTR* slot = headless::dialog_slot(w, index)) {
    old = *slot;
    *slot = value;
    return old;
  }
  SetLastError(ERROR_INVALID_INDEX);
  return 0;
}

LONG GetWindowLongA(HWND window, int index) {
  return static_cast<LONG>(GetWindowLongPtrA(window, index));
}

LONG SetWindowLongA(HWND window, int index, LONG value) {
  return static_cast<LONG>(SetWindowLongPtrA(window, index, value));
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  if (!find(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0;
}

int GetWindowTextA(HWND window, LPSTR buffer, int max_count) {
  if (buffer == nullptr || max_count <= 0) return 0;
  buffer[0] = '\0';
  if (!find(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return static_cast<int>(
      SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(max_count),
                   reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthA(HWND window) {
  return static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
}

int GetClassNameA(HWND window, LPSTR buffer, int max_count) {
  WindowRef w = find(window);
  if (!w || buffer == nullptr || max_count <= 0) return 0;
  std::string name = w->window_class->name;
  size_t n = std::min(name.size(), static_cast<size_t>(max_count - 1));
  std::memcpy(buffer, name.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

HWND FindWindowA(LPCSTR class_name, LPCSTR window_name) {
  const headless::WindowClass* wanted =
      class_name != nullptr ? headless::find_class(class_name) : nullptr;
  if (class_name != nullptr && wanted == nullptr) return nullptr;
  for (HWND top : headless::top_levels()) {
    WindowRef w = find(top);
    if (!w) continue;
    if (wanted != nullptr && w->window_class != wanted) continue;
    if (window_name != nullptr && w->text != window_name) continue;
    return top;
  }
  return nullptr;
}

BOOL GetClientRect(HWND window, LPRECT rect) {
  WindowRef w = find(window);
  if (!w || rect == nullptr) return FALSE;
  *rect = {0, 0, headless::client_width(*w), headless::client_height(*w)};
  return TRUE;
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
  WindowRef w = find(window);
  if (!w || rect == nullptr) return FALSE;
  POINT base = {0, 0};
  if (w->style & WS_CHILD) {
    if (WindowRef parent = find(w->parent)) base = headless::client_origin(*parent);
  }
  *rect = {base.x + w->rect.left, base.y + w->rect.top, base.x + w->rect.right,
           base.y + w->rect.bottom};
  return TRUE;
}

BOOL ShowWindow(HWND window, int command) {
  WindowRef w = find(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const bool was_visible = (w->style & WS_VISIBLE) != 0;
  headless::ThreadInput& t = input();
  if (command == SW_HIDE) {
    if (!was_visible) return FALSE;
    SendMessageA(window, WM_SHOWWINDOW, FALSE, 0);
    w->style &= ~WS_VISIBLE;
    if (headless::is_within(t.focus, window)) {
      HWND parent = (w->style & WS_CHILD) ? w->parent : nullptr;
      if (parent != nullptr) {
        SetFocus(parent);
      } else {
        headless::change_focus(nullptr);
      }
    }
    if (t.active == window) headless::activate_other(window);
    return TRUE;
  }
  if (command == SW_SHOWMAXIMIZED) w->style |= WS_MAXIMIZE;
  if (!was_visible) {
    SendMessageA(window, WM_SHOWWINDOW, TRUE, 0);
    if (!find(window)) return FALSE;
    w->style |= WS_VISIBLE;
  }
  constexpr int kShowNoActivate = 4, kShowMinNoActive = 7, kShowNa = 8;
  const bool activates = command != kShowNoActivate && command != kShowMinNoActive &&
                         command != kShowNa;
  if (!(w->style & WS_CHILD) && activates && !(w->style & WS_DISABLED)) {
    headless::set_active(window, true);
  }
  return was_visible ? TRUE : FALSE;
}

// Wine 8 sends WM_CANCELMODE on every disabling call and takes the focus only
// from the disabled window itself, not from its children.
BOOL EnableWindow(HWND window, BOOL enable) {
  WindowRef w = find(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const bool was_disabled = (w->style & WS_DISABLED) != 0;
  if (enable) {
    if (was_disabled) {
      w->style &= ~WS_DISABLED;
      SendMessageA(window, WM_ENABLE, TRUE, 0);
    }
  } else {
    SendMessageA(window, WM_CANCELMODE, 0, 0);
    if (!was_disabled) {
      w->style |= WS_DISABLED;
      if (input().focus == window) headless::change_focus(nullptr);
      SendMessageA(window, WM_ENABLE, FALSE, 0);
    }
  }
  return was_disabled ? TRUE : FALSE;
}

HWND SetFocus(HWND window) {
  headless::ThreadInput& t = input();
  if (window == nullptr) return headless::change_focus(nullptr);
  if (!find(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (window == t.focus) return window;
  // A minimized or disabled window on the way up refuses the focus.
  for (WindowRef w = find(window); w; w = find(w->parent)) {
    if (w->style & (WS_MINIMIZE | WS_DISABLED)) return nullptr;
    if (!(w->style & WS_CHILD)) break;
  }
  // A hidden top-level window is activated too (Wine 8: WM_ACTIVATE reaches a
  // hidden dialog whose control is given the focus).
  HWND top = headless::root_of(window);
  if (top != t.active) {
    headless::set_active(top, false);
    if (!IsWindow(window) || t.active != top) return nullptr;
  }
  return headless::change_focus(window);
}

HWND GetFocus() { return input().focus; }

HWND GetActiveWindow() { return input().active; }

HWND SetCapture(HWND window) {
  headless::ThreadInput& t = input();
  HWND old = t.capture;
  t.capture = window;
  if (old != nullptr && old != window && IsWindow(old)) {
    SendMessageA(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
  }
  return old;
}

BOOL ReleaseCapture() {
  headless::ThreadInput& t = input();
  HWND old = t.capture;
  t.capture = nullptr;
  if (old != nullptr && IsWindow(old)) SendMessageA(old, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND GetCapture() { return input().capture; }

SHORT GetKeyState(int virtual_key) {
  BYTE state = input().keys[virtual_key & 0xFF];
  return static_cast<SHORT>(((state & 0x80) ? 0xFF80 : 0) | (state & 1));
}

BOOL GetKeyboardState(PBYTE state) {
  if (state == nullptr) return FALSE;
  std::memcpy(state, input().keys, 256);
  return TRUE;
}

BOOL SetKeyboardState(LPBYTE state) {
  if (state == nullptr) return FALSE;
  std::memcpy(input().keys, state, 256);
  return TRUE;
}

// Scan codes of the US keyboard, as Wine reports them.
UINT MapVirtualKeyA(UINT code, UINT map_type) {
  if (map_type != MAPVK_VK_TO_VSC) return 0;
  static const char kLetters[] = "\x1E\x30\x2E\x20\x12\x21\x22\x23\x17\x24\x25\x26\x32"
                                 "\x31\x18\x19\x10\x13\x1F\x14\x16\x2F\x11\x2D\x15\x2C";
  if (code >= 'A' && code <= 'Z') return static_cast<unsigned char>(kLetters[code - 'A']);
  if (code >= '1' && code <= '9') return code - '1' + 0x02;
  if (code == '0') return 0x0B;
  if (code >= VK_F1 && code <= VK_F1 + 9) return code - VK_F1 + 0x3B;
  switch (code) {
    case VK_BACK: return 0x0E;
    case VK_TAB: return 0x0F;
    case VK_RETURN: return 0x1C;
    case VK_SHIFT: return 0x2A;
    case VK_CONTROL: return 0x1D;
    case VK_MENU: return 0x38;
    case VK_CAPITAL: return 0x3A;
    case VK_ESCAPE: return 0x01;
    case VK_SPACE: return 0x39;
    case VK_PRIOR: return 0x49;
    case VK_NEXT: return 0x51;
    case VK_END: return 0x4F;
    case VK_HOME: return 0x47;
    case VK_LEFT: return 0x4B;
    case VK_UP: return 0x48;
    case VK_RIGHT: return 0x4D;
    case VK_DOWN: return 0x50;
    case VK_DELETE: return 0x53;
  }
  return 0;
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC timer_proc) {
  if (window != nullptr && !find(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  headless::ThreadInput& t = input();
  if (window == nullptr) id = t.next_thread_timer--;
  if (elapse < USER_TIMER_MINIMUM) elapse = USER_TIMER_MINIMUM;
  const auto due = headless::Clock::now() + std::chrono::milliseconds(elapse);
  if (headless::Timer* timer = headless::find_timer(window, id)) {
    *timer = {window, id, elapse, timer_proc, due};
  } else {
    t.timers.push_back({window, id, elapse, timer_proc, due});
  }
  return id == 0 ? 1 : id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  auto& timers = input().timers;
  auto it = std::find_if(timers.begin(), timers.end(), [&](const headless::Timer& timer) {
    return timer.window == window && timer.id == id;
  });
  if (it == timers.end()) return FALSE;
  timers.erase(it);
  return TRUE;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  std::shared_ptr<headless::MessageQueue> queue;
  if (window == nullptr) {
    queue = input().queue;
  } else if (WindowRef w = find(window)) {
    queue = w->queue;
  } else {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  MSG m = {};
  m.hwnd = window;
  m.message = message;
  m.wParam = wparam;
  m.lParam = lparam;
  m.time = headless::tick_count();
  std::lock_guard<std::mutex> hold(queue->mutex);
  queue->posted.push_back(m);
  queue->changed = true;
  queue->arrived.notify_all();
  return TRUE;
}

void PostQuitMessage(int exit_code) {
  headless::MessageQueue& queue = *input().queue;
  std::lock_guard<std::mutex> hold(queue.mutex);
  queue.quit = true;
  queue.quit_code = static_cast<WPARAM>(exit_code);
  queue.changed = true;
  queue.arrived.notify_all();
}

// Posted messages in order, then WM_QUIT, then the timers that are due: a
// timer fires only when nothing else waits.
BOOL PeekMessageA(LPMSG msg, HWND window, UINT filter_min, UINT filter_max, UINT remove) {
  if (msg == nullptr) return FALSE;
  headless::ThreadInput& t = input();
  {
    headless::MessageQueue& queue = *t.queue;
    std::lock_guard<std::mutex> hold(queue.mutex);
    queue.changed = false;
    for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
      if (!headless::message_matches(*it, window, filter_min, filter_max)) continue;
      *msg = *it;
      if (remove & PM_REMOVE) queue.posted.erase(it);
      return TRUE;
    }
    if (queue.quit) {
      *msg = {};
      msg->message = WM_QUIT;
      msg->wParam = queue.quit_code;
      msg->time = headless::tick_count();
      if (remove & PM_REMOVE) queue.quit = false;
      return TRUE;
    }
  }
  const auto now = headless::Clock::now();
  headless::Timer* next = nullptr;
  for (headless::Timer& timer : t.timers) {
    if (timer.due > now) continue;
    MSG candidate = {};
    candidate.hwnd = timer.window;
    candidate.message = WM_TIMER;
    if (!headless::message_matches(candidate, window, filter_min, filter_max)) continue;
    if (next == nullptr || timer.due < next->due) next = &timer;
  }
  if (next == nullptr) return FALSE;
  *msg = {};
  msg->hwnd = next->window;
  msg->message = WM_TIMER;
  msg->wParam = next->id;
  msg->lParam = reinterpret_cast<LPARAM>(next->procedure);
  msg->time = headless::tick_count();
  if (remove & PM_REMOVE) next->due = now + std::chrono::milliseconds(next->elapse);
  return TRUE;
}

// Blocks until a message is posted to the thread's queue after its last look,
// WM_QUIT is posted, a timer of the thread falls due, or the time is up.
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE*, BOOL, DWORD milliseconds,
                                DWORD wake_mask) {
  if (count != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);  // the layer keeps no waitable objects
    return WAIT_FAILED;
  }
  headless::ThreadInput& t = input();
  headless::MessageQueue& queue = *t.queue;
  const bool forever = milliseconds == INFINITE;
  const auto deadline = headless::Clock::now() + std::chrono::milliseconds(forever ? 0 : milliseconds);
  std::unique_lock<std::mutex> hold(queue.mutex);
  for (;;) {
    if ((wake_mask & QS_ALLINPUT) != 0 && queue.changed) return WAIT_OBJECT_0;
    const auto now = headless::Clock::now();
    auto until = deadline;
    bool has_until = !forever;
    if (wake_mask & QS_ALLINPUT) {
      for (const headless::Timer& timer : t.timers) {
        if (timer.due <= now) return WAIT_OBJECT_0;
        if (!has_until || timer.due < until) until = timer.due;
        has_until = true;
      }
    }
    if (!forever && now >= deadline) return WAIT_TIMEOUT;
    if (has_until) {
      queue.arrived.wait_until(hold, until);
    } else {
      queue.arrived.wait(hold);
    }
  }
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL) {
  // Nothing is painted without a screen; a live window (or the whole screen,
  // for no window) accepts the request.
  if (window != nullptr && !find(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL TranslateMessage(const MSG* msg) {
  if (msg == nullptr) return FALSE;
  switch (msg->message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      int c = headless::character_of(static_cast<UINT>(msg->wParam));
      if (c >= 0 && msg->hwnd != nullptr) {
        PostMessageA(msg->hwnd, msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR,
                     static_cast<WPARAM>(c), msg->lParam);
      }
      return TRUE;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP:
      return TRUE;
  }
  return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (msg == nullptr) return 0;
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    // Only a procedure the thread registered for this timer is called.
    headless::Timer* timer = headless::find_timer(msg->hwnd, msg->wParam);
    auto procedure = reinterpret_cast<TIMERPROC>(msg->lParam);
    if (timer != nullptr && timer->procedure == procedure) {
      procedure(msg->hwnd, WM_TIMER, msg->wParam, headless::tick_count());
    }
    return 0;
  }
  if (msg->hwnd == nullptr) return 0;
  return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  WindowRef w = find(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return w->window_class->procedure(window, message, wparam, lparam);
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  WindowRef w = find(window);
  if (!w) return 0;
  switch (message) {
    case WM_SETTEXT:
      w->text = lparam != 0 ? reinterpret_cast<const char*>(lparam) : "";
      return TRUE;
    case WM_GETTEXT: {
      if (wparam == 0 || lparam == 0) return 0;
      char* buffer = reinterpret_cast<char*>(lparam);
      size_t n = std::min(w->text.size(), static_cast<size_t>(wparam) - 1);
      std::memcpy(buffer, w->text.data(), n);
      buffer[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->text.size());
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == SC_CLOSE) SendMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_SYSKEYDOWN:
      // Alt+F4 asks the top-level window to close.
      if ((HIWORD(lparam) & KF_ALTDOWN) && wparam == VK_F4) {
        PostMessageA(headless::root_of(window), WM_SYSCOMMAND, SC_CLOSE, 0);
      }
      return 0;
    case WM_CANCELMODE:
      if (input().capture == window) ReleaseCapture();
      return 0;
    case WM_SETREDRAW:
      // As on Windows: the visible bit goes and comes back, nothing is shown or hidden.
      if (wparam) {
        w->style |= WS_VISIBLE;
      } else {
        w->style &= ~WS_VISIBLE;
      }
      return 0;
  }
  return 0;
}

namespace headless {
namespace {

struct FontTable {
  std::mutex mutex;
  std::vector<FontMetrics> fonts;
};

FontTable& fonts() {
  static FontTable* table = new FontTable;
  return *table;
}

constexpr uintptr_t kFirstFont = 0x020A0040;

}  // namespace

// Each request makes a new font handle, as each dialog of Windows creates its own.
HFONT create_font(const FontMetrics& metrics) {
  FontTable& table = fonts();
  std::lock_guard<std::mutex> hold(table.mutex);
  table.fonts.push_back(metrics);
  return reinterpret_cast<HFONT>(kFirstFont + 4 * table.fonts.size());
}

FontMetrics metrics_of(HFONT font) {
  FontTable& table = fonts();
  std::lock_guard<std::mutex> hold(table.mutex);
  uintptr_t value = reinterpret_cast<uintptr_t>(font);
  if (value > kFirstFont && (value - kFirstFont) % 4 == 0) {
    size_t index = (value - kFirstFont) / 4 - 1;
    if (index < table.fonts.size()) return table.fonts[index];
  }
  return {8, 16};  // the system font
}

const WindowClass* find_class(const char* name) {
  static const WindowClass* const kClasses[] = {&kDialogClass, &kButtonClass, &kEditClass,
                                                &kStaticClass, &kListBoxClass};
  for (const WindowClass* window_class : kClasses) {
    const char* a = window_class->name;
    const char* b = name;
    while (*a != '\0' && *b != '\0' && std::toupper(static_cast<unsigned char>(*a)) ==
                                           std::toupper(static_cast<unsigned char>(*b))) {
      ++a;
      ++b;
    }
    if (*a == '\0' && *b == '\0') return window_class;
  }
  return nullptr;
}

}  // namespace headless
