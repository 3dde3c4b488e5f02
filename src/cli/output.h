// vintrell-find's output: each result line in the form the user's side takes,
// and whole writes to the standard streams that report their failure.
#ifndef VINTRELL_CLI_OUTPUT_H_
#define VINTRELL_CLI_OUTPUT_H_

#include <string>
#include <string_view>

#include "cli/code_page.h"
#include "cli/terminal.h"
#include "platform/win32.h"

namespace vintrell {

enum class LineForm {
  kRaw,    // every byte as it is
  kBytes,  // the code page's bytes, control characters as escapes
  kEightBit,  // the same, and the bytes 0x80 to 0x9F (C1 controls) as escapes
  kUtf8,   // UTF-8, control characters and undefined bytes as escapes
};

// Shows a line of code page text so that it stays one line and cannot drive a
// terminal: bytes below 0x20 and 0x7F become \t, \n, \r or \xHH; in UTF-8 a
// byte the code page leaves undefined, or one that stands for a C1 control,
// becomes \xHH too.
class LineRenderer {
 public:
  LineRenderer(LineForm form, const CodePage& code_page);
  std::string render(std::string_view line) const;
  // The same appended to `out`.
  void render_into(std::string_view line, std::string* out) const;

 private:
  std::string shown_[256];
  bool as_is_[256];  // shown as the byte itself: runs of these go in whole
};

// A path for a text line: its bytes as the platform names them (in UTF-8 when
// `terminal.paths_in_utf8`), control characters as the escapes of LineRenderer
// unless `raw`: below 0x20 and 0x7F always; C1 characters (U+0080 to U+009F)
// when the line is UTF-8; where bytes 0x80 to 0x9F are C1 controls, every
// byte of a character that holds one.
std::string render_path(const std::string& path, bool raw, const Terminal& terminal);

// Code page text as UTF-8 for JSON: each byte's character, control characters
// included (JSON escapes them); a byte the code page leaves undefined as \xHH.
std::string code_page_to_utf8(const std::string& text, const CodePage& code_page);

// Writes every byte of `text` to standard stream `which` (characters on a
// Windows console unless `kind` is kBytes). Returns 0, or the platform error;
// ERROR_INVALID_HANDLE when the process has no such stream.
DWORD write_standard(DWORD which, const std::string& text, TextKind kind);

// A platform error code as the end of a message: "No space left on device"...
std::string platform_error_text(DWORD code);

// Whether a write failed with `code` because the reader of the pipe has gone
// (closed it, as `head` does): no error to report.
bool reader_has_gone(DWORD code);

}  // namespace vintrell

#endif  // VINTRELL_CLI_OUTPUT_H_
