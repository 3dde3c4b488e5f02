#include "platform/posix/paths.h"

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <map>
#include <mutex>
#include <vector>

#include "platform/native_layer.h"
#include "platform/posix/name_match.h"

namespace native_layer {
namespace {

std::mutex& drives_mutex() {
  static std::mutex m;
  return m;
}

// Drive letter (upper case) -> POSIX folder without a trailing slash ("" for /).
std::map<char, std::string>& drives() {
  static std::map<char, std::string> map{{'Z', ""}};
  return map;
}

bool is_separator(char c) { return c == '\\' || c == '/'; }

char upper_ascii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool drive_folder(char letter, std::string* folder) {
  std::lock_guard<std::mutex> hold(drives_mutex());
  auto it = drives().find(upper_ascii(letter));
  if (it == drives().end()) return false;
  *folder = it->second;
  return true;
}

std::string current_posix_directory() {
  std::vector<char> buffer(PATH_MAX);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return "/";
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

void split_into(const std::string& text, std::vector<std::string>* components) {
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && is_separator(text[i])) ++i;
    size_t start = i;
    while (i < text.size() && !is_separator(text[i])) ++i;
    if (i > start) components->push_back(text.substr(start, i - start));
  }
}

// `inside` lies in `folder` (or is it): the rest after it, with its leading slash.
bool strip_folder(const std::string& inside, const std::string& folder, std::string* rest) {
  if (inside.compare(0, folder.size(), folder) != 0) return false;
  if (inside.size() > folder.size() && inside[folder.size()] != '/') return false;
  *rest = inside.substr(folder.size());
  return true;
}

// The existing spelling of `name` in folder `parent`, when only its case differs.
bool find_other_case(const std::string& parent, const std::string& name, std::string* found) {
  DIR* dir = opendir(parent.empty() ? "/" : parent.c_str());
  if (dir == nullptr) return false;
  bool hit = false;
  while (struct dirent* entry = readdir(dir)) {
    if (same_name_ignoring_case(entry->d_name, name)) {
      *found = entry->d_name;
      hit = true;
      break;
    }
  }
  closedir(dir);
  return hit;
}

}  // namespace

DWORD win32_error_from_errno(int error) {
  switch (error) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EROFS: return ERROR_WRITE_PROTECT;
    case EWOULDBLOCK: return ERROR_SHARING_VIOLATION;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ESPIPE: return ERROR_INVALID_FUNCTION;  // Wine 8.0: seeking a pipe gives 1
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOSPC: return ERROR_DISK_FULL;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENXIO:
    case ENODEV: return ERROR_NOT_READY;
    case EIO: return ERROR_GEN_FAILURE;
    case EPIPE: return ERROR_NO_DATA;  // Windows: writing to a pipe whose reader closed it
    case ELOOP: return ERROR_CANT_RESOLVE_FILENAME;
    default: return ERROR_GEN_FAILURE;
  }
}

bool same_name_ignoring_case(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (fold_name_case(a[i]) != fold_name_case(b[i])) return false;
  }
  return true;
}

DWORD to_posix_path(const char* path, std::string* posix_path, bool look_up_case) {
  if (path == nullptr || path[0] == '\0') return ERROR_PATH_NOT_FOUND;
  std::string text = path;
  std::string root;  // the drive's folder, or "" for the POSIX root
  std::vector<std::string> components;
  std::string rest;
  if (text.size() >= 2 && text[1] == ':' && upper_ascii(text[0]) >= 'A' &&
      upper_ascii(text[0]) <= 'Z') {
    if (!drive_folder(text[0], &root)) return ERROR_INVALID_DRIVE;
    rest = text.substr(2);
    std::string inside;
    // A drive-relative path starts in the current directory when that is on the drive.
    if (rest.empty() || !is_separator(rest[0])) {
      if (strip_folder(current_posix_directory(), root, &inside)) split_into(inside, &components);
    }
  } else {
    rest = text;
    if (!is_separator(rest[0])) split_into(current_posix_directory(), &components);
  }
  std::vector<std::string> given;
  split_into(rest, &given);
  for (size_t i = 0; i < given.size(); ++i) {
    std::string name = given[i];
    if (i + 1 == given.size() && name != "." && name != "..") {
      // Windows drops trailing dots and blanks of the last component.
      while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
      if (name.empty()) continue;
    }
    if (name == ".") continue;
    if (name == "..") {
      if (!components.empty()) components.pop_back();
      continue;
    }
    components.push_back(name);
  }
  std::string out = root;
  for (const std::string& name : components) out += "/" + name;
  struct stat exact;
  // The common case, a path spelled as stored, costs one lstat (none when the
  // caller tries the spelling itself); only a path that does not resolve as
  // spelled is walked component by component.
  if (out.empty() || !look_up_case || lstat(out.c_str(), &exact) == 0) {
    *posix_path = out.empty() ? "/" : out;
    return ERROR_SUCCESS;
  }
  out = root;
  for (const std::string& name : components) {
    std::string next = out + "/" + name;
    struct stat st;
    std::string other;
    if (lstat(next.c_str(), &st) != 0 && errno == ENOENT && find_other_case(out, name, &other)) {
      next = out + "/" + other;
    }
    out = next;
  }
  *posix_path = out.empty() ? "/" : out;
  return ERROR_SUCCESS;
}

