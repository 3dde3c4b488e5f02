// A folder listing's entries under names the ANSI file calls open exactly. On
// Windows a name the ANSI code page cannot hold is listed by the system under
// a best-fit look-alike ("Łodz" as "Lodz"), which opens another file or none;
// these calls give the short name instead, or say that no ANSI name opens it.
#ifndef VINTRELL_SERVICES_LISTED_ENTRY_H_
#define VINTRELL_SERVICES_LISTED_ENTRY_H_

#include <string>

#include "platform/win32.h"

namespace vintrell {

struct ListedEntry {
  // As FindFirstFileA fills it; cFileName is the name to open the entry by.
  WIN32_FIND_DATAA data;
  // False when no ANSI name opens the entry: cFileName then shows the name
  // with '?' for what the code page lacks, for messages only.
  bool exact = true;
};

// FindFirstFileA and FindNextFileA, answering and failing as they do, with
// the names made exact as above.
HANDLE find_first_entry(const char* mask, ListedEntry* entry);
BOOL find_next_entry(HANDLE search, ListedEntry* entry);

// The name the ANSI calls open an entry by, from its long and short names as
// the system lists them (UTF-16): the long name when the code page holds it
// exactly, else the short name when it has one. False when neither serves;
// `name` then holds the long name with '?' for what the code page lacks.
// Windows only: natively names are bytes and always exact.
bool exact_ansi_name(const std::wstring& long_name, const std::wstring& short_name,
                     std::string* name);

}  // namespace vintrell

#endif  // VINTRELL_SERVICES_LISTED_ENTRY_H_
