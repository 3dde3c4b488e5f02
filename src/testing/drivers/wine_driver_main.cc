// Drives the real vintrell.exe from outside, as a user would, on the real Win32
// (Wine): writes a small mail folder whose results are known, puts a copy of the
// program into it, starts it, fills in the dialog, presses its buttons and reads
// what it shows. Saves a picture of the dialog with results as a BMP file.
//
//   vintrell-driver.exe PROGRAM.EXE OUTPUT_FOLDER
//
// Prints one line per check, then "N passed, N failed, 0 skipped"; exit code 0
// when every check passed.
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "testing/drivers/checks.h"
#include "testing/top_window.h"

namespace {

using driver::check;
using driver::check_text;
using driver::kCaption;
using driver::kPatienceMilliseconds;
using driver::wait_until;

const char kPickerPrompt[] = "Select the Pegasus Mail folder to search";

// ---- the sample folder -------------------------------------------------------------

struct SampleFile {
  const char* name;
  std::string bytes;
};

// The bytes of a literal, NULs included.
template <size_t N>
std::string bytes_of(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

std::vector<SampleFile> sample_files() {
  return {
      // Address books: the title up to the first NUL, the whole file searched.
      {"STAFF.PMR", bytes_of("Staff\0John Smith\0jsmith@example.org\0Mary Smithers\0")},
      {"CLUB.PMR", bytes_of("Chess club\0Anna Smith\0anna@example.org\0")},
      {"OTHER.PMR", bytes_of("Suppliers\0Acme Ltd\0orders@example.org\0")},
      // Distribution lists: seven characters, the title, then one entry a line;
      // a line starting with a backslash is not an entry.
      {"FAMILY.PML", bytes_of("\\TITLE Family\r\nJohn Smith <john@example.org>\r\n"
                              "\\NOTE all\r\nAnn Jones <ann@example.org>\r\n")},
      {"TEAM.PML", bytes_of("\\TITLE Team\r\nBob SMITH <bob@example.org>\r\n"
                            "smithy@example.org\r\nCarl <carl@example.org>\r\n")},
      {"EMPTY.PML", bytes_of("\\TITLE Nobody\r\n")},
  };
}

bool write_file(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

std::string read_file(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(missing)";
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

std::string long_path(const std::string& path) {
  char buffer[MAX_PATH] = "";
  DWORD n = GetLongPathNameA(path.c_str(), buffer, sizeof buffer);
  return n > 0 && n < sizeof buffer ? std::string(buffer) : path;
}

// ---- one running program ------------------------------------------------------------

class Program {
 public:
  // Starts `exe` with exactly `command_line` in `working_folder`.
  Program(const std::string& exe, const std::string& command_line,
          const std::string& working_folder) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');
    started_ = CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              working_folder.c_str(), &startup, &info_) != 0;
    if (started_) {
      wait_until([this] {
        return (dialog_ = testing::visible_window_of(info_.dwProcessId, kCaption)) != nullptr;
      });
    }
  }
  ~Program() {
    if (!started_) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 99);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool started() const { return started_; }
  HWND dialog() const { return dialog_; }
  DWORD process_id() const { return info_.dwProcessId; }
  HWND control(int id) const { return GetDlgItem(dialog_, id); }

  std::string text_of(int id) const {
    char buffer[4096] = "";
    SendMessageA(control(id), WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
    return buffer;
  }
  void set_text(int id, const std::string& text) const {
    SendMessageA(control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  // Sent: the click, and the command it makes, are done when this returns.
  void click(int id) const { SendMessageA(control(id), BM_CLICK, 0, 0); }
  // Posted, as a mouse click arrives: through the program's own message loop.
  // The program notices its dialog is gone only after a message it took from
  // its queue, so a button that ends the dialog is clicked this way.
  void post_click(int id) const { PostMessageA(control(id), BM_CLICK, 0, 0); }
  bool checked(int id) const { return SendMessageA(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

  // Measured under Wine: a cross-process ANSI LB_GETTEXT hands back UTF-16, so
  // the wide message is used and its text converted.
  std::vector<std::string> list_items(int id) const {
    std::vector<std::string> items;
    HWND list = control(id);
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      LRESULT length = SendMessageW(list, LB_GETTEXTLEN, i, 0);
      if (length < 0) break;
      std::vector<wchar_t> wide(static_cast<size_t>(length) + 1, L'\0');
      SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide.data()));
      char narrow[4096] = "";
      WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, narrow, sizeof narrow, nullptr, nullptr);
      items.push_back(narrow);
    }
    return items;
  }

  HWND focused_control() const {
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(info_.dwThreadId, &gui);
    return gui.hwndFocus;
  }

  // Waits for the process to end; its exit code, or -1 when it did not end.
  long exit_code() const {
    if (WaitForSingleObject(info_.hProcess, kPatienceMilliseconds) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return static_cast<long>(code);
  }

 private:
  PROCESS_INFORMATION info_ = {};
  bool started_ = false;
  HWND dialog_ = nullptr;
};

std::string joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& line : lines) all += (all.empty() ? "" : " | ") + line;
  return all;
}

// ---- the picture ----------------------------------------------------------------

bool save_picture(HWND window, const std::string& path) {
  // Repaint now, so the picture shows the latest results.
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, kPatienceMilliseconds, &ignored);
  Sleep(300);  // lets the X server finish drawing; nothing is judged by it
  RECT rect;
  if (!GetWindowRect(window, &rect)) return false;
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, old);

  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
  std::string pixels(stride * static_cast<DWORD>(height), '\0');
  int rows = GetDIBits(memory, bitmap, 0, height, &pixels[0],
                       reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (rows != height) return false;

  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&header), sizeof header);
  bytes += pixels;
  return write_file(path, bytes);
}

