// The main dialog on the native layer under arbitrary sequences of user actions:
// keys, typing (any byte, up to long runs), clicks on every control, Browse
// answered or cancelled, the web link, Find on a small mail folder, Close and
// Alt+F4. After every action the checks of dialog_walk.h run; a failed check
// aborts with the actions that led there.
//
// Input: one action after another, each a kind byte and its arguments.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "testing/drivers/dialog_walk.h"
#include "testing/temp_folder.h"

namespace {

const testing::TempFolder& mail_folder() {
  static const testing::TempFolder* folder = [] {
    auto* made = new testing::TempFolder;
    dialog_walk::write_mail_folder(*made);
    return made;
  }();
  return *folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const testing::TempFolder& folder = mail_folder();
  dialog_walk::Options options;
  std::string failure;
  options.shell_commands = true;
  // Relative Directory texts are looked up inside the folder while the dialog
  // runs; libFuzzer reads its files from its own current directory after.
  char own_folder[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof own_folder, own_folder);
  SetCurrentDirectoryA(folder.path().c_str());
  dialog_walk::Bytes bytes(data, size);
  {
    dialog_walk::Walk walk(folder, options);
    while (walk.step(bytes)) {
    }
    failure = walk.failure();
  }
  SetCurrentDirectoryA(own_folder);
  if (!failure.empty()) {
    std::fprintf(stderr, "dialog walk: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
