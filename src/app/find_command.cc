#include "app/find_command.h"

#include <string>

#include "app/main_dialog.h"
#include "dialog/dialog.h"
#include "runtime/runtime.h"
#include "search/search.h"

namespace vintrell {

int32_t find_command(HWND dialog, UINT, WPARAM, LPARAM) {
  ProcedureFrame frame;
  // An earlier search's lines go even when this one finds nothing.
  reset_list(dialog, kResultsList);
  const std::string directory = get_control_text(dialog, kDirectoryBox);
  const std::string find_text = get_control_text(dialog, kTextToFindBox);
  const SearchKind kind = get_check(dialog, kAddressBooksOption) != 0
                              ? SearchKind::kAddressBooks
                              : SearchKind::kDistributionLists;
  const bool match_case = get_check(dialog, kMatchCaseBox) != 0;
  // The list box sorts the lines itself. It is painted once, after the last
  // line: a repaint per line costs more than the whole search.
  set_control_redraw(dialog, kResultsList, false);
  run_search(
      make_search_request(directory, find_text, kind, match_case),
      [dialog](const std::string& line) { add_list_item(dialog, kResultsList, line); },
      [dialog](const std::string& summary) { set_control_text(dialog, kSummaryBox, summary); });
  set_control_redraw(dialog, kResultsList, true);
  return 0;
}

}  // namespace vintrell
