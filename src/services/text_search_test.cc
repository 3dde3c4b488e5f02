#include "services/text_search.h"

#include <random>
#include <string>

#include "services/case_table.h"
#include "testing/test.h"

using namespace vintrell;

namespace {

// Every start tried, every byte compared: the rule the matcher must give.
size_t plain_find(const std::string& subject, const std::string& text, bool fold, size_t from) {
  if (text.empty()) return from <= subject.size() ? from : TextSearch::npos;
  for (size_t at = from; at + text.size() <= subject.size(); ++at) {
    size_t k = 0;
    while (k < text.size()) {
      unsigned char c = static_cast<unsigned char>(subject[at + k]);
      if ((fold ? upper_case_byte(c) : c) != static_cast<unsigned char>(text[k])) break;
      ++k;
    }
    if (k == text.size()) return at;
  }
  return TextSearch::npos;
}

uint64_t plain_count(const std::string& subject, const std::string& text, bool fold) {
  if (text.empty()) return 0;
  uint64_t n = 0;
  for (size_t at = plain_find(subject, text, fold, 0); at != TextSearch::npos;
       at = plain_find(subject, text, fold, at + text.size())) {
    ++n;
  }
  return n;
}

}  // namespace

TEST(TextSearch, AgreesWithTryingEveryStart) {
  struct Case {
    std::string subject, text;
    bool fold;
  } cases[] = {
      {"abcabc", "bc", false}, {"aab", "ab", false}, {"aaaa", "aa", false}, {"aaa", "aa", false},
      {"Fred JONES", "JONES", true}, {"Fred JONES", "jones", true}, {"fred jones", "JONES", false},
      {std::string("x\0y\0", 4), std::string(1, '\0'), false}, {"\x81\x9a", "\x9a\x9a", true},
      {"abababab", "abab", false}, {"abaabaabaab", "abaab", false}, {"", "a", true},
      {"short", "", false}, {"GCAGAGAG", "GAGAG", false}, {"zzzzzzzzzzzy", "zzzy", false},
      // Longer than one filter step, occurrences at both ends and across steps.
      {"smith" + std::string(70, '.') + "SMITH" + std::string(29, ' ') + "smith", "SMITH", true},
  };
  for (const Case& c : cases) {
    TextSearch search(c.text, c.fold);
    for (size_t from = 0; from <= c.subject.size() + 1; ++from) {
      EXPECT_EQ(search.find(c.subject, from), plain_find(c.subject, c.text, c.fold, from));
    }
    EXPECT_EQ(search.count(c.subject), plain_count(c.subject, c.text, c.fold));
  }
  // Random subjects over small alphabets, where periodic texts and partial
  // matches abound, texts taken from the subject or made up.
  std::mt19937 random(20261209);
  for (int round = 0; round < 3000; ++round) {
    const int letters = 1 + static_cast<int>(random() % 3);
    std::string subject(random() % 300, 'a');
    for (char& ch : subject) ch = static_cast<char>("aAbB"[random() % (letters + 1)]);
    std::string text(1 + random() % 12, 'a');
    if (subject.size() > text.size() && random() % 2) {
      text = subject.substr(random() % (subject.size() - text.size()), text.size());
    } else {
      for (char& ch : text) ch = static_cast<char>("aAbB"[random() % (letters + 1)]);
    }
    const bool fold = random() % 2;
    TextSearch search(text, fold);
    const size_t from = subject.empty() ? 0 : random() % subject.size();
    if (!EXPECT_EQ(search.find(subject, from), plain_find(subject, text, fold, from))) break;
    if (!EXPECT_EQ(search.count(subject), plain_count(subject, text, fold))) break;
  }
}

TEST(TextSearch, RepetitiveTextsAndSubjectsStayLinear) {
  // Each of these costs text length times subject size when every candidate
  // start is checked whole; here each is counted right and at once.
  const std::string as(1 << 20, 'a');
  const std::string long_a(20001, 'a');
  EXPECT_EQ(TextSearch(long_a, false).count(as), uint64_t{(1 << 20) / 20001});
  EXPECT_EQ(TextSearch(long_a + "b", false).count(as), uint64_t{0});
  EXPECT_EQ(TextSearch("b" + long_a, true).find(as), TextSearch::npos);
  EXPECT_EQ(TextSearch(std::string(5000, 'A') + "B" + std::string(5000, 'A'), true).find(as),
            TextSearch::npos);
}
