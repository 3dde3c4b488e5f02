// Checks the built Windows program files as a user's Windows sees them: each
// carries the project's version in its version resource and an application
// manifest (asInvoker, the supported Windows versions, system DPI awareness, no
// Common-Controls 6) that the system's loader reads so; vintrell-find.exe
// --version prints the same version; a started vintrell.exe shows it in its
// dialog.
//
//   vintrell-release-check.exe VERSION VINTRELL.EXE VINTRELL-FIND.EXE
//
// Prints one line per check, then "N passed, N failed, 0 skipped"; exit code 0
// when every check passed.
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include <windows.h>

#include "app/maker.h"
#include "testing/drivers/checks.h"
#include "testing/top_window.h"

namespace {

using driver::check;
using driver::check_text;
using driver::kCaption;
using driver::kPatienceMilliseconds;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// ctest hands over host paths; Wine shows the host's root as drive Z:.
std::string windows_path(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

// "1.2.3" or "1.2.3.4" as the four 16-bit numbers of a version resource.
bool version_numbers(const std::string& text, WORD numbers[4]) {
  unsigned parts[4] = {0, 0, 0, 0};
  int read = std::sscanf(text.c_str(), "%u.%u.%u.%u", &parts[0], &parts[1], &parts[2], &parts[3]);
  if (read < 3) return false;
  for (int i = 0; i < 4; ++i) numbers[i] = static_cast<WORD>(parts[i]);
  return true;
}

// ---- what the files carry ------------------------------------------------------------

std::string version_string(const std::vector<char>& info, const char* name) {
  std::string key = std::string("\\StringFileInfo\\040904E4\\") + name;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(info.data(), key.c_str(), &value, &length) || value == nullptr) {
    return "(missing)";
  }
  return std::string(static_cast<const char*>(value));
}

void check_version_resource(const std::string& exe, const std::string& file_name,
                            const std::string& version) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
  std::vector<char> info(size);
  bool read = size != 0 && GetFileVersionInfoA(exe.c_str(), 0, size, info.data());
  check(read, file_name + ": carries a version resource");
  if (!read) return;

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  WORD wanted[4] = {0, 0, 0, 0};
  bool have_fixed = VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) &&
                    fixed != nullptr && length >= sizeof *fixed;
  bool parsed = version_numbers(version, wanted);
  check(parsed, "the version " + version + " has three or four numbers");
  if (have_fixed && parsed) {
    DWORD ms = static_cast<DWORD>(wanted[0]) << 16 | wanted[1];
    DWORD ls = static_cast<DWORD>(wanted[2]) << 16 | wanted[3];
    char seen[64];
    std::snprintf(seen, sizeof seen, "%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS),
                  LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                  LOWORD(fixed->dwFileVersionLS));
    check(fixed->dwFileVersionMS == ms && fixed->dwFileVersionLS == ls &&
              fixed->dwProductVersionMS == ms && fixed->dwProductVersionLS == ls,
          file_name + ": the file and product version numbers are " + version, seen);
  } else {
    check(false, file_name + ": the version resource has its fixed part");
  }
  check_text(version_string(info, "FileVersion"), version, file_name + ": FileVersion");
  check_text(version_string(info, "ProductVersion"), version, file_name + ": ProductVersion");
  check_text(version_string(info, "OriginalFilename"), file_name, file_name + ": OriginalFilename");
  check_text(version_string(info, "LegalCopyright"), VINTRELL_COPYRIGHT_LINE,
             file_name + ": LegalCopyright");
}

std::string manifest_of(const std::string& exe) {
  HMODULE image = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (image == nullptr) return std::string();
  std::string text;
  // CREATEPROCESS_MANIFEST_RESOURCE_ID: the one the loader reads at start.
  HRSRC found = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  HGLOBAL loaded = found != nullptr ? LoadResource(image, found) : nullptr;
  const char* bytes = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (bytes != nullptr) text.assign(bytes, SizeofResource(image, found));
  FreeLibrary(image);
  return text;
}

