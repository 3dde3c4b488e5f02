#include "services/file_reading.h"

#include <atomic>
#include <cstring>
#include <memory>

#include "platform/win32.h"
#include "runtime/runtime.h"
#include "services/text.h"

namespace vintrell {
namespace {

constexpr uint8_t kModeLineReading = 1;
constexpr uint8_t kModeWholeFile = 32;

constexpr uint8_t kAccessRead = 128;
constexpr uint8_t kAccessWrite = 64;
constexpr uint8_t kAccessNoFallback = 32;
// The low bits of the access byte are the share mode plus one. A search only
// reads: it shares reading and writing, so that a file the mail client holds
// open is still searched and the client can always save it while it is read.
constexpr uint8_t kLockShared = 1 + (FILE_SHARE_READ | FILE_SHARE_WRITE);

constexpr uint16_t kDeviceDisk = 1;
constexpr uint16_t kDeviceOther = 2;

constexpr uint16_t kStatusOpen = 1;
constexpr uint16_t kStatusShortRead = 2;
constexpr uint16_t kStatusHandleNotOwned = 4;

// A typical list is read whole by its first refill; a bigger one costs a call
// per 64 KiB.
constexpr uint32_t kLineBufferSize = 64 * 1024;
constexpr uint32_t kWholeFileBufferSize = 1;
constexpr size_t kPathLimit = kOpenPathLimit;
constexpr size_t kLineChunk = 256;

constexpr uint8_t kCtrlZ = 26;
constexpr uint8_t kCr = 13;
constexpr uint8_t kLf = 10;

struct FileRecord {
  std::unique_ptr<FileRecord> next;  // the next older record
  int16_t file_number = 0;
  HANDLE handle = nullptr;
  uint16_t device_kind = 0;
  uint8_t file_mode = 0;
  uint8_t access = 0;
  std::string path;
  uint64_t buffer_offset = 0;
  uint32_t buffer_size = 0;
  uint32_t buffer_position = 0;
  uint32_t buffer_fill = 0;
  uint16_t status_flags = 0;
  std::string read_buffer;
  // Where the platform's file pointer stands, so that a refill seeks only when
  // the pointer is not already at the refill's offset.
  uint64_t file_pointer = 0;
  // A disk file's refill came back short: its data ends there, and the next
  // refill needs no call to learn it.
  bool short_refill = false;
};

uint32_t& line_buffer_size() {
  static uint32_t size = kLineBufferSize;
  return size;
}

// The read buffer of the thread's last closed file, kept for its next open: a
// fresh 64 KiB buffer per list would cost more than reading the list. A plain
// pointer: MinGW's thread exit frees thread storage before it runs the
// destructors of thread_local objects, so a thread frees it itself.
thread_local std::string* t_spare_read_buffer = nullptr;

std::string& spare_read_buffer() {
  if (t_spare_read_buffer == nullptr) t_spare_read_buffer = new std::string;
  return *t_spare_read_buffer;
}

void keep_read_buffer(FileRecord* record) {
  if (record->read_buffer.size() >= spare_read_buffer().size()) {
    spare_read_buffer().swap(record->read_buffer);
  }
}

void take_read_buffer(FileRecord* record) { record->read_buffer.swap(spare_read_buffer()); }

// The open files. Small numbers (the ones scans use, one per thread) each have
// a slot of their own, found and taken without a lock; the others are a list,
// newest first, under the table's lock.
constexpr int16_t kSlottedNumbers = 64;

// One cache line each: threads that open and close their own numbers at once
// do not keep taking the line from each other.
struct alignas(64) FileSlot {
  std::atomic<FileRecord*> record{nullptr};
};

FileSlot* file_slots() {
  static FileSlot slots[kSlottedNumbers];
  return slots;
}

std::unique_ptr<FileRecord>& file_table() {
  static std::unique_ptr<FileRecord> head;
  return head;
}

bool slotted(int16_t file_number) { return file_number >= 0 && file_number < kSlottedNumbers; }

FileRecord* look_up(int16_t file_number) {
  if (slotted(file_number)) return file_slots()[file_number].record.load(std::memory_order_acquire);
  SpinLockHold hold(runtime_state().file_table_lock);
  for (FileRecord* r = file_table().get(); r != nullptr; r = r->next.get()) {
    if (r->file_number == file_number) return r;
  }
  return nullptr;
}

// Takes `record`'s file number unless another open holds it; false then.
bool link_at_head(std::unique_ptr<FileRecord>& record) {
  if (slotted(record->file_number)) {
    FileRecord* free_slot = nullptr;
    if (!file_slots()[record->file_number].record.compare_exchange_strong(free_slot, record.get())) {
      return false;
    }
    record.release();
    return true;
  }
  SpinLockHold hold(runtime_state().file_table_lock);
  for (FileRecord* r = file_table().get(); r != nullptr; r = r->next.get()) {
    if (r->file_number == record->file_number) return false;
  }
  record->next = std::move(file_table());
  file_table() = std::move(record);
  return true;
}

std::unique_ptr<FileRecord> unlink(FileRecord* record) {
  if (record == nullptr) return nullptr;
  if (slotted(record->file_number)) {
    FileRecord* held = record;
    if (!file_slots()[record->file_number].record.compare_exchange_strong(held, nullptr)) {
      return nullptr;
    }
    return std::unique_ptr<FileRecord>(record);
  }
  SpinLockHold hold(runtime_state().file_table_lock);
  for (std::unique_ptr<FileRecord>* link = &file_table(); *link; link = &(*link)->next) {
    if (link->get() == record) {
      std::unique_ptr<FileRecord> taken = std::move(*link);
      *link = std::move(taken->next);
      return taken;
    }
  }
  return nullptr;
}

struct OpenRequest {
  uint8_t mode;
  uint8_t access;
  uint32_t buffer_size;
};

DWORD desired_access_of(uint8_t access) {
  return (access & kAccessRead ? GENERIC_READ : 0u) | (access & kAccessWrite ? GENERIC_WRITE : 0u);
}

// Both requests open only a file that exists: a whole-file open that created a
// missing file would write a new, empty file into the folder being searched.
HANDLE open_existing(const char* path, DWORD desired_access, DWORD share_mode) {
  return CreateFileA(path, desired_access, share_mode, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

FileOpener file_opener = open_existing;

HANDLE create_file(const char* path, uint8_t access, PlatformOutcome* outcome) {
  DWORD share_mode = (access & 7u) - 1u;
  return guarded_platform_call(
      outcome, [&] { return file_opener(path, desired_access_of(access), share_mode); });
}

// Positions a fresh record at offset 0 (pre-reading a line-reading disk file's
// first buffer). A fresh handle of a disk file stands at 0 already, so only
// other kinds are positioned. Returns the error number, or 0.
int position_at_start(FileRecord* record) {
  if (record->file_mode == kModeLineReading && record->device_kind != kDeviceDisk) return 0;
  PlatformOutcome outcome;
  if (record->device_kind != kDeviceDisk) {
    guarded_platform_call(&outcome, [&] { return SetFilePointer(record->handle, 0, nullptr, FILE_BEGIN); });
    if (outcome.failed()) return outcome.error_number();
  }
  record->file_pointer = 0;
  if (record->file_mode != kModeLineReading) return 0;
  DWORD got = 0;
  guarded_platform_call(&outcome, [&] {
    return ReadFile(record->handle, &record->read_buffer[0], record->buffer_size, &got, nullptr);
  });
  if (outcome.failed()) return outcome.error_number();
  record->buffer_fill = got;
  record->buffer_position = 0;
  record->buffer_offset = 0;
  record->file_pointer = got;
  record->short_refill = got < record->buffer_size;
  return 0;
}

// Opens of different file numbers may run on several threads at once.
void open_file(const std::string& path, int16_t file_number, const OpenRequest& request) {
  // The path as the platform gets it, on the stack: nothing before the record's
  // own storage can run out of memory.
  const size_t n = path.size() < kPathLimit ? path.size() : kPathLimit;
  char c_path[kPathLimit + 1];
  if (n != 0) std::memcpy(c_path, path.data(), n);
  c_path[n] = '\0';
  if (n == 0 || std::memchr(c_path, '*', n) != nullptr || std::memchr(c_path, '?', n) != nullptr) {
    set_error(kErrorBadFileName);
    return;
  }
  if (file_number < 0) {
    set_error(kErrorFileNotOpen);
    return;
  }
  if (look_up(file_number) != nullptr) {
    set_error(kErrorFileAlreadyOpen);
    return;
  }
  // The buffer and the record's copy of the path come from the run-time's string
  // storage before any handle is taken, so running out leaves nothing behind.
  std::unique_ptr<FileRecord> fresh(new (std::nothrow) FileRecord);
  if (fresh != nullptr && request.mode == kModeLineReading) take_read_buffer(fresh.get());
  if (fresh == nullptr || !obtain_string_storage(&fresh->read_buffer, request.buffer_size) ||
      !obtain_string_storage(&fresh->path, n)) {
    set_error(kErrorOutOfMemory);
    return;
  }
  if (n != 0) std::memcpy(&fresh->path[0], c_path, n);
  FileRecord* record = fresh.get();
  record->file_number = file_number;
  if (!link_at_head(fresh)) {
    keep_read_buffer(record);
    set_error(kErrorFileAlreadyOpen);
    return;
  }

  // Any failure from here gives back the record and the handle before recording.
  auto fail = [&](int error_number, uint32_t platform_code = 0) {
    std::unique_ptr<FileRecord> taken = unlink(record);
    if (taken != nullptr && taken->handle != nullptr) {
      PlatformOutcome ignored;
      guarded_platform_call(&ignored, [&] { return CloseHandle(taken->handle); });
    }
    if (taken != nullptr) keep_read_buffer(taken.get());
    set_platform_error(error_number, platform_code);
  };

  uint8_t access = request.access;
  PlatformOutcome outcome;
  HANDLE handle = create_file(c_path, access, &outcome);
  if (handle == INVALID_HANDLE_VALUE && (access & kAccessWrite) && !(access & kAccessNoFallback)) {
    access = static_cast<uint8_t>(access & ~kAccessWrite);
    handle = create_file(c_path, access, &outcome);
  }
  if (handle == INVALID_HANDLE_VALUE) {
    // Recorded as set error records it, but for a link met where none is
    // followed, or a pipe or device where a file was listed: its code stays
    // beside the number (75, the one for every code of 40 and above), so
    // that the caller can name it.
    const uint32_t code = outcome.platform_code();
    fail(outcome.error_number(),
         code == ERROR_STOPPED_ON_SYMLINK || code == ERROR_BAD_FILE_TYPE ? code : 0);
    return;
  }
  record->handle = handle;
  record->file_mode = request.mode;
  record->access = access;
  record->buffer_size = request.buffer_size;
  record->status_flags = kStatusOpen;
  PlatformOutcome type_outcome;  // the answer counts, the outcome does not
  DWORD type = guarded_platform_call(&type_outcome, [&] { return GetFileType(handle); });
  record->device_kind = type == FILE_TYPE_DISK ? kDeviceDisk : kDeviceOther;
  int error_number = position_at_start(record);
  if (error_number != 0) {
    fail(error_number);
  }
}

enum class Peek { kByte, kEnd, kFailed };

// The next unread byte of a line-reading file, refilling the buffer from its
// absolute offset when it is used up. Nothing is consumed.
Peek look_ahead(FileRecord* record, uint8_t* byte, PlatformOutcome* failure) {
  if (record->buffer_position < record->buffer_fill) {
    *byte = static_cast<uint8_t>(record->read_buffer[record->buffer_position]);
    return Peek::kByte;
  }
  record->buffer_offset += record->buffer_position;
  record->buffer_position = 0;
  record->buffer_fill = 0;
  // A disk file that gave less than asked for has no more data for this
  // reader: Windows reads a disk file up to its end. What another program
  // appends after that is not part of this search.
  if (record->short_refill && record->buffer_offset == record->file_pointer) return Peek::kEnd;
  // Every refill reads from the buffer's absolute offset; a disk file's pointer
  // is moved only when it stands anywhere else. Anything else is always sought,
  // and a pipe fails there.
  if (record->device_kind != kDeviceDisk || record->file_pointer != record->buffer_offset) {
    LONG high = static_cast<LONG>(record->buffer_offset >> 32);
    LONG low = static_cast<LONG>(static_cast<uint32_t>(record->buffer_offset));
    guarded_platform_call(failure, [&] { return SetFilePointer(record->handle, low, &high, FILE_BEGIN); });
    if (failure->failed()) return Peek::kFailed;
    record->file_pointer = record->buffer_offset;
  }
  DWORD got = 0;
  // Until a read succeeds, where the pointer stands is not known.
  record->file_pointer = ~uint64_t{0};
  guarded_platform_call(failure, [&] {
    return ReadFile(record->handle, &record->read_buffer[0], record->buffer_size, &got, nullptr);
  });
  if (failure->failed()) return Peek::kFailed;
  record->file_pointer = record->buffer_offset + got;
  record->short_refill = record->device_kind == kDeviceDisk && got < record->buffer_size;
  record->buffer_fill = got;
  if (got == 0) return Peek::kEnd;
  *byte = static_cast<uint8_t>(record->read_buffer[0]);
  return Peek::kByte;
}

// A line under construction: grows by doubling through the run-time's storage,
// so a long line costs one copy per doubling, not one per chunk.
class LineBuilder {
 public:
  bool append(const char* bytes, size_t n) {
    if (used_ + n > text_.size()) {
      std::string bigger;
      size_t want = text_.size() * 2 > used_ + n ? text_.size() * 2 : used_ + n;
      if (!obtain_string_storage(&bigger, want)) return false;
      if (used_ != 0) std::memcpy(&bigger[0], text_.data(), used_);
      text_.swap(bigger);
    }
    std::memcpy(&text_[used_], bytes, n);
    used_ += n;
    return true;
  }
  size_t size() const { return used_; }
  std::string take() {
    text_.resize(used_);
    return std::move(text_);
  }

 private:
  std::string text_;
  size_t used_ = 0;
};

}  // namespace

void set_file_opener(FileOpener opener) { file_opener = opener != nullptr ? opener : open_existing; }

HANDLE open_existing_file(const char* path, DWORD desired_access, DWORD share_mode) {
  return file_opener(path, desired_access, share_mode);
}

void open_for_line_reading(const std::string& path, int16_t file_number) {
  open_file(path, file_number,
            {kModeLineReading, kAccessRead | kAccessNoFallback | kLockShared, line_buffer_size()});
}

void open_for_whole_file_reading(const std::string& path, int16_t file_number) {
  open_file(path, file_number,
            {kModeWholeFile, kAccessRead | kAccessNoFallback | kLockShared, kWholeFileBufferSize});
}

void read_line_into(int16_t file_number, std::string* text) {
  FileRecord* record = look_up(file_number);
  if (record == nullptr) {
    set_error(kErrorFileNotOpen);
    text->clear();
    return;
  }
  if (record->file_mode != kModeLineReading) {
    set_error(kErrorWrongFileMode);
    text->clear();
    return;
  }
  // The usual line lies whole in the buffer, its CR and the byte after it too:
  // one storage request and one copy.
  if (record->buffer_position < record->buffer_fill) {
    const char* from = record->read_buffer.data() + record->buffer_position;
    const size_t room = record->buffer_fill - record->buffer_position;
    const char* cr = static_cast<const char*>(std::memchr(from, kCr, room));
    const size_t run = cr != nullptr ? static_cast<size_t>(cr - from) : room;
    if (cr != nullptr && run + 1 < room && std::memchr(from, kCtrlZ, run) == nullptr) {
      bool stored = obtain_string_storage(text, run);
      if (stored && run != 0) std::memcpy(&(*text)[0], from, run);
      record->buffer_position += static_cast<uint32_t>(run + (cr[1] == kLf ? 2 : 1));
      if (!stored) {
        set_error(kErrorOutOfMemory);
        text->clear();
      }
      return;
    }
  }
  LineBuilder line;
  char chunk[kLineChunk];
  size_t in_chunk = 0;
  size_t collected = 0;
  // A line that outgrows the storage is still read to its end, so that the next
  // read starts at the next line rather than inside this one.
  bool out_of_storage = false;
  PlatformOutcome failure;
  for (;;) {
    uint8_t byte = 0;
    Peek peek = look_ahead(record, &byte, &failure);
    if (peek == Peek::kFailed) {
      set_error(failure.error_number());
      text->clear();
      return;
    }
    if (peek == Peek::kEnd || byte == kCtrlZ) {
      if (collected == 0) {
        set_error(kErrorEndOfData);
        text->clear();
        return;
      }
      break;
    }
    ++record->buffer_position;
    if (byte == kCr) {
      peek = look_ahead(record, &byte, &failure);
      if (peek == Peek::kFailed) {
        set_error(failure.error_number());
        text->clear();
        return;
      }
      if (peek == Peek::kByte && byte == kLf) ++record->buffer_position;
      break;
    }
    // The byte, and the ordinary bytes after it in the buffer, go in as one run
    // that ends at the chunk's end, the buffer's end, or before a CR or Ctrl-Z.
    --record->buffer_position;
    const char* from = record->read_buffer.data() + record->buffer_position;
    size_t room = record->buffer_fill - record->buffer_position;
    if (room > kLineChunk - in_chunk) room = kLineChunk - in_chunk;
    const void* cr = std::memchr(from, kCr, room);
    size_t run = cr != nullptr ? static_cast<size_t>(static_cast<const char*>(cr) - from) : room;
    const void* ctrl_z = std::memchr(from, kCtrlZ, run);
    if (ctrl_z != nullptr) run = static_cast<size_t>(static_cast<const char*>(ctrl_z) - from);
    std::memcpy(chunk + in_chunk, from, run);
    in_chunk += run;
    collected += run;
    record->buffer_position += static_cast<uint32_t>(run);
    if (in_chunk == kLineChunk) {
      if (!out_of_storage && !line.append(chunk, in_chunk)) out_of_storage = true;
      in_chunk = 0;
    }
  }
  if (out_of_storage || (in_chunk != 0 && !line.append(chunk, in_chunk))) {
    set_error(kErrorOutOfMemory);
    text->clear();
    return;
  }
  *text = line.take();
}

std::string_view take_block(int16_t file_number) {
  FileRecord* record = look_up(file_number);
  if (record == nullptr) {
    set_error(kErrorFileNotOpen);
    return std::string_view();
  }
  if (record->file_mode != kModeLineReading) {
    set_error(kErrorWrongFileMode);
    return std::string_view();
  }
  uint8_t byte = 0;
  PlatformOutcome failure;
  Peek peek = look_ahead(record, &byte, &failure);
  if (peek == Peek::kFailed) {
    set_error(failure.error_number());
    return std::string_view();
  }
  if (peek == Peek::kEnd) return std::string_view();
  std::string_view run(record->read_buffer.data() + record->buffer_position,
                       record->buffer_fill - record->buffer_position);
  record->buffer_position = record->buffer_fill;
  return run;
}

bool took_last_block(int16_t file_number) {
  const FileRecord* record = look_up(file_number);
  return record != nullptr && record->file_mode == kModeLineReading && record->short_refill &&
         record->buffer_position == record->buffer_fill &&
         record->buffer_offset + record->buffer_fill == record->file_pointer;
}

std::string read_line(int16_t file_number) {
  std::string text;
  read_line_into(file_number, &text);
  return text;
}

int32_t at_end_of_file(int16_t file_number) {
  FileRecord* record = look_up(file_number);
  if (record == nullptr) {
    // True, so that a loop reading until the end also ends for a failed open.
    set_platform_error(kErrorFileNotFound, 0);
    return -1;
  }
  if (record->file_mode == kModeWholeFile) {
    return (record->status_flags & kStatusShortRead) ? -1 : 0;
  }
  if (record->file_mode != kModeLineReading) {
    set_error(kErrorWrongFileMode);
    return -1;
  }
  uint8_t byte = 0;
  PlatformOutcome failure;
  Peek peek = look_ahead(record, &byte, &failure);
  if (peek == Peek::kFailed) {
    // True as well: a file that cannot be read further has ended for its reader.
    set_platform_error(failure.error_number(), failure.platform_code());
    return -1;
  }
  return (peek == Peek::kEnd || byte == kCtrlZ) ? -1 : 0;
}

double file_length(int16_t file_number) {
  FileRecord* record = look_up(file_number);
  if (record == nullptr) {
    set_error(kErrorFileNotOpen);
    return 0;
  }
  if (record->device_kind == kDeviceOther) return 0;
  DWORD high = 0;
  PlatformOutcome outcome;
  DWORD low = guarded_platform_call(&outcome, [&] { return GetFileSize(record->handle, &high); });
  if (outcome.failed()) {
    set_platform_error(outcome.error_number(), outcome.platform_code());
    return 0;
  }
  return static_cast<double>(high) * 4294967296.0 + static_cast<double>(low);
}

namespace {

// At most `count` bytes from the current position into `bytes`, which is made
// at least that long first (only a longer one is cleared); the number read, or
// -1 with the error recorded.
int64_t read_bytes_into(int16_t file_number, int32_t count, std::string* bytes) {
  FileRecord* record = look_up(file_number);
  if (record == nullptr) {
    set_error(kErrorFileNotOpen);
    return -1;
  }
  if (record->file_mode != kModeWholeFile) {
    set_error(kErrorWrongFileMode);
    return -1;
  }
  // A negative count is a length past 2 GiB seen through 32 bits: never allocated.
  if (count < 0 || (bytes->size() < static_cast<size_t>(count) &&
                    !obtain_string_storage(bytes, static_cast<size_t>(count)))) {
    set_error(kErrorOutOfMemory);
    return -1;
  }
  DWORD got = 0;
  if (count > 0) {
    PlatformOutcome outcome;
    guarded_platform_call(&outcome, [&] {
      return ReadFile(record->handle, &(*bytes)[0], static_cast<DWORD>(count), &got, nullptr);
    });
    if (outcome.failed()) {
      set_error(outcome.error_number());
      return -1;
    }
  }
  record->status_flags &= static_cast<uint16_t>(~kStatusShortRead);
  if (got < static_cast<DWORD>(count)) record->status_flags |= kStatusShortRead;
  record->buffer_offset += got;
  return got;
}

// The storage of the thread's read_bytes_reusing; a plain pointer, as the
// spare read buffer's.
thread_local std::string* t_whole_file_buffer = nullptr;

}  // namespace

std::string read_bytes(int16_t file_number, int32_t count) {
  std::string bytes;
  const int64_t got = read_bytes_into(file_number, count, &bytes);
  if (got < 0) return std::string();
  bytes.resize(static_cast<size_t>(got));
  return bytes;
}

std::string_view read_bytes_reusing(int16_t file_number, int32_t count) {
  if (t_whole_file_buffer == nullptr) t_whole_file_buffer = new std::string;
  const int64_t got = read_bytes_into(file_number, count, t_whole_file_buffer);
  if (got <= 0) return std::string_view();
  return std::string_view(t_whole_file_buffer->data(), static_cast<size_t>(got));
}

void close_file(int16_t file_number) {
  FileRecord* found = look_up(file_number);
  if (found == nullptr) return;
  std::unique_ptr<FileRecord> record = unlink(found);
  if (record == nullptr) return;
  keep_read_buffer(record.get());
  if (!(record->status_flags & kStatusHandleNotOwned)) {
    PlatformOutcome outcome;
    guarded_platform_call(&outcome, [&] { return CloseHandle(record->handle); });
    if (outcome.failed()) set_error(outcome.error_number());
  }
}

void release_thread_read_buffer() {
  delete t_spare_read_buffer;
  t_spare_read_buffer = nullptr;
  delete t_whole_file_buffer;
  t_whole_file_buffer = nullptr;
}

uint32_t set_line_look_ahead_size(uint32_t size) {
  uint32_t before = line_buffer_size();
  line_buffer_size() = size == 0 ? kLineBufferSize : size;
  return before;
}

}  // namespace vintrell
