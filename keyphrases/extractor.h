// Ranks the candidate phrases of a document with a model.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "keyphrases/candidates.h"
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
  // ones. Ties go to the earlier first occurrence.
  [[nodiscard]] std::vector<Keyphrase> extract(std::string_view text, std::size_t n);

 private:
  Model model_;
  WordNormalizer words_;
};

// Key-file text: one phrase a line, each line ending in '\n'. With details
// a line is "surface<TAB>stemmed<TAB>score" with the score printed "%f".
[[nodiscard]] std::string format_keyfile(const std::vector<Keyphrase>& phrases, bool details);

}  // namespace somlabel::keyphrases
