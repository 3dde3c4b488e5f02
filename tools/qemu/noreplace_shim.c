/* Preloaded into the 32-bit Wine loader when i386 programs run under QEMU's
 * user-mode emulator. That emulator (7.2) takes MAP_FIXED_NOREPLACE as a mere
 * hint and places the mapping elsewhere, so Wine's start-up reservation of the
 * address space never succeeds and splits itself down to 64 KiB pieces: some
 * 40,000 slow mmap calls, about a minute of CPU for every Wine process. Here
 * the flag gets its kernel meaning back: the range is checked against the
 * mappings the emulator reports, and a free range is mapped in place. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <sys/mman.h>
#include <sys/types.h>
#include <unistd.h>

#ifndef MAP_FIXED_NOREPLACE
#define MAP_FIXED_NOREPLACE 0x100000
#endif

static int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

/* Whether [start, end) meets any mapping of /proc/self/maps; when the list
 * cannot be read the range counts as taken, which only costs a retry. */
static int range_is_taken(uint64_t start, uint64_t end) {
  static char buffer[1 << 16];
  int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 1;
  int taken = 0, field = 0, at_line_start = 1;
  uint64_t low = 0, high = 0;
  ssize_t n;
  while (!taken && (n = read(fd, buffer, sizeof buffer)) > 0) {
    for (ssize_t i = 0; i < n && !taken; ++i) {
      char c = buffer[i];
      if (c == '\n') {
        at_line_start = 1;
        continue;
      }
      if (at_line_start) {
        at_line_start = 0;
        field = 0;
        low = high = 0;
      }
      if (field > 1) continue;
      int digit = hex_digit(c);
      if (digit >= 0) {
        if (field == 0) low = low * 16 + digit; else high = high * 16 + digit;
      } else if (c == '-' && field == 0) {
        field = 1;
      } else {
        field = 2;
        if (low < end && start < high) taken = 1;
      }
    }
  }
  close(fd);
  return taken || n < 0;
}

typedef void* (*mmap64_fn)(void*, size_t, int, int, int, off64_t);
typedef void* (*mmap_fn)(void*, size_t, int, int, int, off_t);

static int prepare(void* addr, size_t length, int* flags) {
  if (!(*flags & MAP_FIXED_NOREPLACE)) return 0;
  uint64_t start = (uintptr_t)addr;
  if (range_is_taken(start, start + length)) {
    errno = EEXIST;
    return -1;
  }
  *flags = (*flags & ~MAP_FIXED_NOREPLACE) | MAP_FIXED;
  return 0;
}

void* mmap64(void* addr, size_t length, int prot, int flags, int fd, off64_t offset) {
  static mmap64_fn real;
  if (!real) real = (mmap64_fn)dlsym(RTLD_NEXT, "mmap64");
  if (prepare(addr, length, &flags) < 0) return MAP_FAILED;
  return real(addr, length, prot, flags, fd, offset);
}

void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) {
  static mmap_fn real;
  if (!real) real = (mmap_fn)dlsym(RTLD_NEXT, "mmap");
  if (prepare(addr, length, &flags) < 0) return MAP_FAILED;
  return real(addr, length, prot, flags, fd, offset);
}
