// Helpers shared by the application's tests.
#ifndef VINTRELL_TESTING_DRIVERS_APP_TESTING_H_
#define VINTRELL_TESTING_DRIVERS_APP_TESTING_H_

#include <string>

#include "platform/win32.h"
#include "testing/temp_folder.h"
#include "testing/test_util.h"

namespace app_testing {

// A temporary folder as a path with a drive, as the program's own path would
// be: on the native layer Z: is the POSIX root.
inline std::string drive_path(const testing::TempFolder& folder) {
  if (!testing::on_native_layer()) return folder.path();
  std::string path = "Z:" + folder.path();
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

// `folder` is the current directory while this lives; then the old one again.
class InFolder {
 public:
  explicit InFolder(const std::string& folder) {
    GetCurrentDirectoryA(sizeof old_, old_);
    SetCurrentDirectoryA(folder.c_str());
  }
  ~InFolder() { SetCurrentDirectoryA(old_); }
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

 private:
  char old_[MAX_PATH] = "";
};

}  // namespace app_testing

#endif  // VINTRELL_TESTING_DRIVERS_APP_TESTING_H_
