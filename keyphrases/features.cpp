#include "keyphrases/features.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "keyphrases/phrase_hash.h"
#include "keyphrases/ranker.h"

namespace somlabel::keyphrases {
namespace {

constexpr double kCodeWordRatio = 1.5;
// A text this many times as long as the collection's texts on average is taken
// for several of them joined, as the labeller hands over a unit's documents.
constexpr double kJoinedTexts = 3;
// There idf enters with this power: a phrase many of the documents mention
// describes the unit better than a rarer one that only one of them repeats.
constexpr double kJoinedIdfPower = 0.25;

struct Counts {
  double df;
  double gold;
  double in_gold;
  double n;
};

Counts counts_of(std::uint64_t key, const PhraseTable& table, const SelfCounts& self) {
  PhraseStats s = table.lookup(key);
  Counts c{double(s.df), double(s.gold), double(s.in_gold), double(table.n_documents)};
  if (self.in_table) {
    if (self.gold_holding) c.in_gold = std::max(0.0, c.in_gold - self.gold_holding(key));
    c.df = std::max(0.0, c.df - 1);
    c.n = std::max(0.0, c.n - 1);
    if (self.is_gold && self.is_gold(key)) c.gold = std::max(0.0, c.gold - 1);
  }
  return c;
}

double idf(const Counts& c) { return std::log((c.n + 1) / (c.df + 1)); }

struct WordStats {
  double idf = 0;
  double gold = 0;  // log(1 + in_gold)
};

// Looked up once per distinct word of the document, not once per candidate.
std::vector<WordStats> word_stats(const DocumentCandidates& doc, const PhraseTable& table,
                                  const SelfCounts& self) {
  std::vector<WordStats> out(doc.word_stems.size());
  for (std::size_t w = 0; w < out.size(); ++w) {
    Counts c = counts_of(phrase_key_of(doc.word_stems[w]), table, self);
    out[w] = {idf(c), std::log1p(c.in_gold)};
  }
  return out;
}

WordStats word_means(const Candidate& cand, const std::vector<WordStats>& words) {
  WordStats m;
  for (int k = 0; k < cand.length; ++k) {
    m.idf += words[cand.word_ids[k]].idf / cand.length;
    m.gold += words[cand.word_ids[k]].gold / cand.length;
  }
  return m;
}

// A longer candidate that recurs, in this text or in others, is a term: the
// occurrences of its parts inside it belong to it. One seen once and nowhere
// else is an ad hoc combination whose parts still stand for themselves.
// Counted on the table as extraction sees it, so training learns the same.
struct Nesting {
  std::vector<double> in_terms, in_others;  // candidate -> occurrences inside longer ones
  std::vector<char> ad_hoc;                 // candidate -> 2+ words and ad hoc
};

Nesting nesting(const DocumentCandidates& doc, const PhraseTable& table) {
  std::size_t n = doc.candidates.size();
  Nesting out{std::vector<double>(n, 0.0), std::vector<double>(n, 0.0), std::vector<char>(n, 0)};
  std::vector<char> term(n);
  for (std::size_t i = 0; i < n; ++i) {
    const Candidate& c = doc.candidates[i];
    term[i] = c.count >= 2 || table.lookup(c.key).df >= 2;
    out.ad_hoc[i] = c.length > 1 && !term[i];
  }
  for (const Containment& k : doc.containments)
    if (term[k.outer]) out.in_terms[k.inner] += doc.candidates[k.outer].count;
  for (std::size_t i = 0; i < n; ++i) {
    double nested = doc.candidates[i].in_longer;
    out.in_terms[i] = std::min(out.in_terms[i], nested);
    out.in_others[i] = nested - out.in_terms[i];
  }
  return out;
}

// Candidates holding a word that the collection uses as code in more than
// kCodeWordRatio times as many texts as it uses it in prose ("char", "void",
// "double" in manual pages; not "size" or "complex"), even where this text
// has it in a sentence.
std::vector<char> code_candidates(const DocumentCandidates& doc, const PhraseTable& table) {
  std::vector<char> code_word(doc.word_stems.size());
  bool any = false;
  for (std::size_t w = 0; w < code_word.size(); ++w) {
    PhraseStats s = table.lookup(phrase_key_of(doc.word_stems[w]));
    code_word[w] = s.code_df > kCodeWordRatio * s.df;  // never for a word seen in no code
    any = any || code_word[w];
  }
  std::vector<char> out(doc.candidates.size(), 0);
  if (!any) return out;
  for (std::size_t i = 0; i < out.size(); ++i)
    for (int k = 0; k < doc.candidates[i].length; ++k)
      out[i] = out[i] || code_word[doc.candidates[i].word_ids[k]];
  return out;
}

double graph_sum(const Candidate& cand, const DocumentCandidates& doc) {
  double sum = 0;
  for (int k = 0; k < cand.length; ++k) sum += doc.word_rank[cand.word_ids[k]];
  return sum;
}

// Indices of the `limit` largest values (ties: lower index), in increasing order.
std::vector<std::uint32_t> best_by(const std::vector<double>& value, std::size_t limit) {
  std::vector<std::uint32_t> index(value.size());
  std::iota(index.begin(), index.end(), 0u);
  if (limit < index.size()) {
    std::nth_element(index.begin(), index.begin() + std::ptrdiff_t(limit), index.end(),
                     [&](std::uint32_t a, std::uint32_t b) {
                       return value[a] > value[b] || (value[a] == value[b] && a < b);
                     });
    index.resize(limit);
    std::sort(index.begin(), index.end());
  }
  return index;
}

bool joined_texts(const DocumentCandidates& doc, const CollectionStats& stats) {
  return stats.mean_tokens > 0 && doc.n_tokens >= kJoinedTexts * stats.mean_tokens;
}

void make_relative(std::vector<FeatureRow>& rows) {
  for (Feature k : {kLogTf, kLogTfIdf, kLogGraph, kLogHeuristic}) {
    double best = -1e300;
    for (const auto& r : rows) best = std::max(best, r[k]);
    for (auto& r : rows) r[k] -= best;
  }
  std::vector<std::size_t> order(rows.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return rows[a][kLogHeuristic] > rows[b][kLogHeuristic];
  });
  for (std::size_t rank = 0; rank < order.size(); ++rank)
    rows[order[rank]][kHeuristicRank] = std::log1p(double(rank));
}

}  // namespace

