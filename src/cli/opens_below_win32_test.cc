// -r's opens on Windows: a file or folder swapped for a link once its folder
// was listed is refused, never read. The links are made by the host (under
// Wine its ln, which Wine shows as the file or folder it names).
#include <string>
#include <vector>

#include "cli/host.h"
#include "platform/win32.h"
#include "runtime/runtime.h"
#include "search/search.h"
#include "services/file_reading.h"
#include "testing/process.h"
#include "testing/temp_folder.h"
#include "testing/test.h"

namespace {

std::string book(const std::string& title, const std::string& records) {
  std::string header = title;
  header.resize(128, '\0');
  return header + records;
}

// The host's own name of `folder`, or "" where the host is no Unix under Wine.
std::string host_name_of(const std::string& folder) {
  using UnixName = char*(__cdecl*)(const wchar_t*);
  auto unix_name = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (unix_name == nullptr) return std::string();
  std::wstring wide(folder.begin(), folder.end());
  char* host = unix_name(wide.c_str());
  if (host == nullptr) return std::string();
  std::string name(host);
  HeapFree(GetProcessHeap(), 0, host);
  return name;
}

// Runs `script` in the host's shell in `folder` (known to the host as
// `host`) and waits until it has run: a host program Wine starts is not
// waited for by its process handle, so the script leaves a mark when done.
bool run_in_host_shell(const testing::TempFolder& folder, const std::string& host,
                       const std::string& script) {
  const std::string mark = folder.join("host-shell.done");
  DeleteFileA(mark.c_str());
  testing::run_program("Z:\\bin\\sh",
                       {"-c", "cd '" + host + "' && " + script + "; touch host-shell.done"});
  for (int waited = 0; waited < 2000; ++waited) {
    if (GetFileAttributesA(mark.c_str()) != INVALID_FILE_ATTRIBUTES) return DeleteFileA(mark.c_str());
    Sleep(10);
  }
  return false;
}

// The book's scan as -r makes it: its result line, or "" and the error.
std::string scan(const std::string& root, const std::string& below, int* error) {
  vintrell::ProcedureFrame frame;
  vintrell::SearchRequest request =
      vintrell::make_search_request(root, "jones", vintrell::SearchKind::kAddressBooks, false);
  vintrell::ListedFile file;
  file.name = below;
  vintrell::ScanOutcome outcome = vintrell::scan_listed_file(request, file, vintrell::ScanWants());
  *error = outcome.read_error;
  return outcome.line ? *outcome.line : std::string();
}

}  // namespace

TEST(WindowsRecursiveOpens, AFileOrFolderSwappedForALinkSinceTheListingIsRefused) {
  struct Case {
    const char* swap;    // run by the host's shell in the tree's folder
    const char* first;   // opened before the swap: its folder is listed then
    const char* opened;  // after the swap
    const char* line;    // what the scan of `opened` gives ("" for none)
    int error;
  } cases[] = {
      {"mv MAIL/ann/A.PMR A.away && ln -s ../../outside/A.PMR MAIL/ann/A.PMR", "ann\\B.PMR",
       "ann\\A.PMR", "", vintrell::kLinkNotFollowed},
      {"mv MAIL/bob bob.away && ln -s ../outside/sub MAIL/bob", "TOP.PMR", "bob\\V.PMR", "",
       vintrell::kLinkNotFollowed},
      {"mv MAIL/carl carl.away && ln -s ../outside/sub MAIL/carl", "carl\\V.PMR", "carl\\V.PMR", "",
       vintrell::kLinkNotFollowed},
      // Saved by writing a new file and renaming it over the old one: another
      // file, but the one the folder holds now. Its folder needs more than one
      // listing call.
      {"cp MAIL/ann/A.PMR n && mv n MAIL/ann/A.PMR && cp MAIL/ann/B.PMR MAIL/ann/NEW.PMR",
       "ann\\B.PMR", "ann\\NEW.PMR", "Bee ( 1 occurences)", 0},
      {"cp MAIL/ann/A.PMR n && mv n MAIL/ann/A.PMR", "ann\\B.PMR", "ann\\A.PMR",
       "Ann ( 1 occurences)", 0},
  };
  struct Reset {
    ~Reset() { vintrell::take_paths_as_given(std::string(), true); }
  } reset;
  for (const Case& c : cases) {
    testing::TempFolder base;
    base.write("MAIL\\TOP.PMR", book("Top", "jones"));
    base.write("MAIL\\ann\\A.PMR", book("Ann", "jones"));
    base.write("MAIL\\ann\\B.PMR", book("Bee", "jones"));
    base.write("MAIL\\bob\\V.PMR", book("Bob", "jones"));
    base.write("MAIL\\carl\\V.PMR", book("Carl", "jones"));
    base.write("outside\\A.PMR", book("Secret", "jones"));
    base.write("outside\\sub\\V.PMR", book("Secret", "jones"));
    if (c.error == 0) {
      for (int i = 0; i < 700; ++i) base.write("MAIL\\ann\\F" + std::to_string(i) + ".PMR", "");
    }
    const std::string host = host_name_of(base.path());
    if (host.empty()) SKIP_TEST("no host shell to make links with (not under Wine)");
    const std::string root = base.join("MAIL");
    vintrell::take_paths_as_given(root, false);
    int error = 0;
    EXPECT_TRUE(scan(root, c.first, &error).find(" ( 1 occurences)") != std::string::npos);
    EXPECT_EQ(error, 0);
    ASSERT_TRUE(run_in_host_shell(base, host, c.swap));
    const std::string line = scan(root, c.opened, &error);
    EXPECT_EQ(line, std::string(c.line));
    EXPECT_EQ(error, c.error);
    if (line != c.line) ADD_FAILURE(std::string("for ") + c.opened + " after: " + c.swap);
    if (c.error != 0) {
      // Where links are followed (no -r) the same path reads the outside book.
      vintrell::take_paths_as_given(root, true);
      EXPECT_EQ(scan(root, c.opened, &error), std::string("Secret ( 1 occurences)"));
    }
    // The test folder goes with the host's links removed by the host, as the
    // platform's own calls would see folders and files there.
    run_in_host_shell(base, host, "find MAIL -type l -delete");
  }
}
