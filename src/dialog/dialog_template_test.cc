#include "dialog/dialog_template.h"

#include <string>
#include <vector>

#include "testing/test.h"

using vintrell::ControlCreation;
using vintrell::control_creation;
using vintrell::dialog_style;
using vintrell::dialog_template;

namespace {

std::string hex(const std::vector<uint8_t>& bytes, size_t from, size_t count) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = from; i < from + count && i < bytes.size(); ++i) {
    if (!out.empty()) out += ' ';
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 0xF];
  }
  return out;
}

unsigned unit_at(const std::vector<uint8_t>& bytes, size_t offset) {
  return bytes[offset] | (bytes[offset + 1] << 8);
}

}  // namespace

TEST(DialogTemplate, ProgramArgumentsGiveTheDocumentedHeader) {
  std::vector<uint8_t> t = dialog_template("Find", -1, -1, 300, 150, 0xA0000, 0);
  ASSERT_EQ(t.size(), 62u);
  EXPECT_EQ(hex(t, 0, 22),
            "54 08 0A 00 00 00 00 00 00 00 FF FF FF FF 2C 01 96 00 00 00 00 00");
  EXPECT_EQ(hex(t, 22, 10), "46 00 69 00 6E 00 64 00 00 00");  // "Find" and its terminator
  EXPECT_EQ(unit_at(t, 32), 8u);                                // point size
  std::string face;
  for (size_t offset = 34; offset < 60; offset += 2) face += static_cast<char>(unit_at(t, offset));
  EXPECT_EQ(face, "MS Sans Serif");
  EXPECT_EQ(unit_at(t, 60), 0u);
}

TEST(DialogTemplate, TitleRules) {
  std::vector<uint8_t> empty = dialog_template("", 0, 0, 10, 10, 0, 0);
  EXPECT_EQ(empty.size(), 56u);
  EXPECT_EQ(unit_at(empty, 22), 0x20u);

  std::vector<uint8_t> cut = dialog_template(std::string(300, 'T'), 0, 0, 10, 10, 0, 0);
  EXPECT_EQ(cut.size(), 54u + 2 * 256);
  EXPECT_EQ(unit_at(cut, 22 + 2 * 255), static_cast<unsigned>('T'));
  EXPECT_EQ(unit_at(cut, 22 + 2 * 256), 0u);

  // One unit per byte, equal to the byte: no code-page conversion.
  std::vector<uint8_t> bytes = dialog_template("\xE9\x80\xFF", 0, 0, 10, 10, 0, 0);
  EXPECT_EQ(hex(bytes, 22, 8), "E9 00 80 00 FF 00 00 00");

  // A NUL ends the title, so the template keeps one terminator.
  std::vector<uint8_t> nul = dialog_template(std::string("ab\0cd", 5), 0, 0, 10, 10, 0, 0);
  EXPECT_EQ(nul.size(), 58u);
  EXPECT_EQ(hex(nul, 22, 6), "61 00 62 00 00 00");
  std::vector<uint8_t> only_nul = dialog_template(std::string(1, '\0'), 0, 0, 10, 10, 0, 0);
  EXPECT_EQ(unit_at(only_nul, 22), 0x20u);
}

TEST(DialogTemplate, StyleRules) {
  EXPECT_EQ(dialog_style(0, -1, -1), 0x80C008D4u);
  EXPECT_EQ(dialog_style(0, 5, 5), 0x80C000D4u);
  EXPECT_EQ(dialog_style(0xA0000, 10, -1), 0x000A0854u);  // either coordinate centres
  EXPECT_EQ(dialog_style(0xA0000, -1, 10), 0x000A0854u);
  EXPECT_EQ(dialog_style(0x10000000, 0, 0), 0x00000054u);  // WS_VISIBLE never survives
  EXPECT_EQ(dialog_style(0xFFFFFFFF, 0, 0), 0xEFFFFFFDu);   // nor DS_SYSMODAL
  EXPECT_EQ(dialog_style(0x00C00000, -2, 0), 0x00C00054u);
}

