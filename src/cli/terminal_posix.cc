#include <langinfo.h>
#include <locale.h>

#include <cstring>

#include "cli/code_page.h"
#include "cli/options.h"
#include "cli/terminal.h"

namespace vintrell {

Terminal describe_terminal(bool raw) {
  Terminal terminal;
  if (raw) return terminal;
  // The user's locale, asked without making it the process's own: nothing
  // else in the program may start to depend on it.
  locale_t user = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (user == static_cast<locale_t>(0)) {
    terminal.c1_bytes_are_controls = true;  // the C locale's bytes
    return terminal;
  }
  bool utf8 = std::strcmp(nl_langinfo_l(CODESET, user), "UTF-8") == 0;
  freelocale(user);
  terminal.text_in_utf8 = utf8;
  terminal.lines_in_utf8 = utf8;
  terminal.c1_bytes_are_controls = !utf8;
  return terminal;
}

Terminal describe_message_side() { return describe_terminal(false); }

bool write_to_console(HANDLE, const std::string&, TextKind, DWORD*) { return false; }

std::string message_text(const std::string& utf8) { return utf8; }

bool platform_folder_name(const std::string& given, std::string* name) {
  // "mail/" is "mail": its paths get no doubled separator, and the slash
  // does not count against the length a path may have.
  *name = given;
  while (name->size() > 1 && name->back() == '/') name->pop_back();
  return true;
}

std::string path_to_utf8(const std::string& path) {
  std::string out;
  out.reserve(path.size());
  for (size_t at = 0; at < path.size();) {
    size_t length = utf8_character_length(path, at);
    if (length == 0) {
      const char digits[] = "0123456789abcdef";
      unsigned char byte = static_cast<unsigned char>(path[at]);
      out += std::string("\\x") + digits[byte >> 4] + digits[byte & 15];
      ++at;
    } else {
      out.append(path, at, length);
      at += length;
    }
  }
  return out;
}

bool exact_utf8_path(const std::string& path, std::string* utf8) {
  for (size_t at = 0; at < path.size();) {
    size_t length = utf8_character_length(path, at);
    if (length == 0) return false;
    at += length;
  }
  *utf8 = path;
  return true;
}

const char kHelpOnEncodings[] =
    "In a UTF-8 locale TEXT is converted to the code page (a character it cannot\n"
    "hold is an error) and each output line back to UTF-8; in any other locale the\n"
    "bytes pass unchanged both ways.\n";

}  // namespace vintrell
