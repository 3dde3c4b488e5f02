// CodePage over the Windows code page API.
#include <windows.h>

#include "cli/code_page.h"

namespace vintrell {

bool CodePage::open(uint32_t number, std::string* reason) {
  CPINFO info;
  if (!IsValidCodePage(number) || !GetCPInfo(number, &info)) {
    *reason = "unknown code page";
    return false;
  }
  if (info.MaxCharSize != 1) {
    *reason = "not a single-byte code page";
    return false;
  }
  for (int byte = 0; byte < 256; ++byte) {
    char in = static_cast<char>(byte);
    wchar_t wide[4];
    int n = MultiByteToWideChar(number, MB_ERR_INVALID_CHARS, &in, 1, wide, 4);
    utf8_[byte].clear();
    if (n > 0) {
      char out[16];
      int m = WideCharToMultiByte(CP_UTF8, 0, wide, n, out, sizeof out, nullptr, nullptr);
      if (m > 0) utf8_[byte].assign(out, static_cast<size_t>(m));
    }
    if (byte < 0x80 && utf8_[byte] != std::string(1, in)) {
      *reason = "does not keep ASCII as it is";
      return false;
    }
  }
  number_ = number;
  return true;
}

CodePage::Conversion CodePage::from_utf8(const std::string& utf8, std::string* bytes,
                                         std::string* offending) const {
  bytes->clear();
  // One character at a time: the first that does not fit is named.
  for (size_t at = 0; at < utf8.size();) {
    size_t length = utf8_character_length(utf8, at);
    if (length == 0) {
      *offending = utf8.substr(at, 1);
      return Conversion::kNotUtf8;
    }
    wchar_t wide[2];
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data() + at,
                                static_cast<int>(length), wide, 2);
    char out[8];
    BOOL defaulted = FALSE;
    int m = n > 0 ? WideCharToMultiByte(number_, WC_NO_BEST_FIT_CHARS, wide, n, out, sizeof out,
                                        nullptr, &defaulted)
                  : 0;
    if (m != 1 || defaulted) {
      *offending = utf8.substr(at, length);
      return Conversion::kNotInCodePage;
    }
    bytes->push_back(out[0]);
    at += length;
  }
  return Conversion::kDone;
}

bool CodePage::upper_case_table(unsigned char upper[256], std::string* reason) const {
  auto mapped = [](wchar_t c, DWORD how) {
    wchar_t out[4];
    int n = LCMapStringW(LOCALE_INVARIANT, how, &c, 1, out, 4);
    return n == 1 ? out[0] : c;
  };
  for (int b = 0; b < 256; ++b) {
    upper[b] = static_cast<unsigned char>(b);
    char in = static_cast<char>(b);
    wchar_t c;
    if (MultiByteToWideChar(number_, MB_ERR_INVALID_CHARS, &in, 1, &c, 1) != 1) continue;
    const wchar_t capital = mapped(c, LCMAP_UPPERCASE);
    if (capital == c || mapped(capital, LCMAP_LOWERCASE) != c) continue;
    const int byte = byte_of(utf8_of_code_point(capital));
    if (byte >= 0) upper[b] = static_cast<unsigned char>(byte);
  }
  (void)reason;
  return true;
}

}  // namespace vintrell
