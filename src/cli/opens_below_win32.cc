#include "cli/opens_below.h"

#include <windows.h>
#include <winternl.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "search/search.h"
#include "services/file_reading.h"

namespace vintrell {
namespace {

// What a folder's checks rest on, per file system: the file index that both a
// listing and a handle give (NTFS, FAT, SMB), and the name the system resolves
// a handle to (the only thing by which Wine tells a host's link to a file from
// the file). Where one is missing the other holds; where both are, a file
// reached through a link swapped in is refused by either.

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A check that failed on a listing older than the file: list again, then judge.
constexpr DWORD kListedBefore = 0xFFFFFFFF;

std::wstring wide_of(const std::string& ansi) {
  if (ansi.empty()) return std::wstring();
  const int size = static_cast<int>(ansi.size());
  const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, &wide[0], n);
  return wide;
}

std::wstring upper_wide(std::wstring name) {
  if (!name.empty()) CharUpperBuffW(&name[0], static_cast<DWORD>(name.size()));
  return name;
}

bool same_name(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() &&
         CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

ULONGLONG file_index(const BY_HANDLE_FILE_INFORMATION& information) {
  return (static_cast<ULONGLONG>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
}

DWORD last_error_or(DWORD otherwise) {
  const DWORD error = GetLastError();
  return error != 0 ? error : otherwise;
}

// The name the system resolves `handle` to, as `kind` asks for it.
bool resolved_name(HANDLE handle, DWORD kind, std::wstring* name) {
  std::wstring buffer(MAX_PATH, L'\0');
  DWORD n = GetFinalPathNameByHandleW(handle, &buffer[0], static_cast<DWORD>(buffer.size()), kind);
  if (n >= buffer.size()) {
    buffer.assign(n, L'\0');
    n = GetFinalPathNameByHandleW(handle, &buffer[0], n, kind);
    if (n >= buffer.size()) return false;
  }
  if (n == 0) return false;
  buffer.resize(n);
  *name = std::move(buffer);
  return true;
}

// What a handle is, as cheaply as it can be had per file: its attributes and
// file index (the full information also asks for the volume, which is what
// costs; a folder's volume is checked once, and a file reached on another
// volume has another index, or another resolved name).
bool identity(HANDLE handle, DWORD* attributes, ULONGLONG* index) {
  FILE_BASIC_INFO basic;
  if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) return false;
  FILE_INTERNAL_INFORMATION internal;
  IO_STATUS_BLOCK status;
  if (NtQueryInformationFile(handle, &status, &internal, sizeof internal,
                             FileInternalInformation) < 0) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return false;
  }
  *attributes = basic.FileAttributes;
  *index = static_cast<ULONGLONG>(internal.IndexNumber.QuadPart);
  return true;
}

std::wstring joined(const std::wstring& folder, const std::wstring& name) {
  return !folder.empty() && folder.back() == L'\\' ? folder + name : folder + L'\\' + name;
}

// `below` split at its last '\': the folder it is in ("" for the root), its name.
void split_below(const std::string& below, std::string* folder, std::string* name) {
  const size_t cut = below.rfind('\\');
  *folder = cut == std::string::npos ? std::string() : below.substr(0, cut);
  *name = cut == std::string::npos ? below : below.substr(cut + 1);
}

bool unsupported(DWORD error) {
  return error == ERROR_INVALID_PARAMETER || error == ERROR_INVALID_FUNCTION ||
         error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_LEVEL ||
         error == ERROR_CALL_NOT_IMPLEMENTED;
}

struct Entry {
  ULONGLONG index;
  DWORD attributes;
  std::wstring name;  // the long name
};

// A folder of the tree as checked: its entries by long and short name (as
// listed, and upper case for a name spelled otherwise), and its resolved
// name (empty where it could not be had); or the error every path through it
// fails with.
struct CheckedFolder {
  DWORD error = 0;
  std::map<std::wstring, Entry> exact;
  std::map<std::wstring, Entry> folded;
  std::wstring resolved;

