// Scans of many listed files on a few threads, handed back in their order: a
// caller that writes results as they come sees exactly what one thread gives.
#ifndef VINTRELL_SEARCH_ORDERED_SCANS_H_
#define VINTRELL_SEARCH_ORDERED_SCANS_H_

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "search/search.h"

namespace vintrell {

struct ScanJob {
  const SearchRequest* request = nullptr;  // outlives the scans
  ListedFile file;
  ScanWants wants;
};

class OrderedScans {
 public:
  // Starts scanning `jobs` (which outlive this) on `threads` threads, the
  // caller's among them (it scans within take()); with 1 none is started and
  // each take() scans its job on the caller's thread, on file number 1. No
  // thread runs more than a few jobs ahead of take().
  OrderedScans(const std::vector<ScanJob>* jobs, unsigned threads);
  // Stops the threads once their current scans end; outcomes not taken are lost.
  ~OrderedScans();
  OrderedScans(const OrderedScans&) = delete;
  OrderedScans& operator=(const OrderedScans&) = delete;

  // The outcome of job `index`, waiting for it. Every index is taken, once,
  // in turn (0, 1, 2, ...): a slot is free for the next job it holds only
  // once its outcome is taken.
  ScanOutcome take(size_t index);

 private:
  void work(int16_t file_number);
  // The next chunk free to scan within the window, claimed; false for none.
  // Under mutex_.
  bool claim(size_t* first, size_t* last);
  void scan_chunk(size_t first, size_t last, int16_t file_number);

  const std::vector<ScanJob>* jobs_;
  // Job i's outcome and whether it is in place (read without the lock) are
  // in slot i % slots_.
  size_t slots_ = 0;
  std::vector<ScanOutcome> outcomes_;
  std::unique_ptr<std::atomic<bool>[]> done_;
  size_t chunk_ = 1;  // jobs a thread claims at once: one hand-over per chunk
  size_t ahead_ = 0;  // how far past the next take a thread may claim
  int16_t own_file_number_ = kScanFileNumber;  // the caller's, as it scans in take()
  std::atomic<size_t> next_take_{0};
  std::atomic<size_t> waiting_for_;  // the job take() sleeps on, or none
  std::atomic<int> threads_held_{0};  // threads asleep until take() catches up
  size_t next_claim_ = 0;
  bool stopping_ = false;
  std::mutex mutex_;
  std::condition_variable taken_;  // wakes threads held back by the window
  std::condition_variable done_one_;  // wakes take()
  std::vector<std::thread> threads_;
};

}  // namespace vintrell

#endif  // VINTRELL_SEARCH_ORDERED_SCANS_H_
