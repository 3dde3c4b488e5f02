// File services: files opened for reading only, shared with other readers and
// writers, under small file numbers, read line by line or whole. Failures record a run-time error in the caller's frame and give
// an empty or zero result; nothing throws and nothing is shown.
#ifndef VINTRELL_SERVICES_FILE_READING_H_
#define VINTRELL_SERVICES_FILE_READING_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/win32.h"

namespace vintrell {

// An open takes at most this many bytes of its path; the rest is cut off.
constexpr size_t kOpenPathLimit = 255;

// Opens `path` read-only for `read_line`, sharing reading and writing: only an
// opener that excludes others blocks it (70). Fails with 64 (empty path,
// `*` or `?`), 52 (negative number), 55 (number already open), 7, or the mapped
// platform error (53 not found, 76 path not found, 70 denied or in use).
void open_for_line_reading(const std::string& path, int16_t file_number);
// Opens an existing `path` the same way for `read_bytes`. A missing file is not
// created: 53.
void open_for_whole_file_reading(const std::string& path, int16_t file_number);

// How every open from now on reaches the system: CreateFileA for an existing
// file, with the access and sharing asked for. A front end may put in its own
// (vintrell-find's -r on Windows refuses a file reached through a link), which
// fails as CreateFileA does: INVALID_HANDLE_VALUE with the last error set.
// Set before any open, and before threads that open start.
using FileOpener = HANDLE (*)(const char* path, DWORD desired_access, DWORD share_mode);
void set_file_opener(FileOpener opener);
// An existing file opened by the opener in place, for a caller that reads it
// by its handle.
HANDLE open_existing_file(const char* path, DWORD desired_access, DWORD share_mode);

// The next line without its CR or CR LF terminator. At the end of data (or a
// Ctrl-Z, which is never consumed) the empty string with error 62. A line that
// cannot be stored is consumed whole and gives the empty string with error 7.
std::string read_line(int16_t file_number);
// The same into `text`, whose storage is reused: a loop over lines allocates
// only when a line outgrows the ones before.
void read_line_into(int16_t file_number, std::string* text);
// For a scan over whole blocks of a file opened for line reading: the bytes
// the look-ahead holds unread, else those of one refill, all consumed. The view
// stays valid until the next call on the file. Empty at the end of data, and on
// a failed read (its error recorded). Ctrl-Z is not looked at here.
std::string_view take_block(int16_t file_number);
// True when the block last taken ends the data, known without another read
// (a disk file's read came back short); false when that is not known yet.
bool took_last_block(int16_t file_number);
// -1 at the end of data, before a Ctrl-Z, after a short `read_bytes`, for a
// number that is not open (error 53) and after a failed look-ahead; else 0.
int32_t at_end_of_file(int16_t file_number);
// The file's exact size in bytes; 0 on failure.
double file_length(int16_t file_number);
// At most `count` bytes from the current position; the empty string with error 7
// when `count` is negative or cannot be allocated.
std::string read_bytes(int16_t file_number, int32_t count);
// The same into storage the calling thread keeps from one call to the next, so
// that a scan of many books neither allocates nor clears a buffer per book.
// The view stays valid until the thread's next call (or its
// release_thread_read_buffer).
std::string_view read_bytes_reusing(int16_t file_number, int32_t count);
// Frees the number; a number that is not open is left alone silently.
void close_file(int16_t file_number);

// Frees the read buffers the calling thread keeps for its next open and its
// next read_bytes_reusing; a thread that read files calls it before it ends.
void release_thread_read_buffer();

// For tests: the look-ahead of files opened for line reading from now on (0 for
// the usual 64 KiB), so that small files cross refills. Answers the size before.
uint32_t set_line_look_ahead_size(uint32_t size);

}  // namespace vintrell

#endif  // VINTRELL_SERVICES_FILE_READING_H_
