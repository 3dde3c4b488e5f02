// Names outside the ANSI code page on Windows: "Łodz" must never be read as its
// look-alike "Lodz". The files are made with the wide calls, as a user's are.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "services/listed_entry.h"
#include "testing/process.h"
#include "testing/temp_folder.h"
#include "testing/test.h"

namespace {

std::wstring wide(const std::string& ansi) {
  std::wstring out(ansi.size() + 1, L'\0');
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, &out[0], static_cast<int>(out.size()));
  out.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
  return out;
}

bool write_wide(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return written == bytes.size();
}

std::string book(const std::string& title, const std::string& records) {
  std::string header = title;
  header.resize(128, '\0');
  return header + records;
}

testing::ProcessResult find(const std::vector<std::string>& args) {
  return testing::run_program(testing::program_beside_this_one("vintrell-find"), args);
}

const wchar_t kLodzWithStroke[] = L"\x0141odz";  // Łodz: not in code page 1252

}  // namespace

TEST(WindowsNames, ANameTheCodePageCannotSpellIsNeverReadAsItsLookAlike) {
  if (GetACP() != 1252) SKIP_TEST("measured for ANSI code page 1252");
  testing::TempFolder folder;
  const std::wstring base = wide(folder.path()) + L"\\";
  ASSERT_TRUE(write_wide(base + kLodzWithStroke + L".PMR", book("Staff", "smith")));
  ASSERT_TRUE(write_wide(base + L"Lodz.PMR", book("Club members", "smith")));
  ASSERT_TRUE(CreateDirectoryW((base + kLodzWithStroke).c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((base + L"Lodz").c_str(), nullptr));
  ASSERT_TRUE(write_wide(base + kLodzWithStroke + L"\\A.PMR", book("North", "jones")));
  ASSERT_TRUE(write_wide(base + L"Lodz\\A.PMR", book("South", "jones")));
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::vector<std::string> lines;  // one of each: the order of the short names is Wine's
    std::string summary;
  };
  const std::vector<Case> cases = {
      {{"-d", folder.path(), "club"}, 0, {"Club members ( 1 occurences)"},
       "Text found in  1 out of  2 Address Books"},
      {{"-d", folder.path(), "staff"}, 0, {"Staff ( 1 occurences)"},
       "Text found in  1 out of  2 Address Books"},
      {{"-r", "--no-filename", "-d", folder.path(), "jones"}, 0,
       {"North ( 1 occurences)", "South ( 1 occurences)"},
       "Text found in  2 out of  4 Address Books"},
  };
  for (const Case& c : cases) {
    testing::ProcessResult run = find(c.args);
    EXPECT_EQ(run.exit_code, c.exit_code);
    std::vector<std::string> lines;
    for (size_t at = 0; at < run.out.size();) {
      size_t end = run.out.find('\n', at);
      if (end == std::string::npos) end = run.out.size();
      lines.push_back(run.out.substr(at, end - at));
      at = end + 1;
    }
    ASSERT_EQ(lines.size(), c.lines.size() + 1);
    EXPECT_EQ(lines.back(), c.summary);
    lines.pop_back();
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines == c.lines, true);
    EXPECT_EQ(run.err, std::string());
  }
}

TEST(WindowsNames, TheExactNameIsTheLongOneTheShortOneOrNone) {
  if (GetACP() != 1252) SKIP_TEST("measured for ANSI code page 1252");
  struct Case {
    std::wstring long_name, short_name;
    bool exact;
    std::string name;
  };
  const std::vector<Case> cases = {
      {L"Lodz.PMR", L"", true, "Lodz.PMR"},
      {L"M\x00FCller.PMR", L"MLLER~1.PMR", true, "M\xFCller.PMR"},  // ü is in the code page
      {std::wstring(kLodzWithStroke) + L".PMR", L"ODZ~1.PMR", true, "ODZ~1.PMR"},
      {std::wstring(kLodzWithStroke) + L".PMR", L"", false, "?odz.PMR"},
      {L"\x041C\x043E\x0441\x043A\x0432\x0430.PMR", L"", false, "??????.PMR"},  // Москва
  };
  for (const Case& c : cases) {
    std::string name;
    EXPECT_EQ(vintrell::exact_ansi_name(c.long_name, c.short_name, &name), c.exact);
    EXPECT_EQ(name, c.name);
  }
}
