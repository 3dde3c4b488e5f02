// Checks find_text, count_occurrences, extract and the strips against plain
// references on arbitrary bytes and arguments.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "services/text.h"
#include "testing/fuzz_support.h"

using namespace vintrell;

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

bool occurs_at(const std::string& s, int64_t at, const std::string& t) {
  return at >= 0 && at + static_cast<int64_t>(t.size()) <= static_cast<int64_t>(s.size()) &&
         s.compare(static_cast<size_t>(at), t.size(), t) == 0;
}

int32_t reference_find(int32_t start, const std::string& s, const std::string& t) {
  const int64_t n = static_cast<int64_t>(s.size());
  if (n == 0 || start == 0) return 0;
  if (start > 0) {
    if (start > n) return 0;
    if (t.empty()) return start;
    for (int64_t at = start - 1; at < n; ++at) {
      if (occurs_at(s, at, t)) return static_cast<int32_t>(at + 1);
    }
    return 0;
  }
  int64_t end = n + start + 1;
  if (end <= 0) return 0;
  if (t.empty()) return static_cast<int32_t>(end);
  int32_t found = 0;
  for (int64_t at = 0; at + static_cast<int64_t>(t.size()) <= end; ++at) {
    if (occurs_at(s, at, t)) found = static_cast<int32_t>(at + 1);
  }
  return found;
}

std::string reference_extract(const std::string& s, int32_t start, int32_t count) {
  if (start == 0) return "";
  int64_t offset = start > 0 ? start - 1LL : static_cast<int64_t>(s.size()) + start;
  if (offset < 0 || offset >= static_cast<int64_t>(s.size())) return "";
  return s.substr(static_cast<size_t>(offset), static_cast<uint32_t>(count));
}

std::string reference_strip_right(std::string s, const std::string& t) {
  if (s.empty() || t.empty() || t.size() > s.size()) return s;
  while (s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0) {
    s.resize(s.size() - t.size());
  }
  return s;
}

std::string reference_strip_left(std::string s, const std::string& t) {
  if (s.empty() || t.empty() || t.size() > s.size()) return s;
  while (s.size() >= t.size() && s.compare(0, t.size(), t) == 0) s.erase(0, t.size());
  return s;
}

}  // namespace

// Input: 4-byte start, 4-byte count, 1-byte search length, then search and subject.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 9) return 0;
  int32_t start, count;
  std::memcpy(&start, data, 4);
  std::memcpy(&count, data + 4, 4);
  size_t search_size = data[8] % 8;
  data += 9;
  size -= 9;
  if (search_size > size) search_size = size;
  std::string search(reinterpret_cast<const char*>(data), search_size);
  std::string subject(reinterpret_cast<const char*>(data + search_size), size - search_size);
  // Small starts exercise the interesting edges far more often than random ones.
  int32_t small_start = static_cast<int32_t>(start % 24) - 12;

  for (int32_t s : {start, small_start}) {
    check(find_text(s, subject, search) == reference_find(s, subject, search));
    check(extract(subject, s, count) == reference_extract(subject, s, count));
  }
  check(count_occurrences(subject, search) ==
        static_cast<int32_t>(fuzz_support::reference_count(subject, search)));
  check(strip_right(subject, search) == reference_strip_right(subject, search));
  check(strip_left(subject, search) == reference_strip_left(subject, search));
  std::string upper = upper_case(subject);
  check(upper.size() == subject.size());
  check(find_text_in_upper_case(subject, search) == find_text(1, upper, search));
  check(number_to_text(start) == (start < 0 ? std::to_string(start)
                                            : " " + std::to_string(start)));
  return 0;
}
