#include "services/folder_listing.h"

#include <cstring>

#include "platform/win32.h"
#include "runtime/runtime.h"
#include "services/listed_entry.h"
#include "services/text.h"

namespace vintrell {
namespace {

constexpr size_t kMaskLimit = kListMaskLimit;
constexpr uint32_t kFilteredAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                         FILE_ATTRIBUTE_DIRECTORY;

struct ListingState {
  // The open search, kept on purpose until the next listing starts: the
  // program's rules close it only then, and never at exit.
  HANDLE search = nullptr;
  uint32_t attribute_mask = 0;
  ListedEntry last_entry;
  bool last_exact = true;  // of the name handed back last
};

ListingState& listing() {
  static ListingState state;
  return state;
}

bool accepted(const ListedEntry& listed, uint32_t attribute_mask) {
  const WIN32_FIND_DATAA& entry = listed.data;
  if ((entry.dwFileAttributes & kFilteredAttributes & ~attribute_mask) != 0) return false;
  return std::strcmp(entry.cFileName, ".") != 0 && std::strcmp(entry.cFileName, "..") != 0;
}

// From the entry just fetched (when `have_entry`) on: the first one the filter
// accepts, fetching further ones as needed. Clears the run-time error, since a
// directory entry was asked for, and returns the accepted name or "".
std::string first_accepted(bool have_entry) {
  ListingState& state = listing();
  while (have_entry && !accepted(state.last_entry, state.attribute_mask)) {
    PlatformOutcome outcome;
    guarded_platform_call(&outcome, [&] { return find_next_entry(state.search, &state.last_entry); });
    have_entry = !outcome.failed();
  }
  clear_run_time_error();
  state.last_exact = true;
  if (!have_entry) return std::string();
  state.last_exact = state.last_entry.exact;
  const char* name = state.last_entry.data.cFileName;
  size_t n = strnlen(name, sizeof state.last_entry.data.cFileName);
  std::string result;
  if (!obtain_string_storage(&result, n)) {
    set_error(kErrorOutOfMemory);
    return std::string();
  }
  if (n != 0) std::memcpy(&result[0], name, n);
  return result;
}

// `list next match` from its second step, under the run-time lock.
std::string continue_listing() {
  ListingState& state = listing();
  if (state.search == nullptr) return std::string();
  PlatformOutcome outcome;
  guarded_platform_call(&outcome, [&] { return find_next_entry(state.search, &state.last_entry); });
  return first_accepted(!outcome.failed());
}

}  // namespace

std::string list_first_match(const std::string& mask, int32_t attribute_mask) {
  SpinLockHold hold(runtime_state().run_time_lock);
  if (mask.empty()) return continue_listing();
  ListingState& state = listing();
  if (state.search != nullptr) {
    PlatformOutcome ignored;
    guarded_platform_call(&ignored, [&] { return FindClose(state.search); });
    state.search = nullptr;
  }
  // The mask as the platform sees it (up to a NUL), on the stack, so that only
  // the name handed back needs storage.
  char pattern[kMaskLimit + sizeof "*.*"];
  const size_t n = strnlen(mask.data(), mask.size() < kMaskLimit ? mask.size() : kMaskLimit);
  if (n != 0) std::memcpy(pattern, mask.data(), n);
  pattern[n] = '\0';
  if (n != 0 && (pattern[n - 1] == ':' || pattern[n - 1] == '\\')) {
    std::memcpy(pattern + n, "*.*", sizeof "*.*");
  }
  PlatformOutcome outcome;
  HANDLE search = guarded_platform_call(
      &outcome, [&] { return find_first_entry(pattern, &state.last_entry); });
  // FindFirstFileA is judged by its handle, not by the last error.
  if (search == INVALID_HANDLE_VALUE) {
    state.last_exact = true;
    clear_run_time_error();
    return std::string();
  }
  state.search = search;
  state.attribute_mask = static_cast<uint32_t>(attribute_mask) & kFilteredAttributes;
  return first_accepted(true);
}

std::string list_next_match() {
  SpinLockHold hold(runtime_state().run_time_lock);
  return continue_listing();
}

bool list_match_exact() {
  SpinLockHold hold(runtime_state().run_time_lock);
  return listing().last_exact;
}

uint32_t list_entries(const std::string& mask, const std::function<void(const ListedEntry&)>& each) {
  ProcedureFrame frame;
  ListedEntry entry;
  PlatformOutcome outcome;
  HANDLE search = guarded_platform_call(&outcome, [&] { return find_first_entry(mask.c_str(), &entry); });
  if (search == INVALID_HANDLE_VALUE) return outcome.code != 0 ? outcome.code : ERROR_FILE_NOT_FOUND;
  do {
    each(entry);
  } while (guarded_platform_call(&outcome, [&] { return find_next_entry(search, &entry); }));
  PlatformOutcome ignored;
  guarded_platform_call(&ignored, [&] { return FindClose(search); });
  return 0;
}

}  // namespace vintrell
