// Checks the directory search's name matcher against a plain recursive matcher
// written from its rules, on arbitrary masks and names, and that it honours the
// rules' consequences: case never matters, a name matches itself and `*`.
//
// Input: a flag byte, a byte giving the mask's length, the mask, then the name.
// With flag bit 0 every byte is first folded into a small alphabet of wildcards,
// dots and a few letters of both cases, where the interesting cases are dense.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/posix/name_match.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

// The case pairs of file names on Windows with code page 1252, as measured on
// Wine 8.0: lower-case byte, upper-case byte.
struct CasePairs {
  unsigned char upper[256];
  unsigned char other[256];
  CasePairs() {
    for (int c = 0; c < 256; ++c) upper[c] = other[c] = static_cast<unsigned char>(c);
    auto pair = [this](int lower, int upper_case) {
      upper[lower] = static_cast<unsigned char>(upper_case);
      other[lower] = static_cast<unsigned char>(upper_case);
      other[upper_case] = static_cast<unsigned char>(lower);
    };
    for (int c = 'a'; c <= 'z'; ++c) pair(c, c - 'a' + 'A');
    for (int c = 0xE0; c <= 0xFE; ++c) {
      if (c != 0xF7) pair(c, c - 0x20);  // not the division and multiplication signs
    }
    pair(0x9A, 0x8A);
    pair(0x9C, 0x8C);
    pair(0x9E, 0x8E);
    pair(0xFF, 0x9F);
  }
};

const CasePairs kPairs;

char fold(char c) { return static_cast<char>(kPairs.upper[static_cast<uint8_t>(c)]); }

// Matches mask[i..] against name[j..]: `*` any run, `?` one byte, anything else
// itself regardless of case; with the name used up, the rest of the mask
// may hold only `*` and `.`. Memoised, so quadratic at worst.
class ReferenceMatcher {
 public:
  ReferenceMatcher(const std::string& mask, const std::string& name)
      : mask_(mask), name_(name), memo_((mask.size() + 1) * (name.size() + 1), kUnknown) {}

  bool matches() { return at(0, 0); }

 private:
  static constexpr char kUnknown = 2;

  bool at(size_t i, size_t j) {
    char& memo = memo_[i * (name_.size() + 1) + j];
    if (memo == kUnknown) memo = compute(i, j);
    return memo;
  }

  bool compute(size_t i, size_t j) {
    if (j == name_.size()) {
      for (size_t k = i; k < mask_.size(); ++k) {
        if (mask_[k] != '*' && mask_[k] != '.') return false;
      }
      return true;
    }
    if (i == mask_.size()) return false;
    if (mask_[i] == '*') return at(i + 1, j) || at(i, j + 1);
    if (mask_[i] == '?' || fold(mask_[i]) == fold(name_[j])) return at(i + 1, j + 1);
    return false;
  }

  const std::string& mask_;
  const std::string& name_;
  std::vector<char> memo_;
};

std::string flip_case(std::string s) {
  for (char& c : s) c = static_cast<char>(kPairs.other[static_cast<uint8_t>(c)]);
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const bool small_alphabet = data[0] & 1;
  size_t mask_size = data[1];
  data += 2;
  size -= 2;
  if (mask_size > size) mask_size = size;
  std::string mask(reinterpret_cast<const char*>(data), mask_size);
  std::string name(reinterpret_cast<const char*>(data + mask_size), size - mask_size);
  // Names and masks longer than a path component are not worth the time.
  if (name.size() > 300) name.resize(300);
  if (small_alphabet) {
    static const char kAlphabet[] = "**?..aAbBzZ\xE9\xC9\x9A\x8A\xF7\xD7";
    for (std::string* s : {&mask, &name}) {
      for (char& c : *s) c = kAlphabet[static_cast<uint8_t>(c) % (sizeof kAlphabet - 1)];
    }
  }

  const bool matched = native_layer::name_matches_mask(mask, name);
  check(matched == ReferenceMatcher(mask, name).matches());
  check(native_layer::name_matches_mask(flip_case(mask), name) == matched);
  check(native_layer::name_matches_mask(mask, flip_case(name)) == matched);
  check(native_layer::name_matches_mask(name, name));  // a wildcard also matches itself
  check(native_layer::name_matches_mask("*", name));
  check(native_layer::name_matches_mask(mask + "*", name) || !matched);
  return 0;
}
