// The pure part of the dialog engine: the in-memory dialog template and the
// control class table, as functions of their arguments only.
#ifndef VINTRELL_DIALOG_DIALOG_TEMPLATE_H_
#define VINTRELL_DIALOG_DIALOG_TEMPLATE_H_

#include <cstdint>
#include <string>
#include <vector>

namespace vintrell {

// Dialog style bits the engine applies to every dialog.
constexpr uint32_t kDefaultDialogStyle = 0x80C000D4;  // popup, caption, modal frame, font, 3-D
constexpr uint32_t kAddedDialogStyle = 0x54;          // DS_SETFONT, DS_NOFAILCREATE, DS_3DLOOK
constexpr uint32_t kRemovedDialogStyle = 0x10000002;  // WS_VISIBLE, DS_SYSMODAL
constexpr uint32_t kCentredDialogStyle = 0x800;       // DS_CENTER

constexpr size_t kMaxTitleBytes = 256;

// The caption a dialog gets: the title up to its first NUL, cut to 256 bytes; an
// empty result becomes one space.
std::string dialog_title(const std::string& title);

// The style the template carries: `style` (0 selects the default), the added
// bits set, the removed bits cleared, DS_CENTER when x or y is -1.
uint32_t dialog_style(uint32_t style, int32_t x, int32_t y);

// The DLGTEMPLATE bytes (little-endian, no items, 8-point "MS Sans Serif"):
// 54 + 2n bytes for a caption of n bytes, one 16-bit unit per caption byte.
std::vector<uint8_t> dialog_template(const std::string& title, int32_t x, int32_t y,
                                     int32_t width, int32_t height, uint32_t style,
                                     uint32_t extended_style);

// Control kinds of the class table that the engine creates.
constexpr int32_t kPushButtonKind = 1;
constexpr int32_t kCheckBoxKind = 3;
constexpr int32_t kLabelKind = 5;
constexpr int32_t kOptionButtonKind = 7;
constexpr int32_t kTextBoxKind = 9;
constexpr int32_t kListBoxKind = 15;

// One row of the control class table.
struct ControlClass {
  const char* class_name;
  uint32_t default_style;  // used when the style argument is 0
  uint32_t forced_bits;    // always set
  uint32_t removed_bits;   // always cleared, after the forced bits
};

// The row of `kind`, or null for every kind the engine does not create (0, the
// kinds this program needs none of, negative kinds and kinds above 15).
const ControlClass* control_class(int32_t kind);

// What CreateWindowExA is given for a control.
struct ControlCreation {
  const char* class_name = nullptr;
  uint32_t style = 0;
  uint32_t extended_style = 0;
};

// The class, effective style and extended style of a control of `kind` added
// with `style` and `extended_style`. The default style of a text box or list box
// trades WS_BORDER for WS_EX_CLIENTEDGE. False when the kind has no row.
bool control_creation(int32_t kind, uint32_t style, uint32_t extended_style,
                      ControlCreation* creation);

}  // namespace vintrell

#endif  // VINTRELL_DIALOG_DIALOG_TEMPLATE_H_