  const Entry* find(const std::string& ansi) const {
    const std::wstring name = wide_of(ansi);
    auto found = exact.find(name);
    if (found != exact.end()) return &found->second;
    found = folded.find(upper_wide(name));
    return found == folded.end() ? nullptr : &found->second;
  }
  void add(const std::wstring& name, const Entry& entry) {
    exact[name] = entry;
    folded[upper_wide(name)] = entry;
  }
};
using Folder = std::shared_ptr<const CheckedFolder>;

struct Tree {
  std::string root_spelled;  // the searched folder as the paths below it begin
  std::wstring root_resolved;
  DWORD volume = 0;
  bool by_index = true;
  bool by_name = true;
  // Names without their volume where indexes are checked too (a file on
  // another volume has another index); with it where names are all there is.
  DWORD name_kind = FILE_NAME_NORMALIZED | VOLUME_NAME_NT;
  // Once checked a folder is replaced, never changed: a holder of its pointer
  // reads it without the lock.
  std::map<std::string, Folder> folders;  // by the path below the root; "" the root
};
std::mutex tree_lock;
Tree tree;

DWORD list_by_handle(HANDLE folder, CheckedFolder* into) {
  std::vector<char> buffer(64 * 1024);
  FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
  for (;;) {
    if (!GetFileInformationByHandleEx(folder, kind, buffer.data(),
                                      static_cast<DWORD>(buffer.size()))) {
      const DWORD error = GetLastError();
      return error == ERROR_NO_MORE_FILES ? 0 : error;
    }
    kind = FileIdBothDirectoryInfo;
    for (const char* at = buffer.data();;) {
      const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
      Entry entry{static_cast<ULONGLONG>(info->FileId.QuadPart), info->FileAttributes,
                  std::wstring(info->FileName, info->FileNameLength / sizeof(WCHAR))};
      if (info->ShortNameLength != 0) {
        into->add(std::wstring(info->ShortName, info->ShortNameLength / sizeof(WCHAR)), entry);
      }
      into->add(entry.name, entry);
      if (info->NextEntryOffset == 0) break;
      at += info->NextEntryOffset;
    }
  }
}

// The resolved name of `handle` against what it must be: `expected` where the
// listed names are known, else somewhere below the root. 0 or the refusal.
DWORD check_name(HANDLE handle, const std::wstring& expected, std::wstring* resolved) {
  if (!tree.by_name) return 0;
  if (!resolved_name(handle, tree.name_kind, resolved)) {
    resolved->clear();
    // The index has made the check already; without it nothing shows where
    // the file lies, and it is refused for the reason.
    return tree.by_index ? 0 : last_error_or(ERROR_NOT_SUPPORTED);
  }
  if (!expected.empty()) return same_name(*resolved, expected) ? 0 : ERROR_STOPPED_ON_SYMLINK;
  const std::wstring root = joined(tree.root_resolved, std::wstring());
  return resolved->size() > root.size() && same_name(resolved->substr(0, root.size()), root)
             ? 0
             : ERROR_STOPPED_ON_SYMLINK;
}

// The handle against the entry its folder's listing holds for it (none where
// indexes prove nothing): kListedBefore when the listing does not know it.
// A folder's handle is also held to the searched folder's volume.
DWORD check_handle(HANDLE handle, const Entry* entry, bool folder) {
  DWORD attributes = 0;
  ULONGLONG index = 0;
  if (folder) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information)) return last_error_or(ERROR_NOT_SUPPORTED);
    if (information.dwVolumeSerialNumber != tree.volume) return ERROR_STOPPED_ON_SYMLINK;
    attributes = information.dwFileAttributes;
    index = file_index(information);
  } else if (!identity(handle, &attributes, &index)) {
    return last_error_or(ERROR_NOT_SUPPORTED);
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return ERROR_STOPPED_ON_SYMLINK;
  if (!tree.by_index) return 0;
  if (entry == nullptr || entry->index != index) return kListedBefore;
  return (entry->attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? ERROR_STOPPED_ON_SYMLINK : 0;
}

// The root, opened as the user named it (it may itself be a link). The first
// time it also finds out what its file system gives to check by.
Folder check_root(bool first) {
  auto folder = std::make_shared<CheckedFolder>();
  HANDLE handle = CreateFileA(tree.root_spelled.c_str(), FILE_LIST_DIRECTORY, kShareAll, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    folder->error = last_error_or(ERROR_PATH_NOT_FOUND);
    return folder;
  }
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(handle, &information)) {
    folder->error = last_error_or(ERROR_NOT_SUPPORTED);
  } else {
    if (first) tree.volume = information.dwVolumeSerialNumber;
    if (tree.by_index) {
      const DWORD error = list_by_handle(handle, folder.get());
      if (first && unsupported(error)) {
        tree.by_index = false;
      } else {
        folder->error = error;
      }
      // A listing's own entry for the folder must carry the index its handle
      // has; where it does not, this file system numbers its listings
      // otherwise, and only names are held to.
      auto self = folder->exact.find(L".");
      if (first && folder->error == 0 &&
          (self == folder->exact.end() || self->second.index != file_index(information))) {
        tree.by_index = false;
      }
    }
    if (first) {
      if (tree.by_index) tree.name_kind = FILE_NAME_NORMALIZED | VOLUME_NAME_NONE;
      tree.by_name = resolved_name(handle, tree.name_kind, &tree.root_resolved);
    }
    folder->resolved = tree.root_resolved;
  }
  CloseHandle(handle);
  return folder;
}

