#include "services/listed_entry.h"

namespace vintrell {

// Natively the names are the file system's bytes, which open the same file.
HANDLE find_first_entry(const char* mask, ListedEntry* entry) {
  entry->exact = true;
  return FindFirstFileA(mask, &entry->data);
}

BOOL find_next_entry(HANDLE search, ListedEntry* entry) {
  entry->exact = true;
  return FindNextFileA(search, &entry->data);
}

}  // namespace vintrell
