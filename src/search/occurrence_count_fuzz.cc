// Checks count_occurrences_in against count_occurrences on arbitrary bytes: the
// first byte picks the search's length, the rest is search then subject.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "search/occurrence_count.h"
#include "services/text.h"

using namespace vintrell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t n = data[0] % 9;
  std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  if (n > rest.size()) n = rest.size();
  std::string search = rest.substr(0, n);
  std::string subject = rest.substr(n);
  for (bool fold : {false, true}) {
    std::string wanted = fold ? upper_case(search) : search;
    std::string seen = fold ? upper_case(subject) : subject;
    if (count_occurrences_in(subject, wanted, fold) != count_occurrences(seen, wanted)) {
      std::abort();
    }
  }
  return 0;
}
