#include "search/occurrence_count.h"

#include "services/text_search.h"

namespace vintrell {

int32_t count_occurrences_in(std::string_view subject, std::string_view search, bool fold) {
  if (search.empty() || subject.size() < search.size()) return 0;
  const uint64_t count = TextSearch::for_text(search, fold).count(subject);
  return count > INT32_MAX ? INT32_MAX : static_cast<int32_t>(count);
}

}  // namespace vintrell
