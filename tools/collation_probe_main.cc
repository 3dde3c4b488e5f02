// Measures how CompareStringA orders code page 1252 text for English (United
// States) with case ignored, the comparison a sorted list box inserts by, and
// writes the weight table the native layer's collation is built from:
//
//   tools/with-wine.sh PREFIX wine collation-probe.exe > src/platform/collation_table.inc
//
// Everything comes from CompareStringA on single bytes, pairs and short strings:
//   - a byte that compares level with the empty string is ignored;
//   - a byte that adds nothing to the letters and digits ("-ab" before "ac",
//     "-ac" after "ab") but still tells strings apart is special: it counts only
//     when all else is level, by its position and then its own rank;
//   - the other bytes fall into first-level classes (level when a later "a"
//     against "b" decides both ways); a class level with a string of two or
//     three other classes expands into them (æ as a, e);
//   - within a class, members that differ are told apart at the second level
//     (accents) when the difference outweighs an accent later in the string,
//     otherwise at a third;
//   - an expanding byte takes the second and third levels of the members whose
//     string it is level with.
// A measurement the model cannot express stops the probe with a message on
// stderr and exit status 1. Windows only: it asks the real CompareStringA.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr LCID kEnglishUnitedStates = 0x0409;
long g_queries = 0;

int compare(const std::string& a, const std::string& b, DWORD flags = NORM_IGNORECASE) {
  ++g_queries;
  int result = CompareStringA(kEnglishUnitedStates, flags, a.data(), static_cast<int>(a.size()),
                              b.data(), static_cast<int>(b.size()));
  if (result == 0) {
    std::fprintf(stderr, "collation-probe: CompareStringA failed (%lu)\n", GetLastError());
    std::exit(1);
  }
  return result - CSTR_EQUAL;
}

// The order of a and b at the first level alone: a later first-level
// difference outweighs every finer one, so a and b are level there when "a"
// after them decides both ways.
int first_level(const std::string& a, const std::string& b) {
  if (compare(a + "b", b + "a") < 0) return -1;
  if (compare(a + "a", b + "b") > 0) return 1;
  return 0;
}

std::string one_byte(int b) { return std::string(1, static_cast<char>(b)); }

[[noreturn]] void unmodelled(const std::string& what) {
  std::fprintf(stderr, "collation-probe: not expressible in the table: %s\n", what.c_str());
  std::exit(1);
}

enum Kind { kIgnored = 0, kSpecial = 1, kWeighted = 2 };

struct Entry {
  Kind kind = kIgnored;
  std::vector<int> classes;  // first-level class of each element
  std::vector<int> second, third;
  int special = 0;
};

struct Class {
  std::vector<int> members;  // bytes, in CompareStringA order
  bool expands = false;
  std::vector<int> parts;  // classes it expands into
  int rank = 0;            // first-level weight of a class that does not expand
};

std::string describe(int b) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", b);
  return text;
}

}  // namespace

