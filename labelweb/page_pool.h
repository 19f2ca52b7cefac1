// Makes the pages of several maps at once. Pages are independent of each
// other, so worker threads start on the maps named next in the process file
// while earlier ones are still being written; each map still waits for its
// turn before anything of it shows (see Turn), so the messages, the pages
// and a run that stops at a failing map come out exactly as when one map
// follows the other.
#pragma once

#include <sys/stat.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/settings.h"
#include "labelweb/page_text.h"

namespace somlabel::labelweb {

class PagePool {
 public:
  // Up to `workers` threads, each holding at most `held_limit` bytes of page
  // text ahead of its map's turn. A map no thread has started by its turn
  // (with 0 workers, every map) is made by the caller of take_turn.
  PagePool(const Settings& settings, unsigned workers, size_t held_limit);
  PagePool(const PagePool&) = delete;
  PagePool& operator=(const PagePool&) = delete;
  // Ends the run: maps whose turn has not come are dropped without a trace.
  ~PagePool();

  // A map read ahead from the process file: the labelunit file's name, path
  // included. Its work may start at once.
  void add(const std::string& labelfilename);

  // The turn of the oldest map added and not yet taken: waits until its page
  // is done and returns generate_html's result, leaving `labelfilename` as
  // generate_html left it.
  [[nodiscard]] bool take_turn(std::string& labelfilename);

 private:
  class Job;

  void work();
  PageText take_spare_text();  // with the mutex held
  // Whether `input` is none of the pages of the maps not yet done up to
  // map `index`, its own included.
  bool is_no_pending_page(const struct stat& input, size_t index);

  const Settings& settings_;
  const unsigned max_workers_;
  const size_t held_limit_;
  std::mutex mutex_;
  std::condition_variable work_added_;  // for the workers: a job added, or the end
  std::condition_variable turn_given_;  // for maps waiting for their turn
  std::condition_variable job_ready_;   // for take_turn
  std::deque<std::unique_ptr<Job>> jobs_;  // added and not yet taken, oldest first
  size_t first_index_ = 0;   // index of jobs_.front()
  size_t next_to_start_ = 0;  // index of the next job a worker starts
  // Index of the map whose turn it is; set under the mutex, read without.
  std::atomic<size_t> turn_ = static_cast<size_t>(-1);
  bool ending_ = false;
  std::vector<PageText> spare_texts_;  // page text buffers of maps done, for reuse
  std::vector<std::thread> workers_;
};

// Threads worth running: the processors this process may use, at most 8.
[[nodiscard]] unsigned page_workers();

}  // namespace somlabel::labelweb
