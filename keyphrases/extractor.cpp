#include "keyphrases/extractor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

#include "keyphrases/boilerplate.h"
#include "keyphrases/features.h"
#include "keyphrases/phrase_hash.h"
#include "keyphrases/ranker.h"

namespace somlabel::keyphrases {

Extractor::Ranked Extractor::rank(std::string_view text, std::size_t n) {
  Ranked r;
  const std::uint64_t n_docs = model_.n_documents();
  BoilerplateTest boilerplate;
  if (n_docs >= kMinDocumentsForBoilerplate)
    boilerplate = [this, least = boilerplate_min_documents(n_docs)](std::uint64_t key) {
      return model_.lookup(key).df >= least;
    };
  r.doc = collect_candidates(text, words_, boilerplate);
  PhraseTable table{[this](std::uint64_t key) { return model_.lookup(key); }, model_.n_documents(),
                    model_.stats()};
  r.features = compute_features(r.doc, table, {}, std::max(n, kRerankedCandidates));
  r.scores = score_document(r.features.rows, model_.supervised(), model_.weights());
  // Rows are in order of first occurrence, so the index breaks ties by position.
  r.order.resize(r.features.rows.size());
  std::iota(r.order.begin(), r.order.end(), 0);
  std::sort(r.order.begin(), r.order.end(), [&](std::size_t a, std::size_t b) {
    return r.scores[a] > r.scores[b] || (r.scores[a] == r.scores[b] && a < b);
  });
  return r;
}

std::vector<Keyphrase> Extractor::extract(std::string_view text, std::size_t n) {
  Ranked r = rank(text, n);
  std::vector<Keyphrase> out;
  std::vector<std::vector<std::uint32_t>> chosen;
  const double n_docs = double(model_.n_documents());
  const double most_df =
      n_docs >= kMinDocumentsForBoilerplate ? kBoilerplateShare * n_docs : n_docs;
  for (std::size_t i = 0; i < r.order.size() && out.size() < n; ++i) {
    const Candidate& c = r.doc.candidates[r.features.candidate[r.order[i]]];
    if (model_.lookup(c.key).df > most_df) continue;
    std::vector<std::uint32_t> words(c.word_ids, c.word_ids + c.length);
    if (std::any_of(chosen.begin(), chosen.end(),
                    [&](const auto& other) { return near_duplicates(words, other); }))
      continue;
    chosen.push_back(std::move(words));
    out.push_back({surface_form(r.doc, c), stemmed_form(r.doc, c), r.scores[r.order[i]]});
  }
  return out;
}

std::uint32_t Extractor::largest_part_df(const DocumentCandidates& doc, const Candidate& c,
                                         double below) const {
  std::uint32_t largest = 0;
  for (int begin = 0; begin < c.length; ++begin) {
    std::uint64_t h = kPhraseHashSeed;
    for (int end = begin + 1; end <= c.length && end - begin < c.length; ++end) {
      h = phrase_hash_add_word(h, doc.word_stems[c.word_ids[end - 1]], end == begin + 1);
      const std::uint32_t df = model_.lookup(phrase_key(h)).df;
      if (df <= below) largest = std::max(largest, df);
    }
  }
  return largest;
}

std::vector<Keyphrase> Extractor::extract_for_labels(std::string_view text, std::size_t n) {
  Ranked r = rank(text, n);
  const DocumentCandidates& doc = r.doc;
  const double n_docs = double(model_.n_documents());
  const double most_df =
      n_docs >= kMinDocumentsForBoilerplate ? kLabelMaxDocumentShare * n_docs : n_docs;
  // Row of each candidate that has one.
  std::vector<std::uint32_t> row_of(doc.candidates.size(), UINT32_MAX);
  for (std::uint32_t row = 0; row < r.features.candidate.size(); ++row)
    row_of[r.features.candidate[row]] = row;
  std::vector<char> shared(doc.candidates.size(), 0);
  for (std::uint32_t i = 0; i < doc.candidates.size(); ++i) {
    if (row_of[i] == UINT32_MAX) continue;
    const Candidate& c = doc.candidates[i];
    const double df = model_.lookup(c.key).df;
    shared[i] = df >= 2 && df <= most_df &&
                (c.length == 1 || df >= kLabelPartShare * largest_part_df(doc, c, most_df));
  }
  // A part whose longer phrase is written goes into it; a phrase holding a
  // written one is never written (it would take the part's score).
  std::vector<char> carried(doc.candidates.size(), 0), holds_shared(doc.candidates.size(), 0);
  for (const Containment& k : doc.containments) {
    if (shared[k.outer]) carried[k.inner] = 1;
    if (shared[k.inner]) holds_shared[k.outer] = 1;
  }
  struct Scored {
    Keyphrase phrase;
    std::size_t rank;
  };
  std::vector<Scored> out;
  std::vector<std::vector<std::uint32_t>> chosen;
  // Shared phrases first; where fewer than kLabelFewestPhrases, the document's
  // own best ones follow with a token score, so its key file still shows them.
  for (const bool own : {false, true}) {
    for (std::size_t i = 0; i < r.order.size() && out.size() < n; ++i) {
      if (own && out.size() >= kLabelFewestPhrases) break;
      const std::uint32_t index = r.features.candidate[r.order[i]];
      if (carried[index] || (own ? shared[index] || holds_shared[index] : !shared[index])) continue;
      const Candidate& c = doc.candidates[index];
      std::vector<std::uint32_t> words(c.word_ids, c.word_ids + c.length);
      if (std::any_of(chosen.begin(), chosen.end(),
                      [&](const auto& other) { return near_duplicates(words, other); }))
        continue;
      chosen.push_back(std::move(words));
      const double df = model_.lookup(c.key).df;
      const double idf = std::log((n_docs + 1) / (df + 1));
      const double rank_weight = 0.5 + 0.5 * r.scores[r.order[i]];
      const double weight =
          own ? kUnsharedScore * rank_weight : std::sqrt(std::max(idf, 0.01)) * rank_weight;
      out.push_back({{surface_form(doc, c), stemmed_form(doc, c), weight}, i});
    }
  }
  std::stable_sort(out.begin(), out.end(), [](const Scored& a, const Scored& b) {
    return a.phrase.score > b.phrase.score;
  });
  std::vector<Keyphrase> phrases;
  for (auto& s : out) phrases.push_back(std::move(s.phrase));
  return phrases;
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
