#include "mail_generator.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace mailgen {
namespace {

// splitmix64: tiny, and the same sequence on every compiler (the standard
// library's distributions are not).
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. n-1
  int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
  bool chance(int percent) { return below(100) < percent; }
  template <size_t N>
  const char* pick(const char* const (&items)[N]) {
    return items[below(static_cast<int>(N))];
  }

 private:
  uint64_t state_;
};

// Names and places are invented; the 0xE9/0xFC/0xF6 bytes are e, u and o with
// accents in the Western ANSI code page, which the search's case table leaves alone.
const char* const kFirstNames[] = {
    "Ann",
    "Bram",
    "Carla",
    "Dmitri",
    "Edith",
    "Fergus",
    "Greta",
    "Hamid",
    "Ines",
    "Jonas",
    "Kerstin",
    "Lorcan",
    "Mirela",
    "Nuno",
    "Oona",
    "Piet",
    "Quentin",
    "Rhoda",
    "Sanne",
    "Tobias",
    "Ulla",
    "Viggo",
    "Wenna",
    "Xavier",
    "Yara",
    "Zeno",
    "Ren\xE9",
    "Agn\xE8s",
    "Bj\xF6rn",
    "Mar\xED"
    "a",
    "John",
    "Fred",
    "Hans",
};
const char* const kSurnames[] = {
    "Smith",     "Jones",  "Okafor",     "Lindqvist", "Marchetti", "Brennan",   "Haddad",
    "Kowalczyk", "Duarte", "Achterberg", "Nakamura",  "Ferreira",  "Gallagher", "Ivanova",
    "Petrov",    "Quist",  "Ruiz",       "Sato",      "Thorsen",   "Underhill", "Vance",
    "Whitlock",  "Yilmaz", "Zorba",      "M\xFCller", "Sch\xF6n",  "Smithers",  "Jonesby",
    "Blackwood", "Carrow", "Delacroix",  "Eastwood",
};
const char* const kDepartments[] = {
    "Accounts",  "Sales",   "Research", "Workshop", "Front desk", "Legal",
    "Logistics", "Library", "Board",    "Kitchen",  "Garden",     "",
};
const char* const kDomains[] = {
    "example.com", "example.org", "example.net", "mail.example.com", "post.example.org",
};
const char* const kStreets[] = {
    "Mill Lane",   "Harbour Road", "Chapel Street", "Orchard Way", "Quarry Hill",
    "Station Row", "Kiln Yard",    "Beacon Close",  "Ferry Walk",  "Tannery Court",
};
const char* const kTowns[] = {
    "Ashworth", "Brindle", "Caldmoor", "Dunsley", "Eskbridge", "Farrowby", "Glenholt",
};
const char* const kDetails[] = {
    "",
    "",
    "Prefers post to e-mail",
    "Met at the spring fair",
    "Invoices quarterly",
    "Key holder",
    "Do not call after 6 pm",
    "Newsletter only",
    "Annual subscription paid",
    "Speaks Dutch and German",
};
const char* const kBookNames[] = {
    "Staff",           "Club members",      "Suppliers",  "Family & friends", "Committee",
    "Customers north", "Press contacts",    "Volunteers", "Caf\xE9 regulars", "Alumni 1998",
    "Choir",           "Allotment society",
};
const char* const kListNames[] = {
    "Newsletter", "Board",      "Rota",        "Match day", "Tuesday quiz",
    "Parents",    "Book group", "Site visits", "Helpers",   "Caf\xE9 staff",
};
// Control lines of a distribution list: neither entries nor searched. Every
// list has "\NOSIG Y" (no signature) after its title; these are the others.
const char* const kControlLines[] = {
    "\\R reply@example.org",
    "\\S Monthly notice",
    "\\O 1",
    "\\C Kept by the secretary",
};
const char* const kPostcodes[] = {"AB1", "CD2", "EF3", "GH4", "JK5", "LM6", "NP7"};

struct Person {
  std::string first;
  std::string last;
  std::string department;
  std::string key;
  std::string address;
  std::string second_address;
  std::string street;
  std::string postal;
  std::string phone;
  std::string fax;
  std::string details;
};

