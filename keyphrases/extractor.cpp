#include "keyphrases/extractor.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "keyphrases/features.h"
#include "keyphrases/ranker.h"

namespace somlabel::keyphrases {

std::vector<Keyphrase> Extractor::extract(std::string_view text, std::size_t n) {
  DocumentCandidates doc = collect_candidates(text, words_);
  PhraseTable table{[this](std::uint64_t key) { return model_.lookup(key); }, model_.n_documents(),
                    model_.stats()};
  FeatureTable features = compute_features(doc, table, {}, std::max(n, kRerankedCandidates));
  const auto& rows = features.rows;
  std::vector<double> scores = score_document(rows, model_.supervised(), model_.weights());
  // Rows are in order of first occurrence, so the index breaks ties by position.
  std::vector<std::size_t> order(rows.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return scores[a] > scores[b] || (scores[a] == scores[b] && a < b);
  });
  std::vector<Keyphrase> out;
  std::vector<std::vector<std::uint32_t>> chosen;
  for (std::size_t i = 0; i < order.size() && out.size() < n; ++i) {
    const Candidate& c = doc.candidates[features.candidate[order[i]]];
    std::vector<std::uint32_t> words(c.word_ids, c.word_ids + c.length);
    if (std::any_of(chosen.begin(), chosen.end(),
                    [&](const auto& other) { return near_duplicates(words, other); }))
      continue;
    chosen.push_back(std::move(words));
    out.push_back({surface_form(doc, c), stemmed_form(doc, c), scores[order[i]]});
  }
  return out;
}

std::string format_keyfile(const std::vector<Keyphrase>& phrases, bool details) {
  std::string out;
  char number[64];
  for (const auto& p : phrases) {
    out += p.surface;
    if (details) {
      std::snprintf(number, sizeof number, "%f", p.score);
      out += '\t';
      out += p.stemmed;
      out += '\t';
      out += number;
    }
    out += '\n';
  }
  return out;
}

}  // namespace somlabel::keyphrases
