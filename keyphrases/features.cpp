#include "features.h"

#include <algorithm>
#include <cmath>

#include "phrase_hash.h"
#include "ranker.h"

namespace keyphrases {
namespace {

struct Counts {
  double df;
  double gold;
  double n;
};

Counts counts_of(std::uint64_t key, const PhraseTable& table, const SelfCounts& self) {
  PhraseStats s = table.lookup(key);
  Counts c{double(s.df), double(s.gold), double(table.n_documents)};
  if (self.in_table) {
    c.df = std::max(0.0, c.df - 1);
    c.n = std::max(0.0, c.n - 1);
    if (self.is_gold && self.is_gold(key)) c.gold = std::max(0.0, c.gold - 1);
  }
  return c;
}

double idf(const Counts& c) { return std::log((c.n + 1) / (c.df + 1)); }

double mean_word_idf(const Candidate& cand, const DocumentCandidates& doc, const PhraseTable& table,
                     const SelfCounts& self) {
  double sum = 0;
  int n = 0;
  for (int k = 0; k < cand.length; ++k) {
    if (cand.word_ids[k] == UINT32_MAX) continue;
    sum += idf(counts_of(phrase_key_of(doc.word_stems[cand.word_ids[k]]), table, self));
    ++n;
  }
  return n == 0 ? 0 : sum / n;
}

double graph_sum(const Candidate& cand, const DocumentCandidates& doc) {
  double sum = 0;
  for (int k = 0; k < cand.length; ++k)
    if (cand.word_ids[k] != UINT32_MAX) sum += doc.word_rank[cand.word_ids[k]];
  return sum;
}

}  // namespace

std::vector<FeatureRow> compute_features(const DocumentCandidates& doc, const PhraseTable& table,
                                         const SelfCounts& self) {
  std::vector<FeatureRow> rows(doc.candidates.size());
  double tokens = std::max<double>(1, doc.n_tokens);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Candidate& c = doc.candidates[i];
    FeatureRow& f = rows[i];
    Counts counts = counts_of(c.key, table, self);
    f[kLogTf] = std::log1p(double(c.count));
    f[kIdf] = idf(counts);
    f[kLogTfIdf] = std::log(f[kLogTf] * f[kIdf] + 1e-3);
    f[kFirstPosition] = c.first / tokens;
    f[kLogFirstPosition] = std::log1p(100 * f[kFirstPosition]);
    f[kSpread] = (c.last - c.first) / tokens;
    f[kLength] = c.length;
    f[kSingleWord] = c.length == 1 ? 1 : 0;
    f[kLogGraph] = std::log(graph_sum(c, doc) + 1e-6);
    f[kLogGold] = std::log1p(counts.gold);
    f[kInFirstSentence] = c.first < doc.first_sentence_end ? 1 : 0;
    f[kNested] = double(c.in_longer) / double(c.count);
    f[kLogDocLength] = std::log1p(double(doc.n_tokens));
    f[kWordIdf] = mean_word_idf(c, doc, table, self);
    f[kLogHeuristic] = std::log(heuristic_score(f));
  }
  return rows;
}

}  // namespace keyphrases
