// The parts of CodePage that are the same on both platforms.
#include "cli/code_page.h"

namespace vintrell {

size_t utf8_character_length(const std::string& text, size_t at) {
  const size_t left = text.size() - at;
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  auto tail = [&](size_t i) { return (static_cast<unsigned char>(text[at + i]) & 0xC0) == 0x80; };
  if (lead < 0x80) return 1;
  size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                  : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
  if (length == 0 || left < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if (!tail(i)) return 0;
  }
  const unsigned char second = static_cast<unsigned char>(text[at + 1]);
  if (lead == 0xE0 && second < 0xA0) return 0;   // overlong
  if (lead == 0xED && second >= 0xA0) return 0;  // a surrogate
  if (lead == 0xF0 && second < 0x90) return 0;   // overlong
  if (lead == 0xF4 && second >= 0x90) return 0;  // beyond U+10FFFF
  return length;
}

uint32_t utf8_code_point(const std::string& text, size_t at) {
  size_t length = utf8_character_length(text, at);
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  if (length <= 1) return lead;
  uint32_t value = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    value = (value << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
  }
  return value;
}

}  // namespace vintrell
