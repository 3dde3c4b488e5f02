// The mail files' Windows code page, served by the platform's own converter
// (iconv natively, the code page API on Windows): the character behind each
// byte, and TEXT from UTF-8 into the code page.
#ifndef VINTRELL_CLI_CODE_PAGE_H_
#define VINTRELL_CLI_CODE_PAGE_H_

#include <cstdint>
#include <string>

namespace vintrell {

class CodePage {
 public:
  enum class Conversion { kDone, kNotUtf8, kNotInCodePage };

  // Opens code page `number`. Only single-byte code pages that keep ASCII as
  // it is serve: the search compares bytes, and its fixed texts are ASCII.
  // False with the reason when the platform cannot serve it so.
  bool open(uint32_t number, std::string* reason);
  uint32_t number() const { return number_; }

  // The character `byte` stands for, in UTF-8; empty for a byte the code page
  // leaves undefined.
  const std::string& utf8_of(unsigned char byte) const { return utf8_[byte]; }

  // `utf8` in the code page's bytes. On failure `offending` holds the first
  // character the code page cannot hold (kNotInCodePage) or the first bytes
  // that are no UTF-8 (kNotUtf8).
  Conversion from_utf8(const std::string& utf8, std::string* bytes, std::string* offending) const;

  // The code page's own capital and small letters as an upper-case table:
  // each byte to the byte of its capital when the platform's case mapping of
  // the byte's character gives a character of the code page whose small form
  // is the byte's again; every other byte to itself. False with the reason
  // when the platform has no case mapping to give.
  bool upper_case_table(unsigned char upper[256], std::string* reason) const;

 private:
  uint32_t number_ = 0;
  std::string utf8_[256];
  // The byte whose character `utf8` is, or -1 when the code page has none.
  int byte_of(const std::string& utf8) const;
};

// `code_point` in UTF-8 (empty beyond U+10FFFF).
std::string utf8_of_code_point(uint32_t code_point);

// The length of the UTF-8 character at `at` (1 to 4), or 0 when the bytes
// there are no well-formed UTF-8 (overlong forms and surrogates included).
size_t utf8_character_length(const std::string& text, size_t at);

// The code point of the well-formed UTF-8 character at `at`.
uint32_t utf8_code_point(const std::string& text, size_t at);

}  // namespace vintrell

#endif  // VINTRELL_CLI_CODE_PAGE_H_
