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

int CodePage::byte_of(const std::string& utf8) const {
  if (utf8.empty()) return -1;
  for (int b = 0; b < 256; ++b) {
    if (utf8_[b] == utf8) return b;
  }
  return -1;
}

std::string utf8_of_code_point(uint32_t c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x110000) {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

}  // namespace vintrell
