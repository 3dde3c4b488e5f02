#include "app/commands.h"

#include "app/main_dialog.h"
#include "app/maker.h"
#include "app/shell.h"
#include "dialog/dialog.h"
#include "runtime/runtime.h"
#include "services/text.h"

namespace vintrell {

const char kFolderPickerPrompt[] = "Select the Pegasus Mail folder to search";

namespace {

constexpr uint32_t kLinkBufferCapacity = 255;

}  // namespace

int32_t browse_command(HWND dialog, UINT, WPARAM, LPARAM) {
  ProcedureFrame frame;
  // Cancelled, or a choice with no file-system path: what the box held stays.
  const std::string chosen = folder_picker(nullptr, kFolderPickerPrompt);
  if (!chosen.empty()) set_control_text(dialog, kDirectoryBox, chosen);
  return 0;
}

int32_t web_link_command(HWND, UINT, WPARAM, LPARAM) {
  ProcedureFrame frame;
  char url[kLinkBufferCapacity + 1];
  copy_to_zero_terminated_buffer(kWebSiteUrl, url, kLinkBufferCapacity);
  link_launcher(url);
  return 0;
}

int32_t close_command(HWND dialog, UINT, WPARAM, LPARAM) {
  ProcedureFrame frame;
  end_dialog(dialog, 1);
  return 0;
}

}  // namespace vintrell
