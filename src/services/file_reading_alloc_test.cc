// Running out of string storage in the text operations, the file services and
// the folder listing: each request that can fail is made to fail, and the
// operation gives its empty or zero result with error 7 and leaves nothing
// behind (no record, no handle, no lock on the file).
#include <string>

#include "platform/win32.h"
#include "runtime/runtime.h"
#include "services/file_reading.h"
#include "services/folder_listing.h"
#include "services/text.h"
#include "testing/temp_folder.h"
#include "testing/test.h"

using namespace vintrell;

namespace {

constexpr int16_t kFile = 1;
constexpr int16_t kOtherFile = 2;

int last_error_number() { return error_number_of(current_run_time_error()); }

class StorageFailureTest : public testing::Test {
 protected:
  ~StorageFailureTest() override {
    fail_string_storage_at(0);
    close_file(kFile);
    close_file(kOtherFile);
  }
  std::string file(const std::string& name, const std::string& bytes) {
    folder.write(name, bytes);
    return folder.join(name);
  }
  // The file is free again: an opener that excludes others gets it and reads it whole.
  void expect_free(const std::string& path, const std::string& bytes) {
    HANDLE sole = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_TRUE(sole != INVALID_HANDLE_VALUE);
    if (sole != INVALID_HANDLE_VALUE) CloseHandle(sole);
    open_for_whole_file_reading(path, kOtherFile);
    EXPECT_EQ(current_run_time_error(), 0u);
    EXPECT_EQ(read_bytes(kOtherFile, static_cast<int32_t>(bytes.size()) + 1), bytes);
    close_file(kOtherFile);
  }
  testing::TempFolder folder;
  ProcedureFrame frame;
};

}  // namespace

// The open asks for two pieces of storage, the read buffer and the copy of the
// path, before it takes a handle; without either the number stays free.
TEST_F(StorageFailureTest, OpenWithoutStorageLeavesTheNumberAndTheFileFree) {
  const std::string bytes = "Title: x\r\nann\r\n";
  std::string path = file("A.PML", bytes);
  for (int line_reading = 0; line_reading < 2; ++line_reading) {
    for (int n = 1; n <= 2; ++n) {
      clear_run_time_error();
      fail_string_storage_at(n);
      if (line_reading) {
        open_for_line_reading(path, kFile);
      } else {
        open_for_whole_file_reading(path, kFile);
      }
      fail_string_storage_at(0);
      EXPECT_EQ(last_error_number(), kErrorOutOfMemory);
      // What a scanner sees of it: nothing to read, and an end that ends its loop.
      EXPECT_EQ(read_line(kFile), std::string());
      EXPECT_EQ(last_error_number(), kErrorFileNotOpen);
      EXPECT_EQ(read_bytes(kFile, 5), std::string());
      EXPECT_EQ(last_error_number(), kErrorFileNotOpen);
      EXPECT_EQ(file_length(kFile), 0.0);
      EXPECT_EQ(at_end_of_file(kFile), -1);
      clear_run_time_error();
      close_file(kFile);
      EXPECT_EQ(current_run_time_error(), 0u);
      expect_free(path, bytes);
    }
  }
  // Two requests and no more: a third failure point is never reached by the open.
  fail_string_storage_at(3);
  open_for_line_reading(path, kFile);
  fail_string_storage_at(0);
  EXPECT_EQ(read_line(kFile), std::string("Title: x"));
  close_file(kFile);  // held until now
  EXPECT_EQ(folder.read("A.PML"), bytes);
}

TEST_F(StorageFailureTest, LineWithoutStorageIsConsumedWholeAndTheNextOneFollows) {
  // Lines of one chunk, of just over one and of several: the failure can hit
  // any of their chunk requests.
  const std::string short_line = "ann@example.com";
  const std::string long_line = std::string(300, 'a');
  const std::string longer_line = std::string(700, 'b');
  const std::string bytes = short_line + "\r\n" + long_line + "\r\n" + longer_line + "\r\nlast\r\n";
  std::string path = file("A.PML", bytes);
  // A line lying whole in the look-ahead takes one request; with a small
  // look-ahead the longer ones are built in chunks across refills.
  const struct {
    uint32_t look_ahead;
    int requests[3];
  } sizes[] = {{0, {1, 1, 1}}, {128, {1, 2, 3}}};  // for lines of 15, 300 and 700 bytes
  for (const auto& size : sizes) {
    const uint32_t before = set_line_look_ahead_size(size.look_ahead);
    for (int n = 1; n <= 3; ++n) {
      for (int target = 0; target < 3; ++target) {
        open_for_line_reading(path, kFile);
        std::string lines;
        for (int i = 0; i < 4; ++i) {
          clear_run_time_error();
          if (i == target) fail_string_storage_at(n);
          std::string line = read_line(kFile);
          fail_string_storage_at(0);
          if (i == target && line.empty()) {
            EXPECT_EQ(last_error_number(), kErrorOutOfMemory);
          } else {
            EXPECT_EQ(current_run_time_error(), 0u);
          }
          lines += "[" + line.substr(0, 4) + ":" + std::to_string(line.size()) + "]";
        }
        EXPECT_EQ(at_end_of_file(kFile), -1);
        close_file(kFile);
        // The line hit comes back empty when its n-th request exists; every other
        // line is whole, so the count of lines never changes.
        const int* requests = size.requests;
        std::string expected;
        const std::string wanted[] = {short_line, long_line, longer_line, "last"};
        for (int i = 0; i < 4; ++i) {
          std::string line = (i == target && n <= requests[i]) ? std::string() : wanted[i];
          expected += "[" + line.substr(0, 4) + ":" + std::to_string(line.size()) + "]";
        }
        if (!EXPECT_EQ(lines, expected)) {
          ADD_FAILURE("failure at request " + std::to_string(n) + " of line " +
                      std::to_string(target + 1) + ", look-ahead " +
                      std::to_string(size.look_ahead));
        }
      }
    }
    set_line_look_ahead_size(before);
  }
}

