#include <langinfo.h>
#include <locale.h>

#include <cstring>

#include "cli/terminal.h"

namespace vintrell {

Terminal describe_terminal(bool raw) {
  Terminal terminal;
  if (raw) return terminal;
  // The user's locale, asked without making it the process's own: nothing
  // else in the program may start to depend on it.
  locale_t user = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (user == static_cast<locale_t>(0)) return terminal;
  bool utf8 = std::strcmp(nl_langinfo_l(CODESET, user), "UTF-8") == 0;
  freelocale(user);
  terminal.text_in_utf8 = utf8;
  terminal.lines_in_utf8 = utf8;
  return terminal;
}

bool write_to_console(HANDLE, const std::string&, TextKind, DWORD*) { return false; }

std::string message_text(const std::string& utf8) { return utf8; }

bool platform_folder_name(const std::string& given, std::string* name) {
  *name = given;
  return true;
}

}  // namespace vintrell
