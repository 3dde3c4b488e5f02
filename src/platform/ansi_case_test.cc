// Names that differ only in the case of a letter of the ANSI code page, above
// 0x7F as below, name the same file: the directory search and the opening fold
// both sides, and a listing sorts by the folded characters. Pinned under Wine
// 8.0 (code page 1252).
#include <string>

#include "platform/win32.h"
#include "testing/temp_folder.h"
#include "testing/test.h"

namespace {

// Every name a search delivers, each in brackets, or the error it ended with.
std::string names_found(const std::string& mask) {
  WIN32_FIND_DATAA entry;
  HANDLE handle = FindFirstFileA(mask.c_str(), &entry);
  if (handle == INVALID_HANDLE_VALUE) return "error " + std::to_string(GetLastError());
  std::string names;
  do {
    names += "[" + std::string(entry.cFileName) + "]";
  } while (FindNextFileA(handle, &entry));
  FindClose(handle);
  return names;
}

bool opens(const std::string& path) {
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

class AnsiCaseTest : public testing::Test {
 protected:
  AnsiCaseTest() {
    // été, ša, ÿ; then ×, µ, ß and 0x81, which have no partner in this code page.
    for (const char* name : {"\xE9t\xE9.PMR", "\x9A" "a.PML", "\xFF.PML", "\xD7.PML", "\xB5.PML",
                             "\xDF.PML", "\x81.PML"}) {
      HANDLE handle = CreateFileA(folder.join(name).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
  }
  testing::TempFolder folder;
};

}  // namespace

TEST_F(AnsiCaseTest, LettersAboveAsciiMatchInEitherCase) {
  EXPECT_EQ(names_found(folder.join("\xC9T\xC9.pmr")), std::string("[\xE9t\xE9.PMR]"));
  EXPECT_EQ(names_found(folder.join("\xC9*")), std::string("[\xE9t\xE9.PMR]"));
  EXPECT_EQ(names_found(folder.join("\x8A" "A.PML")), std::string("[\x9A" "a.PML]"));
  EXPECT_EQ(names_found(folder.join("\x9F.pml")), std::string("[\xFF.PML]"));
  EXPECT_TRUE(opens(folder.join("\xC9T\xC9.PMR")));
  EXPECT_TRUE(opens(folder.join("\x8A" "A.pml")));
}

TEST_F(AnsiCaseTest, SignsAndLettersWithoutAPartnerMatchOnlyThemselves) {
  EXPECT_EQ(names_found(folder.join("\xF7.PML")), std::string("error 2"));  // ÷ is not ×
  EXPECT_EQ(names_found(folder.join("\xD7.PML")), std::string("[\xD7.PML]"));
  // The program's own upper-case table maps 0x81 to 0x9A; file names do not.
  EXPECT_EQ(names_found(folder.join("\x9A.PML")), std::string("error 2"));
  EXPECT_EQ(names_found(folder.join("\xB5.pml")), std::string("[\xB5.PML]"));
  EXPECT_EQ(names_found(folder.join("\xDF.pml")), std::string("[\xDF.PML]"));
  EXPECT_FALSE(opens(folder.join("\xF7.PML")));
}

TEST(AnsiCaseOrder, ListingSortsByTheFoldedCharacter) {
  testing::TempFolder folder;
  for (const char* name : {"Z", "\xE9", "\x8A", "a", "\xC0" "b", "\x9F", "\xFF" "x", "_", "\xB5",
                           "\xD7", "~", "\x80", "\x81"}) {
    HANDLE handle = CreateFileA(folder.join(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  // As characters: U+0081 < U+00B5 < U+00C0 < U+00C9 < U+00D7 < U+0160 (0x8A)
  // < U+0178 (0x9F, and 0xFF folded) < U+20AC (0x80, the euro sign).
  EXPECT_EQ(names_found(folder.join("*")),
            std::string("[.][..][a][Z][_][~][\x81][\xB5][\xC0" "b][\xE9][\xD7][\x8A][\x9F]"
                        "[\xFF" "x][\x80]"));
}
