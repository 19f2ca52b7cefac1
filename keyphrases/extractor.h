// Ranks the candidate phrases of a document with a model.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "keyphrases/candidates.h"
#include "keyphrases/model.h"

namespace keyphrases {

struct Keyphrase {
  std::string surface;   // most frequent form in the text
  std::string stemmed;   // stems joined by single blanks, in text order
  double score = 0;      // in (0, 1], higher is better
};

// The ranker reorders this many candidates with the best unsupervised scores
// (or N, if more are asked for); on the benchmark sets F1 did not change.
inline constexpr std::size_t kRerankedCandidates = 300;

// Holds a stemmer and caches, so use one Extractor per thread. The model is
// shared, not copied.
class Extractor {
 public:
  Extractor(Model model, text::Language lang) : model_(std::move(model)), words_(lang) {}

  // The best `n` phrases, best first. Ties go to the earlier first occurrence.
  [[nodiscard]] std::vector<Keyphrase> extract(std::string_view text, std::size_t n);

 private:
  Model model_;
  WordNormalizer words_;
};

// Key-file text: one phrase a line, each line ending in '\n'. With details
// a line is "surface<TAB>stemmed<TAB>score" with the score printed "%f".
[[nodiscard]] std::string format_keyfile(const std::vector<Keyphrase>& phrases, bool details);

}  // namespace keyphrases
