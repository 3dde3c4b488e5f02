#include <cstring>

#include "runtime/runtime.h"
#include "services/text.h"
#include "services/case_table.h"
#include "testing/test.h"

using namespace vintrell;

namespace {
std::string bytes(const char* s, size_t n) { return std::string(s, n); }
}  // namespace

TEST(FindText, StartAndEmptyOperandRules) {
  EXPECT_EQ(find_text(1, "abc", ""), 1);
  EXPECT_EQ(find_text(3, "abc", ""), 3);
  EXPECT_EQ(find_text(4, "abc", ""), 0);  // beyond the end, even for empty search
  EXPECT_EQ(find_text(1, "", ""), 0);
  EXPECT_EQ(find_text(1, "", "a"), 0);
  EXPECT_EQ(find_text(0, "abc", "a"), 0);
  EXPECT_EQ(find_text(0, "abc", ""), 0);
}

TEST(FindText, ForwardSearch) {
  EXPECT_EQ(find_text(1, "abcabc", "bc"), 2);
  EXPECT_EQ(find_text(3, "abcabc", "bc"), 5);
  EXPECT_EQ(find_text(6, "abcabc", "bc"), 0);
  EXPECT_EQ(find_text(1, "aab", "ab"), 2);  // a failed partial match hides nothing
  EXPECT_EQ(find_text(1, "abcab", "abx"), 0);
  EXPECT_EQ(find_text(1, "ab", "abc"), 0);
  EXPECT_EQ(find_text(1, bytes("x\0y\0", 4), std::string(1, '\0')), 2);
  EXPECT_EQ(find_text(1, "\xE9t\xE9", "\xE9"), 1);
  EXPECT_EQ(find_text(1, "Staff", "staff"), 0);  // byte-exact: case matters
}

TEST(FindText, NegativeStartSearchesBackwards) {
  EXPECT_EQ(find_text(-1, "abcabc", "bc"), 5);
  EXPECT_EQ(find_text(-2, "abcabc", "bc"), 2);  // must lie within the first 5 bytes
  EXPECT_EQ(find_text(-6, "abcabc", "a"), 1);
  EXPECT_EQ(find_text(-7, "abcabc", "a"), 0);
  EXPECT_EQ(find_text(-2, "abcabc", ""), 5);
  EXPECT_EQ(find_text(-100, "abc", ""), 0);
}

TEST(CountOccurrences, NonOverlappingAndEmptyOperands) {
  EXPECT_EQ(count_occurrences("aaaa", "aa"), 2);
  EXPECT_EQ(count_occurrences("aaa", "aa"), 1);
  EXPECT_EQ(count_occurrences("abc", ""), 0);
  EXPECT_EQ(count_occurrences("", "a"), 0);
  EXPECT_EQ(count_occurrences("ab", "abc"), 0);
  EXPECT_EQ(count_occurrences("xSMITHySMITH", "SMITH"), 2);
  EXPECT_EQ(count_occurrences(bytes("\0\0\0", 3), std::string(1, '\0')), 3);
  EXPECT_EQ(count_occurrences("abababa", "aba"), 2);
}

TEST(Extract, StartAndCountRules) {
  EXPECT_EQ(extract("abcdef", 1, 3), std::string("abc"));
  EXPECT_EQ(extract("abcdef", 2, -1), std::string("bcdef"));
  EXPECT_EQ(extract("abcdef", 1, 0), std::string());
  EXPECT_EQ(extract("abcdef", 0, 3), std::string());
  EXPECT_EQ(extract("abcdef", 7, 3), std::string());
  EXPECT_EQ(extract("abcdefg", 8, 2147483647), std::string());  // 7-byte title line
  EXPECT_EQ(extract("1234567Staff", 8, 2147483647), std::string("Staff"));
  EXPECT_EQ(extract("abcdef", -2, 5), std::string("ef"));
  EXPECT_EQ(extract("abcdef", -6, 2), std::string("ab"));
  EXPECT_EQ(extract("abcdef", -7, 2), std::string());
  EXPECT_EQ(extract("abcdef", 3, -5), std::string("cdef"));  // count read as unsigned
  EXPECT_EQ(extract("", 1, 5), std::string());
}

TEST(Strip, WholeTextRepetitionsAtOneEnd) {
  EXPECT_EQ(strip_right("C:\\MAIL\\\\\\", "\\"), std::string("C:\\MAIL"));
  EXPECT_EQ(strip_right("\\\\\\", "\\"), std::string());
  EXPECT_EQ(strip_right("", "\\"), std::string());
  EXPECT_EQ(strip_right("abcbc", "bc"), std::string("a"));
  EXPECT_EQ(strip_right("abc", ""), std::string("abc"));
  EXPECT_EQ(strip_right("a", "ab"), std::string("a"));
  EXPECT_EQ(strip_left("\"\"C:\\X\"", "\""), std::string("C:\\X\""));
  EXPECT_EQ(strip_left("\"\"", "\""), std::string());
  EXPECT_EQ(strip_left("ababc", "ab"), std::string("c"));
  EXPECT_EQ(strip_left("aab", "ab"), std::string("aab"));
}

TEST(NumberToText, LeadingBlankOrMinus) {
  EXPECT_EQ(number_to_text(0), std::string(" 0"));
  EXPECT_EQ(number_to_text(7), std::string(" 7"));
  EXPECT_EQ(number_to_text(12), std::string(" 12"));
  EXPECT_EQ(number_to_text(1234567), std::string(" 1234567"));
  EXPECT_EQ(number_to_text(2147483647), std::string(" 2147483647"));
  EXPECT_EQ(number_to_text(-5), std::string("-5"));
  EXPECT_EQ(number_to_text(-2147483647 - 1), std::string("-2147483648"));
}

