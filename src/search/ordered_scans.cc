#include "search/ordered_scans.h"

#include <algorithm>
#include <utility>

#include "runtime/runtime.h"
#include "services/file_reading.h"
#include "services/text_search.h"

namespace vintrell {
namespace {

constexpr size_t kNone = ~size_t{0};

}  // namespace

OrderedScans::OrderedScans(const std::vector<ScanJob>* jobs, unsigned threads)
    : jobs_(jobs),
      outcomes_(jobs->size()),
      done_(new std::atomic<bool>[jobs->size()]),
      waiting_for_(kNone) {
  for (size_t i = 0; i < jobs->size(); ++i) done_[i].store(false, std::memory_order_relaxed);
  if (threads <= 1 || jobs->size() <= 1) return;
  // Small files cost less to scan than to hand over one by one: they go in
  // chunks, far ahead. Outcomes that hold a whole book (for --entries) wait
  // a few at a time, so that memory stays a handful of books.
  const bool whole_books = std::any_of(jobs->begin(), jobs->end(),
                                       [](const ScanJob& job) { return job.wants.book; });
  chunk_ = whole_books ? 1 : 64;
  ahead_ = (whole_books ? 2 : 256) * static_cast<size_t>(threads);
  keep_error_mode_for_process();
  threads_.reserve(threads);
  for (unsigned t = 0; t < threads; ++t) {
    const int16_t file_number = static_cast<int16_t>(kScanFileNumber + t);
    threads_.emplace_back([this, file_number] { work(file_number); });
  }
}

OrderedScans::~OrderedScans() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    stopping_ = true;
  }
  taken_.notify_all();
  for (std::thread& thread : threads_) thread.join();
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
    if (stopping_ || next_claim_ >= count) return;
    const size_t first = next_claim_;
    const size_t last = std::min({count, first + chunk_, next_take_ + ahead_});
    next_claim_ = last;
    hold.unlock();
    for (size_t index = first; index < last; ++index) {
      const ScanJob& job = (*jobs_)[index];
      outcomes_[index] = scan_listed_file(*job.request, job.file, job.wants, file_number);
      done_[index].store(true);
    }
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
    const ScanJob& job = (*jobs_)[index];
    return scan_listed_file(*job.request, job.file, job.wants);
  }
  if (!done_[index].load()) {
    std::unique_lock<std::mutex> hold(mutex_);
    waiting_for_.store(index);
    done_one_.wait(hold, [&] { return done_[index].load(); });
    waiting_for_.store(kNone);
  }
  ScanOutcome outcome = std::move(outcomes_[index]);
  next_take_.store(index + 1);
  if (threads_held_.load() > 0) {
    std::lock_guard<std::mutex> hold(mutex_);
    taken_.notify_all();
  }
  return outcome;
}

}  // namespace vintrell
