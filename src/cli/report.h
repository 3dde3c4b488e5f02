// vintrell-find's error messages, as grep gives them: "vintrell-find: WHAT:
// reason" on standard error, and whether any error happened (exit status 2).
#ifndef VINTRELL_CLI_REPORT_H_
#define VINTRELL_CLI_REPORT_H_

#include <string>

namespace vintrell {

class ErrorReport {
 public:
  // `file_messages` false (-s): files that could not be read are counted as
  // errors without a line.
  explicit ErrorReport(bool file_messages) : file_messages_(file_messages) {}

  // An error about the whole run or a folder: always shown. `what` (a name)
  // is shown with its control characters escaped, as on standard output.
  void error(const std::string& what, const std::string& reason);
  // A file that could not be read.
  void file_error(const std::string& path, const std::string& reason);

  bool any() const { return any_; }

 private:
  bool file_messages_;
  bool any_ = false;
};

// Why a file was not read, from the run-time error number the scan met (or
// kPathTooLong).
std::string read_error_text(int error_number);

}  // namespace vintrell

#endif  // VINTRELL_CLI_REPORT_H_
