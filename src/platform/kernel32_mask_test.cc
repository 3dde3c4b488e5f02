// The directory search's wildcard matching against a plain matcher written from
// its rules, on a few hundred masks drawn from a small alphabet. Under Wine this
// pins the rules to the real Win32; natively it holds the layer to them.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "testing/temp_folder.h"
#include "testing/test.h"

namespace {

// The upper-case partner of a letter of code page 1252 in a file name.
char fold(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) {
    return static_cast<char>(u - 0x20);
  }
  return c;
}

// `*` any run, `?` one character, anything else itself in either case; once the
// name is used up, the rest of the mask may hold only `*` and `.`.
bool matches(const std::string& mask, size_t i, const std::string& name, size_t j) {
  if (j == name.size()) return mask.find_first_not_of("*.", i) == std::string::npos;
  if (i == mask.size()) return false;
  if (mask[i] == '*') return matches(mask, i + 1, name, j) || matches(mask, i, name, j + 1);
  if (mask[i] != '?' && fold(mask[i]) != fold(name[j])) return false;
  return matches(mask, i + 1, name, j + 1);
}

std::set<std::string> found(const std::string& mask) {
  std::set<std::string> names;
  WIN32_FIND_DATAA entry;
  HANDLE handle = FindFirstFileA(mask.c_str(), &entry);
  if (handle == INVALID_HANDLE_VALUE) return names;
  do {
    names.insert(entry.cFileName);
  } while (FindNextFileA(handle, &entry));
  FindClose(handle);
  return names;
}

std::string joined(const std::set<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += "[" + name + "]";
  return out;
}

}  // namespace

TEST(WildcardMasks, AgreeWithThePlainRules) {
  testing::TempFolder folder;
  // Names that are 8.3 names already, so that no alternate name takes part (Wine
  // gives one to a name with a letter above 0x7F: "\xE9" is also "_~~~~2TG").
  const std::vector<std::string> names = {"a",   "b",     "ab",   "ba",   "aab",
                                          "a.b", "b.a",   "ab.ab", "aa.b", "bbbbbbbb.aaa"};
  for (const std::string& name : names) folder.write(name, "");
  std::vector<std::string> entries = names;
  entries.push_back(".");
  entries.push_back("..");

  // Masks shaped as people write them: a base of letters and `?`, perhaps a `*`,
  // perhaps a dot and an extension of letters and `?`, perhaps another `*`.
  // (Wine 8.0 gives up too early where a `*` is followed by a `?`, or by text
  // that the star's first stop does not match: "*?" finds nothing there, where
  // Windows finds every name. The layer keeps the Windows rule, and these masks
  // stay clear of that difference.)
  const char base_alphabet[] = {'a', 'b', 'A', '\xC9', '?'};
  const char extension_alphabet[] = {'a', 'b', 'B', '?'};
  uint32_t seed = 2024;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
  int compared = 0;
  for (int round = 0; round < 600; ++round) {
    std::string mask;
    for (uint32_t n = next() % 5; n > 0; --n) mask += base_alphabet[next() % sizeof base_alphabet];
    if (next() % 2) mask += '*';
    if (next() % 3) {
      mask += '.';
      for (uint32_t n = next() % 4; n > 0; --n) {
        mask += extension_alphabet[next() % sizeof extension_alphabet];
      }
      if (next() % 3 == 0) mask += '*';
    }
    // A mask without wildcards names one entry and is tidied first: not this test.
    if (mask.find_first_of("*?") == std::string::npos) continue;
    // The search drops a mask's trailing dots before matching: "?." is "?".
    std::string tidied = mask.substr(0, mask.find_last_not_of('.') + 1);
    std::set<std::string> wanted;
    for (const std::string& entry : entries) {
      if (matches(tidied, 0, entry, 0)) wanted.insert(entry);
    }
    ++compared;
    if (!EXPECT_EQ(joined(found(folder.join(mask))), joined(wanted))) ADD_FAILURE("mask " + mask);
  }
  EXPECT_TRUE(compared > 300);
}
