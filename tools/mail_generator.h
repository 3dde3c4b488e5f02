// Makes sample mail folders: address books (*.PMR), each with the client's
// index file beside it (same name, *.PM!), and distribution lists (*.PML, some
// naming others by "@FILE" entries) in the mail client's own formats, filled
// with invented people. The same options
// give the same bytes on every platform, so tests and benchmarks can rebuild a
// folder from its seed.
#ifndef VINTRELL_TOOLS_MAIL_GENERATOR_H_
#define VINTRELL_TOOLS_MAIL_GENERATOR_H_

#include <cstdint>
#include <functional>
#include <string>

namespace mailgen {

// Address-book layout: a header whose first 50 bytes hold the book's long name,
// NUL-terminated, then fixed records of NUL-padded text fields.
constexpr int kHeaderSize = 128;
constexpr int kLongNameSize = 50;
constexpr int kRecordSize = 458;

struct Options {
  uint64_t seed = 1;
  int address_books = 5;
  int distribution_lists = 5;
  // Average records per address book; sizes vary around it, a few books are
  // several times larger.
  int records_per_book = 20;
  // Average entries per distribution list.
  int entries_per_list = 12;
};

struct GeneratedFile {
  std::string name;  // a bare file name such as "ADDR0003.PMR"
  std::string bytes;
};

// Hands every file of the folder to `sink`: each address book followed by its
// index, in name order, then the lists.
void generate(const Options& options, const std::function<void(const GeneratedFile&)>& sink);

// One address book of `records` records (exposed for tests of the layout).
std::string address_book(uint64_t seed, const std::string& long_name, int records);

}  // namespace mailgen

#endif  // VINTRELL_TOOLS_MAIL_GENERATOR_H_
