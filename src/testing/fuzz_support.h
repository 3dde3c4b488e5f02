// What the fuzz targets share: a private scratch folder for the files an
// input becomes, and the plain reference count their answers are held to.
#ifndef VINTRELL_TESTING_FUZZ_SUPPORT_H_
#define VINTRELL_TESTING_FUZZ_SUPPORT_H_

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace fuzz_support {

// A fresh folder, removed with what it holds at the end.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device seed;
    // A memory-backed folder where there is one: rewriting a file on disk for
    // every input costs thirty times the run itself.
    std::error_code no_shm;
    std::filesystem::path base = std::filesystem::is_directory("/dev/shm", no_shm)
                                     ? std::filesystem::path("/dev/shm")
                                     : std::filesystem::temp_directory_path();
    folder_ = base / ("vintrell-fuzz-" + std::to_string(seed()) + "-" + std::to_string(seed()));
    std::filesystem::create_directories(folder_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // Writes `name` with exactly `size` bytes and gives its path.
  std::string write(const std::string& name, const char* bytes, size_t size) const {
    const std::filesystem::path path = folder_ / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes, static_cast<std::streamsize>(size));
    return path.string();
  }
  // The folder as the program names it, with its separator.
  std::string folder() const { return folder_.string() + "\\"; }

 private:
  std::filesystem::path folder_;
};

// Non-overlapping occurrences of `t` in `s`, leftmost first; 0 for an empty `t`.
inline int64_t reference_count(const std::string& s, const std::string& t) {
  if (t.empty()) return 0;
  int64_t count = 0;
  for (size_t at = 0; at + t.size() <= s.size();) {
    if (s.compare(at, t.size(), t) == 0) {
      ++count;
      at += t.size();
    } else {
      ++at;
    }
  }
  return count;
}

}  // namespace fuzz_support

#endif  // VINTRELL_TESTING_FUZZ_SUPPORT_H_
