// Finding a text in bytes, exactly or through the fixed upper-case table, in
// time linear in the bytes searched whatever the text: the one matcher behind
// every count and every entry test of a search.
#ifndef VINTRELL_SERVICES_TEXT_SEARCH_H_
#define VINTRELL_SERVICES_TEXT_SEARCH_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vintrell {

class TextSearch {
 public:
  static constexpr size_t npos = std::string_view::npos;

  // Looks for `text` as given. With `fold`, each byte of a subject is
  // upper-cased by the fixed table before it is compared, so a text holding a
  // byte the table never yields (a small letter) occurs nowhere.
  TextSearch(std::string_view text, bool fold);

  // The search for `text`, made once per thread and text: a scan of many
  // small files asks for the same one each time.
  static const TextSearch& for_text(std::string_view text, bool fold);
  // Frees the calling thread's search; a thread that searched calls it
  // before it ends.
  static void release_for_thread();

  size_t size() const { return text_.size(); }
  std::string_view text() const { return text_; }

  // The leftmost start at or after `from` of an occurrence lying wholly in
  // `subject`; npos when there is none. An empty text occurs at `from` (when
  // `from` is within the subject or at its end).
  size_t find(std::string_view subject, size_t from = 0) const;

  // The non-overlapping occurrences, leftmost first; 0 for an empty text.
  uint64_t count(std::string_view subject) const;

 private:
  size_t two_way(const unsigned char* y, size_t n, size_t from) const;
  size_t filtered(const unsigned char* y, size_t n, size_t from) const;
  bool matches_at(const unsigned char* at) const;

  std::string text_;
  bool fold_ = false;
  unsigned char map_[256];  // the upper-case table, or every byte to itself
  bool never_ = false;      // some byte of the text has no byte mapping to it
  // The two rarest positions of the text and the (at most two) subject bytes
  // that map to each, tested together to find candidate starts fast.
  size_t first_ = 0, second_ = 0;
  unsigned char first_a_ = 0, first_b_ = 0, second_a_ = 0, second_b_ = 0;
  // Two-Way's critical factorisation: the left part is text_[0, ell_ + 1).
  ptrdiff_t ell_ = -1;
  size_t period_ = 1;
  bool periodic_ = false;
};

}  // namespace vintrell

#endif  // VINTRELL_SERVICES_TEXT_SEARCH_H_