// ---- the checks -----------------------------------------------------------------

constexpr int kTextToFind = 1, kResults = 2, kSummary = 3, kDirectory = 4;
constexpr int kAddressBooks = 5, kDistributionLists = 6, kFind = 10, kClose = 11;
constexpr int kBrowse = 12, kMatchCase = 13;

void check_start_up(const Program& program, const std::string& home) {
  check(program.dialog() != nullptr, "the dialog appears with its caption");
  check_text(program.text_of(kDirectory), home, "the Directory box starts at the program's folder");
  check(program.checked(kAddressBooks) && !program.checked(kDistributionLists),
        "Address Books is checked, Distribution Lists is not");
  check(program.focused_control() == program.control(kTextToFind),
        "the focus is in the Text to Find box");
  check(program.list_items(kResults).empty() && program.text_of(kSummary).empty(),
        "the results list and the summary start empty");
}

void check_searches(const Program& program) {
  program.set_text(kTextToFind, "smith");
  program.click(kFind);
  std::vector<std::string> books = {"Chess club ( 1 occurences)", "Staff ( 3 occurences)"};
  check_text(joined(program.list_items(kResults)), joined(books),
             "address books: the matching books in the list's order, with counts");
  check_text(program.text_of(kSummary), "Text found in  2 out of  3 Address Books",
             "address books: the summary");

  program.click(kDistributionLists);
  check(!program.checked(kAddressBooks) && program.checked(kDistributionLists),
        "clicking Distribution Lists clears Address Books");
  program.click(kFind);
  std::vector<std::string> lists = {"Family ( 1 out of  2 entries)",
                                    "Team ( 2 out of  3 entries)"};
  check_text(joined(program.list_items(kResults)), joined(lists),
             "distribution lists: matching entries out of all entries");
  check_text(program.text_of(kSummary), "Text found in  2 out of  3 Distributions Lists",
             "distribution lists: the summary");

  program.click(kMatchCase);
  program.set_text(kTextToFind, "Smith");
  program.click(kFind);
  check_text(joined(program.list_items(kResults)), "Family ( 1 out of  2 entries)",
             "Match Case: only the exact spelling counts");
  check_text(program.text_of(kSummary), "Text found in  1 out of  3 Distributions Lists",
             "Match Case: the summary");

  program.set_text(kTextToFind, "nobody at all");
  program.click(kFind);
  check(program.list_items(kResults).empty(), "a search without hits empties the list");
  check_text(program.text_of(kSummary), "Text found in  0 out of  3 Distributions Lists",
             "a search without hits: the summary");
  program.click(kMatchCase);
}

void check_keys(const Program& program) {
  HWND box = program.control(kTextToFind);
  program.set_text(kTextToFind, "smith");
  PostMessageA(box, WM_KEYDOWN, VK_ESCAPE, 1);
  PostMessageA(box, WM_KEYUP, VK_ESCAPE, 0xC0000001);
  PostMessageA(box, WM_KEYDOWN, VK_RETURN, 1);
  PostMessageA(box, WM_KEYUP, VK_RETURN, 0xC0000001);
  // A character posted after the keys shows when they have been handled.
  PostMessageA(box, WM_CHAR, 'x', 1);
  bool handled = wait_until(
      [&] { return program.text_of(kTextToFind).find('x') != std::string::npos; });
  check(handled && IsWindow(program.dialog()) && IsWindowVisible(program.dialog()),
        "Escape and Enter in the Text to Find box leave the dialog open");
  program.set_text(kTextToFind, "smith");
}