FeatureTable compute_features(const DocumentCandidates& doc, const PhraseTable& table,
                              const SelfCounts& self, std::size_t max_rows) {
  std::size_t n = doc.candidates.size();
  double tokens = std::max<double>(1, doc.n_tokens);
  std::vector<Counts> counts(n);
  std::vector<double> heuristic(n);
  Nesting nested = nesting(doc, table);
  double single_word = single_word_weight(table.stats);
  std::vector<char> code = code_candidates(doc, table);
  const bool joined = joined_texts(doc, table.stats);
  for (std::size_t i = 0; i < n; ++i) {
    const Candidate& c = doc.candidates[i];
    if (code[i]) {
      heuristic[i] = -1;
      continue;
    }
    counts[i] = counts_of(c.key, table, self);
    // In joined texts a phrase no other text of the collection has describes
    // one of them at most: it is left out as code is.
    if (joined && counts[i].df < 2) {
      code[i] = 1;
      heuristic[i] = -1;
      continue;
    }
    HeuristicInputs in;
    in.tf = c.count;
    in.idf = idf(counts[i]);
    in.graph = graph_sum(c, doc) / c.length;
    in.first_position = c.first / tokens;
    in.doc_tokens = doc.n_tokens;
    in.length = c.length;
    in.nested_in_terms = nested.in_terms[i] / c.count;
    in.nested_in_others = nested.in_others[i] / c.count;
    in.ad_hoc = nested.ad_hoc[i] != 0;
    in.single_word_weight = single_word;
    if (joined) in.idf = std::pow(std::max(0.1, in.idf), kJoinedIdfPower);
    heuristic[i] = heuristic_score(in);
  }
  FeatureTable out;
  out.candidate = best_by(heuristic, max_rows);
  std::erase_if(out.candidate, [&](std::uint32_t i) { return code[i] != 0; });
  out.rows.resize(out.candidate.size());
  std::vector<WordStats> per_word = word_stats(doc, table, self);
  for (std::size_t r = 0; r < out.rows.size(); ++r) {
    std::uint32_t i = out.candidate[r];
    const Candidate& c = doc.candidates[i];
    FeatureRow& f = out.rows[r];
    f[kLogTf] = std::log1p(double(c.count));
    f[kIdf] = idf(counts[i]);
    f[kLogTfIdf] = std::log(f[kLogTf] * f[kIdf] + 1e-3);
    f[kFirstPosition] = c.first / tokens;
    f[kLogFirstPosition] = std::log1p(100 * f[kFirstPosition]);
    f[kSpread] = (c.last - c.first) / tokens;
    f[kLength] = c.length;
    f[kSingleWord] = c.length == 1 ? 1 : 0;
    f[kLogGraph] = std::log(graph_sum(c, doc) + 1e-6);
    f[kLogGold] = std::log1p(counts[i].gold);
    f[kInFirstSentence] = c.first < doc.first_sentence_end ? 1 : 0;
    f[kNested] = double(c.in_longer) / double(c.count);
    f[kLogDocLength] = std::log1p(double(doc.n_tokens));
    WordStats words = word_means(c, per_word);
    f[kWordIdf] = words.idf;
    f[kWordGold] = words.gold;
    f[kGoldRatio] = counts[i].gold / (counts[i].df + 1);
    f[kLogHeuristic] = std::log(heuristic[i]);
  }
  make_relative(out.rows);
  return out;
}

}  // namespace somlabel::keyphrases