// Lower case, and ASCII for the accented letters, as addresses are written.
std::string lower(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (static_cast<unsigned char>(c)) {
      case 0xE8:
      case 0xE9:
        out += 'e';
        break;
      case 0xED:
        out += 'i';
        break;
      case 0xF6:
        out += "oe";
        break;
      case 0xFC:
        out += "ue";
        break;
      default:
        out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    }
  }
  return out;
}

std::string digits(Random& random, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += static_cast<char>('0' + random.below(10));
  return out;
}

// The people everybody's books and lists are drawn from, so the same names turn
// up in several files.
std::vector<Person> people(uint64_t seed) {
  Random random(seed ^ 0x5EED0F9E0B1Eull);
  std::vector<Person> all;
  for (int i = 0; i < 400; ++i) {
    Person p;
    p.first = random.pick(kFirstNames);
    p.last = random.pick(kSurnames);
    p.department = random.pick(kDepartments);
    p.key = lower(p.first.substr(0, 1) + p.last).substr(0, 8) + digits(random, 2);
    const char* domain = random.pick(kDomains);
    p.address = lower(p.first) + "." + lower(p.last) + "@" + domain;
    p.second_address =
        random.chance(30) ? lower(p.last) + digits(random, 2) + "@" + random.pick(kDomains) : "";
    p.street = std::to_string(1 + random.below(120)) + " " + random.pick(kStreets);
    p.postal = std::string(random.pick(kTowns)) + " " + random.pick(kPostcodes) + " " +
               digits(random, 1) + "XY";
    p.phone = "+44 1632 " + digits(random, 6);
    p.fax = random.chance(20) ? "+44 1632 " + digits(random, 6) : "";
    p.details = random.pick(kDetails);
    all.push_back(p);
  }
  return all;
}

void put_field(std::string* record, size_t* at, const std::string& text, size_t size) {
  // NUL-padded, always leaving at least one NUL.
  size_t n = text.size() < size ? text.size() : size - 1;
  record->replace(*at, n, text, 0, n);
  *at += size;
}

std::string book_record(const Person& p, int flag) {
  std::string record(kRecordSize, '\0');
  record[0] = static_cast<char>(flag & 0xFF);
  record[1] = static_cast<char>((flag >> 8) & 0xFF);
  size_t at = 2;
  put_field(&record, &at, p.last + ", " + p.first, 40);
  put_field(&record, &at, p.department, 40);
  put_field(&record, &at, p.key, 12);
  put_field(&record, &at, p.street, 60);
  put_field(&record, &at, p.postal, 60);
  put_field(&record, &at, p.phone, 24);
  put_field(&record, &at, p.fax, 24);
  put_field(&record, &at, p.details, 80);
  put_field(&record, &at, p.second_address.empty() ? p.address : p.second_address, 100);
  put_field(&record, &at, flag ? "G" : "", 4);  // the user field
  at += 12;                                     // reserved
  return record;
}

std::string numbered(const char* base, int index, int count) {
  if (index < count) return base;
  return std::string(base) + " " + std::to_string(index / count + 1);
}

// Some folders hold names the client wrote in lower case.
bool number_in_lower(int number) { return number % 7 == 3; }

std::string file_name(const char* stem, int number, const char* extension) {
  char name[32];
  std::snprintf(name, sizeof name, "%s%04d.%s", stem, number, extension);
  std::string out = name;
  if (number_in_lower(number)) out = lower(out);
  return out;
}

// Records per book: most near the average, a few much larger.
int book_records(Random& random, int average) {
  int roll = random.below(100);
  int percent;  // of the average
  if (roll < 70) {
    percent = 30 + random.below(90);
  } else if (roll < 95) {
    percent = 120 + random.below(130);
  } else {
    percent = 250 + random.below(550);
  }
  int records = static_cast<int>(static_cast<int64_t>(average) * percent * 4 / 500);
  return records < 1 ? 1 : records;
}

