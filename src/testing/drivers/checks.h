// The drivers' one harness: each check prints one "ok" or "FAIL" line as it
// goes (a driver under Wine is read as it runs), and the totals end the run.
#ifndef VINTRELL_TESTING_DRIVERS_CHECKS_H_
#define VINTRELL_TESTING_DRIVERS_CHECKS_H_

#include <cstdio>
#include <functional>
#include <string>

#include "platform/win32.h"

namespace driver {

// The caption of the program's main dialog.
inline const char kCaption[] = "Vintrell for Pegasus Mail";
// How long a driver waits for the program; only ever reached by a fault.
constexpr DWORD kPatienceMilliseconds = 30000;

struct Tally {
  int passed = 0;
  int failed = 0;
};

inline Tally& tally() {
  static Tally counts;
  return counts;
}

inline void check(bool ok, const std::string& what, const std::string& detail = std::string()) {
  if (ok) {
    ++tally().passed;
    std::printf("ok    %s\n", what.c_str());
  } else {
    ++tally().failed;
    std::printf("FAIL  %s%s%s\n", what.c_str(), detail.empty() ? "" : "\n      ", detail.c_str());
  }
  std::fflush(stdout);
}

inline void check_text(const std::string& seen, const std::string& wanted, const std::string& what) {
  check(seen == wanted, what, "seen \"" + seen + "\", wanted \"" + wanted + "\"");
}

// Asks `done` every 20 ms until it holds or the patience runs out.
inline bool wait_until(const std::function<bool()>& done) {
  for (DWORD waited = 0; waited < kPatienceMilliseconds; waited += 20) {
    if (done()) return true;
    Sleep(20);
  }
  return done();
}

// Prints the totals; the driver's exit status.
inline int finish() {
  std::printf("%d passed, %d failed, 0 skipped\n", tally().passed, tally().failed);
  return tally().failed == 0 ? 0 : 1;
}

}  // namespace driver

#endif  // VINTRELL_TESTING_DRIVERS_CHECKS_H_
