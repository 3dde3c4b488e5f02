// The dialog engine: dialogs and their controls built from arguments given in
// code, the modal run, and the hand-over of each control's commands to the
// callback stored with the control.
//
// Controls are addressed by (dialog, id); ids need not be unique (the first
// control created with an id is the one found). Every operation runs on the
// thread that created the dialog; none records a run-time error.
#ifndef VINTRELL_DIALOG_DIALOG_H_
#define VINTRELL_DIALOG_DIALOG_H_

#include <cstdint>
#include <string>
#include <vector>

#include "dialog/dialog_template.h"
#include "platform/win32.h"

namespace vintrell {

// Called with (dialog, message, wParam, lParam): the first argument is always
// the dialog, also for a control's command. Non-zero means handled.
using ControlCallback = int32_t (*)(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
using DialogCallback = ControlCallback;

// Creates a hidden dialog from an in-memory template (see dialog_template) with
// the engine's dialog procedure, and makes its font the `dialog font`
// (dialog_font()). x or y of -1 centres it. Returns 0 when the
// platform refuses; the dialog font is then 0.
HWND new_dialog(HWND owner, const std::string& title, int32_t x, int32_t y, int32_t width,
                int32_t height, uint32_t style, uint32_t extended_style);

// The font every control added from now on gets: the last new dialog's.
HFONT dialog_font();

// Creates a control of `kind` (the class table's 1, 3, 5, 7, 9 or 15) at once as
// a child of `dialog`, at a rectangle in dialog units whose corners are
// converted with MapDialogRect. The control gets the dialog font, keeps
// `callback` (or none) in its user-data slot and, for a list box, the
// `initial_items` that are neither empty nor start with NUL. A push button with
// BS_DEFPUSHBUTTON becomes the dialog's default button. `class_name` is not read
// for these kinds. Returns the control, or 0 for any other kind or when the
// platform refuses.
HWND add_control(HWND dialog, int32_t kind, int32_t id, const std::string& text,
                 const std::string& class_name, const std::vector<std::string>* initial_items,
                 int32_t x, int32_t y, int32_t width, int32_t height, uint32_t style,
                 uint32_t extended_style, ControlCallback callback);

// Shows the dialog and runs the thread's messages until the dialog window is
// gone; WM_QUIT does not end it. `dialog_callback` (or none) first gets
// WM_INITDIALOG, then every message no control callback handled. `*result` is
// written only by end_dialog and must stay valid until the dialog is destroyed.
// Returns at once when `dialog` is no window.
void run_modal(HWND dialog, DialogCallback dialog_callback, int32_t* result);

// Ends a dialog: WM_CLOSE to its dialog callback, the owner enabled again, the
// result stored, the window destroyed. Nothing happens for a dead handle.
void end_dialog(HWND dialog, int32_t result);

// The control operations. An id that names no control: set_focus leaves no
// window with the focus, the readers give "" or 0, the others do nothing.
void set_focus(HWND dialog, int32_t id);
// The text up to its first NUL becomes the control's text.
void set_control_text(HWND dialog, int32_t id, const std::string& text);
// At most 32,769 characters of the control's text; "" when storage runs out.
std::string get_control_text(HWND dialog, int32_t id);
// BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE.
int32_t get_check(HWND dialog, int32_t id);
// Sends the state unchanged; another option button is not cleared.
void set_check(HWND dialog, int32_t id, int32_t state);
// The 0-based position of the new item (its sorted place in a sorted list), or
// LB_ERR / LB_ERRSPACE.
int32_t add_list_item(HWND dialog, int32_t id, const std::string& text);
void reset_list(HWND dialog, int32_t id);
// Off: the control is not repainted while many changes go in. On: repainting
// resumes with one repaint of the whole control.
void set_control_redraw(HWND dialog, int32_t id, bool redraw);

// The dialog procedure every engine dialog has: activation answered at once,
// commands to the control's callback, then the dialog callback, and the system
// close command ending the dialog with 0.
INT_PTR CALLBACK engine_dialog_procedure(HWND dialog, UINT message, WPARAM wparam,
                                         LPARAM lparam);

// The size of the buffer get_control_text reads into.
constexpr int32_t kControlTextBuffer = 32770;

}  // namespace vintrell

#endif  // VINTRELL_DIALOG_DIALOG_H_
