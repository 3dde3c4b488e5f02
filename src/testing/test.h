// A small test framework that builds the same with the host compiler and MinGW,
// so one test source runs natively and under Wine. Shaped like GoogleTest:
// TEST / TEST_F, EXPECT_* continue after a failure, ASSERT_* end the test.
#ifndef VINTRELL_TESTING_TEST_H_
#define VINTRELL_TESTING_TEST_H_

#include <cstdint>
#include <sstream>
#include <string>
#include <type_traits>

namespace testing {

class Test {
 public:
  virtual ~Test() = default;
  virtual void body() = 0;
};

using TestFactory = Test* (*)();

struct Registrar {
  Registrar(const char* suite, const char* name, TestFactory factory);
};

// Records a failed check of the running test.
void report_failure(const char* file, int line, const std::string& message);
// Ends nothing by itself: the caller returns. Marks the running test skipped.
void mark_skipped(const std::string& reason);
bool current_test_failed();

// Printable form of a value: byte strings are quoted with escapes so that
// binary content shows exactly.
std::string quote(const std::string& bytes);
inline std::string describe(const std::string& s) { return quote(s); }
inline std::string describe(const char* s) { return s ? quote(s) : "(null)"; }
inline std::string describe(char c) { return quote(std::string(1, c)); }
inline std::string describe(bool b) { return b ? "true" : "false"; }
inline std::string describe(std::nullptr_t) { return "nullptr"; }
template <typename T>
std::string describe(const T& value) {
  std::ostringstream out;
  if constexpr (std::is_pointer_v<T>) {
    out << static_cast<const void*>(value);
  } else if constexpr (std::is_enum_v<T>) {
    out << static_cast<long long>(value);
  } else if constexpr (std::is_integral_v<T> && sizeof(T) > 1) {
    out << value;
    if constexpr (std::is_unsigned_v<T>) out << " (0x" << std::hex << value << ")";
  } else if constexpr (std::is_integral_v<T>) {
    out << static_cast<int>(value);
  } else {
    out << value;
  }
  return out.str();
}

template <typename A, typename B>
bool check_eq(const char* file, int line, const char* a_text, const char* b_text,
              const A& a, const B& b) {
  if (a == b) return true;
  report_failure(file, line,
                 std::string(a_text) + " == " + b_text + "\n    left:  " + describe(a) +
                     "\n    right: " + describe(b));
  return false;
}

template <typename A, typename B>
bool check_ne(const char* file, int line, const char* a_text, const char* b_text,
              const A& a, const B& b) {
  if (!(a == b)) return true;
  report_failure(file, line,
                 std::string(a_text) + " != " + b_text + "\n    both:  " + describe(a));
  return false;
}

}  // namespace testing

#define TESTING_DEFINE_(suite, name, base)                                          \
  class suite##_##name##_Test : public base {                                        \
   public:                                                                           \
    void body() override;                                                            \
  };                                                                                 \
  static ::testing::Registrar suite##_##name##_registrar(                            \
      #suite, #name, []() -> ::testing::Test* { return new suite##_##name##_Test; }); \
  void suite##_##name##_Test::body()

#define TEST(suite, name) TESTING_DEFINE_(suite, name, ::testing::Test)
#define TEST_F(fixture, name) TESTING_DEFINE_(fixture, name, fixture)

#define EXPECT_EQ(a, b) ::testing::check_eq(__FILE__, __LINE__, #a, #b, (a), (b))
#define EXPECT_NE(a, b) ::testing::check_ne(__FILE__, __LINE__, #a, #b, (a), (b))
#define EXPECT_TRUE(c) \
  ((c) ? true : (::testing::report_failure(__FILE__, __LINE__, "expected true: " #c), false))
#define EXPECT_FALSE(c) \
  (!(c) ? true : (::testing::report_failure(__FILE__, __LINE__, "expected false: " #c), false))
#define ASSERT_EQ(a, b) \
  do { if (!EXPECT_EQ(a, b)) return; } while (0)
#define ASSERT_NE(a, b) \
  do { if (!EXPECT_NE(a, b)) return; } while (0)
#define ASSERT_TRUE(c) \
  do { if (!EXPECT_TRUE(c)) return; } while (0)
#define ASSERT_FALSE(c) \
  do { if (!EXPECT_FALSE(c)) return; } while (0)
#define ADD_FAILURE(msg) ::testing::report_failure(__FILE__, __LINE__, (msg))
#define SKIP_TEST(reason) \
  do { ::testing::mark_skipped(reason); return; } while (0)

#endif  // VINTRELL_TESTING_TEST_H_
