#include "services/text.h"

#include <cstring>
#include <new>
#include <stdexcept>

#include "runtime/runtime.h"
#include "services/case_table.h"
#include "services/text_search.h"

namespace vintrell {
namespace {

constexpr size_t kZeroTerminatedScanLimit = 16777216;

thread_local int t_fail_countdown = 0;
thread_local int t_fail_run = 0;

// A copy of s, for the operations that hand on an operand unchanged. It comes
// from the same storage as every result: when even that runs out, the empty
// string (with error 7), never an exception.
std::string copy_of(const std::string& s) {
  std::string out;
  if (!obtain_string_storage(&out, s.size())) {
    set_error(kErrorOutOfMemory);
    return std::string();
  }
  if (!s.empty()) std::memcpy(&out[0], s.data(), s.size());
  return out;
}

// A copy of bytes [from, from + n) of s, or the fallback with error 7.
std::string copy_or(const std::string& s, size_t from, size_t n, const std::string& fallback) {
  std::string out;
  if (!obtain_string_storage(&out, n)) {
    set_error(kErrorOutOfMemory);
    return copy_of(fallback);
  }
  if (n != 0) std::memcpy(&out[0], s.data() + from, n);
  return out;
}

}  // namespace

bool obtain_string_storage(std::string* s, size_t size) {
  if (size == 0) {
    s->clear();
    return true;
  }
  if (t_fail_countdown > 0 && --t_fail_countdown == 0) {
    if (--t_fail_run > 0) t_fail_countdown = 1;
    return false;
  }
  try {
    s->resize(size);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

void fail_string_storage_at(int n, int run) {
  t_fail_countdown = n;
  t_fail_run = run;
}

std::string concatenate(std::string_view a, std::string_view b) {
  std::string out;
  if (!obtain_string_storage(&out, a.size() + b.size())) {
    set_error(kErrorOutOfMemory);
    return std::string();
  }
  if (!a.empty()) std::memcpy(&out[0], a.data(), a.size());
  if (!b.empty()) std::memcpy(&out[a.size()], b.data(), b.size());
  return out;
}

Order compare(const std::string& a, const std::string& b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  int c = n ? std::memcmp(a.data(), b.data(), n) : 0;  // memcmp compares unsigned bytes
  if (c < 0) return Order::kLess;
  if (c > 0) return Order::kGreater;
  if (a.size() == b.size()) return Order::kEqual;
  return a.size() < b.size() ? Order::kLess : Order::kGreater;
}

int32_t length(const std::string& s) { return static_cast<int32_t>(s.size()); }

std::string char_from_code(int32_t code) {
  std::string out;
  if (!obtain_string_storage(&out, 1)) {
    set_error(kErrorOutOfMemory);
    return std::string();
  }
  out[0] = static_cast<char>(code & 0xFF);
  return out;
}

namespace {

// The table in force, read once per call, so that each byte is one load and no call.
const unsigned char* upper_table() { return fold_table().upper; }

}  // namespace

std::string upper_case(const std::string& s) {
  std::string out;
  if (!obtain_string_storage(&out, s.size())) {
    set_error(kErrorOutOfMemory);
    return copy_of(s);
  }
  const unsigned char* upper = upper_table();
  const unsigned char* in = reinterpret_cast<const unsigned char*>(s.data());
  unsigned char* to = reinterpret_cast<unsigned char*>(&out[0]);
  for (size_t i = 0, n = s.size(); i < n; ++i) to[i] = upper[in[i]];
  return out;
}

int32_t find_text_in_upper_case(const std::string& subject, const std::string& search) {
  if (subject.empty()) return 0;
  if (search.empty()) return 1;
  const size_t at = TextSearch(search, true).find(subject);
  return at == TextSearch::npos ? 0 : static_cast<int32_t>(at + 1);
}

int32_t find_text(int32_t start, const std::string& subject, const std::string& search) {
  const int64_t size = static_cast<int64_t>(subject.size());
  if (size == 0 || start == 0) return 0;
  if (start > 0) {
    if (start > size) return 0;
    if (search.empty()) return start;
    const size_t at = TextSearch(search, false).find(subject, static_cast<size_t>(start - 1));
    return at == TextSearch::npos ? 0 : static_cast<int32_t>(at + 1);
  }
  // Backwards: the rightmost occurrence lying wholly within the first `end` bytes.
  int64_t end = size + start + 1;
  if (end <= 0) return 0;
  if (search.empty()) return static_cast<int32_t>(end);
  const int64_t n = static_cast<int64_t>(search.size());
  for (int64_t at = end - n; at >= 0; --at) {
    if (std::memcmp(subject.data() + at, search.data(), n) == 0) {
      return static_cast<int32_t>(at + 1);
    }
  }
  return 0;
}

int32_t count_occurrences(const std::string& subject, const std::string& search) {
  if (search.empty()) return 0;
  const uint64_t count = TextSearch(search, false).count(subject);
  return count > INT32_MAX ? INT32_MAX : static_cast<int32_t>(count);
}

std::string extract(const std::string& source, int32_t start, int32_t count) {
  if (start == 0) return std::string();
  const int64_t size = static_cast<int64_t>(source.size());
  int64_t offset = start > 0 ? static_cast<int64_t>(start) - 1 : size + start;
  if (offset < 0) return std::string();
  uint64_t available = offset < size ? static_cast<uint64_t>(size - offset) : 0;
  uint64_t limit = static_cast<uint32_t>(count);  // a negative count takes everything
  uint64_t n = limit < available ? limit : available;
  if (n == 0) return std::string();
  return copy_or(source, static_cast<size_t>(offset), static_cast<size_t>(n), source);
}

std::string strip_left(const std::string& s, const std::string& strip) {
  if (s.empty() || strip.empty() || strip.size() > s.size()) return copy_of(s);
  size_t from = 0;
  while (s.size() - from >= strip.size() &&
         std::memcmp(s.data() + from, strip.data(), strip.size()) == 0) {
    from += strip.size();
  }
  return copy_or(s, from, s.size() - from, std::string());
}

std::string strip_right(const std::string& s, const std::string& strip) {
  if (s.empty() || strip.empty() || strip.size() > s.size()) return copy_of(s);
  size_t end = s.size();
  while (end >= strip.size() &&
         std::memcmp(s.data() + end - strip.size(), strip.data(), strip.size()) == 0) {
    end -= strip.size();
  }
  return copy_or(s, 0, end, std::string());
}

std::string number_to_text(int32_t number) {
  char digits[16];
  int64_t magnitude = number < 0 ? -static_cast<int64_t>(number) : number;
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::string out;
  if (!obtain_string_storage(&out, static_cast<size_t>(n) + 1)) {
    set_error(kErrorOutOfMemory);
    return std::string();
  }
  out[0] = number < 0 ? '-' : ' ';
  for (int i = 0; i < n; ++i) out[1 + i] = digits[n - 1 - i];
  return out;
}

void assign(std::string* variable, const std::string& value) {
  std::string copy;
  if (!obtain_string_storage(&copy, value.size())) {
    set_error(kErrorOutOfMemory);
    variable->clear();
    return;
  }
  if (!value.empty()) std::memcpy(&copy[0], value.data(), value.size());
  variable->swap(copy);  // the old value goes only once the new one is in place
}

std::string text_from_zero_terminated(const char* address) {
  if (address == nullptr) return std::string();
  size_t n = strnlen(address, kZeroTerminatedScanLimit);
  std::string out;
  if (!obtain_string_storage(&out, n)) return std::string();
  if (n != 0) std::memcpy(&out[0], address, n);
  return out;
}

void copy_to_zero_terminated_buffer(const std::string& s, char* buffer, uint32_t capacity) {
  size_t limit = capacity == 0 ? kZeroTerminatedScanLimit : capacity;
  size_t n = s.size() < limit ? s.size() : limit;
  if (n != 0) std::memcpy(buffer, s.data(), n);
  buffer[n] = '\0';
}

ZeroTerminatedArgument::ZeroTerminatedArgument(const std::string& s) {
  if (s.empty()) return;
  if (!obtain_string_storage(&copy_, s.size())) {
    set_error(kErrorOutOfMemory);
    return;
  }
  std::memcpy(&copy_[0], s.data(), s.size());
  valid_ = true;
}

}  // namespace vintrell
