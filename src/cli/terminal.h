// Where vintrell-find meets the user's terminal, the part that differs between
// the platforms: which text is UTF-8, a console's characters, a folder's name.
#ifndef VINTRELL_CLI_TERMINAL_H_
#define VINTRELL_CLI_TERMINAL_H_

#include <string>

#include "platform/win32.h"

namespace vintrell {

struct Terminal {
  bool text_in_utf8 = false;   // TEXT arrives as UTF-8, to be converted to the code page
  bool lines_in_utf8 = false;  // the output lines go out as UTF-8
  // Paths (in the platform's own encoding) are converted to UTF-8 for output:
  // on Windows with the lines; natively never, a name's bytes being already
  // the locale's.
  bool paths_in_utf8 = false;
  // Natively outside a UTF-8 locale (C, POSIX, ISO-8859): the bytes 0x80 to
  // 0x9F are C1 controls to an 8-bit terminal (0x9B is CSI), so shown text
  // escapes them as it escapes the C0 controls. A Windows code page has
  // characters there.
  bool c1_bytes_are_controls = false;
};

// Natively both follow the locale's character set (UTF-8 or not). On Windows
// TEXT comes from the wide command line, so it is always UTF-8, and the lines
// are UTF-8 exactly when standard output is a console. --raw: neither.
Terminal describe_terminal(bool raw);

// The side that reads the messages on standard error: natively the locale's,
// as for the lines; on Windows ANSI text, the code page's characters.
Terminal describe_message_side();

enum class TextKind {
  kBytes,  // written as they are, wherever they go
  kUtf8,   // UTF-8: a Windows console gets its characters
  kAnsi,   // the ANSI code page (paths, messages): a Windows console gets its characters
};

// Writes `text` to `handle` through the console's character output when the
// handle is a Windows console and `kind` is not kBytes: true when it did so,
// with `*error` 0 or the platform error. False, writing nothing, otherwise.
bool write_to_console(HANDLE handle, const std::string& text, TextKind kind, DWORD* error);

// A UTF-8 text for a message on standard error, which holds ANSI text: the
// same bytes natively; on Windows the ANSI code page's nearest form.
std::string message_text(const std::string& utf8);

// The folder named by the user as the platform's file calls take it: the bytes
// given natively, without trailing slashes; on Windows the ANSI code page's
// form of the UTF-8 argument, false when the code page cannot hold a
// character of it.
bool platform_folder_name(const std::string& given, std::string* name);

// A path as the platform's file calls name it, decoded into UTF-8: natively as
// UTF-8, each byte that is no part of a well-formed character written \xHH;
// on Windows from the ANSI code page.
std::string path_to_utf8(const std::string& path);

// The same path as UTF-8 that names it exactly: natively the bytes when they
// are well-formed UTF-8, on Windows the ANSI code page's characters. False
// when there is none (natively: a byte that is no part of a character).
bool exact_utf8_path(const std::string& path, std::string* utf8);

}  // namespace vintrell

#endif  // VINTRELL_CLI_TERMINAL_H_
