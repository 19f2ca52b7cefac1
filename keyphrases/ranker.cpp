#include "keyphrases/ranker.h"

#include <algorithm>
#include <cmath>

namespace somlabel::keyphrases {
namespace {

constexpr double kMinScore = 1e-6;
constexpr int kEpochs = 600;
// Full-batch gradient descent; larger steps diverged on the correlated
// tf/tf-idf/heuristic features.
constexpr double kLearningRate = 0.15;
constexpr double kPull = 0.01;  // L2 weight towards the heuristic's coefficients

// Heuristic parameters, chosen on the benchmark sets (bench/keyphrases_quality.sh).
// The graph centrality enters as its square root.
constexpr double kNestedPenalty = 0.9;  // for phrases always inside a longer term
constexpr double kAdHocNesting = 0.5;   // the share of that penalty inside an ad hoc phrase
constexpr double kAdHocPenalty = 0.85;  // for an ad hoc phrase itself
constexpr double kPositionSlope = 2.0;  // position weight grows with log document length
// Single words weigh kSingleWordWeight where phrases repeat kTypicalRepeatRatio
// times as often as words (technical abstracts and papers), and with the
// ratio's inverse to the power kRepeatRatioPower elsewhere: steeply, since the
// ratio spans only 0.29 (news) to 0.51 (indexed abstracts) while the share of
// single words among good labels spans 74% to 13%.
constexpr double kSingleWordWeight = 0.7;
constexpr double kTypicalRepeatRatio = 0.43;
constexpr double kRepeatRatioPower = 4;

double linear(const FeatureRow& f, const std::vector<double>& w) {
  double z = 0;
  for (int k = 0; k < kNumFeatures; ++k)
    z += w[2 * kNumFeatures + k] * (f[k] - w[k]) / w[kNumFeatures + k];
  return z;
}

void standardise(const std::vector<FeatureRow>& rows, std::vector<double>& w) {
  for (int k = 0; k < kNumFeatures; ++k) {
    double sum = 0, sq = 0;
    for (const auto& r : rows) sum += r[k];
    double mean = rows.empty() ? 0 : sum / double(rows.size());
    for (const auto& r : rows) sq += (r[k] - mean) * (r[k] - mean);
    double sd = rows.empty() ? 0 : std::sqrt(sq / double(rows.size()));
    w[k] = mean;
    w[kNumFeatures + k] = sd > 1e-9 ? sd : 1.0;
  }
}

// Adds one document's softmax-loss gradient (over standardised features) to grad.
void add_gradient(const RankingData& data, std::size_t d, const std::vector<double>& w,
                  std::vector<double>& grad) {
  std::size_t begin = data.starts[d], end = data.starts[d + 1];
  double n_gold = double(std::count(data.gold.begin() + std::ptrdiff_t(begin),
                                    data.gold.begin() + std::ptrdiff_t(end), 1));
  std::vector<double> z(end - begin);
  for (std::size_t i = begin; i < end; ++i) z[i - begin] = linear(data.rows[i], w);
  double top = *std::max_element(z.begin(), z.end()), sum = 0;
  for (double& v : z) sum += (v = std::exp(v - top));
  for (std::size_t i = begin; i < end; ++i) {
    double err = z[i - begin] / sum - (data.gold[i] ? 1 / n_gold : 0);
    for (int k = 0; k < kNumFeatures; ++k)
      grad[k] += err * (data.rows[i][k] - w[k]) / w[kNumFeatures + k];
  }
}

// A damaged file can pass the checksum only if made on purpose, but even then
// no scale may be zero and no weight infinite.
bool usable(const std::vector<double>& w) {
  if (w.size() != kNumWeights) return false;
  for (double v : w)
    if (!std::isfinite(v)) return false;
  for (int k = 0; k < kNumFeatures; ++k)
    if (!(w[kNumFeatures + k] > 0)) return false;
  return true;
}

}  // namespace

double heuristic_score(const HeuristicInputs& in) {
  double tfidf = in.tf * std::max(0.1, in.idf);
  double graph = std::sqrt(in.graph);
  double slope = std::max(0.5, kPositionSlope * (std::log1p(in.doc_tokens) - 4));
  double position = 1 / (1 + slope * in.first_position);
  double nested = 1 - kNestedPenalty * (in.nested_in_terms + kAdHocNesting * in.nested_in_others);
  double kind = in.length == 1 ? in.single_word_weight : in.ad_hoc ? kAdHocPenalty : 1.0;
  return tfidf * graph * position * std::max(0.0, nested) * kind + 1e-9;
}

double single_word_weight(const CollectionStats& stats) {
  double ratio = kTypicalRepeatRatio;
  if (stats.word_repeat_share > 0 && stats.phrase_repeat_share > 0)
    ratio = stats.phrase_repeat_share / stats.word_repeat_share;
  if (!std::isfinite(ratio)) ratio = kTypicalRepeatRatio;
  double weight = kSingleWordWeight * std::pow(kTypicalRepeatRatio / ratio, kRepeatRatioPower);
  return std::clamp(weight, 0.1, 10.0);
}

std::vector<double> score_document(const std::vector<FeatureRow>& rows, bool supervised,
                                   const std::vector<double>& weights) {
  std::vector<double> z(rows.size());
  bool learnt = supervised && usable(weights);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    z[i] = learnt ? linear(rows[i], weights) : rows[i][kLogHeuristic];
    if (std::isnan(z[i])) z[i] = -HUGE_VAL;  // NaN would break the ordering of the sort
  }
  double top = rows.empty() ? 0 : *std::max_element(z.begin(), z.end());
  for (double& v : z) v = std::max(kMinScore, std::exp(v - top));
  return z;
}

std::vector<bool> ranker_features(RankerKind kind) {
  std::vector<bool> learnt(kNumFeatures, kind == RankerKind::full);
  learnt[kLogHeuristic] = learnt[kLogGold] = true;
  return learnt;
}

std::vector<double> train_ranker(const RankingData& data, RankerKind kind) {
  std::vector<bool> learnt = ranker_features(kind);
  std::vector<double> w(kNumWeights, 0.0);
  standardise(data.rows, w);
  // Start at the heuristic: z = log heuristic, in standardised units.
  std::vector<double> prior(kNumFeatures, 0.0);
  prior[kLogHeuristic] = w[kNumFeatures + kLogHeuristic];
  std::copy(prior.begin(), prior.end(), w.begin() + 2 * kNumFeatures);
  std::vector<std::size_t> docs;
  for (std::size_t d = 0; d + 1 < data.starts.size(); ++d)
    if (std::find(data.gold.begin() + std::ptrdiff_t(data.starts[d]),
                  data.gold.begin() + std::ptrdiff_t(data.starts[d + 1]),
                  1) != data.gold.begin() + std::ptrdiff_t(data.starts[d + 1]))
      docs.push_back(d);
  if (docs.empty()) return w;
  std::vector<double> grad(kNumFeatures);
  for (int epoch = 0; epoch < kEpochs; ++epoch) {
    std::fill(grad.begin(), grad.end(), 0.0);
    for (std::size_t d : docs) add_gradient(data, d, w, grad);
    for (int k = 0; k < kNumFeatures; ++k) {
      if (!learnt[k]) continue;
      double& c = w[2 * kNumFeatures + k];
      c -= kLearningRate * (grad[k] / double(docs.size()) + kPull * (c - prior[k]));
    }
  }
  return w;
}

}  // namespace somlabel::keyphrases