int main() {
  Entry entries[256];
  std::vector<int> weighted, specials;
  for (int b = 1; b < 256; ++b) {
    if (compare(one_byte(b), "") == 0) continue;
    if (compare(one_byte(b) + "ab", "ac") < 0 && compare(one_byte(b) + "ac", "ab") > 0) {
      entries[b].kind = kSpecial;
      specials.push_back(b);
    } else {
      entries[b].kind = kWeighted;
      weighted.push_back(b);
    }
  }

  // Specials: their own order.
  std::stable_sort(specials.begin(), specials.end(),
                   [](int x, int y) { return compare(one_byte(x), one_byte(y)) < 0; });
  for (size_t i = 0, rank = 0; i < specials.size(); ++i) {
    if (i == 0 || compare(one_byte(specials[i - 1]), one_byte(specials[i])) != 0) ++rank;
    entries[specials[i]].special = static_cast<int>(rank);
  }

  // First-level classes.
  std::stable_sort(weighted.begin(), weighted.end(),
                   [](int x, int y) { return first_level(one_byte(x), one_byte(y)) < 0; });
  std::vector<Class> classes;
  for (size_t i = 0; i < weighted.size(); ++i) {
    if (i == 0 || first_level(one_byte(weighted[i - 1]), one_byte(weighted[i])) != 0) classes.emplace_back();
    classes.back().members.push_back(weighted[i]);
  }
  for (Class& c : classes) {
    std::stable_sort(c.members.begin(), c.members.end(),
                     [](int x, int y) { return compare(one_byte(x), one_byte(y)) < 0; });
  }

  // Expanding classes: the greatest string of other classes' first members that
  // does not pass the class, grown one class at a time, until it is level.
  for (size_t c = 0; c < classes.size(); ++c) {
    const std::string target = one_byte(classes[c].members[0]);
    std::string prefix;
    std::vector<int> parts;
    for (int length = 0; length < 3; ++length) {
      int best = -1;
      for (size_t other = 0; other < classes.size(); ++other) {
        if (other == c) continue;
        if (first_level(prefix + one_byte(classes[other].members[0]), target) <= 0) {
          best = static_cast<int>(other);
        }
      }
      if (best < 0) break;
      prefix += one_byte(classes[best].members[0]);
      parts.push_back(best);
      if (first_level(prefix, target) == 0) {
        if (parts.size() >= 2) {
          classes[c].expands = true;
          classes[c].parts = parts;
        }
        break;
      }
    }
  }
  int rank = 0;
  for (Class& c : classes) {
    if (!c.expands) c.rank = ++rank;
  }
  for (const Class& c : classes) {
    for (int part : c.parts) {
      if (classes[part].expands) unmodelled("an expansion into an expanding class");
    }
  }

  // Second and third levels of the members of each class that does not expand.
  for (Class& c : classes) {
    if (c.expands) continue;
    int second = 0, third = 0;
    for (size_t i = 0; i < c.members.size(); ++i) {
      const int b = c.members[i];
      if (i > 0) {
        const int before = c.members[i - 1];
        const int order = compare(one_byte(before), one_byte(b));
        if (order > 0) unmodelled("members of a class out of order at " + describe(b));
        if (order < 0) {
          // An accent after the byte decides only below the second level.
          if (compare(one_byte(before) + "\xE1", one_byte(b) + "a") < 0) {
            ++second;
            third = 0;
          } else {
            ++third;
          }
        }
      }
      entries[b].classes = {static_cast<int>(&c - &classes[0])};
      entries[b].second = {second};
      entries[b].third = {third};
    }
  }

  // Expanding bytes: the levels of the members' string they are level with.
  for (const Class& c : classes) {
    if (!c.expands) continue;
    for (int b : c.members) {
      std::vector<size_t> at(c.parts.size(), 0);
      bool found = false;
      while (!found) {
        std::string candidate;
        for (size_t k = 0; k < at.size(); ++k) candidate += one_byte(classes[c.parts[k]].members[at[k]]);
        if (compare(one_byte(b), candidate) == 0) {
          found = true;
          entries[b].classes = c.parts;
          for (size_t k = 0; k < at.size(); ++k) {
            const int member = classes[c.parts[k]].members[at[k]];
            entries[b].second.push_back(entries[member].second[0]);
            entries[b].third.push_back(entries[member].third[0]);
          }
          break;
        }
        size_t k = 0;
        while (k < at.size() && ++at[k] == classes[c.parts[k]].members.size()) at[k++] = 0;
        if (k == at.size()) break;
      }
      if (!found) unmodelled("no string of members is level with " + describe(b));
    }
  }

  // How the positions of specials compare: an earlier one first, or last.
  const bool earlier_first = compare("a-aa", "aa-a") < 0;

  std::printf("// Generated by tools/collation_probe_main.cc under Wine from %ld CompareStringA\n"
              "// queries (English (United States), NORM_IGNORECASE, code page 1252). Measure\n"
              "// again rather than edit.\n",
              g_queries);
  std::printf("// A special byte at an earlier position sorts %s.\n",
              earlier_first ? "first" : "last");
  std::printf("constexpr bool kEarlierSpecialFirst = %s;\n", earlier_first ? "true" : "false");
  std::printf("// {kind, elements, first level, second level, third level, special rank}\n");
  std::printf("constexpr ByteWeights kByteWeights[256] = {\n");
  for (int b = 0; b < 256; ++b) {
    const Entry& e = entries[b];
    int first[3] = {0, 0, 0}, second[3] = {0, 0, 0}, third[3] = {0, 0, 0};
    for (size_t k = 0; k < e.classes.size(); ++k) {
      first[k] = classes[e.classes[k]].rank;
      second[k] = e.second[k];
      third[k] = e.third[k];
    }
    std::printf("    {%d, %d, {%d, %d, %d}, {%d, %d, %d}, {%d, %d, %d}, %d},  // %02X\n", e.kind,
                static_cast<int>(e.classes.size()), first[0], first[1], first[2], second[0],
                second[1], second[2], third[0], third[1], third[2], e.special, b);
  }
  std::printf("};\n");
  return 0;
}
