// The dynamic string and its operations. A dynamic string is a std::string used
// as a counted byte string: any byte value, NUL included. Positions count from 1;
// 0 means not found. Operations never change their operands.
//
// Results that need storage record run-time error 7 when it cannot be had, and
// hand on the fallback each operation names below.
#ifndef VINTRELL_SERVICES_TEXT_H_
#define VINTRELL_SERVICES_TEXT_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace vintrell {

enum class Order { kLess = -1, kEqual = 0, kGreater = 1 };

// Storage for a result of `size` bytes. False when it cannot be had; a size of 0
// never fails.
bool obtain_string_storage(std::string* s, size_t size);
// Test hook: the n-th next request for non-empty storage fails (1 = the very
// next), and so do the run - 1 requests after it; 0 disarms.
void fail_string_storage_at(int n, int run = 1);

// a then b. Failure: empty.
std::string concatenate(std::string_view a, std::string_view b);
// Bytewise as unsigned values; a shorter prefix is the lesser.
Order compare(const std::string& a, const std::string& b);
int32_t length(const std::string& s);
// One byte: the low 8 bits of code. Failure: empty.
std::string char_from_code(int32_t code);
// Every byte through the fixed upper-case table. Failure: the operand unchanged.
std::string upper_case(const std::string& s);
// Position of the first occurrence of search in subject at or after start;
// a negative start searches backwards from length + start + 1. 0: not found.
int32_t find_text(int32_t start, const std::string& subject, const std::string& search);
// find_text(1, upper_case(subject), search), without the copy: never fails.
int32_t find_text_in_upper_case(const std::string& subject, const std::string& search);
// Non-overlapping occurrences of search in subject; 0 for an empty search.
int32_t count_occurrences(const std::string& subject, const std::string& search);
// The bytes from start (negative: from the end) on, at most count read as an
// unsigned number. Failure: the source unchanged.
std::string extract(const std::string& source, int32_t start, int32_t count);
// s without the repetitions of the whole strip text at its start / end.
// Failure: empty.
std::string strip_left(const std::string& s, const std::string& strip);
std::string strip_right(const std::string& s, const std::string& strip);
// Decimal text, a blank before a value of zero or more, "-" before a negative.
// Failure: empty.
std::string number_to_text(int32_t number);
// variable = value; on failure the variable is left empty.
void assign(std::string* variable, const std::string& value);

// Bytes up to the first NUL, at most 16,777,216 of them; null gives empty.
// Failure: empty, with no error recorded.
std::string text_from_zero_terminated(const char* address);
// The first min(length, capacity) bytes and a NUL; the buffer holds capacity + 1
// bytes. Capacity 0 stands for 16,777,216.
void copy_to_zero_terminated_buffer(const std::string& s, char* buffer, uint32_t capacity);

// The zero-terminated copy of a text handed to a platform call, alive while this
// object is; the empty string (or a failed copy) passes a null address.
class ZeroTerminatedArgument {
 public:
  explicit ZeroTerminatedArgument(const std::string& s);
  const char* get() const { return valid_ ? copy_.c_str() : nullptr; }

 private:
  std::string copy_;
  bool valid_ = false;
};

}  // namespace vintrell

#endif  // VINTRELL_SERVICES_TEXT_H_
