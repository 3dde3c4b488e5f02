#include "search/distribution_list_scan.h"

#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "runtime/runtime.h"
#include "search/search.h"
#include "services/file_reading.h"
#include "services/text.h"
#include "services/text_search.h"

namespace vintrell {
namespace {

constexpr size_t kTitleSkip = 7;  // the title line's first 7 bytes are not title
constexpr char kCr = 13;
constexpr char kLf = 10;
constexpr char kCtrlZ = 26;
// A line longer than this that runs across blocks is not kept whole: only its
// last bytes, where an occurrence may still begin.
constexpr size_t kCarryLimit = 64 * 1024;

// Bit i of each: the byte at `at + i` (i < n <= 64) is a line's terminator,
// a backslash, an LF. Control lines are rare: the last two are left at 0 in a
// window that holds no backslash.
struct WindowBits {
  uint64_t ends = 0, backslashes = 0, lfs = 0;
};

// A window holds a line end or two: clearing them one by one costs less than
// the run-time's population count on processors it cannot assume.
int set_bits(uint64_t bits) {
  int n = 0;
  for (; bits != 0; bits &= bits - 1) ++n;
  return n;
}

WindowBits window_bits(const char* at, size_t n, char terminator) {
  WindowBits bits;
#if defined(__SSE2__)
  if (n == 64) {
    const __m128i t = _mm_set1_epi8(terminator);
    const __m128i backslash = _mm_set1_epi8('\\');
    __m128i bytes[4];
    __m128i any_backslash = _mm_setzero_si128();
    for (int part = 0; part < 4; ++part) {
      bytes[part] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16 * part));
      const uint32_t ends = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes[part], t)));
      bits.ends |= static_cast<uint64_t>(ends) << (16 * part);
      any_backslash = _mm_or_si128(any_backslash, _mm_cmpeq_epi8(bytes[part], backslash));
    }
    if (_mm_movemask_epi8(any_backslash) == 0) return bits;
    const __m128i lf = _mm_set1_epi8(kLf);
    for (int part = 0; part < 4; ++part) {
      auto mask = [&](__m128i c) {
        return static_cast<uint64_t>(
                   static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes[part], c))))
               << (16 * part);
      };
      bits.backslashes |= mask(backslash);
      bits.lfs |= mask(lf);
    }
    return bits;
  }
#endif
  for (size_t i = 0; i < n; ++i) {
    bits.ends |= static_cast<uint64_t>(at[i] == terminator) << i;
    bits.backslashes |= static_cast<uint64_t>(at[i] == '\\') << i;
    bits.lfs |= static_cast<uint64_t>(at[i] == kLf) << i;
  }
  return bits;
}

// Entries and hits counted over whole blocks of a list's bytes, as its lines
// would be read one by one: the first line is the title line, a line that
// starts with a backslash is a control line, every other line is an entry.
// Lines end at `terminator`; with CR, an LF right after it belongs to it.
class ListTally {
 public:
  ListTally(const TextSearch& search, char terminator, ScanDetails* details)
      : search_(search),
        terminator_(terminator),
        // An occurrence lies within one line, so one holding a line end (or,
        // after a CR, the LF that is part of it) is looked for line by line.
        whole_block_(search.size() != 0 &&
                     std::memchr(search.text().data(), kCr, search.size()) == nullptr &&
                     std::memchr(search.text().data(), kLf, search.size()) == nullptr),
        details_(details != nullptr && details->want_matches ? details : nullptr) {}

  // The next bytes of the data, which ends before any Ctrl-Z; `last` when
  // no more will follow.
  void feed(std::string_view block, bool last) {
    last_block_ = last;
    size_t p = 0;
    const size_t end = block.size();
    while (p < end) {
      if (lf_pending_) {
        lf_pending_ = false;
        if (block[p] == kLf) ++p;
        continue;
      }
      const char* t = static_cast<const char*>(std::memchr(block.data() + p, terminator_, end - p));
      const size_t stop = t != nullptr ? static_cast<size_t>(t - block.data()) : end;
      if (in_title_) {
        title_line_.append(block.data() + p, stop - p);
      } else if (line_open_) {
        continue_line(block.substr(p, stop - p), t != nullptr);
      } else if (t == nullptr) {
        open_line(block.substr(p));
      } else {
        p = whole_lines(block, p);
        continue;
      }
      if (t == nullptr) return;
      in_title_ = false;
      p = after_terminator(block, stop);
    }
  }

