// Standard output as a file on disk, so that a search never reads back its
// own output (`vintrell-find -r -d . x > mail/FOUND.PMR`), as grep refuses to.
#ifndef VINTRELL_CLI_OUTPUT_IDENTITY_H_
#define VINTRELL_CLI_OUTPUT_IDENTITY_H_

#include <string>

#include "platform/win32.h"

namespace vintrell {

class StandardOutputFile {
 public:
  // Measures standard output once: a file on disk, or anything else (a
  // terminal, a pipe), which no listed file can be.
  StandardOutputFile();

  // True when the file `path` (as the platform's file calls take it) is
  // standard output's file: the same volume and file index (device and
  // inode natively). Opens nothing unless standard output is a file.
  bool is(const std::string& path) const;

 private:
  bool on_disk_ = false;
  DWORD volume_ = 0;
  DWORD index_high_ = 0;
  DWORD index_low_ = 0;
};

}  // namespace vintrell

#endif  // VINTRELL_CLI_OUTPUT_IDENTITY_H_
