#include "ranker.h"

#include <algorithm>
#include <cmath>

namespace keyphrases {
namespace {

constexpr double kMinScore = 1e-6;
constexpr int kEpochs = 400;
constexpr double kLearningRate = 0.5;
constexpr double kL2 = 1e-4;

double sigmoid(double z) { return 1 / (1 + std::exp(-z)); }

double clamp_score(double s) { return std::clamp(s, kMinScore, 1.0); }

double linear(const FeatureRow& f, const std::vector<double>& w) {
  double z = w[3 * kNumFeatures];
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

}  // namespace

double heuristic_score(const FeatureRow& f) {
  double tfidf = std::max(0.05, std::exp(f[kLogTf]) - 1) * std::max(0.1, f[kIdf]);
  double graph = std::exp(f[kLogGraph]);
  double position = 1 / (1 + 3 * f[kFirstPosition]);
  double length = 1 + 0.3 * (f[kLength] - 1);
  double nested = 1 - 0.5 * f[kNested];
  return tfidf * std::sqrt(graph) * position * length * nested + 1e-9;
}

double score(const FeatureRow& f, bool supervised, const std::vector<double>& weights) {
  if (supervised && weights.size() == kNumWeights) return clamp_score(sigmoid(linear(f, weights)));
  double h = std::exp(f[kLogHeuristic]);
  return clamp_score(h / (1 + h));
}

std::vector<double> train_ranker(const std::vector<FeatureRow>& rows, const std::vector<char>& labels) {
  std::vector<double> w(kNumWeights, 0.0);
  standardise(rows, w);
  double positives = double(std::count_if(labels.begin(), labels.end(), [](char l) { return l != 0; }));
  if (rows.empty() || positives == 0) return w;
  // Positives weighted up to balance the classes, so the gradient is not all negatives.
  double pos_weight = (double(rows.size()) - positives) / positives;
  double total = 2 * (double(rows.size()) - positives);
  std::vector<double> grad(kNumFeatures + 1);
  for (int epoch = 0; epoch < kEpochs; ++epoch) {
    std::fill(grad.begin(), grad.end(), 0.0);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      double weight = labels[i] ? pos_weight : 1.0;
      double err = weight * (sigmoid(linear(rows[i], w)) - (labels[i] ? 1 : 0));
      for (int k = 0; k < kNumFeatures; ++k) grad[k] += err * (rows[i][k] - w[k]) / w[kNumFeatures + k];
      grad[kNumFeatures] += err;
    }
    for (int k = 0; k < kNumFeatures; ++k)
      w[2 * kNumFeatures + k] -= kLearningRate * (grad[k] / total + kL2 * w[2 * kNumFeatures + k]);
    w[3 * kNumFeatures] -= kLearningRate * grad[kNumFeatures] / total;
  }
  return w;
}

}  // namespace keyphrases
