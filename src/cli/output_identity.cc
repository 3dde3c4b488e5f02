#include "cli/output_identity.h"

#include "runtime/runtime.h"

namespace vintrell {

StandardOutputFile::StandardOutputFile() {
  ProcedureFrame frame;
  PlatformOutcome outcome;
  HANDLE output = guarded_platform_call(&outcome, [] { return GetStdHandle(STD_OUTPUT_HANDLE); });
  if (output == nullptr || output == INVALID_HANDLE_VALUE) return;
  if (guarded_platform_call(&outcome, [&] { return GetFileType(output); }) != FILE_TYPE_DISK) {
    return;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!guarded_platform_call(&outcome, [&] { return GetFileInformationByHandle(output, &info); })) {
    return;
  }
  on_disk_ = true;
  volume_ = info.dwVolumeSerialNumber;
  index_high_ = info.nFileIndexHigh;
  index_low_ = info.nFileIndexLow;
}

bool StandardOutputFile::is(const std::string& path) const {
  if (!on_disk_) return false;
  ProcedureFrame frame;
  PlatformOutcome outcome;
  HANDLE file = guarded_platform_call(&outcome, [&] {
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  });
  if (file == INVALID_HANDLE_VALUE) return false;  // the search names why it cannot be read
  BY_HANDLE_FILE_INFORMATION info;
  bool same = guarded_platform_call(&outcome, [&] { return GetFileInformationByHandle(file, &info); }) &&
              info.dwVolumeSerialNumber == volume_ && info.nFileIndexHigh == index_high_ &&
              info.nFileIndexLow == index_low_;
  PlatformOutcome ignored;
  guarded_platform_call(&ignored, [&] { return CloseHandle(file); });
  return same;
}

}  // namespace vintrell
