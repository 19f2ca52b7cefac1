// The documents a map is trained on: one term-count vector per document over
// a shared vocabulary of stems, made with the tokenizer, stopword lists and
// stemmer of text/, as keyphrases makes them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/result.h"
#include "text/language.h"
#include "text/stemmer.h"

namespace somlabel::somtrain {

// How often one vocabulary term occurs in one document.
struct TermCount {
  std::uint32_t term = 0;
  std::uint32_t count = 0;
  friend bool operator==(const TermCount&, const TermCount&) = default;
};

struct Document {
  std::string name;              // file name, no directory
  std::vector<TermCount> terms;  // ascending term index; vocabulary terms only
};

// Which stems make the vocabulary. Terms in fewer than `min_df` documents or
// in more than `max_df_share` of them are left out; of the rest the
// `max_terms` found in most documents are kept (ties: the smaller stem).
struct VocabularyLimits {
  int min_df = 2;
  double max_df_share = 0.5;
  int max_terms = 5000;
};

// Owns everything; documents in the order they were given, terms sorted by
// stem so that a term's index depends only on the vocabulary.
struct Corpus {
  std::vector<Document> documents;
  std::vector<std::string> stems;   // per term index
  std::vector<std::string> labels;  // per term index: the word shown for it, the stem's
                                    // most frequent lower-cased form (ties: the smaller)
};

// What the vocabulary is chosen from, per stem: how many documents hold it
// and how often each lower-cased form of it occurs. Tables of parts of a
// collection add up to the table of the whole.
struct StemStats {
  int document_frequency = 0;
  std::map<std::string, long> forms;
};
using StemTable = std::unordered_map<std::string, StemStats>;

// One document's words that count (see build_corpus), stem -> occurrences, in
// stem order.
using StemCounts = std::map<std::string, std::uint32_t>;

// Counts one text and adds it to `table`.
[[nodiscard]] StemCounts count_stems(std::string_view text, text::Language language,
                                     text::Stemmer& stemmer, StemTable& table);

// The vocabulary of a collection of `documents` by `limits`: stems sorted, so
// a term's index is its rank, and the label of each.
struct Vocabulary {
  std::vector<std::string> stems;
  std::vector<std::string> labels;
};
[[nodiscard]] Vocabulary choose_vocabulary(const StemTable& table, std::size_t documents,
                                           const VocabularyLimits& limits);

// A document's counts over a vocabulary (stem -> term index); stems outside
// it are left out. Ascending term index, since the stems are sorted.
[[nodiscard]] std::vector<TermCount> term_counts(
    const StemCounts& counts, const std::unordered_map<std::string, std::uint32_t>& index);

// One document's text, by name.
struct DocumentText {
  std::string name;
  std::string text;
};

// Words that count: lower-cased, not a stopword, not a number, two letters or
// more; each is counted under its stem.
[[nodiscard]] Corpus build_corpus(const std::vector<DocumentText>& texts,
                                  const VocabularyLimits& limits, text::Language language);

}  // namespace somlabel::somtrain
