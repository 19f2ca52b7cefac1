// Ranks the candidate phrases of a document with a model.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "keyphrases/candidates.h"
#include "keyphrases/features.h"
#include "keyphrases/model.h"

namespace somlabel::keyphrases {

struct Keyphrase {
  std::string surface;  // most frequent form in the text
  std::string stemmed;  // stems joined by single blanks, in text order
  double score = 0;     // in (0, 1], higher is better
};

// The ranker reorders this many candidates with the best unsupervised scores
// (or N, if more are asked for); on the benchmark sets F1 did not change.
inline constexpr std::size_t kRerankedCandidates = 300;

// A phrase in more than this share of the collection's documents is its
// boilerplate ("return value" in manual pages), no keyphrase of any; judged
// only by a model of kMinDocumentsForBoilerplate documents or more.
inline constexpr double kBoilerplateShare = 0.5;
inline constexpr std::uint64_t kMinDocumentsForBoilerplate = 20;

// What a labeller's key file holds (Extractor::extract_for_labels). A phrase
// found in more than this share of the collection's documents says nothing of
// a unit ("function" in manual pages, "library" in package descriptions);
// judged only by a model of kMinDocumentsForBoilerplate documents or more.
inline constexpr double kLabelMaxDocumentShare = 0.15;
// A longer phrase is left out where its documents are fewer than this share
// of those of a (not that common) phrase inside it: summed over a unit, it
// would take the part's whole score from documents that lack it.
inline constexpr double kLabelPartShare = 0.5;

// A labeller's key file with fewer shared phrases is filled up to this many
// with the document's own best phrases (none holding a shared one), scored
// kUnsharedScore times 0.5 to 1: a reader of the key file still sees them,
// and they weigh nothing against what documents share.
inline constexpr std::size_t kLabelFewestPhrases = 5;
inline constexpr double kUnsharedScore = 0.01;

// Two phrases are near-duplicates when they hold the same words in another
// order ("larsson stieg") or are windows over one longer run of words that
// overlap in two or more ("film producer soren", "producer soren staermose").
// A phrase inside another ("data mining", "privacy preserving data mining")
// is not: a broader and a narrower label both help. Words are compared as
// given (stems, or ids of stems).
template <typename Word>
[[nodiscard]] bool near_duplicates(const std::vector<Word>& a, const std::vector<Word>& b) {
  auto holds = [](const std::vector<Word>& x, const Word& w) {
    for (const auto& v : x)
      if (v == w) return true;
    return false;
  };
  bool same_words = a.size() == b.size();
  for (const auto& w : a) same_words = same_words && holds(b, w);
  if (same_words) return true;
  for (const auto* x : {&a, &b}) {
    const auto& y = x == &a ? b : a;
    for (std::size_t k = 2; k < x->size() && k < y.size(); ++k)
      if (std::equal(x->end() - std::ptrdiff_t(k), x->end(), y.begin())) return true;
  }
  return false;
}

// Holds a stemmer and caches, so use one Extractor per thread. The model is
// shared, not copied.
class Extractor {
 public:
  Extractor(Model model, text::Language lang) : model_(std::move(model)), words_(lang) {}

  // The best `n` phrases, best first, leaving out near-duplicates of better
  // ones and the collection's boilerplate. Ties go to the earlier first occurrence.
  [[nodiscard]] std::vector<Keyphrase> extract(std::string_view text, std::size_t n);

  // The document's phrases as the labeller sums them over a unit of documents
  // (`keyphrases docs --for-labels`): at most `n` of its best phrases that
  // can describe a group of documents, best first, so that a unit's sum says
  // how many of its documents are about the phrase. Left out: phrases that no
  // other document of the model's collection has, those of most documents
  // (kLabelMaxDocumentShare), a longer phrase used much less than a phrase
  // inside it (kLabelPartShare), and a phrase inside a longer one that is
  // kept (the labeller adds a part's score to every phrase that holds it);
  // under kLabelFewestPhrases of these, the document's own best fill up.
  // Score: sqrt(idf) times 0.5 to 1 by the phrase's score in the document,
  // so documents count alike and rarer phrases somewhat more.
  [[nodiscard]] std::vector<Keyphrase> extract_for_labels(std::string_view text, std::size_t n);

 private:
  struct Ranked {
    DocumentCandidates doc;
    FeatureTable features;
    std::vector<double> scores;      // by row of `features`
    std::vector<std::size_t> order;  // rows, best first
  };
  [[nodiscard]] Ranked rank(std::string_view text, std::size_t n);
  // The largest document frequency, up to `below`, of a shorter phrase
  // inside c, word for word.
  [[nodiscard]] std::uint32_t largest_part_df(const DocumentCandidates& doc, const Candidate& c,
                                              double below) const;

  Model model_;
  WordNormalizer words_;
};

// Key-file text: one phrase a line, each line ending in '\n'. With details
// a line is "surface<TAB>stemmed<TAB>score" with the score printed "%f".
[[nodiscard]] std::string format_keyfile(const std::vector<Keyphrase>& phrases, bool details);

}  // namespace somlabel::keyphrases
