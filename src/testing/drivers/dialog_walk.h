// A user at random on the main dialog, for the fuzz target and the seeded walks
// that run the same on Wine and on the native layer. Each step is read from
// bytes, delivered as the system would (testing::UserInput), and followed by
// every message it caused, handled as the modal loop handles them; then the
// dialog is checked for what it must keep whatever the user did:
//   - the messages of a step come to an end (a bound on their number);
//   - exactly one of the two option buttons is checked;
//   - the focus is on one of the dialog's controls, or nowhere;
//   - the results list holds exactly the lines, in the list's order, that the
//     search core gives for the inputs the last Find searched with (none before
//     a Find), and a Find leaves the summary the core gives for them; a Find
//     whose folder cannot be searched changes neither;
//   - the dialog ends only by Close (result 1) or the system close (result 0);
//   - the searched folder is never changed.
#ifndef VINTRELL_TESTING_DRIVERS_DIALOG_WALK_H_
#define VINTRELL_TESTING_DRIVERS_DIALOG_WALK_H_

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/find_command.h"
#include "app/main_dialog.h"
#include "dialog/dialog.h"
#include "platform/win32.h"
#include "search/search.h"
#include "testing/input.h"
#include "testing/temp_folder.h"

#if VINTRELL_NATIVE_LAYER
#include "platform/native_layer.h"
#endif

