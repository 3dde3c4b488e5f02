// vintrell-mailgen: writes a sample mail folder made by the mail generator.
//   vintrell-mailgen [--seed N] [--books N] [--lists N] [--records N] [--entries N] FOLDER
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "mail_generator.h"

namespace {

const char kUsage[] =
    "usage: vintrell-mailgen [--seed N] [--books N] [--lists N] [--records N] "
    "[--entries N] FOLDER\n"
    "  --books N    address books (*.PMR) to write (default 5)\n"
    "  --lists N    distribution lists (*.PML) to write (default 5)\n"
    "  --records N  average records per address book (default 20)\n"
    "  --entries N  average entries per distribution list (default 12)\n"
    "  --seed N     the same seed writes the same bytes (default 1)\n";

bool number_argument(const char* text, long long* value) {
  char* end = nullptr;
  long long v = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0' || v < 0 || v > 100000000) return false;
  *value = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  mailgen::Options options;
  std::string folder;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    long long value = 0;
    bool takes_number = arg == "--seed" || arg == "--books" || arg == "--lists" ||
                        arg == "--records" || arg == "--entries";
    if (takes_number) {
      if (i + 1 >= argc || !number_argument(argv[i + 1], &value)) {
        std::fprintf(stderr, "vintrell-mailgen: %s needs a number\n%s", arg.c_str(), kUsage);
        return 2;
      }
      ++i;
      if (arg == "--seed") options.seed = static_cast<uint64_t>(value);
      if (arg == "--books") options.address_books = static_cast<int>(value);
      if (arg == "--lists") options.distribution_lists = static_cast<int>(value);
      if (arg == "--records") options.records_per_book = static_cast<int>(value);
      if (arg == "--entries") options.entries_per_list = static_cast<int>(value);
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "vintrell-mailgen: unknown option %s\n%s", arg.c_str(), kUsage);
      return 2;
    } else if (folder.empty()) {
      folder = arg;
    } else {
      std::fprintf(stderr, "vintrell-mailgen: one FOLDER only\n%s", kUsage);
      return 2;
    }
  }
  if (folder.empty()) {
    std::fprintf(stderr, "vintrell-mailgen: no FOLDER given\n%s", kUsage);
    return 2;
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::fprintf(stderr, "vintrell-mailgen: cannot make %s: %s\n", folder.c_str(),
                 error.message().c_str());
    return 1;
  }
  bool ok = true;
  mailgen::generate(options, [&](const mailgen::GeneratedFile& file) {
    std::ofstream out(std::filesystem::path(folder) / file.name,
                      std::ios::binary | std::ios::trunc);
    out.write(file.bytes.data(), static_cast<std::streamsize>(file.bytes.size()));
    if (!out) {
      std::fprintf(stderr, "vintrell-mailgen: cannot write %s\n", file.name.c_str());
      ok = false;
    }
  });
  return ok ? 0 : 1;
}
