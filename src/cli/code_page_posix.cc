// CodePage over iconv: the code page is glibc's "CPnnnn".
#include <errno.h>
#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <cstdio>
#include <vector>

#include "cli/code_page.h"

namespace vintrell {
namespace {

class Converter {
 public:
  Converter(const std::string& to, const std::string& from)
      : cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts `in` whole; the errno of the first failure, or 0. `*used` says
  // how many bytes of `in` were converted.
  int convert(const std::string& in, std::string* out, size_t* used) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out->clear();
    char* in_at = const_cast<char*>(in.data());
    size_t in_left = in.size();
    int error = 0;
    while (in_left > 0) {
      char buffer[256];
      char* out_at = buffer;
      size_t out_left = sizeof buffer;
      size_t done = iconv(cd_, &in_at, &in_left, &out_at, &out_left);
      out->append(buffer, static_cast<size_t>(out_at - buffer));
      if (done == static_cast<size_t>(-1) && errno != E2BIG) {
        error = errno;
        break;
      }
    }
    if (error == 0) {
      char buffer[64];
      char* out_at = buffer;
      size_t out_left = sizeof buffer;
      iconv(cd_, nullptr, nullptr, &out_at, &out_left);  // a stateful code's end
      out->append(buffer, static_cast<size_t>(out_at - buffer));
    }
    *used = in.size() - in_left;
    return error;
  }

 private:
  iconv_t cd_;
};

// The name iconv knows code page `number` by: glibc spells the short IBM
// numbers with three digits ("CP037", not "CP37") and some only as "IBMnnn".
// The first form when it knows none.
std::string iconv_name(uint32_t number) {
  std::vector<std::string> names = {"CP" + std::to_string(number)};
  if (number < 100) {
    char padded[8];
    std::snprintf(padded, sizeof padded, "CP%03u", static_cast<unsigned>(number));
    names.push_back(padded);
  }
  names.push_back("IBM" + std::to_string(number));
  for (const std::string& name : names) {
    iconv_t probe = iconv_open("UTF-8", name.c_str());
    if (probe != reinterpret_cast<iconv_t>(-1)) {
      iconv_close(probe);
      return name;
    }
  }
  return names.front();
}

}  // namespace

bool CodePage::open(uint32_t number, std::string* reason) {
  const std::string name = iconv_name(number);
  Converter to_utf8("UTF-8", name);
  if (!to_utf8.ok()) {
    *reason = "unknown code page (iconv has no " + name + ")";
    return false;
  }
  for (int byte = 0; byte < 256; ++byte) {
    std::string in(1, static_cast<char>(byte));
    size_t used = 0;
    int error = to_utf8.convert(in, &utf8_[byte], &used);
    if (error == EINVAL) {
      *reason = "not a single-byte code page";
      return false;
    }
    if (error != 0) utf8_[byte].clear();  // undefined in this code page
    if (byte < 0x80 && utf8_[byte] != in) {
      // EBCDIC (037, 500, 1140...) puts letters elsewhere: the mail files'
      // ASCII keywords and separators would not be found.
      *reason = "does not keep ASCII as it is";
      return false;
    }
  }
  number_ = number;
  return true;
}

CodePage::Conversion CodePage::from_utf8(const std::string& utf8, std::string* bytes,
                                         std::string* offending) const {
  for (size_t at = 0; at < utf8.size();) {
    size_t length = utf8_character_length(utf8, at);
    if (length == 0) {
      *offending = utf8.substr(at, 1);
      return Conversion::kNotUtf8;
    }
    at += length;
  }
  Converter from(iconv_name(number_), "UTF-8");
  size_t used = 0;
  if (!from.ok()) {
    *offending = utf8;
    return Conversion::kNotInCodePage;
  }
  if (from.convert(utf8, bytes, &used) != 0) {
    *offending = utf8.substr(used, utf8_character_length(utf8, used));
    return Conversion::kNotInCodePage;
  }
  return Conversion::kDone;
}

bool CodePage::upper_case_table(unsigned char upper[256], std::string* reason) const {
  // The case mapping of Unicode as the C library has it, whatever the user's
  // own locale.
  locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  if (unicode == static_cast<locale_t>(0)) {
    unicode = newlocale(LC_CTYPE_MASK, "en_US.UTF-8", static_cast<locale_t>(0));
  }
  if (unicode == static_cast<locale_t>(0)) {
    *reason = "no UTF-8 locale (C.UTF-8) to take the letters' case from";
    return false;
  }
  for (int b = 0; b < 256; ++b) {
    upper[b] = static_cast<unsigned char>(b);
    const std::string& small = utf8_[b];
    if (small.empty() || utf8_character_length(small, 0) != small.size()) continue;
    const wint_t c = static_cast<wint_t>(utf8_code_point(small, 0));
    const wint_t capital = towupper_l(c, unicode);
    if (capital == c || towlower_l(capital, unicode) != c) continue;
    const int byte = byte_of(utf8_of_code_point(static_cast<uint32_t>(capital)));
    if (byte >= 0) upper[b] = static_cast<unsigned char>(byte);
  }
  freelocale(unicode);
  return true;
}

}  // namespace vintrell
