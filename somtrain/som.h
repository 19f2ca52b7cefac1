// One self-organizing map: a rectangular grid of units, each with a dense
// weight vector, trained in batch mode with a Gaussian neighbourhood whose
// radius shrinks from epoch to epoch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "somtrain/tfidf.h"

namespace somlabel::somtrain {

// Units are numbered in row order: unit = y * xdim + x.
struct Grid {
  int xdim = 1;
  int ydim = 1;
  [[nodiscard]] int units() const { return xdim * ydim; }
  [[nodiscard]] int x(int unit) const { return unit % xdim; }
  [[nodiscard]] int y(int unit) const { return unit / xdim; }
  friend bool operator==(const Grid&, const Grid&) = default;
};

struct TrainingSchedule {
  int epochs = 30;
  double sigma_start = 0.0;  // 0: half the longer side of the grid, at least 1
  double sigma_end = 0.5;
};

// Owns the weights: units() rows of `dims` values, in unit order.
struct Codebook {
  Grid grid;
  std::size_t dims = 0;
  std::vector<double> weights;
  [[nodiscard]] const double* row(int unit) const {
    return weights.data() + static_cast<std::size_t>(unit) * dims;
  }
  [[nodiscard]] double* row(int unit) {
    return weights.data() + static_cast<std::size_t>(unit) * dims;
  }
};

// The neighbourhood radius in epoch `epoch` (0-based): sigma_start at the
// first epoch, sigma_end at the last, shrinking by the same factor each epoch.
[[nodiscard]] double neighbourhood_radius(const TrainingSchedule& schedule, const Grid& grid,
                                          int epoch);

// exp(-d^2 / (2 sigma^2)), d the distance of the two units on the grid.
[[nodiscard]] double neighbourhood_weight(const Grid& grid, int a, int b, double sigma);

// The unit whose weights lie closest (Euclidean) to `vector`; of equally
// close units the first. `squared_norms` holds each unit's squared length.
[[nodiscard]] int best_matching_unit(const Codebook& codebook,
                                     const std::vector<double>& squared_norms,
                                     const SparseVector& vector);

// Each unit starts as the vector of a document drawn with `seed` (distinct
// documents while there are enough); all zero when there are none.
[[nodiscard]] Codebook initial_codebook(const Grid& grid, std::size_t dims,
                                        const std::vector<SparseVector>& vectors,
                                        std::uint64_t seed);

// A vector that lay on a unit of the same map before stays there while that
// unit is at most this factor further from it than the best-matching unit:
// another unit must be clearly better (by more than 5%) to take it. So a
// refined map keeps its documents where they were unless they moved on.
inline constexpr double kStayTolerance = 1.05;

// Per vector, the unit it lay on in an earlier training of the map, or -1
// (a new document, or none known). Empty: none for any vector.
using EarlierUnits = std::vector<int>;

// Batch training: each epoch maps every vector to its best-matching unit
// (its earlier unit within kStayTolerance), then sets every unit to the
// neighbourhood-weighted mean of all vectors. `jobs` threads search
// best-matching units; the result does not depend on it.
void train(Codebook& codebook, const std::vector<SparseVector>& vectors,
           const TrainingSchedule& schedule, int jobs, const EarlierUnits& earlier = {});

// The best-matching unit of every vector, in order.
[[nodiscard]] std::vector<int> map_vectors(const Codebook& codebook,
                                           const std::vector<SparseVector>& vectors, int jobs);

// A vector's best-matching unit and its Euclidean distance to that unit's
// weights (as distance() gives it).
struct Match {
  int unit = 0;
  double distance = 0.0;
  friend bool operator==(const Match&, const Match&) = default;
};
// With `earlier`, a vector whose earlier unit lies within kStayTolerance of
// its best match is matched to the earlier unit.
[[nodiscard]] std::vector<Match> match_vectors(const Codebook& codebook,
                                               const std::vector<SparseVector>& vectors, int jobs,
                                               const EarlierUnits& earlier = {});

// Euclidean distance between a unit's weights and a vector.
[[nodiscard]] double distance(const Codebook& codebook, int unit, const SparseVector& vector);

// Euclidean distance between the weights of two units.
[[nodiscard]] double unit_distance(const Codebook& codebook, int a, int b);

}  // namespace somlabel::somtrain
