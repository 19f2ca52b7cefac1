#include "keyphrases/batch.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>

#include "common/documents.h"
#include "common/io.h"
#include "common/messages.h"
#include "keyphrases/extractor.h"
#include "keyphrases/parallel.h"

namespace somlabel::keyphrases {
namespace {

using somlabel::Result;

// The bar on the status line (common/messages.h): the share of the
// documents done, never going back when a thread comes late with an older
// count.
class Progress {
 public:
  Progress(std::size_t total, bool on) : total_(total), on_(on && total > 0) {}
  ~Progress() {
    if (on_) clear_status();
  }
  void step() {
    std::size_t done = ++done_;
    if (!on_) return;
    int percent = static_cast<int>(100 * done / total_);
    std::lock_guard lock(mutex_);
    if (percent <= shown_) return;
    shown_ = percent;
    char bar[96];
    std::snprintf(bar, sizeof bar, "[%-25.*s] %3d%% %zu/%zu", percent / 4,
                  "#########################", percent, done, total_);
    show_status(bar);
  }

 private:
  std::size_t total_;
  bool on_;
  std::atomic<std::size_t> done_{0};
  std::mutex mutex_;
  int shown_ = -1;
};

bool up_to_date(const KeyJob& job) {
  long long key = somlabel::modification_time(job.key_file);
  return key >= 0 && key > somlabel::modification_time(job.document);
}

}  // namespace

Result<Reason> run_batch(const std::vector<KeyJob>& jobs, const Model& model,
                         const BatchOptions& options, BatchReport* report) {
  std::vector<std::unique_ptr<Extractor>> extractors;
  for (unsigned t = 0; t < std::max(1u, options.threads); ++t)
    extractors.push_back(std::make_unique<Extractor>(model, options.language));
  std::atomic<bool> failed{false};
  std::mutex mutex;
  Result<Reason> first_failure;
  std::atomic<std::size_t> written{0}, skipped{0}, unreadable{0}, binary{0}, bytes{0};
  Progress progress(jobs.size(), options.progress);
  auto fail = [&](Result<Reason> st) {
    std::lock_guard lock(mutex);
    if (first_failure.ok()) first_failure = std::move(st);
    failed = true;
  };
  parallel_for(jobs.size(), options.threads, [&](std::size_t i, unsigned w) {
    if (failed) return;
    const KeyJob& job = jobs[i];
    if (options.incremental && up_to_date(job)) {
      ++skipped;
      progress.step();
      return;
    }
    somlabel::DocumentRead document;
    if (Result<Reason> st = somlabel::read_document(job.document, document); !st.ok()) {
      ++unreadable;
      tell(st);
      progress.step();
      return;
    }
    bytes += document.text.size();
    if (options.skip_binary && !document.passed_over.empty()) {
      ++binary;
      say("%s", somlabel::passed_over_message(job.document, document.passed_over).c_str());
      progress.step();
      return;
    }
    if (document.cut) say("%s", somlabel::cut_message(job.document).c_str());
    auto phrases = options.for_labels
                       ? extractors[w]->extract_for_labels(document.text, options.n_phrases)
                       : extractors[w]->extract(document.text, options.n_phrases);
    const std::string keys = format_keyfile(phrases, options.details);
    if (Result<Reason> st = somlabel::write_file_atomic(job.key_file, keys, "key file", true);
        !st.ok()) {
      return fail(std::move(st));
    }
    ++written;
    progress.step();
  });
  if (report != nullptr)
    *report = {written.load(), skipped.load(), unreadable.load(), binary.load(), bytes.load()};
  if (first_failure.ok() && unreadable > 0)
    return Reason{std::to_string(unreadable.load()) + " of " + std::to_string(jobs.size()) +
                  " documents could not be read; they have no key file"};
  return first_failure;
}

}  // namespace somlabel::keyphrases