void check_manifest(const std::string& exe, const std::string& file_name,
                    const std::string& version) {
  std::string manifest = manifest_of(exe);
  check(!manifest.empty(), file_name + ": carries an application manifest");
  if (manifest.empty()) return;
  struct Part {
    const char* text;
    bool present;
    const char* meaning;
  };
  const Part parts[] = {
      {"<requestedExecutionLevel level=\"asInvoker\"", true, "runs as invoker"},
      {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", true, "supports Windows Vista"},
      {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", true, "supports Windows 7"},
      {"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", true, "supports Windows 8"},
      {"{1f676c76-80e1-4239-95bb-83d0f6d0da78}", true, "supports Windows 8.1"},
      {"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", true, "supports Windows 10 and 11"},
      {"<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>",
       true, "is system DPI aware"},
      {"dpiAwareness", false, "asks for no per-monitor awareness"},
      {"Microsoft.Windows.Common-Controls", false, "has no visual-styles dependency"},
      {"<dependency", false, "depends on no other assembly"},
  };
  for (const Part& part : parts) {
    check(contains(manifest, part.text) == part.present, file_name + ": the manifest " + part.meaning);
  }
  WORD numbers[4] = {0, 0, 0, 0};
  version_numbers(version, numbers);
  char identity[64];
  std::snprintf(identity, sizeof identity, "version=\"%u.%u.%u.%u\"", numbers[0], numbers[1],
                numbers[2], numbers[3]);
  check(contains(manifest, identity), file_name + ": the manifest's identity has " + identity);
}

// ---- what the programs do ------------------------------------------------------------

// Runs `command_line` with its standard output in a pipe; the output, or
// "(did not run)".
std::string output_of(const std::string& exe, const std::string& command_line) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return "(did not run)";
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write_end;
  startup.hStdError = write_end;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION info = {};
  std::vector<char> line(command_line.begin(), command_line.end());
  line.push_back('\0');
  BOOL started = CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                nullptr, &startup, &info);
  CloseHandle(write_end);
  std::string output = started ? std::string() : "(did not run)";
  char buffer[4096];
  DWORD got = 0;
  while (started && ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    output.append(buffer, got);
  }
  CloseHandle(read_end);
  if (started) {
    WaitForSingleObject(info.hProcess, kPatienceMilliseconds);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
  return output;
}

BOOL CALLBACK look_for_version_label(HWND window, LPARAM param) {
  std::string* label = reinterpret_cast<std::string*>(param);
  char text[256] = "";
  GetWindowTextA(window, text, sizeof text);
  if (std::strncmp(text, "Version ", 8) != 0) return TRUE;
  *label = text;
  return FALSE;
}

HWND wait_for_dialog(DWORD process) {
  for (DWORD waited = 0; waited < kPatienceMilliseconds; waited += 20) {
    if (HWND dialog = testing::visible_window_of(process, kCaption)) return dialog;
    Sleep(20);
  }
  return nullptr;
}

// How the system's loader reads a program's manifest: an activation context made
// from the file's manifest resource, the same parse that decides the process's
// DPI awareness and run level when the program starts. (A window's own awareness
// cannot be asked under Wine 8: measured, it answers "per monitor" for the
// windows of every process, with a manifest or without.)
void check_loader_reading(const std::string& exe, const std::string& file_name) {
  ACTCTXA request = {};
  request.cbSize = sizeof request;
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.lpSource = exe.c_str();
  request.lpResourceName = MAKEINTRESOURCEA(1);
  HANDLE context = CreateActCtxA(&request);
  check(context != INVALID_HANDLE_VALUE, file_name + ": the loader accepts the manifest");
  if (context == INVALID_HANDLE_VALUE) return;

  typedef BOOL(WINAPI * QuerySettingsCall)(DWORD, HANDLE, const wchar_t*, const wchar_t*,
                                           wchar_t*, SIZE_T, SIZE_T*);
  auto query_settings = reinterpret_cast<QuerySettingsCall>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryActCtxSettingsW")));
  wchar_t value[64] = L"";
  SIZE_T length = 0;
  bool read = query_settings != nullptr &&
              query_settings(0, context, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings",
                             L"dpiAware", value, sizeof value / sizeof value[0], &length);
  check(read && std::wcscmp(value, L"true") == 0,
        file_name + ": the loader reads dpiAware true (system DPI aware)");

  ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION run_level = {};
  SIZE_T written = 0;
  bool have_level = QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext,
                                 &run_level, sizeof run_level, &written);
  check(have_level && run_level.RunLevel == ACTCTX_RUN_LEVEL_AS_INVOKER,
        file_name + ": the loader reads the run level asInvoker",
        have_level ? "run level " + std::to_string(run_level.RunLevel) : "not read");
  ReleaseActCtx(context);
}

void check_dialog(const std::string& exe, const std::string& version) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  std::string command_line = "\"" + exe + "\"";
  std::vector<char> line(command_line.begin(), command_line.end());
  line.push_back('\0');
  bool started = CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, &startup, &info) != 0;
  check(started, "vintrell.exe starts");
  if (!started) return;
  HWND dialog = wait_for_dialog(info.dwProcessId);
  check(dialog != nullptr, "vintrell.exe shows its dialog");
  if (dialog != nullptr) {
    std::string label = "(none)";
    EnumChildWindows(dialog, look_for_version_label, reinterpret_cast<LPARAM>(&label));
    check_text(label, "Version " + version, "the dialog's version label");
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  }
  DWORD code = 99;
  if (WaitForSingleObject(info.hProcess, kPatienceMilliseconds) != WAIT_OBJECT_0) {
    TerminateProcess(info.hProcess, 99);
  }
  GetExitCodeProcess(info.hProcess, &code);
  check(code == 0, "vintrell.exe ends with exit code 0 when closed");
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: vintrell-release-check VERSION VINTRELL.EXE VINTRELL-FIND.EXE\n");
    return 2;
  }
  const std::string version = argv[1];
  const std::string program = windows_path(argv[2]);
  const std::string find = windows_path(argv[3]);

  check_version_resource(program, "vintrell.exe", version);
  check_version_resource(find, "vintrell-find.exe", version);
  check_manifest(program, "vintrell.exe", version);
  check_manifest(find, "vintrell-find.exe", version);
  check_loader_reading(program, "vintrell.exe");
  check_loader_reading(find, "vintrell-find.exe");
  check_text(output_of(find, "vintrell-find --version"), "vintrell-find " + version + "\n",
             "vintrell-find.exe --version");
  check_dialog(program, version);

  return driver::finish();
}