TEST_F(StorageFailureTest, BytesWithoutStorageReadNothingAndMoveNothing) {
  const std::string bytes = std::string("Staff\0smith@example.com", 23);
  std::string path = file("A.PMR", bytes);
  open_for_whole_file_reading(path, kFile);
  ASSERT_EQ(file_length(kFile), 23.0);
  fail_string_storage_at(1);
  EXPECT_EQ(read_bytes(kFile, 23), std::string());
  fail_string_storage_at(0);
  EXPECT_EQ(last_error_number(), kErrorOutOfMemory);
  EXPECT_EQ(at_end_of_file(kFile), 0);  // not a short read: no read was made
  EXPECT_EQ(read_bytes(kFile, 23), bytes);
  EXPECT_EQ(at_end_of_file(kFile), 0);
  // A count of 0 needs no storage, so it cannot fail.
  clear_run_time_error();
  fail_string_storage_at(1);
  EXPECT_EQ(read_bytes(kFile, 0), std::string());
  EXPECT_EQ(current_run_time_error(), 0u);
  fail_string_storage_at(0);
}

TEST_F(StorageFailureTest, ListingNameWithoutStorageIsEmpty) {
  file("A.PMR", "a");
  std::string mask = folder.join("*.PMR");
  fail_string_storage_at(1);
  EXPECT_EQ(list_first_match(mask, 0), std::string());
  fail_string_storage_at(0);
  EXPECT_EQ(last_error_number(), kErrorOutOfMemory);
  EXPECT_EQ(list_first_match(mask, 0), std::string("A.PMR"));  // the mask needs none
  file("B.PMR", "b");
  file("C.PMR", "c");
  EXPECT_NE(list_first_match(mask, 0), std::string());
  fail_string_storage_at(1);
  EXPECT_EQ(list_next_match(), std::string());
  fail_string_storage_at(0);
  EXPECT_EQ(last_error_number(), kErrorOutOfMemory);
  EXPECT_NE(list_next_match(), std::string());  // the listing itself went on
  EXPECT_EQ(current_run_time_error(), 0u);
}

// Operations that hand on an operand unchanged copy it from the same storage:
// when that copy cannot be had either, the empty string, never an exception.
TEST_F(StorageFailureTest, HandedOnOperandWithoutStorageIsEmpty) {
  fail_string_storage_at(1, 2);
  EXPECT_EQ(upper_case("abc"), std::string());
  EXPECT_EQ(last_error_number(), kErrorOutOfMemory);
  fail_string_storage_at(1, 2);
  EXPECT_EQ(extract("abcdef", 2, 2), std::string());
  EXPECT_EQ(last_error_number(), kErrorOutOfMemory);
  // A strip with nothing to strip still hands on a copy.
  clear_run_time_error();
  fail_string_storage_at(1);
  EXPECT_EQ(strip_right("C:\\MAIL", "\\"), std::string());
  EXPECT_EQ(last_error_number(), kErrorOutOfMemory);
  fail_string_storage_at(1);
  EXPECT_EQ(strip_left("abc", ""), std::string());
  fail_string_storage_at(0);
  EXPECT_EQ(strip_right("C:\\MAIL", "\\"), std::string("C:\\MAIL"));
  // Only the n-th request fails: the handed-on copy after it is the third.
  fail_string_storage_at(2);
  std::string first = upper_case("a");
  std::string second = upper_case("b");
  std::string third = upper_case("c");
  fail_string_storage_at(0);
  EXPECT_EQ(first + second + third, std::string("AbC"));
}
