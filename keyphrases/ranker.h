// Turns candidates' features into scores in (0, 1], higher is better.
//
// Unsupervised models use a fixed formula (heuristic_score). Supervised ones
// use a linear function of the standardised features, learnt per document
// with a listwise (softmax) loss so only the order within a document counts,
// and pulled towards the heuristic so a ranker learnt on one kind of text
// cannot stray far from what works on any.
#pragma once

#include <cstddef>
#include <vector>

#include "keyphrases/features.h"
#include "keyphrases/model.h"

namespace somlabel::keyphrases {

// Weights layout: mean[kNumFeatures], scale[kNumFeatures], coefficient[kNumFeatures],
// and one reserved slot.
inline constexpr int kNumWeights = 3 * kNumFeatures + 1;

// What the unsupervised score looks at, in absolute terms.
struct HeuristicInputs {
  double tf = 0;  // occurrences
  double idf = 0;
  double graph = 0;           // mean graph centrality of its words (1 on average)
  double first_position = 0;  // in [0, 1)
  double doc_tokens = 0;
  int length = 1;                 // words
  double nested_in_terms = 0;     // share of occurrences inside a longer candidate that recurs
  double nested_in_others = 0;    // share inside longer ones seen once and in no other text
  bool ad_hoc = false;            // 2+ words, seen once and in no other text
  double single_word_weight = 1;  // single_word_weight() of the collection
};

// Positive, unbounded; larger is better.
[[nodiscard]] double heuristic_score(const HeuristicInputs& in);

// How much one-word candidates count against longer ones in a collection: the
// less its texts repeat phrases compared with words (news repeats names and
// words, papers their terms), the more a single word is the label.
[[nodiscard]] double single_word_weight(const CollectionStats& stats);

// Scores of one document's candidates, relative to its best (which gets 1):
// exp(z - z_best) for the ranker's value z; never below 0.000001 so printed
// scores stay positive. Weights of the wrong size, with a non-positive scale or
// a non-finite value are not used: the heuristic ranks instead.
[[nodiscard]] std::vector<double> score_document(const std::vector<FeatureRow>& rows,
                                                 bool supervised,
                                                 const std::vector<double>& weights);

// Training data: rows of several documents; document d owns rows
// [starts[d], starts[d + 1]) and starts.back() == rows.size().
struct RankingData {
  std::vector<FeatureRow> rows;
  std::vector<char> gold;  // gold[i] != 0: rows[i] is a gold keyphrase
  std::vector<std::size_t> starts{0};
};

// Which coefficients training may move away from the heuristic's.
//   prior: only the weights of the heuristic score and of kLogGold, the number
//          of training documents where the phrase was a gold keyphrase. This
//          transfers between kinds of text (abstracts <-> full papers).
//   full:  every feature. Ranks better on texts like the training texts
//          (about +6 F1@10 on abstracts) but much worse on other kinds (a
//          ranker learnt on abstracts halved F1 on full papers).
enum class RankerKind { prior, full };

[[nodiscard]] std::vector<bool> ranker_features(RankerKind kind);

// Deterministic for the same data. Documents without a gold row are ignored.
[[nodiscard]] std::vector<double> train_ranker(const RankingData& data,
                                               RankerKind kind = RankerKind::prior);

}  // namespace somlabel::keyphrases
