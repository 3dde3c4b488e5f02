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

bool is_c1_byte(unsigned char byte) { return byte >= 0x80 && byte < 0xA0; }

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
    } else if (is_control_byte(byte) || (form == LineForm::kEightBit && is_c1_byte(byte))) {
      shown = escape(byte);
    } else if (form == LineForm::kBytes || form == LineForm::kEightBit) {
      shown.assign(1, static_cast<char>(byte));
    } else {
      const std::string& utf8 = code_page.utf8_of(byte);
      shown = utf8.empty() || is_c1_control(utf8) ? escape(byte) : utf8;
    }
    as_is_[b] = shown.size() == 1 && shown[0] == static_cast<char>(byte);
  }
}

std::string LineRenderer::render(std::string_view line) const {
  std::string out;
  render_into(line, &out);
  return out;
}

void LineRenderer::render_into(std::string_view line, std::string* out) const {
  out->reserve(out->size() + line.size());
  for (size_t at = 0; at < line.size();) {
    size_t run = at;
    while (run < line.size() && as_is_[static_cast<unsigned char>(line[run])]) ++run;
    out->append(line.data() + at, run - at);
    if (run < line.size()) *out += shown_[static_cast<unsigned char>(line[run++])];
    at = run;
  }
}

std::string render_path(const std::string& path, bool raw, const Terminal& terminal) {
  std::string named = terminal.paths_in_utf8 ? path_to_utf8(path) : path;
  if (raw) return named;
  const bool utf8 = terminal.lines_in_utf8 || terminal.paths_in_utf8;
  std::string out;
  out.reserve(named.size());
  for (size_t at = 0; at < named.size();) {
    const unsigned char byte = static_cast<unsigned char>(named[at]);
    size_t length = byte < 0x80 ? 1 : utf8_character_length(named, at);
    if (length == 0) length = 1;  // a byte that is no part of a character
    bool escaped = is_control_byte(byte);
    if (utf8 && length == 2 && is_c1_control(named.substr(at, 2))) escaped = true;
    if (terminal.c1_bytes_are_controls) {
      // A character's bytes go together, so that a UTF-8 name read in the C
      // locale shows whole escapes, not a lead byte cut from its tail.
      for (size_t i = 0; i < length; ++i) {
        if (is_c1_byte(static_cast<unsigned char>(named[at + i]))) escaped = true;
      }
    }
    for (size_t i = 0; i < length; ++i) {
      if (escaped) {
        out += escape(static_cast<unsigned char>(named[at + i]));
      } else {
        out += named[at + i];
      }
    }
    at += length;
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
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return "Out of memory";
    case ERROR_WRITE_PROTECT: return "Read-only file system";
    case ERROR_NOT_READY: return "Device not ready";
    case ERROR_GEN_FAILURE: return "Input/output error";
    case ERROR_SHARING_VIOLATION: return "In use by another program";
    case ERROR_LOCK_VIOLATION: return "Locked by another program";
    case ERROR_INVALID_PARAMETER: return "Invalid argument";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return "No space left on device";
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
    case ERROR_PIPE_NOT_CONNECTED: return "Broken pipe";
    case ERROR_FILENAME_EXCED_RANGE: return "File name too long";
    case ERROR_DIRECTORY: return "Not a folder";
    case ERROR_CANT_RESOLVE_FILENAME: return "Too many levels of symbolic links";
    case ERROR_STOPPED_ON_SYMLINK: return "A symbolic link since it was listed (not followed)";
    case ERROR_BAD_FILE_TYPE: return "A pipe or device since it was listed (not read)";
    default: return "system error " + std::to_string(code) + " (no description)";
  }
}

bool reader_has_gone(DWORD code) {
  return code == ERROR_BROKEN_PIPE || code == ERROR_NO_DATA || code == ERROR_PIPE_NOT_CONNECTED;
}

}  // namespace vintrell
