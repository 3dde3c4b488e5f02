// A fresh folder for one test, removed with everything in it at the end.
#ifndef VINTRELL_TESTING_TEMP_FOLDER_H_
#define VINTRELL_TESTING_TEMP_FOLDER_H_

#include <map>
#include <string>

namespace testing {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder as the program names it, without a trailing separator
  // (C:\users\...\Temp\vintrell-N on Windows, /tmp/vintrell-N natively).
  const std::string& path() const { return path_; }
  // path() + "\" + name: the program's own way of joining.
  std::string join(const std::string& name) const;
  // path() and name as the system's own tools spell a path (a command line's
  // DIR): every separator '\' on Windows, '/' natively.
  std::string spelled(const std::string& name) const;

  // Writes a file (or a file inside a subfolder: "sub\\x.pml") with exact bytes.
  void write(const std::string& name, const std::string& bytes) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;
  void make_folder(const std::string& name) const;
  // Every file below the folder with its bytes, keyed by relative name.
  std::map<std::string, std::string> snapshot() const;

 private:
  std::string path_;
};

}  // namespace testing

#endif  // VINTRELL_TESTING_TEMP_FOLDER_H_
