// Turns a candidate's features into a score in (0, 1], higher is better.
// Unsupervised models use a fixed formula (heuristic_score); supervised ones
// a logistic regression over standardised features, learnt by train_ranker().
#pragma once

#include <vector>

#include "features.h"
#include "model.h"

namespace keyphrases {

// Weights layout: mean[kNumFeatures], scale[kNumFeatures], coefficient[kNumFeatures], bias.
inline constexpr int kNumWeights = 3 * kNumFeatures + 1;

// Positive, unbounded; larger is better. Reads every feature except kLogHeuristic.
[[nodiscard]] double heuristic_score(const FeatureRow& f);

// Score in (0, 1]; never below 0.000001 so printed scores stay positive.
[[nodiscard]] double score(const FeatureRow& f, bool supervised, const std::vector<double>& weights);

// Learns logistic-regression weights; labels[i] != 0 marks gold keyphrases.
// Deterministic for the same rows in the same order.
[[nodiscard]] std::vector<double> train_ranker(const std::vector<FeatureRow>& rows,
                                               const std::vector<char>& labels);

}  // namespace keyphrases