TEST(DialogTemplate, CoordinatesKeepTheirLow16Bits) {
  std::vector<uint8_t> t = dialog_template("x", -2, 70000, 0x12345, -300, 0, 0x00010000);
  EXPECT_EQ(hex(t, 4, 4), "00 00 01 00");  // extended style unchanged
  EXPECT_EQ(hex(t, 10, 8), "FE FF 70 11 45 23 D4 FE");
}

TEST(ControlClassTable, EffectiveValuesOfTheProgramsControls) {
  struct Case {
    int32_t kind;
    uint32_t style;
    const char* class_name;
    uint32_t effective;
    uint32_t extended;
  };
  const Case cases[] = {
      {9, 0, "EDIT", 0x50010080, 0x200},        // text boxes: border traded for a client edge
      {3, 0, "BUTTON", 0x50010003, 0},          // check box
      {15, 0, "LISTBOX", 0x50210003, 0x200},    // results list
      {7, 0, "BUTTON", 0x50010009, 0},          // option buttons
      {5, 0, "STATIC", 0x50000000, 0},          // labels
      {1, 0x8000, "BUTTON", 0x50008000, 0},     // web link: flat, no tab stop
      {1, 0, "BUTTON", 0x50010000, 0},          // Browse, Find, Close
  };
  for (const Case& c : cases) {
    ControlCreation creation;
    ASSERT_TRUE(control_creation(c.kind, c.style, 0, &creation));
    EXPECT_EQ(std::string(creation.class_name), c.class_name);
    EXPECT_EQ(creation.style, c.effective);
    EXPECT_EQ(creation.extended_style, c.extended);
  }
}

TEST(ControlClassTable, GivenStylesForcedAndRemovedBits) {
  ControlCreation c;
  // A given style trades nothing: WS_BORDER stays and no client edge appears.
  ASSERT_TRUE(control_creation(9, 0x50800080, 0, &c));
  EXPECT_EQ(c.style, 0x50800080u);
  EXPECT_EQ(c.extended_style, 0u);
  ASSERT_TRUE(control_creation(15, 0x00800002, 0x4, &c));
  EXPECT_EQ(c.style, 0x50800003u);  // LBS_NOTIFY forced
  EXPECT_EQ(c.extended_style, 0x4u);
  // Check and option buttons keep only their own bits, whatever they are given.
  ASSERT_TRUE(control_creation(3, 0xFFFFFFFF, 0, &c));
  EXPECT_EQ(c.style, 0x50030003u);
  ASSERT_TRUE(control_creation(7, 0xFFFFFFFF, 0, &c));
  EXPECT_EQ(c.style, 0x50030009u);
  ASSERT_TRUE(control_creation(7, 0x00000004, 0, &c));
  EXPECT_EQ(c.style, 0x50000009u);  // a plain radio button becomes an automatic one
  ASSERT_TRUE(control_creation(1, 0x00010001, 0, &c));
  EXPECT_EQ(c.style, 0x50010001u);  // BS_DEFPUSHBUTTON survives
  ASSERT_TRUE(control_creation(5, 0x1, 0x20, &c));
  EXPECT_EQ(c.style, 0x50000001u);
  EXPECT_EQ(c.extended_style, 0x20u);
}

TEST(ControlClassTable, OnlyTheProgramsKindsHaveRows) {
  for (int32_t kind : {1, 3, 5, 7, 9, 15}) EXPECT_TRUE(vintrell::control_class(kind) != nullptr);
  for (int32_t kind : {-1, 0, 2, 4, 6, 8, 10, 11, 12, 13, 14, 16, 1000}) {
    ControlCreation c;
    EXPECT_TRUE(vintrell::control_class(kind) == nullptr);
    EXPECT_FALSE(control_creation(kind, 0x50000000, 0, &c));
  }
}
