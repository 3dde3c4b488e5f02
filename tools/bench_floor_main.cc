// The benchmark's floor for vintrell-find.exe under Wine: the least a search of
// one folder can do through Win32. It lists the folder once and, per file,
// opens it, reads it whole with one ReadFile, counts a case-folded text in it
// and closes it. Nothing else: no result lines, no checks of the records.
//
//   vintrell-bench-floor.exe MASK TEXT     e.g. *.PMR smith
//
// Prints the files read and the occurrences found, so that the work cannot be
// left out. Exit code 0, or 2 for a wrong command line.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"

int main(int argc, char** argv) {
  if (argc != 3 || argv[2][0] == '\0') {
    std::fprintf(stderr, "usage: vintrell-bench-floor MASK TEXT\n");
    return 2;
  }
  // The system's own upper case, asked once for all 256 bytes.
  unsigned char fold[256];
  for (int c = 0; c < 256; ++c) fold[c] = static_cast<unsigned char>(c);
  CharUpperBuffA(reinterpret_cast<char*>(fold + 1), 255);
  std::string text = argv[2];
  for (char& c : text) c = static_cast<char>(fold[static_cast<unsigned char>(c)]);

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
      unsigned char* const begin = buffer.data();
      unsigned char* const end = begin + got;
      for (unsigned char* p = begin; p != end; ++p) *p = fold[*p];
      const unsigned char first = static_cast<unsigned char>(text[0]);
      const size_t rest = text.size() - 1;
      for (unsigned char* p = begin;
           (p = static_cast<unsigned char*>(std::memchr(p, first, end - p))) != nullptr;) {
        if (static_cast<size_t>(end - p) > rest &&
            std::memcmp(p + 1, text.data() + 1, rest) == 0) {
          ++found;
          p += text.size();
        } else {
          ++p;
        }
        if (p >= end) break;
      }
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
  }
  std::printf("%ld files, %ld occurrences\n", files, found);
  return 0;
}
