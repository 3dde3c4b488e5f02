// Feeds arbitrary file bytes through `read line` and `at end of file` to the end
// and checks the lines against a plain split: the reader always stops, never
// delivers a byte twice or one past a Ctrl-Z, and loses none before it.
//
// Input: one byte of reading style, then the file's bytes.
//   bit 0: ask `at end of file` before every line (as the list scan does), else
//          read until `read line` reports the end with error 62;
//   bit 1: ask `at end of file` twice each time (it must consume nothing);
//   bit 2: keep reading after the end (it must stay at the end);
//   bits 3-4: the look-ahead per refill: 128 bytes, 1, 7, or the usual size.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/runtime.h"
#include "services/file_reading.h"
#include "testing/fuzz_support.h"

using namespace vintrell;

namespace {

constexpr int16_t kFile = 1;

void check(bool ok) {
  if (!ok) std::abort();
}

// One scratch file in a private folder, rewritten for every input.
class ScratchFile {
 public:
  const std::string& write(const uint8_t* data, size_t size) {
    path_ = folder_.write("LIST.PML", reinterpret_cast<const char*>(data), size);
    return path_;
  }

 private:
  fuzz_support::ScratchFolder folder_;
  std::string path_;
};

// Lines end at CR or CR LF; a Ctrl-Z ends the data; a last line needs no
// terminator, and nothing after the last terminator is no line at all.
std::vector<std::string> reference_lines(const uint8_t* data, size_t size) {
  size_t end = 0;
  while (end < size && data[end] != 26) ++end;
  std::vector<std::string> lines;
  size_t i = 0;
  while (i < end) {
    std::string line;
    while (i < end && data[i] != 13) line += static_cast<char>(data[i++]);
    if (i < end) {
      ++i;
      if (i < end && data[i] == 10) ++i;
    }
    lines.push_back(line);
  }
  return lines;
}

int last_error_number() { return error_number_of(current_run_time_error()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ScratchFile scratch;
  if (size == 0) return 0;
  const uint8_t style = data[0];
  const bool ask_end_first = style & 1;
  const bool ask_twice = style & 2;
  const bool read_on = style & 4;
  const uint32_t look_ahead_sizes[] = {128, 1, 7, 0};
  set_line_look_ahead_size(look_ahead_sizes[(style >> 3) & 3]);
  ++data;
  --size;

  const std::vector<std::string> expected = reference_lines(data, size);
  ProcedureFrame frame;
  open_for_line_reading(scratch.write(data, size), kFile);
  check(current_run_time_error() == 0);

  std::vector<std::string> got;
  // Every line but an end case consumes at least its terminator, so a reader
  // that is still going after this many lines is stuck.
  const size_t limit = size + 2;
  if (ask_end_first) {
    for (;;) {
      int32_t at_end = at_end_of_file(kFile);
      if (ask_twice) check(at_end_of_file(kFile) == at_end);
      check(at_end == 0 || at_end == -1);
      if (at_end) break;
      clear_run_time_error();
      got.push_back(read_line(kFile));
      check(current_run_time_error() == 0);  // not at the end: a line always comes
      check(got.size() <= limit);
    }
  } else {
    for (;;) {
      clear_run_time_error();
      std::string line = read_line(kFile);
      if (line.empty() && last_error_number() == kErrorEndOfData) break;
      check(current_run_time_error() == 0);
      got.push_back(line);
      check(got.size() <= limit);
    }
  }
  check(got == expected);

  // At the end the reader stays there.
  check(at_end_of_file(kFile) == -1);
  int rounds = read_on ? 3 : 1;
  for (int i = 0; i < rounds; ++i) {
    clear_run_time_error();
    check(read_line(kFile).empty());
    check(last_error_number() == kErrorEndOfData);
    check(at_end_of_file(kFile) == -1);
  }
  close_file(kFile);
  check(at_end_of_file(kFile) == -1);  // a free number ends a reading loop too
  return 0;
}
