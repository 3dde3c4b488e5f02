// What vintrell-find asks of the process it runs in, where the platforms
// differ: whether its working folder still exists, how it ends when standard
// output's reader has gone, how many processors it may run on.
#ifndef VINTRELL_CLI_HOST_H_
#define VINTRELL_CLI_HOST_H_

#include <string>

namespace vintrell {

// True when the process's working folder has been deleted (under the shell
// that started it) and `folder`, a folder named relative to it, would be
// looked up in what is no longer there. Windows keeps a process's working
// folder from being deleted: never there.
bool relative_to_deleted_working_folder(const std::string& folder);

// Ends the process as a program does whose standard output lost its reader
// (`| head`): natively killed by SIGPIPE, as grep is (status 141 in a shell);
// on Windows, which has no such signal, quietly with `status`.
[[noreturn]] void end_for_gone_reader(int status);

// The separator a path below `folder` is joined with: '\' on Windows;
// natively '/', unless the user wrote `folder` with backslashes, which are kept.
char path_separator_for(const std::string& folder);

// From now on no symbolic link below `folder` is followed by an open or a
// listing, also one swapped in after its folder was listed (-r's promise).
// Natively; Windows lists links as reparse points, which -r passes by.
void follow_no_links_below_folder(const std::string& folder);

// The processors this process may run on (its affinity, as `taskset` or
// `start /affinity` set it); at least 1.
unsigned processor_count();

}  // namespace vintrell

#endif  // VINTRELL_CLI_HOST_H_