  // The data ended: a last line without its terminator still counts.
  void finish() {
    if (line_open_) end_line(carry_);
    line_open_ = false;
  }

  // No line end has ended the first line yet.
  bool in_title() const { return in_title_; }
  const std::string& title_line() const { return title_line_; }
  std::string take_title_line() { return std::move(title_line_); }
  int64_t entries() const { return entries_; }
  int64_t hits() const { return hits_; }

 private:
  size_t after_terminator(std::string_view block, size_t at) {
    ++at;
    if (terminator_ == kCr) {
      if (at < block.size()) {
        if (block[at] == kLf) ++at;
      } else {
        lf_pending_ = true;
      }
    }
    return at;
  }

  // The complete lines from `p` on; answers where the first incomplete one
  // starts, or the block's end.
  size_t whole_lines(std::string_view block, size_t p) {
    if (whole_block_) return whole_lines_by_bits(block, p);
    const size_t end = block.size();
    for (;;) {
      const char* t = static_cast<const char*>(std::memchr(block.data() + p, terminator_, end - p));
      if (t == nullptr) return p;
      const size_t stop = static_cast<size_t>(t - block.data());
      const std::string_view line = block.substr(p, stop - p);
      if (line.empty() || line[0] != '\\') {
        ++entries_;
        const bool hit = search_.size() == 0 ? !line.empty() : search_.find(line) != TextSearch::npos;
        if (hit) count_hit(line);
      }
      p = after_terminator(block, stop);
      if (p >= end || lf_pending_) return p;
    }
  }

  // The same for a text that holds no line end, so that an occurrence lies
  // within a line: lines and control lines are counted from bit masks 64
  // bytes at a time, and only a line holding an occurrence is looked at.
  size_t whole_lines_by_bits(std::string_view block, size_t p) {
    const size_t end = block.size();
    const size_t first_at = search_.find(block, p);
    if (first_at == TextSearch::npos && last_block_ && hits_ == 0) {
      // The text occurs nowhere from here to the end: the list gives no
      // result, whatever its lines, so they are not counted.
      size_t last = end - 1;
      while (block[last] != terminator_) --last;
      return after_terminator(block, last);
    }
    const bool cr = terminator_ == kCr;
    int64_t lines = 0;
    int64_t controls = block[p] == '\\' ? 1 : 0;
    size_t last = end;  // the last terminator
    uint64_t after_carry = 0, past_lf_carry = 0;
    for (size_t w = p; w < end; w += 64) {
      const size_t n = end - w < 64 ? end - w : 64;
      const WindowBits bits = window_bits(block.data() + w, n, terminator_);
      // Where lines start: after each terminator, and after the LF that
      // belongs to a CR.
      const uint64_t after = (bits.ends << 1) | after_carry;
      after_carry = bits.ends >> 63;
      if (bits.backslashes != 0) {
        uint64_t starts = after;
        if (cr) starts = (after & ~bits.lfs) | ((after & bits.lfs) << 1) | past_lf_carry;
        controls += set_bits(starts & bits.backslashes);
      }
      // A CR LF at the window's last two bytes starts a line in the next one.
      if (cr) past_lf_carry = n == 64 ? (bits.ends >> 62) & (block[w + 63] == kLf ? 1 : 0) : 0;
      if (bits.ends != 0) {
        lines += set_bits(bits.ends);
        last = w + 63 - static_cast<size_t>(__builtin_clzll(bits.ends));
      }
    }
    if (last == end) return p;
    const size_t next_line = after_terminator(block, last);
    // The line after the last terminator is not complete yet.
    if (next_line < end && block[next_line] == '\\') --controls;
    entries_ += lines - controls;
    for (size_t at = first_at; at < last;) {
      size_t start = at;
      while (start > p && block[start - 1] != terminator_) --start;
      if (cr && start > p && block[start] == kLf) ++start;
      const size_t stop = static_cast<size_t>(
          static_cast<const char*>(std::memchr(block.data() + at, terminator_, last + 1 - at)) -
          block.data());
      if (block[start] != '\\') count_hit(block.substr(start, stop - start));
      at = search_.find(block, stop + 1);
    }
    return next_line;
  }

  void open_line(std::string_view start) {
    line_open_ = true;
    control_ = start[0] == '\\';
    hit_ = false;
    carry_.assign(start.data(), start.size());
    trim_carry();
  }

