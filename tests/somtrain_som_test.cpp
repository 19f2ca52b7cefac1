// The map itself: neighbourhood radius and weight, best-matching unit,
// seeded start and batch training.
#include <gtest/gtest.h>

#include <cmath>

#include "somtrain/som.h"

namespace somlabel::somtrain {
namespace {

SparseVector vec(std::vector<std::uint32_t> index, std::vector<double> value) {
  return SparseVector{std::move(index), std::move(value)};
}

TEST(SomtrainMatch, AVectorStaysOnItsEarlierUnitUnlessAnotherIsClearlyCloser) {
  // Two units of one term, at 0 and 1: a vector at v is |v| from the first
  // and |1 - v| from the second; it stays while its earlier unit is at most
  // 5% further than the closest.
  const Codebook codebook{Grid{2, 1}, 1, {0.0, 1.0}};
  struct Case {
    double v;
    int earlier;
    int unit;
  } cases[] = {
      {0.51, -1, 1},  // none before: the closest
      {0.51, 0, 0},   // 0.51 <= 0.49 x 1.05
      {0.53, 0, 1},   // 0.53 > 0.47 x 1.05 = 0.4935
      {0.49, 1, 1},   // 0.51 <= 0.49 x 1.05
      {0.20, 1, 0},   // 0.8 is four times 0.2
      {0.60, 0, 1},
  };
  for (const Case& c : cases) {
    const std::vector<Match> match =
        match_vectors(codebook, {vec({0}, {c.v})}, 1, EarlierUnits{c.earlier});
    EXPECT_EQ(match[0].unit, c.unit) << c.v << " from " << c.earlier;
    EXPECT_NEAR(match[0].distance, c.unit == 0 ? c.v : 1.0 - c.v, 1e-12) << c.v;
  }
}

TEST(SomtrainNeighbourhood, RadiusShrinksGeometricallyFromStartToEnd) {
  const Grid grid{6, 4};
  const TrainingSchedule schedule{5, 4.0, 0.25};
  EXPECT_DOUBLE_EQ(neighbourhood_radius(schedule, grid, 0), 4.0);
  EXPECT_DOUBLE_EQ(neighbourhood_radius(schedule, grid, 4), 0.25);
  // Halfway (epoch 2 of 0..4): the geometric mean, sqrt(4 * 0.25) = 1.
  EXPECT_NEAR(neighbourhood_radius(schedule, grid, 2), 1.0, 1e-12);
  for (int epoch = 1; epoch < 5; ++epoch) {
    EXPECT_LT(neighbourhood_radius(schedule, grid, epoch),
              neighbourhood_radius(schedule, grid, epoch - 1));
  }
}

TEST(SomtrainNeighbourhood, DefaultStartIsHalfTheLongerSideAtLeastOne) {
  const TrainingSchedule schedule{10, 0.0, 0.5};
  EXPECT_DOUBLE_EQ(neighbourhood_radius(schedule, Grid{6, 4}, 0), 3.0);
  EXPECT_DOUBLE_EQ(neighbourhood_radius(schedule, Grid{3, 7}, 0), 3.5);
  EXPECT_DOUBLE_EQ(neighbourhood_radius(schedule, Grid{1, 1}, 0), 1.0);
  EXPECT_DOUBLE_EQ(neighbourhood_radius(schedule, Grid{1, 1}, 9), 0.5);
  // A single epoch trains at the final radius; an end above the start is the start.
  EXPECT_DOUBLE_EQ(neighbourhood_radius(TrainingSchedule{1, 3.0, 0.5}, Grid{6, 4}, 0), 0.5);
  EXPECT_DOUBLE_EQ(neighbourhood_radius(TrainingSchedule{3, 1.0, 2.0}, Grid{6, 4}, 2), 1.0);
}

TEST(SomtrainNeighbourhood, GaussianOfGridDistance) {
  const Grid grid{3, 3};
  EXPECT_DOUBLE_EQ(neighbourhood_weight(grid, 4, 4, 1.0), 1.0);
  // Unit 0 is (0,0), unit 4 is (1,1): d^2 = 2, so exp(-2 / 2) with sigma 1.
  EXPECT_NEAR(neighbourhood_weight(grid, 0, 4, 1.0), 0.367879, 1e-6);
  // Unit 2 is (2,0): d^2 = 4; sigma 2 gives exp(-4 / 8).
  EXPECT_NEAR(neighbourhood_weight(grid, 0, 2, 2.0), 0.606531, 1e-6);
  EXPECT_DOUBLE_EQ(neighbourhood_weight(grid, 0, 2, 2.0), neighbourhood_weight(grid, 2, 0, 2.0));
}

Codebook three_units() {
  // Rows: (1,0,0), (0,1,0), (0,0.5,0.5).
  return Codebook{Grid{3, 1}, 3, {1, 0, 0, 0, 1, 0, 0, 0.5, 0.5}};
}

TEST(SomtrainBestMatchingUnit, ClosestUnitWins) {
  const Codebook codebook = three_units();
  const std::vector<double> norms = {1.0, 1.0, 0.5};
  EXPECT_EQ(best_matching_unit(codebook, norms, vec({0}, {1.0})), 0);
  EXPECT_EQ(best_matching_unit(codebook, norms, vec({1}, {0.9})), 1);
  // (0, 0.6, 0.8): distances^2 to the rows are 2, 0.2, 0.1.
  EXPECT_EQ(best_matching_unit(codebook, norms, vec({1, 2}, {0.6, 0.8})), 2);
}

TEST(SomtrainBestMatchingUnit, TieGoesToTheFirstUnit) {
  const Codebook codebook = three_units();
  const std::vector<double> norms = {1.0, 1.0, 0.5};
  // (0.5, 0.5, 0) is as far from row 0 as from row 1.
  EXPECT_EQ(best_matching_unit(codebook, norms, vec({0, 1}, {0.5, 0.5})), 0);
  // The empty vector is nearest the shortest row.
  EXPECT_EQ(best_matching_unit(codebook, norms, vec({}, {})), 2);
  EXPECT_NEAR(distance(codebook, 2, vec({}, {})), std::sqrt(0.5), 1e-12);
  EXPECT_NEAR(distance(codebook, 0, vec({1}, {1.0})), std::sqrt(2.0), 1e-12);
}

TEST(SomtrainTraining, OneUnitLearnsTheMean) {
  Codebook codebook = initial_codebook(Grid{1, 1}, 2, {vec({0}, {1.0}), vec({1}, {1.0})}, 7);
  train(codebook, {vec({0}, {1.0}), vec({1}, {1.0})}, TrainingSchedule{3, 0.0, 0.5}, 1);
  EXPECT_NEAR(codebook.weights[0], 0.5, 1e-12);
  EXPECT_NEAR(codebook.weights[1], 0.5, 1e-12);
}

TEST(SomtrainTraining, StartsFromDistinctDocumentsAndZeroWithoutAny) {
  const std::vector<SparseVector> vectors = {vec({0}, {1.0}), vec({1}, {1.0}), vec({2}, {1.0})};
  const Codebook codebook = initial_codebook(Grid{3, 1}, 3, vectors, 42);
  // Each row is one of the documents, no document twice: a permutation matrix.
  for (int d = 0; d < 3; ++d) {
    double column = 0.0, row = 0.0;
    for (int u = 0; u < 3; ++u) {
      column += codebook.row(u)[d];
      row += codebook.row(d)[u];
    }
    EXPECT_DOUBLE_EQ(column, 1.0);
    EXPECT_DOUBLE_EQ(row, 1.0);
  }
  const Codebook empty = initial_codebook(Grid{2, 2}, 3, {}, 42);
  EXPECT_EQ(empty.weights, std::vector<double>(12, 0.0));
}

// Two groups of vectors over separate terms, many of each.
std::vector<SparseVector> two_groups(int per_group) {
  std::vector<SparseVector> vectors;
  for (int i = 0; i < per_group; ++i) {
    const double a = 0.6 + 0.2 * (i % 3) / 2.0;
    const double b = std::sqrt(1.0 - a * a);
    vectors.push_back(vec({0, 1}, {a, b}));
    vectors.push_back(vec({2, 3}, {b, a}));
  }
  return vectors;
}

TEST(SomtrainTraining, SeparatesTwoGroups) {
  const std::vector<SparseVector> vectors = two_groups(10);
  Codebook codebook = initial_codebook(Grid{2, 1}, 4, vectors, 3);
  train(codebook, vectors, TrainingSchedule{10, 0.0, 0.3}, 1);
  const std::vector<int> bmu = map_vectors(codebook, vectors, 1);
  ASSERT_NE(bmu[0], bmu[1]);
  for (std::size_t i = 0; i < vectors.size(); ++i) EXPECT_EQ(bmu[i], bmu[i % 2]) << i;
}

TEST(SomtrainTraining, SameSeedSameWeightsWhateverTheThreads) {
  const std::vector<SparseVector> vectors = two_groups(700);  // enough to share out
  Codebook one = initial_codebook(Grid{3, 2}, 4, vectors, 9);
  Codebook four = one;
  train(one, vectors, TrainingSchedule{5, 0.0, 0.5}, 1);
  train(four, vectors, TrainingSchedule{5, 0.0, 0.5}, 4);
  EXPECT_EQ(one.weights, four.weights);  // bit for bit
  EXPECT_EQ(map_vectors(one, vectors, 1), map_vectors(four, vectors, 3));
  EXPECT_EQ(initial_codebook(Grid{3, 2}, 4, vectors, 9).weights,
            initial_codebook(Grid{3, 2}, 4, vectors, 9).weights);
}

}  // namespace
}  // namespace somlabel::somtrain
