#include "cli/output.h"

#include "runtime/runtime.h"

namespace vintrell {
namespace {

std::string escape(unsigned char byte) {
  switch (byte) {
    case '\t': return "\\t";
    case '\n': return "\\n";
    case '\r': return "\\r";
    default: {
      const char digits[] = "0123456789abcdef";
      return std::string("\\x") + digits[byte >> 4] + digits[byte & 15];
    }
  }
}

bool is_control_byte(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

// A character that a terminal takes as a C1 control (U+0080 to U+009F).
bool is_c1_control(const std::string& utf8) {
  return utf8.size() == 2 && static_cast<unsigned char>(utf8[0]) == 0xC2 &&
         static_cast<unsigned char>(utf8[1]) < 0xA0;
}

}  // namespace

LineRenderer::LineRenderer(LineForm form, const CodePage& code_page) {
  for (int b = 0; b < 256; ++b) {
    const unsigned char byte = static_cast<unsigned char>(b);
    std::string& shown = shown_[b];
    if (form == LineForm::kRaw) {
      shown.assign(1, static_cast<char>(byte));
    } else if (is_control_byte(byte)) {
      shown = escape(byte);
    } else if (form == LineForm::kBytes) {
      shown.assign(1, static_cast<char>(byte));
    } else {
      const std::string& utf8 = code_page.utf8_of(byte);
      shown = utf8.empty() || is_c1_control(utf8) ? escape(byte) : utf8;
    }
  }
}

std::string LineRenderer::render(const std::string& line) const {
  std::string out;
  out.reserve(line.size());
  for (char c : line) out += shown_[static_cast<unsigned char>(c)];
  return out;
}

std::string render_path(const std::string& path, bool raw, bool to_utf8) {
  std::string named = to_utf8 ? path_to_utf8(path) : path;
  if (raw) return named;
  std::string out;
  out.reserve(named.size());
  for (char c : named) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (is_control_byte(byte)) {
      out += escape(byte);
    } else {
      out += c;
    }
  }
  return out;
}

std::string code_page_to_utf8(const std::string& text, const CodePage& code_page) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    const std::string& utf8 = code_page.utf8_of(byte);
    out += utf8.empty() ? escape(byte) : utf8;
  }
  return out;
}

DWORD write_standard(DWORD which, const std::string& text, TextKind kind) {
  ProcedureFrame frame;
  PlatformOutcome outcome;
  HANDLE handle = guarded_platform_call(&outcome, [&] { return GetStdHandle(which); });
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
  DWORD console_error = 0;
  if (write_to_console(handle, text, kind, &console_error)) return console_error;
  size_t done = 0;
  while (done < text.size()) {
    DWORD chunk =
        static_cast<DWORD>(text.size() - done > 0x100000 ? 0x100000 : text.size() - done);
    DWORD written = 0;
    BOOL ok = guarded_platform_call(
        &outcome, [&] { return WriteFile(handle, text.data() + done, chunk, &written, nullptr); });
    if (!ok || written == 0) return outcome.code != 0 ? outcome.code : ERROR_GEN_FAILURE;
    done += written;
  }
  return 0;
}

std::string platform_error_text(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return "No such file or folder";
    case ERROR_ACCESS_DENIED: return "Permission denied";
    case ERROR_INVALID_HANDLE: return "Bad file descriptor";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return "No space left on device";
    case 109:  // ERROR_BROKEN_PIPE
    case 232:  // ERROR_NO_DATA: the pipe's reader has gone
      return "Broken pipe";
    case ERROR_FILENAME_EXCED_RANGE: return "File name too long";
    default: return "error " + std::to_string(code);
  }
}

}  // namespace vintrell
