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

// The folder searched when no DIR is given, as the file calls take it:
// natively ".", the working folder by the kernel's lookup whatever its name
// or length; on Windows the working folder's name. False with the reason when
// there is none.
bool working_folder_to_search(std::string* folder, std::string* reason);

// From now on the file calls take `folder` and the paths below it as the
// user's system means them. Natively: `folder`'s bytes as the kernel resolves
// them and every name below byte for byte, opened through the folder's
// descriptor; without `follow_links` (-r's promise) no symbolic link below it
// is followed, also one swapped in after its folder was listed. On Windows the
// file calls already take paths so; links there are reparse points, which -r
// passes by, and without `follow_links` a file is read only as its folder's
// listing holds it (cli/opens_below.h): one reached through a link or junction
// swapped in since the listing is refused as a link met, never read.
void take_paths_as_given(const std::string& folder, bool follow_links);

// A path below the searched folder (names joined with '\', as listed) as the
// user's system spells it, and the separator that joins it to the folder.
std::string path_as_spelled(const std::string& below);
char path_separator();

// The processors this process may run on (its affinity, as `taskset` or
// `start /affinity` set it); at least 1.
unsigned processor_count();

}  // namespace vintrell

#endif  // VINTRELL_CLI_HOST_H_
