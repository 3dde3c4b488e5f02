#include <cstring>

#include "runtime/runtime.h"

namespace vintrell {

const char kDefaultCaption[] = "Quorvastel";

std::string command_tail_of(const char* command_line) {
  if (command_line == nullptr) return std::string();
  const char* p = command_line;
  // The program's name is quoted when its path holds blanks.
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return std::string(p);
}

int32_t show_code_of(const STARTUPINFOA& info) {
  if (info.dwFlags & STARTF_USESHOWWINDOW) return info.wShowWindow;
  return SW_SHOWDEFAULT;
}

int32_t run_process(MainRoutine main_routine) {
  STARTUPINFOA info;
  std::memset(&info, 0, sizeof info);
  info.cb = sizeof info;
  GetStartupInfoA(&info);
  const char* command_line = GetCommandLineA();
  RuntimeState& state = runtime_state();
  state.instance = GetModuleHandleA(nullptr);

  ProcedureFrame outer;
  return main_routine(state.instance, nullptr, command_tail_of(command_line),
                      show_code_of(info));
}

void process_entry(MainRoutine main_routine) {
  // The only place the process ends; nothing is released on the way out.
  ExitProcess(static_cast<UINT>(run_process(main_routine)));
}

int show_message(const std::string& text, int32_t style, const std::string& caption) {
  // Both texts end at their first NUL, as any text handed to a window does.
  std::string shown_text(text.c_str());
  std::string shown_caption = caption.empty() ? std::string(kDefaultCaption)
                                              : std::string(caption.c_str());
  Sleep(5);
  return MessageBoxA(nullptr, shown_text.c_str(), shown_caption.c_str(),
                     static_cast<UINT>(style) & 0xFFFF);
}

}  // namespace vintrell
