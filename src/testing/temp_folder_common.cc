#include "testing/temp_folder.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;

namespace testing {
namespace {

// Relative names use backslashes as the program does; the file system takes '/'.
fs::path host_path(const std::string& folder, const std::string& name) {
  std::string relative = name;
  for (char& c : relative) {
    if (c == '\\') c = '/';
  }
  return fs::path(folder) / fs::path(relative);
}

}  // namespace

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  std::random_device seed;
  fs::path base = fs::temp_directory_path();
  for (;;) {
    fs::path candidate = base / ("vintrell-" + std::to_string(seed() % 1000000) + "-" +
                                 std::to_string(counter++));
    if (fs::create_directory(candidate)) {
      path_ = candidate.string();
      break;
    }
  }
  while (path_.size() > 1 && (path_.back() == '\\' || path_.back() == '/')) path_.pop_back();
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  // Read-only files would stop removal on Windows.
  for (auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
    fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
  }
  fs::remove_all(path_, ignored);
}

std::string TempFolder::join(const std::string& name) const { return path_ + "\\" + name; }

std::string TempFolder::spelled(const std::string& name) const {
  const char separator = static_cast<char>(fs::path::preferred_separator);
  std::string out = path_ + separator + name;
  for (char& c : out) {
    if (c == '\\' || c == '/') c = separator;
  }
  return out;
}

void TempFolder::write(const std::string& name, const std::string& bytes) const {
  fs::path p = host_path(path_, name);
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempFolder::read(const std::string& name) const {
  std::ifstream in(host_path(path_, name), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool TempFolder::exists(const std::string& name) const {
  std::error_code ignored;
  return fs::exists(host_path(path_, name), ignored);
}

void TempFolder::make_folder(const std::string& name) const {
  fs::create_directories(host_path(path_, name));
}

std::map<std::string, std::string> TempFolder::snapshot() const {
  std::map<std::string, std::string> files;
  std::error_code ignored;
  for (auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
    std::string relative = fs::relative(entry.path(), path_).generic_string();
    if (entry.is_directory()) {
      files[relative + "/"] = "";
    } else {
      std::ifstream in(entry.path(), std::ios::binary);
      files[relative] =
          std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
  }
  return files;
}

}  // namespace testing
