// Scores in (0, 1] and a ranker that learns from gold rows.
#include "keyphrases/ranker.h"

#include <gtest/gtest.h>

#include <cmath>

namespace somlabel::keyphrases {
namespace {

FeatureRow row(double log_heuristic, double first_sentence) {
  FeatureRow r{};
  r[kLogHeuristic] = log_heuristic;
  r[kInFirstSentence] = first_sentence;
  return r;
}

TEST(ScoreDocument, UnsupervisedFollowsHeuristicBestIsOne) {
  std::vector<FeatureRow> rows = {row(-1.0, 0), row(0.0, 0), row(-50.0, 0)};
  auto s = score_document(rows, false, {});
  ASSERT_EQ(s.size(), 3u);
  EXPECT_DOUBLE_EQ(s[1], 1.0);
  EXPECT_NEAR(s[0], std::exp(-1.0), 1e-12);
  EXPECT_DOUBLE_EQ(s[2], 1e-6);  // floored so "%f" never prints 0.000000
  EXPECT_TRUE(score_document({}, false, {}).empty());
}

TEST(ScoreDocument, SupervisedWithoutWeightsFallsBackToHeuristic) {
  std::vector<FeatureRow> rows = {row(-2.0, 1), row(0.0, 0)};
  auto s = score_document(rows, true, {1.0, 2.0});  // wrong size: not a usable ranker
  EXPECT_DOUBLE_EQ(s[1], 1.0);
  EXPECT_LT(s[0], s[1]);
}

// In every document the gold row is the one in the first sentence, while the
// heuristic prefers another row; the ranker must learn to move it up.
RankingData first_sentence_data(int docs) {
  RankingData d;
  for (int doc = 0; doc < docs; ++doc) {
    for (int i = 0; i < 6; ++i) {
      bool gold = i == 3;
      d.rows.push_back(row(-0.2 * i, gold ? 1 : 0));
      d.gold.push_back(gold ? 1 : 0);
    }
    d.starts.push_back(d.rows.size());
  }
  return d;
}

TEST(TrainRanker, FullRankerLearnsWhatMarksGoldRows) {
  RankingData d = first_sentence_data(30);
  auto w = train_ranker(d, RankerKind::full);
  ASSERT_EQ(w.size(), std::size_t(kNumWeights));
  EXPECT_GT(w[2 * kNumFeatures + kInFirstSentence], 0.0);
  std::vector<FeatureRow> doc(d.rows.begin(), d.rows.begin() + 6);
  auto s = score_document(doc, true, w);
  EXPECT_DOUBLE_EQ(s[3], 1.0);
}

TEST(TrainRanker, PriorRankerMovesOnlyHeuristicAndGoldWeights) {
  RankingData d = first_sentence_data(30);
  for (auto& r : d.rows) r[kLogGold] = r[kInFirstSentence];  // gold rows were gold elsewhere too
  auto w = train_ranker(d, RankerKind::prior);
  EXPECT_EQ(w[2 * kNumFeatures + kInFirstSentence], 0.0);
  EXPECT_GT(w[2 * kNumFeatures + kLogGold], 0.0);
  std::vector<FeatureRow> doc(d.rows.begin(), d.rows.begin() + 6);
  EXPECT_DOUBLE_EQ(score_document(doc, true, w)[3], 1.0);
}

TEST(TrainRanker, DeterministicAndNeutralWithoutGold) {
  RankingData d = first_sentence_data(5);
  EXPECT_EQ(train_ranker(d), train_ranker(d));
  std::fill(d.gold.begin(), d.gold.end(), 0);
  auto w = train_ranker(d);
  // No gold: the ranker stays the heuristic, so the order does not change.
  std::vector<FeatureRow> doc(d.rows.begin(), d.rows.begin() + 6);
  auto s = score_document(doc, true, w);
  for (std::size_t i = 1; i < s.size(); ++i) EXPECT_LT(s[i], s[i - 1]);
  EXPECT_EQ(train_ranker(RankingData{}).size(), std::size_t(kNumWeights));
}

}  // namespace
}  // namespace somlabel::keyphrases

namespace somlabel::keyphrases {
namespace {

TEST(ScoreDocument, UnusableWeightsFallBackToHeuristic) {
  std::vector<FeatureRow> rows = {row(-2.0, 1), row(0.0, 0), row(-1.0, 0)};
  std::vector<double> zero_scale(kNumWeights, 0.0);  // every scale 0: division by zero
  std::vector<double> infinite(kNumWeights, 1.0);
  infinite[2 * kNumFeatures] = HUGE_VAL;
  for (const auto& w : {zero_scale, infinite}) {
    auto s = score_document(rows, true, w);
    EXPECT_DOUBLE_EQ(s[1], 1.0);
    EXPECT_NEAR(s[2], std::exp(-1.0), 1e-12);
    EXPECT_NEAR(s[0], std::exp(-2.0), 1e-12);
  }
}

// Phrases repeating 0.43 times as often as words (papers) leave single words at 0.7, with
// the fourth power of the ratio's inverse elsewhere, within [0.1, 10]; no statistics (older
// training, empty texts), the paper value.
TEST(SingleWordWeight, FollowsTheCollectionsRepeatRatio) {
  const struct {
    CollectionStats stats;
    double weight;
  } cases[] = {
      {{0.43, 1.0}, 0.7},
      {{0.344, 1.0}, 0.7 / 0.4096},
      {{0.5375, 1.0}, 0.7 * 0.4096},
      {{0.215, 1.0}, 10.0},
      {{0.2, 0.2}, 0.1},
      {{0.0, 0.5}, 0.7},
      {{0.5, 0.0}, 0.7},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(single_word_weight(c.stats), c.weight, 1e-9)
        << c.stats.phrase_repeat_share << " " << c.stats.word_repeat_share;
}

}  // namespace
}  // namespace somlabel::keyphrases
