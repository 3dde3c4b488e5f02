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
#include <emmintrin.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace {

unsigned char fold(unsigned char c) { return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c; }

// The non-overlapping occurrences of `text` (upper case) in [begin, end),
// letters folded: sixteen bytes at a time for either case of the first byte,
// each candidate then checked byte by byte.
long count(const unsigned char* begin, const unsigned char* end, const std::string& text) {
  const size_t n = text.size();
  const unsigned char* t = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char lower = t[0] >= 'A' && t[0] <= 'Z' ? t[0] + ('a' - 'A') : t[0];
  const __m128i upper16 = _mm_set1_epi8(static_cast<char>(t[0]));
  const __m128i lower16 = _mm_set1_epi8(static_cast<char>(lower));
  long found = 0;
  const unsigned char* next = begin;  // no match may start before this
  auto check = [&](const unsigned char* p) {
    if (p < next || static_cast<size_t>(end - p) < n) return;
    for (size_t i = 1; i < n; ++i) {
      if (fold(p[i]) != t[i]) return;
    }
    ++found;
    next = p + n;
  };
  const unsigned char* p = begin;
  for (; end - p >= 16; p += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(v, upper16), _mm_cmpeq_epi8(v, lower16))));
    for (; mask != 0; mask &= mask - 1) check(p + __builtin_ctz(mask));
  }
  for (; p < end; ++p) {
    if (*p == t[0] || *p == lower) check(p);
  }
  return found;
}

}  // namespace

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
