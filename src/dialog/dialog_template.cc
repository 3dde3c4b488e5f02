#include "dialog/dialog_template.h"

namespace vintrell {
namespace {

constexpr uint32_t kWsBorder = 0x00800000;
constexpr uint32_t kWsExClientEdge = 0x00000200;
constexpr uint16_t kPointSize = 8;
constexpr char kTypeface[] = "MS Sans Serif";

// Indexed by kind; rows without a class name are kinds the engine refuses.
constexpr ControlClass kControlClasses[] = {
    {nullptr, 0, 0, 0},                                     // 0: class named by the caller
    {"BUTTON", 0x50010000, 0x50000000, 0x00000000},         // 1: push button
    {nullptr, 0, 0, 0},                                     // 2: three-state check box
    {"BUTTON", 0x50010003, 0x50000003, 0xAFFCFFFC},         // 3: check box
    {nullptr, 0, 0, 0},                                     // 4: group frame
    {"STATIC", 0x50000000, 0x50000000, 0x00000000},         // 5: label
    {nullptr, 0, 0, 0},                                     // 6: etched frame line
    {"BUTTON", 0x50010009, 0x50000009, 0xAFFCFFF6},         // 7: option button
    {nullptr, 0, 0, 0},                                     // 8: scroll bar
    {"EDIT", 0x50810080, 0x50000000, 0x00000000},           // 9: text box
    {nullptr, 0, 0, 0},                                     // 10-13: bitmap kinds
    {nullptr, 0, 0, 0},
    {nullptr, 0, 0, 0},
    {nullptr, 0, 0, 0},
    {nullptr, 0, 0, 0},                                     // 14: combo box
    {"LISTBOX", 0x50A10003, 0x50000001, 0x00000000},        // 15: list box
};

void put16(std::vector<uint8_t>* out, uint32_t value) {
  out->push_back(static_cast<uint8_t>(value & 0xFF));
  out->push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void put32(std::vector<uint8_t>* out, uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}

}  // namespace

std::string dialog_title(const std::string& title) {
  // A NUL would end the caption early and leave a second terminator inside the
  // template, so the title ends there as any text handed to a window does.
  std::string caption(title.c_str());
  if (caption.size() > kMaxTitleBytes) caption.resize(kMaxTitleBytes);
  if (caption.empty()) caption = " ";
  return caption;
}

uint32_t dialog_style(uint32_t style, int32_t x, int32_t y) {
  uint32_t s = style != 0 ? style : kDefaultDialogStyle;
  s |= kAddedDialogStyle;
  s &= ~kRemovedDialogStyle;
  if (x == -1 || y == -1) s |= kCentredDialogStyle;
  return s;
}

std::vector<uint8_t> dialog_template(const std::string& title, int32_t x, int32_t y,
                                     int32_t width, int32_t height, uint32_t style,
                                     uint32_t extended_style) {
  const std::string caption = dialog_title(title);
  std::vector<uint8_t> out;
  out.reserve(54 + 2 * caption.size());
  put32(&out, dialog_style(style, x, y));
  put32(&out, extended_style);
  put16(&out, 0);  // no items: controls are created one by one afterwards
  put16(&out, static_cast<uint32_t>(x) & 0xFFFF);
  put16(&out, static_cast<uint32_t>(y) & 0xFFFF);
  put16(&out, static_cast<uint32_t>(width) & 0xFFFF);
  put16(&out, static_cast<uint32_t>(height) & 0xFFFF);
  put16(&out, 0);  // no menu
  put16(&out, 0);  // the standard dialog class
  // The byte's value is the unit: no code-page conversion.
  for (unsigned char c : caption) put16(&out, c);
  put16(&out, 0);
  put16(&out, kPointSize);
  for (const char* p = kTypeface; *p != '\0'; ++p) put16(&out, static_cast<unsigned char>(*p));
  put16(&out, 0);
  return out;
}

const ControlClass* control_class(int32_t kind) {
  if (kind < 0 || kind > kListBoxKind) return nullptr;
  const ControlClass* row = &kControlClasses[kind];
  return row->class_name != nullptr ? row : nullptr;
}

bool control_creation(int32_t kind, uint32_t style, uint32_t extended_style,
                      ControlCreation* creation) {
  const ControlClass* row = control_class(kind);
  if (row == nullptr) return false;
  uint32_t s = style;
  uint32_t ex = extended_style;
  if (s == 0) {
    s = row->default_style;
    if ((kind == kTextBoxKind || kind == kListBoxKind) && (s & kWsBorder)) {
      s &= ~kWsBorder;
      ex |= kWsExClientEdge;
    }
  }
  s = (s | row->forced_bits) & ~row->removed_bits;
  creation->class_name = row->class_name;
  creation->style = s;
  creation->extended_style = ex;
  return true;
}

}  // namespace vintrell
