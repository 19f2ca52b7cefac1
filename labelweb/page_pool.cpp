#include "labelweb/page_pool.h"

#include <sched.h>

#include <algorithm>
#include <system_error>

#include "common/map_keys.h"
#include "labelweb/page_maker.h"

namespace somlabel::labelweb {

class PagePool::Job final : public Turn {
 public:
  Job(PagePool& pool, size_t index, const std::string& labelfilename)
      : pool_(pool),
        index_(index),
        name_(labelfilename),
        page_name_(labelfilename + std::string(keys::kPageEnding)) {}

  bool may_read_ahead(const struct stat& input) override {
    return pool_.is_no_pending_page(input, index_);
  }
  size_t held_limit() const override { return pool_.held_limit_; }
  bool has_come() const override { return pool_.turn_ == index_; }
  bool wait() override {
    std::unique_lock lock(pool_.mutex_);
    pool_.turn_given_.wait(lock, [&] { return pool_.turn_ == index_ || pool_.ending_; });
    return pool_.turn_ == index_;
  }

  // On a worker: the reading ahead, and the rest too when the turn has come
  // by then. The fields below belong to the worker until `ready_` is set.
  void read_ahead(PageText buffer) {
    text_ = std::move(buffer);
    maker_ = std::make_unique<PageMaker>(name_, pool_.settings_, this, text_);
    maker_->read_ahead();
    finished_ = maker_->at_turn() || has_come();
    if (finished_) result_ = maker_->finish();
  }

  // At the turn, once ready: the result, finishing the page if need be.
  bool finish() {
    if (!finished_) result_ = maker_->finish();
    finished_ = true;
    maker_.reset();
    return result_;
  }

  const std::string& name() const { return name_; }
  const std::string& page_name() const { return page_name_; }
  size_t index() const { return index_; }
  PageText& text() { return text_; }

  bool ready_ = false;  // guarded by the pool's mutex

 private:
  PagePool& pool_;
  const size_t index_;
  std::string name_;
  const std::string page_name_;
  PageText text_;
  std::unique_ptr<PageMaker> maker_;
  bool finished_ = false;
  bool result_ = false;
};

PagePool::PagePool(const Settings& settings, unsigned workers, size_t held_limit)
    : settings_(settings), max_workers_(workers), held_limit_(held_limit) {}

PagePool::~PagePool() {
  {
    const std::lock_guard lock(mutex_);
    ending_ = true;
  }
  work_added_.notify_all();
  turn_given_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void PagePool::add(const std::string& labelfilename) {
  {
    const std::lock_guard lock(mutex_);
    jobs_.push_back(std::make_unique<Job>(*this, first_index_ + jobs_.size(), labelfilename));
    // A thread for each map waiting, up to the limit; a run of one map starts one.
    if (workers_.size() < max_workers_ && workers_.size() < jobs_.size()) {
      try {
        workers_.emplace_back([this] { work(); });
      } catch (const std::system_error&) {
        // No thread to be had: fewer work ahead, and take_turn makes the maps none took.
      }
    }
  }
  work_added_.notify_one();
}

bool PagePool::take_turn(std::string& labelfilename) {
  Job* job = nullptr;
  {
    std::unique_lock lock(mutex_);
    job = jobs_.front().get();
    turn_ = job->index();
    turn_given_.notify_all();
    if (next_to_start_ == job->index()) {
      // No thread has started the map (none is free yet, or there is none):
      // it is made here, at its turn, rather than waited for.
      ++next_to_start_;
      PageText text = take_spare_text();
      lock.unlock();
      job->read_ahead(std::move(text));
      lock.lock();
      job->ready_ = true;
    }
    job_ready_.wait(lock, [&] { return job->ready_; });
  }
  // The job stays in the list until its page is complete: until then, a map
  // started meanwhile must not read that page ahead.
  const bool result = job->finish();
  labelfilename = job->name();
  const std::lock_guard lock(mutex_);
  spare_texts_.push_back(std::move(job->text()));
  jobs_.pop_front();
  ++first_index_;
  return result;
}

// Workers start the maps strictly in process-file order, so the map whose
// turn it is has always been started or has a free worker: none can wait on
// a later map.
void PagePool::work() {
  while (true) {
    Job* job = nullptr;
    PageText text;
    {
      std::unique_lock lock(mutex_);
      work_added_.wait(lock,
                       [&] { return ending_ || next_to_start_ < first_index_ + jobs_.size(); });
      if (ending_) return;
      job = jobs_[next_to_start_++ - first_index_].get();
      text = take_spare_text();
    }
    job->read_ahead(std::move(text));
    {
      const std::lock_guard lock(mutex_);
      job->ready_ = true;
    }
    job_ready_.notify_one();
  }
}

PageText PagePool::take_spare_text() {
  PageText text;
  if (!spare_texts_.empty()) {
    text = std::move(spare_texts_.back());
    spare_texts_.pop_back();
  }
  return text;
}

bool PagePool::is_no_pending_page(const struct stat& input, size_t index) {
  std::vector<std::string> pages;
  {
    const std::lock_guard lock(mutex_);
    for (const auto& job : jobs_) {
      if (job->index() > index) break;
      pages.push_back(job->page_name());
    }
  }
  for (const std::string& page : pages) {
    struct stat info;
    if (stat(page.c_str(), &info) == 0 && info.st_dev == input.st_dev &&
        info.st_ino == input.st_ino) {
      return false;
    }
  }
  return true;
}

unsigned page_workers() {
  cpu_set_t cpus;
  int count = 1;
  if (sched_getaffinity(0, sizeof cpus, &cpus) == 0) count = CPU_COUNT(&cpus);
  return static_cast<unsigned>(std::clamp(count, 1, 8));
}

}  // namespace somlabel::labelweb
