// The sorted list box's collation (platform/collation.h). Under Wine it is held
// against the real CompareStringA, on every single byte against every other,
// and on many thousands of seeded random pairs of titles; on both platforms it
// must be an order a sort can use, and it puts the titles users have in the
// order the real list box shows them.
#include "platform/collation.h"

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "testing/test.h"
#include "testing/test_util.h"

namespace {

int sign(int value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

// The real comparison (the native layer's own on the native build).
int platform_order(const std::string& a, const std::string& b) {
  const int result = CompareStringA(0x0409, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                                    b.data(), static_cast<int>(b.size()));
  return result == 0 ? 99 : result - CSTR_EQUAL;
}

int our_order(const std::string& a, const std::string& b) {
  return sign(collation::compare_ignoring_case(a, b));
}

std::string shown(const std::string& bytes) { return testing::describe(bytes); }

// The bytes of titles as people type them in code page 1252: every defined,
// printable one.
std::vector<char> printable_bytes() {
  std::vector<char> bytes;
  for (int b = 0x20; b <= 0xFF; ++b) {
    if (b == 0x7F || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) continue;
    bytes.push_back(static_cast<char>(b));
  }
  return bytes;
}

// Random titles, and pairs of them that differ little (case, an accent, a
// hyphen, one byte), where the finer levels decide.
class Titles {
 public:
  Titles(unsigned seed, std::vector<char> alphabet) : random_(seed), alphabet_(alphabet) {}

  std::string title() {
    std::string text(random_() % 12, ' ');
    for (char& c : text) c = pick();
    return text;
  }

  std::string close_to(std::string text) {
    const unsigned changes = random_() % 3 + 1;
    for (unsigned k = 0; k < changes; ++k) {
      const size_t at = text.empty() ? 0 : random_() % (text.size() + 1);
      switch (random_() % 5) {
        case 0:  // another byte of the same letter class, or any byte
          if (at < text.size()) text[at] = variant(text[at]);
          break;
        case 1:
          text.insert(at, 1, kFine[random_() % (sizeof kFine - 1)]);
          break;
        case 2:
          if (at < text.size()) text.erase(at, 1);
          break;
        case 3:
          text.insert(at, 1, pick());
          break;
        default:
          if (at < text.size()) text[at] = static_cast<char>(text[at] ^ 0x20);  // case, mostly
          break;
      }
    }
    return text;
  }

 private:
  // Hyphens, apostrophes, blanks and the letters that expand.
  static constexpr char kFine[] = "-'\x96\x97 \xAD\xE6\xC6\xDF\x9C\x8C";

  char pick() { return alphabet_[random_() % alphabet_.size()]; }

  // The same letter with another accent or case, where the code page has one.
  char variant(char c) {
    static const char* const kFamilies[] = {
        "aA\xE0\xE1\xE2\xE3\xE4\xE5\xC0\xC1\xC2\xC3\xC4\xC5\xAA",
        "eE\xE8\xE9\xEA\xEB\xC8\xC9\xCA\xCB", "iI\xEC\xED\xEE\xEF\xCC\xCD\xCE\xCF",
        "oO\xF2\xF3\xF4\xF5\xF6\xF8\xD2\xD3\xD4\xD5\xD6\xD8\xBA",
        "uU\xF9\xFA\xFB\xFC\xD9\xDA\xDB\xDC", "yY\xFD\xFF\xDD\x9F", "sS\x9A\x8A", "zZ\x9E\x8E",
        "cC\xE7\xC7", "nN\xF1\xD1", "dD\xF0\xD0", "1\xB9", "2\xB2", "3\xB3",
        "-\x96\x97\xAD", "'\x91\x92\xB4`"};
    for (const char* family : kFamilies) {
      const std::string members = family;
      if (members.find(c) != std::string::npos) return members[random_() % members.size()];
    }
    return pick();
  }

  std::mt19937 random_;
  std::vector<char> alphabet_;
};

constexpr char Titles::kFine[];

}  // namespace

TEST(Collation, EverySingleByteAgainstEveryOtherAsCompareStringA) {
  if (testing::on_native_layer()) SKIP_TEST("CompareStringA is this collation on the native layer");
  long disagreements = 0, pairs = 0;
  for (int x = 0; x < 256; ++x) {
    for (int y = 0; y < 256; ++y) {
      const std::string a(1, static_cast<char>(x)), b(1, static_cast<char>(y));
      ++pairs;
      if (our_order(a, b) != platform_order(a, b)) {
        if (++disagreements <= 10) {
          ADD_FAILURE(shown(a) + " against " + shown(b) + ": " + std::to_string(our_order(a, b)) +
                      ", CompareStringA " + std::to_string(platform_order(a, b)));
        }
      }
    }
  }
  std::printf("collation: %ld single-byte pairs, %ld disagreements\n", pairs, disagreements);
  EXPECT_EQ(disagreements, 0L);
}

TEST(Collation, SeededRandomTitlesAsCompareStringA) {
  if (testing::on_native_layer()) SKIP_TEST("CompareStringA is this collation on the native layer");
  struct Run {
    unsigned seed;
    bool every_byte;  // control characters and undefined bytes too
    long pairs;
  };
  std::vector<char> all_bytes;
  for (int b = 1; b < 256; ++b) all_bytes.push_back(static_cast<char>(b));
  long disagreements = 0, pairs = 0;
  for (const Run& run : {Run{20240901, false, 40000}, Run{7, true, 10000}}) {
    Titles titles(run.seed, run.every_byte ? all_bytes : printable_bytes());
    for (long k = 0; k < run.pairs; ++k) {
      const std::string a = titles.title();
      const std::string b = k % 3 == 0 ? titles.title() : titles.close_to(a);
      ++pairs;
      if (our_order(a, b) != platform_order(a, b)) {
        if (++disagreements <= 10) {
          ADD_FAILURE("seed " + std::to_string(run.seed) + ", pair " + std::to_string(k) + ": " +
                      shown(a) + " against " + shown(b) + ": " + std::to_string(our_order(a, b)) +
                      ", CompareStringA " + std::to_string(platform_order(a, b)));
        }
      }
    }
  }
  std::printf("collation: %ld random pairs of titles, %ld disagreements\n", pairs, disagreements);
  EXPECT_EQ(disagreements, 0L);
}

TEST(Collation, IsAnOrderASortCanUse) {
  // Antisymmetric, level with itself, and transitive, on both platforms.
  Titles titles(99, printable_bytes());
  for (int k = 0; k < 3000; ++k) {
    const std::string a = titles.title(), b = titles.close_to(a), c = titles.close_to(b);
    EXPECT_EQ(our_order(a, a), 0);
    EXPECT_EQ(our_order(a, b), -our_order(b, a));
    const int ab = our_order(a, b), bc = our_order(b, c), ac = our_order(a, c);
    if (ab <= 0 && bc <= 0) EXPECT_TRUE(ac <= 0 && (ac < 0 || (ab == 0 && bc == 0)));
    if (ab >= 0 && bc >= 0) EXPECT_TRUE(ac >= 0 && (ac > 0 || (ab == 0 && bc == 0)));
    if (testing::current_test_failed()) {
      ADD_FAILURE(shown(a) + ", " + shown(b) + ", " + shown(c));
      return;
    }
  }
}

TEST(Collation, TitlesInTheOrderOfTheListBox) {
  // Each row sorts strictly before the next; pinned under Wine 8.0.
  const std::vector<std::string> order = {
      "$", "_x", "\x80", "\xBD" "x", "1 x", "10x", "1x", "\xB9" "x", "a b", "ab", "ab-", "a'b",
      "a-b", "\xE6" "sop", "Arzt", "\xC4" "rzte", "coat", "coop", "co-op", "dash", "-dash",
      "Eclair", "\xC9" "clair", "MacDonald", "Mc Donald", "naive", "na\xEF" "ve", "oneil",
      "o'neil", "ove", "\xD8" "ve", "Stra\xDF" "e", "\xFE" "orn"};
  // The same after a start both share (hyphens, accents and expansions in
  // it too), which decides nothing.
  for (const std::string start : {"", "Club - ", "\xE6" "x'\xE9" " "}) {
    for (size_t i = 0; i + 1 < order.size(); ++i) {
      EXPECT_EQ(our_order(start + order[i], start + order[i + 1]), -1);
      EXPECT_EQ(platform_order(start + order[i], start + order[i + 1]), -1);
    }
    // Level: case, and the letters that expand against what they expand to.
    for (const auto& level : std::vector<std::pair<std::string, std::string>>{
             {"co-op", "CO-OP"},
             {"\xC9" "clair", "\xE9" "CLAIR"},
             {"\xE6" "sop", "Aesop"},
             {"Stra\xDF" "e", "STRASSE"},
             {"\xFE" "orn", "thorn"},
             {"\x9C" "uvre", "oeuvre"},
             {"O'Neil", "o'neil"},
             {"a\xAD" "b", "ab"}}) {  // a soft hyphen weighs nothing
      EXPECT_EQ(our_order(start + level.first, start + level.second), 0);
      EXPECT_EQ(platform_order(start + level.first, start + level.second), 0);
    }
  }
}

TEST(Collation, CompareStringAAnswersAsWindowsDoes) {
  // NUL-terminated lengths, and the native layer's refusals.
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, "abc", -1, "ABC", -1), CSTR_EQUAL);
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, "ab", -1, "abc", 3),
            CSTR_LESS_THAN);
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, "b", 1, "abc", 3),
            CSTR_GREATER_THAN);
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, nullptr, 1, "a", 1), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}