std::string distribution_list(Random& random, const std::vector<Person>& pool,
                              const std::string& title, int entries,
                              const std::vector<std::string>& other_lists) {
  // "\TITLE " is the 7 bytes before the title that the search drops.
  std::string out = "\\TITLE " + title + "\r\n\\NOSIG Y\r\n";
  for (int i = 0, n = random.below(3); i < n; ++i) {
    out += random.pick(kControlLines);
    out += "\r\n";
  }
  for (int i = 0; i < entries; ++i) {
    const Person& p = pool[random.below(static_cast<int>(pool.size()))];
    int form = random.below(10);
    if (!other_lists.empty() && random.chance(6)) {
      // Another list of the folder, whose entries the client sends to as well.
      out += "@" + other_lists[random.below(static_cast<int>(other_lists.size()))] + "\r\n";
      continue;
    }
    if (form < 5) {
      out += p.address;
    } else if (form < 8) {
      out += "\"" + p.first + " " + p.last + "\" <" + p.address + ">";
    } else if (form < 9) {
      out += p.address + " (" + p.first + " " + p.last + ")";
    } else {
      out += "";  // the client keeps blank lines it was given
    }
    out += "\r\n";
    if (random.chance(3)) out += std::string(random.pick(kControlLines)) + "\r\n";
  }
  return out;
}

std::string book_bytes(Random& random, const std::vector<Person>& pool,
                       const std::string& long_name, int records) {
  std::string out(kHeaderSize, '\0');
  size_t n = long_name.size() < kLongNameSize ? long_name.size() : kLongNameSize - 1;
  out.replace(0, n, long_name, 0, n);
  out.reserve(kHeaderSize + static_cast<size_t>(records) * kRecordSize);
  for (int i = 0; i < records; ++i) {
    const Person& p = pool[random.below(static_cast<int>(pool.size()))];
    out += book_record(p, random.chance(4) ? 1 : 0);
  }
  return out;
}

// The client's index beside a book: per record, in name order, its number (4
// bytes, little-endian) and the first 16 bytes of its name in capitals.
std::string book_index(const std::string& book) {
  std::vector<std::pair<std::string, uint32_t>> names;
  for (size_t at = kHeaderSize, n = 0; at + kRecordSize <= book.size(); at += kRecordSize, ++n) {
    std::string name = book.substr(at + 2, 16);
    for (char& c : name) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    names.emplace_back(name, static_cast<uint32_t>(n));
  }
  std::stable_sort(names.begin(), names.end());
  std::string out;
  for (const auto& [name, number] : names) {
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((number >> shift) & 0xFF);
    out += name;
  }
  return out;
}

}  // namespace

std::string address_book(uint64_t seed, const std::string& long_name, int records) {
  Random random(seed);
  return book_bytes(random, people(seed), long_name, records);
}

void generate(const Options& options, const std::function<void(const GeneratedFile&)>& sink) {
  Random random(options.seed);
  std::vector<Person> pool = people(options.seed);
  const int book_name_count = static_cast<int>(sizeof kBookNames / sizeof kBookNames[0]);
  const int list_name_count = static_cast<int>(sizeof kListNames / sizeof kListNames[0]);
  for (int i = 0; i < options.address_books; ++i) {
    GeneratedFile file;
    file.name = file_name("ADDR", i + 1, "PMR");
    int records = book_records(random, options.records_per_book);
    file.bytes = book_bytes(random, pool,
                            numbered(kBookNames[i % book_name_count], i, book_name_count), records);
    sink(file);
    GeneratedFile index;
    index.name = file.name.substr(0, file.name.size() - 3) + (number_in_lower(i + 1) ? "pm!" : "PM!");
    index.bytes = book_index(file.bytes);
    sink(index);
  }
  std::vector<std::string> list_names;
  for (int i = 0; i < options.distribution_lists; ++i) {
    list_names.push_back(file_name("LIST", i + 1, "PML"));
  }
  for (int i = 0; i < options.distribution_lists; ++i) {
    GeneratedFile file;
    file.name = file_name("LIST", i + 1, "PML");
    int entries = 1 + random.below(2 * options.entries_per_list);
    std::vector<std::string> others;
    for (int j = 0; j < options.distribution_lists; ++j) {
      if (j != i) others.push_back(list_names[static_cast<size_t>(j)]);
    }
    file.bytes = distribution_list(random, pool,
                                   numbered(kListNames[i % list_name_count], i, list_name_count),
                                   entries, others);
    sink(file);
  }
}

}  // namespace mailgen
