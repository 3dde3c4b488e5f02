#include <windows.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "cli/host.h"
#include "cli/search_folder.h"
#include "search/search.h"
#include "services/file_reading.h"

namespace vintrell {
namespace {

// Under -r a file is read only when its handle is the file the listing of its
// folder holds, in a folder that is itself what its parent's listing holds, up
// to the searched folder: a link or junction swapped in anywhere on the way
// since the listing leads to another file, which is refused as a link met.
// Each folder's listing is read from its own handle, so it is the folder that
// was checked, not one found again by name.
constexpr DWORD kResolvedName = FILE_NAME_NORMALIZED | VOLUME_NAME_NT;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

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

ULONGLONG file_index(const BY_HANDLE_FILE_INFORMATION& information) {
  return (static_cast<ULONGLONG>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
}

DWORD last_error_or(DWORD otherwise) {
  const DWORD error = GetLastError();
  return error != 0 ? error : otherwise;
}

// The name the system gives the file open as `handle`, every link resolved.
bool resolved_name(HANDLE handle, std::wstring* name) {
  std::wstring buffer(MAX_PATH, L'\0');
  DWORD n = GetFinalPathNameByHandleW(handle, &buffer[0], static_cast<DWORD>(buffer.size()),
                                      kResolvedName);
  if (n >= buffer.size()) {
    buffer.assign(n, L'\0');
    n = GetFinalPathNameByHandleW(handle, &buffer[0], n, kResolvedName);
    if (n >= buffer.size()) return false;
  }
  if (n == 0) return false;
  buffer.resize(n);
  *name = std::move(buffer);
  return true;
}

struct Entry {
  ULONGLONG index;
  DWORD attributes;
  std::wstring name;  // the long name
};

// A folder of the tree as checked: its entries by long and by short name (upper
// case), and its resolved name; or the error every path through it fails with.
struct CheckedFolder {
  DWORD error = 0;
  std::map<std::wstring, Entry> entries;
  std::wstring resolved;
};

std::string root_spelled;  // the searched folder as the paths below it begin
DWORD root_volume = 0;
std::mutex checked_lock;
std::map<std::string, CheckedFolder> checked;  // by the path below the root; "" is the root

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
        into->entries[upper_wide(std::wstring(info->ShortName,
                                              info->ShortNameLength / sizeof(WCHAR)))] = entry;
      }
      into->entries[upper_wide(entry.name)] = entry;
      if (info->NextEntryOffset == 0) break;
      at += info->NextEntryOffset;
    }
  }
}

const Entry* entry_of(const CheckedFolder& folder, const std::string& name) {
  auto found = folder.entries.find(upper_wide(wide_of(name)));
  return found == folder.entries.end() ? nullptr : &found->second;
}