TEST(UpperCase, FixedTableOnly) {
  EXPECT_EQ(upper_case("Fred jones z{`@"), std::string("FRED JONES Z{`@"));
  const char in[] = "\x81\x82\x84\x86\x87\x94\xA4\xE9\xFC\x9A";
  const char out[] = "\x9A\x90\x8E\x8F\x80\x99\xA5\xE9\xFC\x9A";
  EXPECT_EQ(upper_case(in), std::string(out));
  EXPECT_EQ(upper_case(bytes("a\0b", 3)), bytes("A\0B", 3));
  EXPECT_EQ(upper_case(""), std::string());
  int changed = 0;
  for (int c = 0; c < 256; ++c) changed += upper_case_byte(static_cast<unsigned char>(c)) != c;
  EXPECT_EQ(changed, 26 + 7);
}

TEST(UpperCase, SearchInTheUpperCasedTextWithoutACopy) {
  // Each case against the search in an upper-cased copy, which it replaces.
  const struct {
    std::string subject, search;
    int32_t at;
  } cases[] = {
      {"Fred Smith", "SMITH", 6}, {"fred smith", "SMITH", 6}, {"smith", "smith", 0},
      {"ab\x84z", "B\x8E", 2},   {"\x84", "\x8E", 1},      {"x", "", 1},
      {"", "", 0},               {"", "A", 0},             {"ab", "ABC", 0},
      {bytes("a\0smi", 5), bytes("\0SMI", 4), 2},        {"smismith", "SMITH", 4},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(find_text_in_upper_case(c.subject, c.search), c.at);
    EXPECT_EQ(find_text(1, upper_case(c.subject), c.search), c.at);
  }
}

TEST(Compare, UnsignedBytesThenLength) {
  EXPECT_EQ(compare("", "a"), Order::kLess);
  EXPECT_EQ(compare("a", ""), Order::kGreater);
  EXPECT_EQ(compare("AB", "ABC"), Order::kLess);
  EXPECT_EQ(compare("\xE9", "A"), Order::kGreater);
  EXPECT_EQ(compare("abc", "abc"), Order::kEqual);
  EXPECT_EQ(compare(bytes("a\0", 2), "a"), Order::kGreater);
}

TEST(SmallOperations, ConcatenateLengthCharFromCode) {
  EXPECT_EQ(concatenate("ab", "cd"), std::string("abcd"));
  EXPECT_EQ(concatenate("", ""), std::string());
  EXPECT_EQ(length(bytes("a\0b", 3)), 3);
  EXPECT_EQ(char_from_code(0), std::string(1, '\0'));
  EXPECT_EQ(char_from_code(34), std::string("\""));
  EXPECT_EQ(char_from_code(0x141), std::string("A"));
  std::string v = "abc";
  assign(&v, extract(v, 2, 1));
  EXPECT_EQ(v, std::string("b"));
}

TEST(ZeroTerminated, Conversions) {
  EXPECT_EQ(text_from_zero_terminated(nullptr), std::string());
  EXPECT_EQ(text_from_zero_terminated("ab\0cd"), std::string("ab"));
  char buffer[257];
  std::memset(buffer, 'x', sizeof buffer);
  copy_to_zero_terminated_buffer(std::string(300, 'a'), buffer, 255);
  EXPECT_EQ(std::strlen(buffer), 255u);
  EXPECT_EQ(buffer[256], 'x');
  copy_to_zero_terminated_buffer(bytes("ab\0c", 4), buffer, 255);
  EXPECT_EQ(std::string(buffer), std::string("ab"));
  EXPECT_EQ(ZeroTerminatedArgument("").get(), static_cast<const char*>(nullptr));
  EXPECT_EQ(std::string(ZeroTerminatedArgument("OPEN").get()), std::string("OPEN"));
}

TEST(OutOfStorage, EachOperationRecords7AndHandsOnItsFallback) {
  ProcedureFrame frame;
  struct Case {
    const char* name;
    std::string (*run)();
    std::string expected;
  };
  const Case cases[] = {
      {"concatenate", [] { return concatenate("ab", "cd"); }, ""},
      {"char_from_code", [] { return char_from_code(65); }, ""},
      {"upper_case", [] { return upper_case("abc"); }, "abc"},
      {"extract", [] { return extract("abcdef", 2, 2); }, "abcdef"},
      {"strip_left", [] { return strip_left("\\\\ab", "\\"); }, ""},
      {"strip_right", [] { return strip_right("ab\\", "\\"); }, ""},
      {"number_to_text", [] { return number_to_text(5); }, ""},
  };
  for (const Case& c : cases) {
    clear_run_time_error();
    fail_string_storage_at(1);
    std::string result = c.run();
    fail_string_storage_at(0);
    if (!EXPECT_EQ(result, c.expected)) ADD_FAILURE(c.name);
    if (!EXPECT_EQ(error_number_of(current_run_time_error()), kErrorOutOfMemory)) {
      ADD_FAILURE(c.name);
    }
  }

  std::string variable = "old";
  fail_string_storage_at(1);
  assign(&variable, "new");
  EXPECT_EQ(variable, std::string());

  clear_run_time_error();
  fail_string_storage_at(1);
  EXPECT_EQ(text_from_zero_terminated("abc"), std::string());
  EXPECT_EQ(current_run_time_error(), 0u);  // this one records nothing

  fail_string_storage_at(1);
  EXPECT_EQ(ZeroTerminatedArgument("abc").get(), static_cast<const char*>(nullptr));
  fail_string_storage_at(0);
}