bool plain_relative_path(const char* path, std::string* posix_path) {
  if (path == nullptr || path[0] == '\0' || is_separator(path[0])) return false;
  if (path[1] == ':') return false;
  std::vector<std::string> given;
  split_into(path, &given);
  std::string out;
  for (size_t i = 0; i < given.size(); ++i) {
    std::string name = given[i];
    if (name == "." || name == "..") return false;
    if (i + 1 == given.size()) {
      while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
      if (name.empty()) return false;
    }
    if (!out.empty()) out += '/';
    out += name;
  }
  if (out.empty()) return false;
  *posix_path = out;
  return true;
}

bool is_drive_root(const std::string& posix_folder) {
  if (posix_folder == "/") return true;
  std::lock_guard<std::mutex> hold(drives_mutex());
  for (const auto& mapping : drives()) {
    if (mapping.second == posix_folder) return true;
  }
  return false;
}

DWORD missing_name_error(const std::string& posix_path) {
  size_t slash = posix_path.find_last_of('/');
  std::string parent = (slash == std::string::npos || slash == 0) ? "/" : posix_path.substr(0, slash);
  struct stat st;
  if (stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return ERROR_FILE_NOT_FOUND;
  return ERROR_PATH_NOT_FOUND;
}

std::string to_windows_path(const std::string& posix_path) {
  char drive = 'Z';
  std::string rest = posix_path;
  size_t best = 0;
  {
    std::lock_guard<std::mutex> hold(drives_mutex());
    for (const auto& mapping : drives()) {
      std::string inside;
      if (mapping.second.empty() || mapping.second.size() < best) continue;
      if (strip_folder(posix_path, mapping.second, &inside)) {
        drive = mapping.first;
        rest = inside;
        best = mapping.second.size();
      }
    }
  }
  std::string out(1, drive);
  out += ':';
  for (char c : rest) out += (c == '/') ? '\\' : c;
  if (out.size() == 2) out += '\\';
  return out;
}

DWORD attributes_of(const struct stat& st, bool is_link, const std::string& name) {
  DWORD attributes;
  if (S_ISDIR(st.st_mode)) {
    attributes = FILE_ATTRIBUTE_DIRECTORY;
    // Wine 8.0 marks a symbolic link to a folder as a reparse point too.
    if (is_link) attributes |= kFileAttributeReparsePoint;
  } else if (S_ISREG(st.st_mode)) {
    attributes = FILE_ATTRIBUTE_ARCHIVE;
    // Windows marks a symbolic link to a file as a reparse point as well; Wine
    // 8.0 shows such a link as the file itself. The real one is followed here,
    // so that a walk can pass links by; a listing of plain files still admits it.
    if (is_link) attributes |= kFileAttributeReparsePoint;
  } else {
    // Wine shows a pipe or device as an archive file; here it must not pass as a
    // plain file, since opening and reading one can block.
    attributes = FILE_ATTRIBUTE_SYSTEM;
  }
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
  if (!name.empty() && name[0] == '.' && name != "." && name != "..") {
    attributes |= FILE_ATTRIBUTE_HIDDEN;
  }
  return attributes;
}

void map_drive(char letter, const std::string& posix_folder) {
  std::string folder = posix_folder;
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  std::lock_guard<std::mutex> hold(drives_mutex());
  drives()[upper_ascii(letter)] = folder;
}

void unmap_drive(char letter) {
  std::lock_guard<std::mutex> hold(drives_mutex());
  drives().erase(upper_ascii(letter));
}

}  // namespace native_layer