// Opens `path` without following a final link, as the entry `entry` of a
// checked folder: not a reparse point, on the searched folder's volume, with
// the listed index; else the open fails as at a link met.
HANDLE open_as_entry(const std::string& path, const Entry* entry, DWORD access, DWORD share,
                     DWORD flags) {
  if (entry == nullptr || (entry->attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    SetLastError(ERROR_STOPPED_ON_SYMLINK);
    return INVALID_HANDLE_VALUE;
  }
  HANDLE handle = CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                              flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return handle;
  const DWORD opened = GetLastError();
  BY_HANDLE_FILE_INFORMATION information;
  DWORD refusal = 0;
  if (!GetFileInformationByHandle(handle, &information)) {
    refusal = last_error_or(ERROR_NOT_SUPPORTED);
  } else if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
             information.dwVolumeSerialNumber != root_volume ||
             file_index(information) != entry->index) {
    refusal = ERROR_STOPPED_ON_SYMLINK;
  }
  if (refusal != 0) {
    CloseHandle(handle);
    SetLastError(refusal);
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(opened);
  return handle;
}

// The resolved name of `handle` must be `expected`: Wine shows a host link to
// a file as that file (no reparse point, the file's own index), and only where
// it resolves tells it apart.
DWORD check_resolved_name(HANDLE handle, const std::wstring& expected) {
  std::wstring resolved;
  if (!resolved_name(handle, &resolved)) return last_error_or(ERROR_NOT_SUPPORTED);
  const bool same = resolved.size() == expected.size() &&
                    CompareStringOrdinal(resolved.data(), static_cast<int>(resolved.size()),
                                         expected.data(), static_cast<int>(expected.size()),
                                         TRUE) == CSTR_EQUAL;
  return same ? 0 : ERROR_STOPPED_ON_SYMLINK;
}

std::wstring joined(const std::wstring& folder, const std::wstring& name) {
  return !folder.empty() && folder.back() == L'\\' ? folder + name : folder + L'\\' + name;
}

// `below` split at its last '\': the folder it is in ("" for the root) and its name.
void split_below(const std::string& below, std::string* folder, std::string* name) {
  const size_t cut = below.rfind('\\');
  *folder = cut == std::string::npos ? std::string() : below.substr(0, cut);
  *name = cut == std::string::npos ? below : below.substr(cut + 1);
}

// The checked folder `below` the root, checked on first use. Callers hold
// checked_lock; a folder once checked stays as it is.
const CheckedFolder& checked_folder(const std::string& below) {
  auto known = checked.find(below);
  if (known != checked.end()) return known->second;
  CheckedFolder folder;
  std::string parent, name;
  split_below(below, &parent, &name);
  const CheckedFolder& above = checked_folder(parent);
  const Entry* entry = entry_of(above, name);
  HANDLE handle = INVALID_HANDLE_VALUE;
  if (above.error != 0) {
    folder.error = above.error;
  } else if ((handle = open_as_entry(root_spelled + below, entry, FILE_LIST_DIRECTORY, kShareAll,
                                     FILE_FLAG_BACKUP_SEMANTICS)) == INVALID_HANDLE_VALUE) {
    folder.error = last_error_or(ERROR_STOPPED_ON_SYMLINK);
  } else {
    folder.resolved = joined(above.resolved, entry->name);
    folder.error = check_resolved_name(handle, folder.resolved);
    if (folder.error == 0) folder.error = list_by_handle(handle, &folder);
    CloseHandle(handle);
  }
  return checked.emplace(below, std::move(folder)).first->second;
}

HANDLE open_below_root(const char* path, DWORD desired_access, DWORD share_mode) {
  const std::string spelled(path);
  std::string folder_below, name;
  if (spelled.size() <= root_spelled.size() ||
      spelled.compare(0, root_spelled.size(), root_spelled) != 0) {
    SetLastError(ERROR_PATH_NOT_FOUND);  // only what lies below the folder is read
    return INVALID_HANDLE_VALUE;
  }
  split_below(spelled.substr(root_spelled.size()), &folder_below, &name);
  const CheckedFolder* folder;
  {
    std::lock_guard<std::mutex> hold(checked_lock);
    folder = &checked_folder(folder_below);
  }
  if (folder->error != 0) {
    SetLastError(folder->error);
    return INVALID_HANDLE_VALUE;
  }
  const Entry* entry = entry_of(*folder, name);
  HANDLE handle = open_as_entry(spelled, entry, desired_access, share_mode, FILE_ATTRIBUTE_NORMAL);
  if (handle == INVALID_HANDLE_VALUE) return handle;
  const DWORD opened = GetLastError();
  const DWORD refusal = check_resolved_name(handle, joined(folder->resolved, entry->name));
  if (refusal != 0) {
    CloseHandle(handle);
    SetLastError(refusal);
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(opened);  // the checks leave no trace on a good open
  return handle;
}

}  // namespace

bool relative_to_deleted_working_folder(const std::string&) { return false; }

void end_for_gone_reader(int status) { ExitProcess(static_cast<UINT>(status)); }

bool working_folder_to_search(std::string* folder, std::string* reason) {
  return current_folder(folder, reason);
}

void take_paths_as_given(const std::string& folder, bool follow_links) {
  if (follow_links) return;
  std::lock_guard<std::mutex> hold(checked_lock);
  checked.clear();
  root_spelled = normalise_folder(folder);
  // The folder itself may be a link: the user named it.
  HANDLE root = CreateFileA(root_spelled.c_str(), FILE_LIST_DIRECTORY, kShareAll, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  // A folder that cannot be opened lists nothing either; the search says why.
  if (root == INVALID_HANDLE_VALUE) return;
  CheckedFolder& top = checked[std::string()];
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(root, &information)) {
    top.error = last_error_or(ERROR_NOT_SUPPORTED);
  } else if (!resolved_name(root, &top.resolved)) {
    top.error = last_error_or(ERROR_NOT_SUPPORTED);
  } else {
    root_volume = information.dwVolumeSerialNumber;
    top.error = list_by_handle(root, &top);
  }
  CloseHandle(root);
  set_file_opener(open_below_root);
}

std::string path_as_spelled(const std::string& below) { return below; }

char path_separator() { return '\\'; }

unsigned processor_count() {
  DWORD_PTR process = 0, system = 0;
  unsigned count = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) {
    for (; process != 0; process &= process - 1) ++count;
  }
  return count != 0 ? count : 1;
}

}  // namespace vintrell
