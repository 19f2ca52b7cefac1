// Writes key files for many documents with one model, in parallel.
#pragma once

#include <string>
#include <vector>

#include "common/result.h"
#include "keyphrases/model.h"

namespace somlabel::keyphrases {

struct KeyJob {
  std::string document;  // path of the text
  std::string key_file;  // path to write
};

struct BatchOptions {
  std::size_t n_phrases = 10;
  bool details = true;  // "phrase<TAB>stemmed<TAB>score" lines
  unsigned threads = 1;
  bool incremental = false;  // skip jobs whose key file is newer than the document
  bool progress = false;     // progress bar on standard error
  text::Language language = text::Language::english;
  bool skip_binary = false;  // pass over documents that are not text, with a warning
  bool for_labels = false;   // Extractor::extract_for_labels instead of extract
};

struct BatchReport {
  std::size_t written = 0;
  std::size_t skipped = 0;  // up to date (--incremental)
  std::size_t unreadable = 0;
  std::size_t binary = 0;  // not text (skip_binary): no key file written
  std::size_t bytes_read = 0;
};

// Output does not depend on the number of threads. A document that cannot be
// read is reported on standard error and skipped; the batch then fails with a
// count. A write error stops the batch. The failure's message is the caller's
// to print.
[[nodiscard]] somlabel::Result<Reason> run_batch(const std::vector<KeyJob>& jobs,
                                                 const Model& model, const BatchOptions& options,
                                                 BatchReport* report);

}  // namespace somlabel::keyphrases