void check_browse_cancelled(const Program& program, const std::string& home) {
  // Posted: the picker runs its own loop inside the Browse command.
  PostMessageA(program.control(kBrowse), BM_CLICK, 0, 0);
  HWND picker = nullptr;
  wait_until([&] {
    picker = testing::visible_window_of(program.process_id(), nullptr, program.dialog());
    return picker != nullptr;
  });
  check(picker != nullptr, "Browse opens the folder picker");
  if (picker == nullptr) return;
  bool prompt_shown = false;
  for (HWND child = GetWindow(picker, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    char text[256] = "";
    GetWindowTextA(child, text, sizeof text);
    if (std::strcmp(text, kPickerPrompt) == 0) prompt_shown = true;
  }
  check(prompt_shown, "the folder picker shows the prompt");
  check(IsWindowEnabled(program.dialog()) != 0, "the main dialog stays enabled under the picker");
  program.set_text(kDirectory, "typed before Browse");
  PostMessageA(picker, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  bool closed = wait_until([&] {
    return testing::visible_window_of(program.process_id(), nullptr, program.dialog()) == nullptr;
  });
  // A message sent after the picker closed is handled after the Browse command.
  program.text_of(kSummary);
  check(closed && program.text_of(kDirectory) == "typed before Browse",
        "cancelling the picker leaves the Directory box as it was");
  program.set_text(kDirectory, home);
}

// Started in its folder by a bare name, with arguments, or from a folder whose
// path is longer than a command line's first 126 characters: the box starts at
// the program's folder all the same.
void check_start_ups(const std::string& folder, const std::string& home) {
  struct Start {
    std::string exe, command_line, working_folder, what;
  };
  const std::string deep = folder + "\\" + std::string(120, 'd');
  CreateDirectoryA(deep.c_str(), nullptr);
  const std::string deep_copy = deep + "\\vintrell.exe";
  CopyFileA((folder + "\\vintrell.exe").c_str(), deep_copy.c_str(), FALSE);
  const std::vector<Start> starts = {
      {folder + "\\vintrell.exe", "vintrell.exe", folder, "started by its bare name"},
      {folder + "\\vintrell.exe", "vintrell", folder, "started without .exe"},
      {folder + "\\vintrell.exe", "\"" + folder + "\\vintrell.exe\" one two", folder,
       "started with arguments after the path"},
      {deep_copy, "\"" + deep_copy + "\"", folder, "started from a path of more than 126 characters"},
  };
  for (const Start& start : starts) {
    const std::string wanted = start.exe == deep_copy ? long_path(deep) + "\\" : home;
    Program program(start.exe, start.command_line, start.working_folder);
    check(program.dialog() != nullptr && program.text_of(kDirectory) == wanted,
          start.what + ": the Directory box starts at the program's folder",
          program.dialog() == nullptr ? "no dialog" : "seen \"" + program.text_of(kDirectory) + "\"");
    if (program.dialog() != nullptr) {
      program.post_click(kClose);
      check(program.exit_code() == 0, start.what + ": Close ends it with exit code 0");
    }
  }
  DeleteFileA(deep_copy.c_str());
  RemoveDirectoryA(deep.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vintrell-driver PROGRAM.EXE OUTPUT_FOLDER\n");
    return 2;
  }
  const std::string exe = argv[1];
  const std::string output = argv[2];

  char temp[MAX_PATH] = "";
  GetTempPathA(sizeof temp, temp);
  // A long name with a blank: the program's path must be quoted on its command line.
  std::string base = long_path(temp);
  if (base.empty() || base.back() != '\\') base += '\\';
  const std::string folder = base + "Vintrell mail " + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  for (const SampleFile& file : sample_files()) write_file(folder + "\\" + file.name, file.bytes);
  CreateDirectoryA((folder + "\\FOLDER.PMR").c_str(), nullptr);  // never scanned
  const std::string copy = folder + "\\vintrell.exe";
  check(CopyFileA(exe.c_str(), copy.c_str(), FALSE) != 0, "the program is copied into the mail folder");
  const std::string home = long_path(folder) + "\\";

  HMODULE image = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  check(image != nullptr && FindResourceA(image, "PROGRAM", RT_GROUP_ICON) != nullptr,
        "the program file carries its icon as the icon group PROGRAM");
  check(image != nullptr &&
            FindResourceA(image, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION) != nullptr,
        "the program file carries a version resource");
  if (image != nullptr) FreeLibrary(image);

  {
    Program program(copy, "\"" + copy + "\"", temp);
    check(program.started(), "the program starts");
    if (program.started() && program.dialog() != nullptr) {
      check_start_up(program, home);
      check_searches(program);
      check_keys(program);
      check_browse_cancelled(program, home);

      program.set_text(kTextToFind, "smith");
      program.click(kAddressBooks);
      program.click(kFind);
      check(save_picture(program.dialog(), output + "\\dialog.bmp"),
            "a picture of the dialog with results is saved");
      program.post_click(kClose);
      check(program.exit_code() == 0, "Close ends the program with exit code 0");
    }
  }
  {
    Program program(copy, "\"" + copy + "\"", temp);
    check(program.dialog() != nullptr, "a second start shows the dialog again");
    if (program.dialog() != nullptr) {
      PostMessageA(program.dialog(), WM_SYSCOMMAND, SC_CLOSE, 0);
      check(program.exit_code() == 0, "the close box ends the program with exit code 0");
    }
  }
  check_start_ups(folder, home);

  bool unchanged = true;
  for (const SampleFile& file : sample_files()) {
    unchanged = unchanged && read_file(folder + "\\" + file.name) == file.bytes;
  }
  check(unchanged, "the mail folder's files are unchanged");

  for (const SampleFile& file : sample_files()) DeleteFileA((folder + "\\" + file.name).c_str());
  DeleteFileA(copy.c_str());
  RemoveDirectoryA((folder + "\\FOLDER.PMR").c_str());
  RemoveDirectoryA(folder.c_str());

  return driver::finish();
}
