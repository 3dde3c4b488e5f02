// The benchmark's floors for vintrell.exe under Wine: the least a dialog
// program can do, in the program's font, so that what Wine costs cancels out.
//
//   vintrell-bench-dialog.exe idle         a dialog with one edit control and
//                                          nothing else, to measure at rest
//   vintrell-bench-dialog.exe fill LINES   a dialog with a sorted list box of
//                                          the results list's size and a "Fill"
//                                          button that puts the lines of the
//                                          file LINES into it
//
// The fill empties the list and adds every line between WM_SETREDRAW off and
// on, as the program's Find does with its results; the lines are read before
// the dialog opens, so the fill is the list box's work and nothing else.
// Exit code 0 when the dialog was closed, 1 when it could not open, 2 for a
// wrong command line.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace {

const char kIdleCaption[] = "Vintrell bench idle dialog";
const char kFillCaption[] = "Vintrell bench fill dialog";
// Clear of IDOK and IDCANCEL, which the controls' notifications would otherwise
// look like.
constexpr WORD kEdit = 100, kList = 101, kFill = 102;
// The results list's own style: sorted, notifying, with a vertical scroll bar.
constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_BORDER | WS_TABSTOP |
                             LBS_NOTIFY | LBS_SORT;

std::vector<std::string> lines;

// An in-memory DLGTEMPLATE, written one WORD at a time.
class Template {
 public:
  Template(const char* caption, WORD items, short width, short height) {
    dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_SETFONT | DS_CENTER |
          DS_MODALFRAME);
    dword(0);
    words_.push_back(items);
    for (short v : {short(0), short(0), width, height}) words_.push_back(static_cast<WORD>(v));
    words_.push_back(0);  // no menu
    words_.push_back(0);  // the standard dialog class
    text(caption);
    words_.push_back(8);
    text("MS Sans Serif");
  }
  void item(const char* class_name, const char* caption, WORD id, DWORD style, short x, short y,
            short width, short height) {
    if (words_.size() % 2 != 0) words_.push_back(0);  // items start on a DWORD
    dword(style);
    dword(0);
    for (short v : {x, y, width, height}) words_.push_back(static_cast<WORD>(v));
    words_.push_back(id);
    text(class_name);
    text(caption);
    words_.push_back(0);  // no creation data
  }
  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void dword(DWORD v) {
    words_.push_back(static_cast<WORD>(v & 0xFFFF));
    words_.push_back(static_cast<WORD>(v >> 16));
  }
  void text(const char* s) {
    for (; *s != '\0'; ++s) words_.push_back(static_cast<unsigned char>(*s));
    words_.push_back(0);
  }
  std::vector<WORD> words_;
};

void fill(HWND dialog) {
  HWND list = GetDlgItem(dialog, kList);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  for (const std::string& line : lines) {
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  }
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

INT_PTR CALLBACK procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wparam) != BN_CLICKED) return FALSE;
      if (LOWORD(wparam) == kFill) fill(dialog);
      if (LOWORD(wparam) == IDCANCEL) EndDialog(dialog, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

bool read_lines(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  std::string line;
  for (int c; (c = std::fgetc(file)) != EOF;) {
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(static_cast<char>(c));
    }
  }
  if (!line.empty()) lines.push_back(line);
  std::fclose(file);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const bool idle = argc == 2 && std::strcmp(argv[1], "idle") == 0;
  const bool fill_mode = argc == 3 && std::strcmp(argv[1], "fill") == 0;
  if (!idle && !fill_mode) {
    std::fprintf(stderr, "usage: vintrell-bench-dialog idle | fill LINES\n");
    return 2;
  }
  if (fill_mode && !read_lines(argv[2])) {
    std::fprintf(stderr, "bench-dialog: cannot read %s\n", argv[2]);
    return 1;
  }
  // The main dialog's size, and its results list's place and size.
  Template dialog(idle ? kIdleCaption : kFillCaption, idle ? 1 : 2, 300, 150);
  if (idle) {
    dialog.item("EDIT", "", kEdit, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL,
                54, 14, 150, 12);
  } else {
    dialog.item("LISTBOX", "", kList, kListStyle, 54, 46, 200, 36);
    dialog.item("BUTTON", "Fill", kFill, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 140,
                110, 40, 14);
  }
  INT_PTR ended = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), dialog.get(), nullptr,
                                          procedure, 0);
  return ended == -1 ? 1 : 0;
}
