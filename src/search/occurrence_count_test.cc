#include "search/occurrence_count.h"

#include <string>

#include "services/text.h"
#include "testing/test.h"

using namespace vintrell;

namespace {

// A small alphabet, so that occurrences and near misses are frequent: both cases
// of two letters, a code page 437 pair (0x94/0x99), an ANSI accent and NUL.
const char kAlphabet[] = {'a', 'A', 'b', 'B', '\x94', '\x99', '\xE9', '\0'};

class Bytes {
 public:
  explicit Bytes(uint32_t seed) : state_(seed) {}
  std::string make(size_t n) {
    std::string out(n, '\0');
    for (char& c : out) c = kAlphabet[next() % sizeof kAlphabet];
    return out;
  }

 private:
  uint32_t next() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_ >> 16;
  }
  uint32_t state_;
};

void expect_as_count_occurrences(const std::string& subject, const std::string& search) {
  EXPECT_EQ(count_occurrences_in(subject, search, true),
            count_occurrences(upper_case(subject), search));
  EXPECT_EQ(count_occurrences_in(subject, search, false), count_occurrences(subject, search));
}

}  // namespace

TEST(CountOccurrencesIn, EdgeCasesOfTheRule) {
  EXPECT_EQ(count_occurrences_in("aaaa", "AA", true), 2);
  EXPECT_EQ(count_occurrences_in("aaa", "AA", true), 1);
  EXPECT_EQ(count_occurrences_in("aaaa", "aa", true), 0);  // lower case never survives folding
  EXPECT_EQ(count_occurrences_in("aaaa", "aa", false), 2);
  EXPECT_EQ(count_occurrences_in("abc", "", true), 0);
  EXPECT_EQ(count_occurrences_in("", "A", true), 0);
  EXPECT_EQ(count_occurrences_in("ab", "ABC", true), 0);
  EXPECT_EQ(count_occurrences_in("x\x94y", "X\x99Y", true), 1);
  EXPECT_EQ(count_occurrences_in("\xE9", "\xC9", true), 0);
  EXPECT_EQ(count_occurrences_in(std::string(3, '\0'), std::string(1, '\0'), true), 3);
}

TEST(CountOccurrencesIn, AgreesWithCountOccurrencesOnRandomBytes) {
  Bytes bytes(20261208);
  for (int round = 0; round < 400; ++round) {
    std::string subject = bytes.make(round % 300);  // below, at and across blocks of 64
    for (size_t n = 1; n <= 4; ++n) {
      std::string search = upper_case(bytes.make(n));
      expect_as_count_occurrences(subject, search);
      expect_as_count_occurrences(subject, bytes.make(n));
    }
  }
}

TEST(CountOccurrencesIn, LongSubjectsAndSearches) {
  Bytes bytes(7);
  for (size_t size : {65535u, 65536u, 65537u, 65600u, 131072u + 3u, 200001u}) {
    std::string subject = bytes.make(size);
    for (size_t n : {1u, 2u, 3u, 7u, 64u, 65u}) {
      expect_as_count_occurrences(subject, upper_case(bytes.make(n)));
      expect_as_count_occurrences(subject, subject.substr(size / 2, n));
      expect_as_count_occurrences(subject, upper_case(subject.substr(65530, n)));
    }
  }
  // Runs of one letter make every boundary an overlap question.
  std::string run(140000, 'a');
  EXPECT_EQ(count_occurrences_in(run, "AAA", true), 46666);
  EXPECT_EQ(count_occurrences_in(run, std::string(70000, 'A'), true), 2);
  EXPECT_EQ(count_occurrences_in(run, std::string(140001, 'A'), true), 0);
  run[65536] = 'b';
  expect_as_count_occurrences(run, "AAAAA");
  expect_as_count_occurrences(run, "AB");
}