namespace dialog_walk {

// The input, read from the front; zeros once it is used up.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool empty() const { return at_ >= size_; }
  uint8_t next() { return at_ < size_ ? data_[at_++] : 0; }
  unsigned next16() { return next() | (static_cast<unsigned>(next()) << 8); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

struct Options {
  // The folder picker and the web link answer without a person only on the
  // native layer; on Windows their buttons are not clicked, and reached by keys
  // Browse is cancelled and the link does nothing.
  bool shell_commands = false;
  // The longest text one step types, and the most characters a walk types, so
  // that one walk stays within seconds.
  unsigned longest_typing = 33000;
  unsigned typing_budget = 70000;
};

// A small mail folder whose titles sort differently by bytes and by the list's
// collation, with lines that compare equal and differ in case.
inline void write_mail_folder(const testing::TempFolder& folder) {
  folder.write("A.PMR", std::string("co-op\0smith\0", 12));
  folder.write("B.PMR", std::string("coat\0Smith smith\0", 17));
  folder.write("C.PMR", std::string("\xC9" "clair\0smith\0", 12));
  folder.write("D.PMR", std::string("Eclair\0SMITH\0", 13));
  folder.write("E.PMR", std::string("CO-OP\0smith\0", 12));
  folder.write("F.PMR", std::string("Stra\xDF" "e\0jones\0smith", 19));
  folder.write("G.PMR", std::string("\0no title, smith", 16));
  folder.write("A.PML", "\\TITLE x\r\nMary Smith\r\n\\NOTE smith\r\nBob Jones\r\n");
  folder.write("B.PML", "Strasse\r\nsmith\r\n\xE6sop\r\n");
  folder.write("C.PML", "aesop\r\n\r\n\xE9t\xE9 smith\r\n");
  folder.write("D.PML", "");
  folder.make_folder("SUB.PMR");
}

// One dialog and its folder; step() until it answers false.
class Walk {
 public:
  // The dialog starts with `folder` in its Directory box.
  Walk(const testing::TempFolder& folder, Options options)
      : folder_(folder), options_(options), input_(&dialog_of_walk) {
    walk() = this;
    before_ = folder_.snapshot();
#if VINTRELL_NATIVE_LAYER
    native_layer::set_link_opener({});  // no opener: the launch fails with 31, shown in a box
    native_layer::clear_message_boxes();
#endif
    dialog_ = vintrell::build_main_dialog(home());
    // What run_modal does before its loop, less the loop.
    SetWindowLongPtrA(dialog_, GWLP_USERDATA, 0);
    SetWindowLongPtrA(dialog_, DWLP_USER, reinterpret_cast<LONG_PTR>(&result_));
    SetWindowLongPtrA(GetDlgItem(dialog_, vintrell::kFindButton), GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(&recording_find));
    SetWindowLongPtrA(GetDlgItem(dialog_, vintrell::kCloseButton), GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(&recording_close));
    if (!options_.shell_commands) {
      // Keys reach these buttons too; without a person to answer the real picker
      // or the box of a failed launch, Browse is cancelled and the link does nothing.
      SetWindowLongPtrA(GetDlgItem(dialog_, vintrell::kBrowseButton), GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(&cancelled_browse));
      SetWindowLongPtrA(GetDlgItem(dialog_, vintrell::kWebLinkButton), GWLP_USERDATA, 0);
    }
    ShowWindow(dialog_, SW_SHOW);
    run_messages();
  }
  ~Walk() {
    if (IsWindow(dialog_)) DestroyWindow(dialog_);
    run_messages();
#if VINTRELL_NATIVE_LAYER
    native_layer::set_folder_picker_hook(nullptr);
    native_layer::set_link_opener({"xdg-open"});
    native_layer::clear_message_boxes();
#endif
    walk() = nullptr;
  }
  Walk(const Walk&) = delete;
  Walk& operator=(const Walk&) = delete;

  // One user action from `bytes`, then the checks. False once the dialog is
  // gone, the bytes are used up or a check failed (see failure()).
  bool step(Bytes& bytes) {
    if (bytes.empty() || !IsWindow(dialog_) || !failure_.empty()) return false;
    find_ran_ = close_ran_ = system_close_ = false;
    add_action(bytes);
    while (input_.deliver_next()) {
      if (!run_messages()) return false;
    }
    check();
    return failure_.empty() && IsWindow(dialog_);
  }

  // What went wrong, with the actions up to it; empty while all is well.
  const std::string& failure() const { return failure_; }
  const std::string& actions() const { return actions_; }
  size_t finds() const { return finds_; }

 private:
  static Walk*& walk() {
    static Walk* current = nullptr;
    return current;
  }
  static HWND dialog_of_walk() { return walk() != nullptr ? walk()->dialog_ : nullptr; }

  // The Find and Close buttons' callbacks, noting that they ran and what Find read.
  static int32_t recording_find(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    Walk* self = walk();
    self->find_ran_ = true;
    ++self->finds_;
    const std::string folder =
        vintrell::folder_from_box(vintrell::get_control_text(dialog, vintrell::kDirectoryBox));
    // A folder that cannot be searched is said, and the list and summary stay.
    if (!vintrell::folder_refusal(folder).empty()) {
      self->expected_summary_ = vintrell::get_control_text(dialog, vintrell::kSummaryBox);
      return vintrell::find_command(dialog, message, wparam, lparam);
    }
    self->expected_lines_.clear();
    self->expected_summary_.clear();
    const vintrell::SearchRequest request = vintrell::make_search_request(
        folder,
        vintrell::get_control_text(dialog, vintrell::kTextToFindBox),
        vintrell::get_check(dialog, vintrell::kAddressBooksOption) != 0
            ? vintrell::SearchKind::kAddressBooks
            : vintrell::SearchKind::kDistributionLists,
        vintrell::get_check(dialog, vintrell::kMatchCaseBox) != 0);
    std::vector<std::string> lines;
    vintrell::run_search(
        request, [&lines](const std::string& line) { lines.push_back(line); },
        [self](const std::string& summary) { self->expected_summary_ = summary; });
    self->expected_lines_ = vintrell::as_listed(lines);
    return vintrell::find_command(dialog, message, wparam, lparam);
  }
  static int32_t cancelled_browse(HWND, UINT, WPARAM, LPARAM) { return 0; }
  static int32_t recording_close(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    walk()->close_ran_ = true;
    return vintrell::close_command(dialog, message, wparam, lparam);
  }

  void note(const std::string& action) {
    if (actions_.size() < 4000) actions_ += action + " ";
  }

  void add_action(Bytes& bytes) {
    static const struct {
      UINT key;
      const char* name;
    } kKeys[] = {{VK_TAB, "Tab"},       {VK_LEFT, "Left"},     {VK_RIGHT, "Right"},
                 {VK_UP, "Up"},         {VK_DOWN, "Down"},     {VK_HOME, "Home"},
                 {VK_END, "End"},       {VK_SPACE, "Space"},   {VK_RETURN, "Enter"},
                 {VK_ESCAPE, "Escape"}, {VK_BACK, "Back"},     {VK_DELETE, "Delete"},
                 {VK_NEXT, "PageDown"}, {VK_PRIOR, "PageUp"}};
    static const int kControls[] = {
        vintrell::kTextToFindBox,   vintrell::kMatchCaseBox,       vintrell::kResultsList,
        vintrell::kSummaryBox,      vintrell::kDirectoryBox,       vintrell::kAddressBooksOption,
        vintrell::kDistributionListsOption, vintrell::kDirectoryLabel, vintrell::kTextToFindLabel,
        vintrell::kFoundInLabel,    vintrell::kMakerLabel,         vintrell::kWebLinkButton,
        vintrell::kBrowseButton,    vintrell::kFindButton,         vintrell::kCloseButton};
    // After the keys: Shift+Tab, Alt+F4, typing, long typing, four kinds for
    // a click on any control and two for a click on Find.
    constexpr unsigned kKeyKinds = sizeof kKeys / sizeof kKeys[0];
    const unsigned kind = bytes.next() % (kKeyKinds + 10);
    if (kind < kKeyKinds) {
      input_.key(kKeys[kind].key);
      note(kKeys[kind].name);
      return;
    }
    switch (kind - kKeyKinds) {
      case 0:
        input_.shift_key(VK_TAB);
        note("Shift+Tab");
        return;
      case 1:
        system_close_ = true;
        input_.alt_key(VK_F4);
        note("Alt+F4");
        return;
      case 2: {  // a few characters, any byte
        std::string text(bytes.next() % 8 + 1, '\0');
        for (char& c : text) c = static_cast<char>(bytes.next());
        input_.type(text);
        std::string shown;
        for (unsigned char c : text) {
          char hex[4];
          snprintf(hex, sizeof hex, "%02X", c);
          shown += hex;
        }
        note("type:" + shown);
        return;
      }
      case 3: {  // one character many times: a few, or about as many as a text box takes
        const char c = static_cast<char>(bytes.next());
        const unsigned size = bytes.next() % 8;
        unsigned count = size == 0   ? 29990 + bytes.next() % 20
                         : size == 1 ? 32760 + bytes.next() % 20
                                     : bytes.next16() % 300 + 1;
        count = std::min({count, options_.longest_typing, options_.typing_budget - typed_});
        typed_ += count;
        input_.type(std::string(count, c));
        note("type-many:" + std::to_string(count));
        return;
      }
      case 8:
      case 9:
        input_.click(vintrell::kFindButton);
        note("click:Find");
        return;
      default: {
        const int id = kControls[bytes.next() % (sizeof kControls / sizeof kControls[0])];
        if ((id == vintrell::kBrowseButton || id == vintrell::kWebLinkButton) &&
            !options_.shell_commands) {
          note("(shell button left alone)");
          return;
        }
        if (id == vintrell::kBrowseButton) answer_picker(bytes.next());
        input_.click(id);
        note("click:" + std::to_string(id));
        return;
      }
    }
  }

  // The next Browse: cancelled, this folder (as given, or with more trailing
  // backslashes), a folder that is not there, or a choice with no path.
  void answer_picker(uint8_t choice) {
#if VINTRELL_NATIVE_LAYER
    std::string answer;
    bool chosen = true;
    switch (choice % 5) {
      case 0: chosen = false; break;
      case 1: answer = home(); break;
      case 2: answer = home() + "\\\\"; break;
      case 3: answer = home() + "NOT-THERE"; break;
      default: answer = ""; break;
    }
    native_layer::set_folder_picker_hook([chosen, answer](const BROWSEINFOA&, std::string* path) {
      *path = answer;
      return chosen;
    });
    note(chosen ? "picker:" + answer : "picker:cancel");
#else
    (void)choice;
#endif
  }

  std::string home() const {
    std::string path = folder_.path();
#if VINTRELL_NATIVE_LAYER
    path = "Z:" + path;
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
#endif
    return path + "\\";
  }

  // Every message in the queue and what they post in turn, as run_modal takes
  // them; false when they do not come to an end.
  bool run_messages() {
    MSG message;
    for (long count = 0; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++count) {
      if (count > 2000000) {
        fail("the messages of one step did not come to an end");
        return false;
      }
      if (!(IsWindow(dialog_) && IsDialogMessageA(dialog_, &message))) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
    }
    return true;
  }

  std::vector<std::string> list_lines() const {
    std::vector<std::string> lines;
    HWND list = GetDlgItem(dialog_, vintrell::kResultsList);
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      std::string line(static_cast<size_t>(SendMessageA(list, LB_GETTEXTLEN, i, 0)) + 1, '\0');
      line.resize(static_cast<size_t>(
          SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&line[0]))));
      lines.push_back(line);
    }
    return lines;
  }

  void fail(const std::string& what) {
    if (failure_.empty()) failure_ = what + "; after: " + actions_;
  }

  void check() {
    if (folder_.snapshot() != before_) fail("the searched folder changed");
    if (!IsWindow(dialog_)) {
      if (close_ran_ && result_ != 1) fail("Close ended the dialog with " + std::to_string(result_));
      if (!close_ran_ && !(system_close_ && result_ == 0)) {
        fail("the dialog ended by neither Close nor the system close");
      }
      return;
    }
    const int32_t books = vintrell::get_check(dialog_, vintrell::kAddressBooksOption);
    const int32_t lists = vintrell::get_check(dialog_, vintrell::kDistributionListsOption);
    if (!((books == BST_CHECKED && lists == BST_UNCHECKED) ||
          (books == BST_UNCHECKED && lists == BST_CHECKED))) {
      fail("option buttons checked " + std::to_string(books) + " and " + std::to_string(lists));
    }
    HWND focus = GetFocus();
    if (focus != nullptr && !IsChild(dialog_, focus)) fail("the focus left the dialog's controls");
    if (list_lines() != expected_lines_) fail("the results list is not the search's lines");
    if (find_ran_ &&
        vintrell::get_control_text(dialog_, vintrell::kSummaryBox) != expected_summary_) {
      fail("the summary is not the search's");
    }
  }

  const testing::TempFolder& folder_;
  Options options_;
  testing::UserInput input_;
  HWND dialog_ = nullptr;
  int32_t result_ = -1;
  std::map<std::string, std::string> before_;
  std::vector<std::string> expected_lines_;
  std::string expected_summary_;
  bool find_ran_ = false, close_ran_ = false, system_close_ = false;
  size_t finds_ = 0;
  unsigned typed_ = 0;
  std::string actions_;
  std::string failure_;
};

}  // namespace dialog_walk

#endif  // VINTRELL_TESTING_DRIVERS_DIALOG_WALK_H_
