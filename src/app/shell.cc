#include "app/shell.h"

#include "runtime/runtime.h"
#include "services/text.h"

namespace vintrell {
namespace {

// ShellExecuteA answers a value above 32 when the launch went ahead.
constexpr int32_t kFirstLaunchSuccess = 33;
constexpr uint32_t kLinkBufferCapacity = 255;

}  // namespace

std::string folder_picker(HWND owner, const std::string& prompt) {
  ProcedureFrame frame;
  ZeroTerminatedArgument title(prompt);
  BROWSEINFOA info = {};
  // No owner from the Browse command: the main dialog stays enabled meanwhile.
  info.hwndOwner = owner;
  info.lpszTitle = title.get();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
  LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
  if (chosen == nullptr) return std::string();
  char path[MAX_PATH] = {};
  SHGetPathFromIDListA(chosen, path);
  // The item-id list is not released: the program never needs it again.
  return text_from_zero_terminated(path);
}

std::string launch_failure_message(int32_t result) {
  ProcedureFrame frame;
  if (result >= kFirstLaunchSuccess) return std::string();
  switch (result) {
    case 0:
      return "The operating system is out of memory or resources";
    case 2:
      return "The specified file was not found";
    case 3:
      return "The specified path was not found";
    case 11:
      return "The .EXE file is invalid (non-Win32.EXE or error in .EXE image)";
    case 5:
      return "The operating system denied access to the specified file";
    default:
      return concatenate("Undefined error message number ", number_to_text(result));
  }
}

void link_launcher(const char* target) {
  ProcedureFrame frame;
  char file[kLinkBufferCapacity + 1];
  copy_to_zero_terminated_buffer(text_from_zero_terminated(target), file, kLinkBufferCapacity);
  char directory[MAX_PATH] = {};
  PlatformOutcome outcome;
  guarded_platform_call(&outcome, [&] { return GetCurrentDirectoryA(MAX_PATH, directory); });
  if (outcome.failed()) set_platform_error(outcome.error_number(), outcome.platform_code());
  HINSTANCE answer = ShellExecuteA(nullptr, "OPEN", file, nullptr, directory, SW_SHOWNORMAL);
  const int32_t result = static_cast<int32_t>(reinterpret_cast<INT_PTR>(answer));
  if (result >= kFirstLaunchSuccess) return;
  // No owner and no caption: the box is titled "Quorvastel" and the dialog stays usable.
  show_message(launch_failure_message(result), MB_OK, std::string());
}

}  // namespace vintrell
