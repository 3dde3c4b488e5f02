// The benchmark's floor for vintrell-find natively: the least a search of one
// folder can do through POSIX. It lists the folder once (readdir, kinds from
// d_type) and, on THREADS threads taking the files in turn, opens each file,
// checks it with fstat, reads it whole, counts a case-folded text in it and
// closes it. Nothing else: no order, no result lines, no checks of the records.
//
//   vintrell-bench-posix-floor SUFFIX TEXT THREADS     e.g. .PML smith 2
//
// Searches the working folder, as the benchmark's other commands do. Prints
// the files read and the occurrences found, so that the work cannot be left
// out. Exit code 0, or 2 for a wrong command line.
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench_count.h"

int main(int argc, char** argv) {
  const int threads = argc == 4 ? std::atoi(argv[3]) : 0;
  if (argc != 4 || argv[2][0] == '\0' || threads < 1 || threads > 64) {
    std::fprintf(stderr, "usage: vintrell-bench-posix-floor SUFFIX TEXT THREADS\n");
    return 2;
  }
  const std::string suffix = argv[1];
  std::string text = argv[2];
  for (char& c : text) c = static_cast<char>(bench::fold(static_cast<unsigned char>(c)));

  std::vector<std::string> names;
  DIR* folder = opendir(".");
  if (folder == nullptr) return 2;
  const int folder_fd = dirfd(folder);
  while (dirent* entry = readdir(folder)) {
    if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN) continue;
    const size_t n = std::strlen(entry->d_name);
    if (n >= suffix.size() &&
        strcasecmp(entry->d_name + n - suffix.size(), suffix.c_str()) == 0) {
      names.emplace_back(entry->d_name);
    }
  }

  std::atomic<size_t> next{0};
  std::atomic<long> files{0}, found{0};
  auto work = [&] {
    std::vector<unsigned char> buffer(64 * 1024);
    long my_files = 0, my_found = 0;
    for (size_t i; (i = next.fetch_add(1)) < names.size();) {
      const int fd = openat(folder_fd, names[i].c_str(), O_RDONLY | O_NOFOLLOW);
      if (fd < 0) continue;
      struct stat st;
      if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        continue;
      }
      if (buffer.size() < static_cast<size_t>(st.st_size) + 1) buffer.resize(st.st_size + 1);
      size_t got = 0;
      for (ssize_t r; (r = read(fd, buffer.data() + got, buffer.size() - got)) > 0;) {
        got += static_cast<size_t>(r);
        if (got < buffer.size()) break;  // a short read: the end
        buffer.resize(buffer.size() * 2);
      }
      close(fd);
      ++my_files;
      my_found += bench::count(buffer.data(), buffer.data() + got, text);
    }
    files += my_files;
    found += my_found;
  };
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  closedir(folder);
  std::printf("%ld files, %ld occurrences\n", files.load(), found.load());
  return 0;
}
