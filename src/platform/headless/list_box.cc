// The LISTBOX class, single selection. A sorted list inserts by the collation
// CompareStringA answers with (case ignored), as Wine's does: a binary search
// that stops at the first item it meets that compares level with the new one
// and puts the new one before it.
#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "platform/headless/window_manager.h"
#include "platform/win32.h"
#include "platform/collation.h"

namespace headless {
namespace {

struct ListBoxData : ClassData {
  std::vector<std::string> items;
  int selected = -1;
  int caret = -1;
  int top = 0;
  int item_height = 16;  // the system font's until WM_SETFONT
  bool wants_scroll_bar = false;
};

int rows_shown(const Window& w, const ListBoxData& list) {
  return list.item_height > 0 ? client_height(w) / list.item_height : 0;
}

// Without LBS_NOINTEGRALHEIGHT the box shrinks to whole items.
void fit_height(Window& w, const ListBoxData& list) {
  if ((w.style & LBS_NOINTEGRALHEIGHT) || list.item_height <= 0) return;
  w.rect.bottom -= client_height(w) % list.item_height;
}

// The scroll bar, and with it WS_VSCROLL, is there only while items overflow
// (measured under Wine 8).
void update_scroll_bar(Window& w, const ListBoxData& list) {
  if (!list.wants_scroll_bar) return;
  const bool needed = (w.style & LBS_DISABLENOSCROLL) ||
                      static_cast<int>(list.items.size()) > rows_shown(w, list);
  if (needed) {
    w.style |= WS_VSCROLL;
  } else {
    w.style &= ~WS_VSCROLL;
  }
}

int insert_item(Window& w, ListBoxData& list, int index, const char* text) {
  std::string item = text != nullptr ? text : "";
  const int count = static_cast<int>(list.items.size());
  if (index < 0) index = count;
  if (index > count) return LB_ERR;
  try {
    list.items.insert(list.items.begin() + index, std::move(item));
  } catch (const std::bad_alloc&) {
    return LB_ERRSPACE;
  }
  if (list.selected >= index) ++list.selected;
  if (list.caret >= index) ++list.caret;
  update_scroll_bar(w, list);
  return index;
}

int sorted_position(const ListBoxData& list, const char* text) {
  const std::string_view item = text != nullptr ? text : "";
  return collation::sorted_insert_position(static_cast<int>(list.items.size()), [&](int i) {
    return collation::compare_ignoring_case(item, list.items[i]);
  });
}

// A click notifies even when it hits the line already selected (measured under
// Wine 8).
void select_by_user(HWND box, Window& w, ListBoxData& list, int index, bool clicked = false) {
  if (index < 0 || index >= static_cast<int>(list.items.size())) return;
  list.caret = index;
  if (index == list.selected) {
    if (clicked && (w.style & LBS_NOTIFY)) notify_parent(box, LBN_SELCHANGE);
    return;
  }
  list.selected = index;
  if (index < list.top) list.top = index;
  const int rows = rows_shown(w, list);
  if (rows > 0 && index >= list.top + rows) list.top = index - rows + 1;
  if (w.style & LBS_NOTIFY) notify_parent(box, LBN_SELCHANGE);
}

// Whether `item` starts with the character typed, case aside, as Wine's list
// box compares them (lstrcmpi's order, which sees no other difference).
bool starts_with_typed(const std::string& item, char typed) {
  return !item.empty() &&
         collation::compare_ignoring_case(std::string_view(&typed, 1), std::string_view(item.data(), 1)) == 0;
}

LRESULT list_box_procedure(HWND box, UINT message, WPARAM wparam, LPARAM lparam) {
  WindowRef self = find(box);
  ListBoxData* list = data_of<ListBoxData>(self);
  if (list == nullptr) return DefWindowProcA(box, message, wparam, lparam);
  Window& w = *self;
  const int count = static_cast<int>(list->items.size());
  const int index = static_cast<int>(wparam);

  switch (message) {
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;

    case LB_ADDSTRING: {
      const char* text = reinterpret_cast<const char*>(lparam);
      int at = (w.style & LBS_SORT) ? sorted_position(*list, text) : count;
      return insert_item(w, *list, at, text);
    }

    case LB_INSERTSTRING:
      return insert_item(w, *list, index, reinterpret_cast<const char*>(lparam));

    case LB_DELETESTRING:
      if (index < 0 || index >= count) return LB_ERR;
      list->items.erase(list->items.begin() + index);
      if (list->selected == index) {
        list->selected = -1;
      } else if (list->selected > index) {
        --list->selected;
      }
      if (list->caret >= static_cast<int>(list->items.size())) list->caret = -1;
      update_scroll_bar(w, *list);
      return static_cast<LRESULT>(list->items.size());

    case LB_RESETCONTENT:
      list->items.clear();
      list->selected = list->caret = -1;
      list->top = 0;
      update_scroll_bar(w, *list);
      return TRUE;

    case LB_GETCOUNT:
      return count;

    case LB_GETTEXT:
      if (index < 0 || index >= count || lparam == 0) return LB_ERR;
      list->items[index].copy(reinterpret_cast<char*>(lparam), std::string::npos);
      reinterpret_cast<char*>(lparam)[list->items[index].size()] = '\0';
      return static_cast<LRESULT>(list->items[index].size());

    case LB_GETTEXTLEN:
      if (index < 0 || index >= count) return LB_ERR;
      return static_cast<LRESULT>(list->items[index].size());

    case LB_GETCURSEL:
      return list->selected;

    case LB_SETCURSEL:
      if (index < 0 || index >= count) {
        list->selected = -1;
        return LB_ERR;  // also for -1, which only clears the selection
      }
      list->selected = list->caret = index;
      return index;

    case LB_FINDSTRINGEXACT: {
      const char* text = reinterpret_cast<const char*>(lparam);
      for (int k = 1; k <= count; ++k) {
        int at = (index + k) % count;
        if (index < 0) at = k - 1;
        if (collation::compare_ignoring_case(list->items[at], text != nullptr ? text : "") == 0) {
          return at;
        }
      }
      return LB_ERR;
    }

    case LB_GETITEMHEIGHT:
      return list->item_height;

    case LB_GETTOPINDEX:
      return list->top;

    case WM_KEYDOWN: {
      const int rows = std::max(1, rows_shown(w, *list));
      switch (wparam) {
        case VK_DOWN: select_by_user(box, w, *list, std::min(list->caret + 1, count - 1)); break;
        case VK_UP:
          if (list->caret > 0) select_by_user(box, w, *list, list->caret - 1);
          break;
        case VK_HOME: select_by_user(box, w, *list, 0); break;
        case VK_END: select_by_user(box, w, *list, count - 1); break;
        case VK_NEXT: select_by_user(box, w, *list, std::min(list->caret + rows, count - 1)); break;
        case VK_PRIOR: select_by_user(box, w, *list, std::max(list->caret - rows, 0)); break;
      }
      return 0;
    }

    case WM_CHAR: {
      // The next item, after the caret and round, that starts with the letter.
      const char typed = static_cast<char>(wparam & 0xFF);
      for (int k = 1; k <= count; ++k) {
        int at = (list->caret + k + count) % count;
        if (starts_with_typed(list->items[at], typed)) {
          select_by_user(box, w, *list, at);
          break;
        }
      }
      return 0;
    }

    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (GetFocus() != box) SetFocus(box);
      const int y = static_cast<short>(HIWORD(lparam));
      if (y >= 0 && list->item_height > 0) select_by_user(box, w, *list, list->top + y / list->item_height, true);
      return 0;
    }

    case WM_SETFOCUS:
      if (w.style & LBS_NOTIFY) notify_parent(box, LBN_SETFOCUS);
      return 0;

    case WM_KILLFOCUS:
      if (w.style & LBS_NOTIFY) notify_parent(box, LBN_KILLFOCUS);
      return 0;

    case WM_SETFONT:
      w.font = reinterpret_cast<HFONT>(wparam);
      list->item_height = metrics_of(w.font).height;
      fit_height(w, *list);
      update_scroll_bar(w, *list);
      return 0;

    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(w.font);
  }
  return DefWindowProcA(box, message, wparam, lparam);
}

void create_list_box(HWND box) {
  WindowRef w = find(box);
  if (!w) return;
  auto* list = new ListBoxData;
  w->data.reset(list);
  list->wants_scroll_bar = (w->style & WS_VSCROLL) != 0;
  list->item_height = metrics_of(nullptr).height;
  fit_height(*w, *list);
  update_scroll_bar(*w, *list);
}

}  // namespace

extern const WindowClass kListBoxClass = {"ListBox", list_box_procedure, create_list_box};

}  // namespace headless