// The folder `below` the root, the entry `name` of `above`.
Folder check_below(const std::string& below, const std::string& name, const Folder& above) {
  auto folder = std::make_shared<CheckedFolder>();
  folder->error = above->error;
  if (folder->error != 0) return folder;
  const Entry* entry = tree.by_index ? above->find(name) : nullptr;
  if (tree.by_index && entry == nullptr) {
    folder->error = ERROR_STOPPED_ON_SYMLINK;
    return folder;
  }
  HANDLE handle = CreateFileA((tree.root_spelled + below).c_str(), FILE_LIST_DIRECTORY, kShareAll,
                              nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    folder->error = last_error_or(ERROR_PATH_NOT_FOUND);
    return folder;
  }
  folder->error = check_handle(handle, entry, true);
  if (folder->error == kListedBefore) folder->error = ERROR_STOPPED_ON_SYMLINK;
  if (folder->error == 0) {
    const std::wstring expected =
        entry != nullptr && !above->resolved.empty() ? joined(above->resolved, entry->name) : L"";
    folder->error = check_name(handle, expected, &folder->resolved);
  }
  if (folder->error == 0 && tree.by_index) folder->error = list_by_handle(handle, folder.get());
  CloseHandle(handle);
  return folder;
}

// The checked folder `below` the root: checked at its first use (after the
// search listed it), and listed again when the one known is `stale`, unless
// another open has done so since. Callers hold tree_lock.
Folder folder_at(const std::string& below, const Folder& stale = nullptr) {
  auto known = tree.folders.find(below);
  const bool first = known == tree.folders.end();
  if (!first && known->second != stale) return known->second;
  Folder folder;
  if (below.empty()) {
    folder = check_root(first);
  } else {
    std::string parent, name;
    split_below(below, &parent, &name);
    folder = check_below(below, name, folder_at(parent));
  }
  tree.folders[below] = folder;
  return folder;
}

// 0 when the file open as `handle` is the entry `name` of `folder`.
DWORD check_file(HANDLE handle, const Folder& folder, const std::string& name) {
  if (folder->error != 0) return folder->error;
  const Entry* entry = tree.by_index ? folder->find(name) : nullptr;
  const DWORD refusal = check_handle(handle, entry, false);
  if (refusal != 0) return refusal;
  const std::wstring expected =
      entry != nullptr && !folder->resolved.empty() ? joined(folder->resolved, entry->name) : L"";
  std::wstring resolved;
  return check_name(handle, expected, &resolved);
}

HANDLE open_below_root(const char* path, DWORD desired_access, DWORD share_mode) {
  const std::string spelled(path);
  const std::string& root = tree.root_spelled;
  if (spelled.size() <= root.size() || spelled.compare(0, root.size(), root) != 0) {
    SetLastError(ERROR_PATH_NOT_FOUND);  // only what lies below the folder is read
    return INVALID_HANDLE_VALUE;
  }
  std::string folder_below, name;
  split_below(spelled.substr(root.size()), &folder_below, &name);
  Folder folder;
  {
    std::lock_guard<std::mutex> hold(tree_lock);
    folder = folder_at(folder_below);
  }
  if (folder->error != 0) {
    SetLastError(folder->error);
    return INVALID_HANDLE_VALUE;
  }
  HANDLE handle = CreateFileA(path, desired_access, share_mode, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return handle;
  const DWORD opened = GetLastError();
  DWORD refusal = check_file(handle, folder, name);
  if (refusal == kListedBefore) {
    // Made or replaced since the folder was listed (a save by renaming): the
    // folder listed again knows it, or it is not the file the name leads to.
    {
      std::lock_guard<std::mutex> hold(tree_lock);
      folder = folder_at(folder_below, folder);
    }
    refusal = check_file(handle, folder, name);
    if (refusal == kListedBefore) refusal = ERROR_STOPPED_ON_SYMLINK;
  }
  if (refusal != 0) {
    CloseHandle(handle);
    SetLastError(refusal);
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(opened);  // the checks leave no trace on a good open
  return handle;
}

}  // namespace

void open_only_as_listed_below(const std::string& folder) {
  std::lock_guard<std::mutex> hold(tree_lock);
  tree = Tree();
  tree.root_spelled = normalise_folder(folder);
  set_file_opener(open_below_root);
}

void open_as_given() {
  set_file_opener(nullptr);
  std::lock_guard<std::mutex> hold(tree_lock);
  tree = Tree();
}

}  // namespace vintrell