  void continue_line(std::string_view more, bool ends) {
    carry_.append(more.data(), more.size());
    if (ends) {
      end_line(carry_);
      line_open_ = false;
    } else {
      trim_carry();
    }
  }

  // A long line is judged as far as it goes; then only the bytes where an
  // occurrence may still start are kept (all of it when its text is wanted).
  void trim_carry() {
    if (carry_.size() <= kCarryLimit + search_.size() || details_ != nullptr) return;
    if (!hit_ && search_.find(carry_) != TextSearch::npos) hit_ = true;
    const size_t keep = search_.size() == 0 ? 1 : search_.size() - 1;
    carry_.erase(0, carry_.size() - keep);
  }

  void end_line(std::string_view line) {
    if (control_) return;
    ++entries_;
    bool hit = hit_;
    if (!hit) {
      hit = search_.size() == 0 ? !line.empty() : search_.find(line) != TextSearch::npos;
    }
    if (hit) count_hit(line);
  }

  void count_hit(std::string_view line) {
    ++hits_;
    if (details_ != nullptr) details_->matches.emplace_back(line);
  }

  const TextSearch& search_;
  const char terminator_;
  const bool whole_block_;
  ScanDetails* const details_;
  bool last_block_ = false;
  bool in_title_ = true;
  std::string title_line_;
  bool lf_pending_ = false;  // a block ended in a CR: an LF first is its own
  // A line begun in an earlier block: whether it is a control line, whether an
  // occurrence was already seen, and its bytes (or their tail).
  bool line_open_ = false;
  bool control_ = false;
  bool hit_ = false;
  std::string carry_;
  int64_t entries_ = 0;
  int64_t hits_ = 0;
};

int32_t saturated(int64_t count) {
  // A list of more than 2^31 lines stays at the largest count instead of wrapping.
  return count > INT32_MAX ? INT32_MAX : static_cast<int32_t>(count);
}

}  // namespace

std::optional<std::string> scan_distribution_list(const std::string& path,
                                                  const std::string& search_text, bool match_case,
                                                  int* read_error, ScanDetails* details,
    int16_t file_number) {
  ProcedureFrame frame;
  open_for_line_reading(path, file_number);
  const int open_error = opening_error(frame.run_time_error());
  const TextSearch& search = TextSearch::for_text(search_text, !match_case);
  if (details != nullptr) details->matches.clear();
  ListTally tally(search, kCr, details);
  if (open_error == 0) {
    for (;;) {
      std::string_view block = take_block(file_number);
      if (block.empty()) break;
      // A Ctrl-Z ends the readable data.
      const void* ctrl_z = std::memchr(block.data(), kCtrlZ, block.size());
      if (ctrl_z != nullptr) block = block.substr(0, static_cast<const char*>(ctrl_z) - block.data());
      tally.feed(block, ctrl_z != nullptr || took_last_block(file_number));
      if (ctrl_z != nullptr) break;
    }
  }
  tally.finish();
  if (read_error != nullptr) {
    *read_error = open_error != 0 ? open_error : error_number_of(frame.run_time_error());
  }
  std::string title_line;
  int64_t entries = tally.entries();
  int64_t hits = tally.hits();
  if (tally.in_title()) {
    // Not one CR: a list whose line ends were turned into bare LFs (by an
    // editor or a copy) is split at its LFs instead of being one title line.
    title_line = tally.take_title_line();
    if (details != nullptr) details->matches.clear();
    ListTally by_lf(search, kLf, details);
    by_lf.feed(title_line, true);
    by_lf.finish();
    title_line = by_lf.take_title_line();
    entries = by_lf.entries();
    hits = by_lf.hits();
  } else {
    title_line = tally.take_title_line();
  }
  if (hits <= 0) {
    if (details != nullptr) details->matches.clear();
    return std::nullopt;
  }
  std::string title = title_line.size() > kTitleSkip ? title_line.substr(kTitleSkip) : std::string();
  if (details != nullptr) {
    details->title = title;
    details->count = saturated(hits);
    details->entries = saturated(entries);
  }
  std::string counts = concatenate(concatenate(number_to_text(saturated(hits)), " out of "),
                                   number_to_text(saturated(entries)));
  return concatenate(concatenate(concatenate(title, " ("), counts), " entries)");
}

}  // namespace vintrell
