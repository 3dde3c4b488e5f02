// The benchmark's floor for vintrell-find.exe under Wine: the least a search of
// one folder can do through Win32. It lists the folder once and, per file,
// opens it, reads it whole with one ReadFile, counts a case-folded text in it
// and closes it. Nothing else: no result lines, no checks of the records.
//
//   vintrell-bench-floor.exe MASK TEXT     e.g. *.PMR smith
//
// The fold is ASCII's (a-z as A-Z), which the benchmark's texts need. Prints
// the files read and the occurrences found, so that the work cannot be left
// out. Exit code 0, or 2 for a wrong command line.
#include <cstdio>
#include <string>
#include <vector>

#include "bench_count.h"
#include "platform/win32.h"

using bench::count;
using bench::fold;

int main(int argc, char** argv) {
  if (argc != 3 || argv[2][0] == '\0') {
    std::fprintf(stderr, "usage: vintrell-bench-floor MASK TEXT\n");
    return 2;
  }
  std::string text = argv[2];
  for (char& c : text) c = static_cast<char>(fold(static_cast<unsigned char>(c)));

  long files = 0, found = 0;
  std::vector<unsigned char> buffer;
  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstFileA(argv[1], &entry);
  if (listing != INVALID_HANDLE_VALUE) {
    do {
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      HANDLE file = CreateFileA(entry.cFileName, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
      if (file == INVALID_HANDLE_VALUE) continue;
      // The listing gives the size; one read takes it all.
      const DWORD size = entry.nFileSizeLow;
      if (buffer.size() < size + 1) buffer.resize(size + 1);
      DWORD got = 0;
      if (!ReadFile(file, buffer.data(), size, &got, nullptr)) got = 0;
      CloseHandle(file);
      ++files;
      found += count(buffer.data(), buffer.data() + got, text);
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
  }
  std::printf("%ld files, %ld occurrences\n", files, found);
  return 0;
}
