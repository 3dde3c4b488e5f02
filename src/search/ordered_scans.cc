#include "search/ordered_scans.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "runtime/runtime.h"
#include "services/file_reading.h"
#include "services/text_search.h"

namespace vintrell {
namespace {

constexpr size_t kNone = ~size_t{0};

}  // namespace

OrderedScans::OrderedScans(const std::vector<ScanJob>* jobs, unsigned threads)
    : jobs_(jobs), waiting_for_(kNone) {
  // No scan here may raise a critical-error box, on one thread or several:
  // the mode is set once, not around every call.
  keep_error_mode_for_process();
  if (threads <= 1 || jobs->size() <= 1) return;
  // Small files cost less to scan than to hand over one by one: they go in
  // chunks, far ahead. Outcomes that hold a whole book (for --entries) wait
  // a few at a time, so that memory stays a handful of books.
  const bool whole_books = std::any_of(jobs->begin(), jobs->end(),
                                       [](const ScanJob& job) { return job.wants.book; });
  chunk_ = whole_books ? 1 : 64;
  ahead_ = (whole_books ? 2 : 256) * static_cast<size_t>(threads);
  // The caller's thread scans too, between its takes: one thread fewer is
  // started, and none that would find no chunk left to claim (then each job
  // is scanned as it is taken, and no outcome is held).
  const size_t chunks = (jobs->size() + chunk_ - 1) / chunk_;
  const size_t started = std::min<size_t>(threads - 1, chunks - 1);
  if (started == 0) return;
  // No job is claimed as far as `ahead_` past the next take, so that many
  // slots hold every outcome not yet taken, whatever the folder's size.
  slots_ = std::min(ahead_, jobs->size());
  outcomes_.resize(slots_);
  done_.reset(new std::atomic<bool>[slots_]);
  for (size_t i = 0; i < slots_; ++i) done_[i].store(false, std::memory_order_relaxed);
  threads_.reserve(started);
  for (size_t t = 0; t < started; ++t) {
    const int16_t file_number = static_cast<int16_t>(kScanFileNumber + t);
    try {
      threads_.emplace_back([this, file_number] { work(file_number); });
    } catch (const std::system_error&) {
      break;  // the system gives no more threads: the ones running do the work
    }
  }
  own_file_number_ = static_cast<int16_t>(kScanFileNumber + threads_.size());
}

OrderedScans::~OrderedScans() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    stopping_ = true;
  }
  taken_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

bool OrderedScans::claim(size_t* first, size_t* last) {
  const size_t count = jobs_->size();
  if (stopping_ || next_claim_ >= count || next_claim_ >= next_take_ + ahead_) return false;
  *first = next_claim_;
  *last = std::min({count, *first + chunk_, next_take_ + ahead_});
  next_claim_ = *last;
  return true;
}

void OrderedScans::scan_chunk(size_t first, size_t last, int16_t file_number) {
  for (size_t index = first; index < last; ++index) {
    const ScanJob& job = (*jobs_)[index];
    outcomes_[index % slots_] = scan_listed_file(*job.request, job.file, job.wants, file_number);
    done_[index % slots_].store(true);
  }
}

void OrderedScans::work(int16_t file_number) {
  ProcedureFrame frame;
  // What the thread keeps between its files goes with it.
  struct Release {
    ~Release() {
      release_thread_read_buffer();
      TextSearch::release_for_thread();
    }
  } release;
  const size_t count = jobs_->size();
  std::unique_lock<std::mutex> hold(mutex_);
  for (;;) {
    if (!stopping_ && next_claim_ < count && next_claim_ >= next_take_ + ahead_) {
      ++threads_held_;
      taken_.wait(hold, [&] {
        return stopping_ || next_claim_ >= count || next_claim_ < next_take_ + ahead_;
      });
      --threads_held_;
    }
    size_t first = 0, last = 0;
    if (!claim(&first, &last)) return;
    hold.unlock();
    scan_chunk(first, last, file_number);
    // take() is woken once per chunk, not per file: it then finds the rest of
    // the chunk done.
    const size_t waited = waiting_for_.load();
    if (waited >= first && waited < last) {
      std::lock_guard<std::mutex> wake(mutex_);
      done_one_.notify_one();
    }
    hold.lock();
  }
}

ScanOutcome OrderedScans::take(size_t index) {
  if (threads_.empty()) {
    // No thread was started: each job is scanned as it is taken.
    const ScanJob& job = (*jobs_)[index];
    return scan_listed_file(*job.request, job.file, job.wants);
  }
  const size_t slot = index % slots_;
  while (!done_[slot].load()) {
    std::unique_lock<std::mutex> hold(mutex_);
    // The caller's thread is one of the scanning threads: rather than wait
    // for a chunk in other hands, it scans the next one free.
    size_t first = 0, last = 0;
    if (claim(&first, &last)) {
      hold.unlock();
      scan_chunk(first, last, own_file_number_);
      continue;
    }
    waiting_for_.store(index);
    done_one_.wait(hold, [&] { return done_[slot].load(); });
    waiting_for_.store(kNone);
  }
  ScanOutcome outcome = std::move(outcomes_[slot]);
  // The slot is free for the job `slots_` further on once this take is seen.
  done_[slot].store(false);
  next_take_.store(index + 1);
  if (threads_held_.load() > 0) {
    std::lock_guard<std::mutex> hold(mutex_);
    taken_.notify_all();
  }
  return outcome;
}

}  // namespace vintrell
