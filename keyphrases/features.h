// Features of a candidate phrase within its document, computed from the
// document alone plus phrase statistics from the model.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "keyphrases/candidates.h"
#include "keyphrases/model.h"

namespace somlabel::keyphrases {

// Features that grow with document length are given relative to the best
// candidate of the same document (0 for the best, negative below), so a ranker
// learnt on abstracts still ranks full papers sensibly.
enum Feature : int {
  kLogTf,             // log(1 + occurrences), relative
  kIdf,               // log((N + 1) / (df + 1))
  kLogTfIdf,          // log of log(1 + tf) * idf, relative
  kFirstPosition,     // token index of first occurrence / tokens, in [0, 1)
  kLogFirstPosition,  // log(1 + 100 * first position)
  kSpread,            // (last - first occurrence) / tokens
  kLength,            // words
  kSingleWord,        // 1 for one-word phrases
  kLogGraph,          // log of the summed graph centrality of its content words, relative
  kLogGold,           // log(1 + times it was a gold keyphrase in training)
  kInFirstSentence,   // first occurrence in the first sentence (often the title)
  kNested,            // share of occurrences inside a longer candidate
  kLogDocLength,      // log(1 + tokens in the document)
  kWordIdf,           // mean idf of its content words
  kLogHeuristic,      // log of the unsupervised score (ranker.h), relative
  kHeuristicRank,     // log(1 + rank by the unsupervised score), 0 for the best
  kWordGold,          // mean of log(1 + gold keyphrases in training holding it) over its words
  kGoldRatio,         // times a gold keyphrase / (documents containing it + 1)
  kNumFeatures
};

using FeatureRow = std::array<double, kNumFeatures>;

// Phrase statistics as the features see them.
struct PhraseTable {
  std::function<PhraseStats(std::uint64_t key)> lookup;
  std::uint64_t n_documents = 0;
  CollectionStats stats;
};

// While training, the document's own counts are part of the table; pass
// `self` to take them out so training sees what extraction will see.
struct SelfCounts {
  bool in_table = false;
  std::function<bool(std::uint64_t key)> is_gold;
  // This document's share of in_gold.
  std::function<std::uint32_t(std::uint64_t word_key)> gold_holding;
};

// Rows for the candidates with the best unsupervised scores, at most max_rows
// of them: the ranker only reorders these, so the costlier features are
// computed for few candidates of a long document.
struct FeatureTable {
  std::vector<FeatureRow> rows;
  std::vector<std::uint32_t>
      candidate;  // rows[r] describes doc.candidates[candidate[r]]; increasing
};

[[nodiscard]] FeatureTable compute_features(const DocumentCandidates& doc, const PhraseTable& table,
                                            const SelfCounts& self = {},
                                            std::size_t max_rows = SIZE_MAX);

}  // namespace somlabel::keyphrases
