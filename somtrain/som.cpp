#include "somtrain/som.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <thread>

namespace somlabel::somtrain {
namespace {

std::vector<double> squared_norms(const Codebook& codebook) {
  std::vector<double> norms(static_cast<std::size_t>(codebook.grid.units()), 0.0);
  for (int u = 0; u < codebook.grid.units(); ++u) {
    const double* w = codebook.row(u);
    double sum = 0.0;
    for (std::size_t d = 0; d < codebook.dims; ++d) sum += w[d] * w[d];
    norms[static_cast<std::size_t>(u)] = sum;
  }
  return norms;
}

// A unit whose weight in a unit's mean is below this share of the nearest
// unit's (more than 6.4 radii further away) would move it by less than a
// stored float can tell: it is left out.
constexpr double kNegligibleWeight = 1e-9;

// Vectors are shared out in contiguous slices; each result lands in its own
// slot, so the outcome is the same for any number of threads.
constexpr std::size_t kVectorsPerThread = 256;

double dot(const double* weights, const SparseVector& vector) {
  double sum = 0.0;
  for (std::size_t i = 0; i < vector.index.size(); ++i)
    sum += weights[vector.index[i]] * vector.value[i];
  return sum;
}

// A codebook made ready for matching: its weights term by term (dims rows of
// units values), so that a sparse vector's products with every unit are
// added up row after row, and each unit's squared length. The products add
// up in the order of dot(), so matches are those of best_matching_unit.
struct MatchTable {
  int units = 0;
  std::vector<double> by_term;
  std::vector<double> norms;
};

MatchTable match_table(const Codebook& codebook) {
  const int units = codebook.grid.units();
  MatchTable table{units, std::vector<double>(codebook.weights.size()), squared_norms(codebook)};
  for (int u = 0; u < units; ++u) {
    const double* w = codebook.row(u);
    for (std::size_t d = 0; d < codebook.dims; ++d)
      table.by_term[d * static_cast<std::size_t>(units) + static_cast<std::size_t>(u)] = w[d];
  }
  return table;
}

// `products` is scratch of table.units values; `earlier` the unit the vector
// lay on before, or -1.
Match best_match(const MatchTable& table, const SparseVector& vector, std::vector<double>& products,
                 int earlier) {
  const auto units = static_cast<std::size_t>(table.units);
  std::fill(products.begin(), products.end(), 0.0);
  for (std::size_t i = 0; i < vector.index.size(); ++i) {
    const double value = vector.value[i];
    const double* row = table.by_term.data() + vector.index[i] * units;
    for (std::size_t u = 0; u < units; ++u) products[u] += row[u] * value;
  }
  // |w - x|^2 = |w|^2 - 2 w.x + |x|^2; the last term is the same for all units.
  std::size_t best = 0;
  double best_distance = 0.0;
  for (std::size_t u = 0; u < units; ++u) {
    const double d = table.norms[u] - 2.0 * products[u];
    if (u == 0 || d < best_distance) {
      best = u;
      best_distance = d;
    }
  }
  auto distance_to = [&](std::size_t u) {
    return std::sqrt(std::max(0.0, table.norms[u] + (vector.squared_norm() - 2.0 * products[u])));
  };
  const double best_found = distance_to(best);
  if (earlier >= 0 && static_cast<std::size_t>(earlier) < units &&
      static_cast<std::size_t>(earlier) != best) {
    const double stay = distance_to(static_cast<std::size_t>(earlier));
    if (stay <= best_found * kStayTolerance) return Match{earlier, stay};
  }
  return Match{static_cast<int>(best), best_found};
}

}  // namespace

double neighbourhood_radius(const TrainingSchedule& schedule, const Grid& grid, int epoch) {
  double start = schedule.sigma_start;
  if (start <= 0.0) start = std::max(1.0, std::max(grid.xdim, grid.ydim) / 2.0);
  const double end = std::min(schedule.sigma_end, start);
  if (schedule.epochs <= 1) return end;
  const double progress = static_cast<double>(epoch) / (schedule.epochs - 1);
  return start * std::pow(end / start, progress);
}

double neighbourhood_weight(const Grid& grid, int a, int b, double sigma) {
  const double dx = grid.x(a) - grid.x(b);
  const double dy = grid.y(a) - grid.y(b);
  return std::exp(-(dx * dx + dy * dy) / (2.0 * sigma * sigma));
}

int best_matching_unit(const Codebook& codebook, const std::vector<double>& squared_norms,
                       const SparseVector& vector) {
  // |w - x|^2 = |w|^2 - 2 w.x + |x|^2; the last term is the same for all units.
  int best = 0;
  double best_distance = 0.0;
  for (int u = 0; u < codebook.grid.units(); ++u) {
    const double d =
        squared_norms[static_cast<std::size_t>(u)] - 2.0 * dot(codebook.row(u), vector);
    if (u == 0 || d < best_distance) {
      best = u;
      best_distance = d;
    }
  }
  return best;
}

Codebook initial_codebook(const Grid& grid, std::size_t dims,
                          const std::vector<SparseVector>& vectors, std::uint64_t seed) {
  Codebook codebook{grid, dims,
                    std::vector<double>(static_cast<std::size_t>(grid.units()) * dims, 0.0)};
  if (vectors.empty()) return codebook;
  // mt19937_64 is fully defined by the standard; reducing its output by hand
  // (not with a distribution) keeps the draw the same on every library.
  std::mt19937_64 random(seed);
  std::vector<std::size_t> order(vectors.size());
  std::iota(order.begin(), order.end(), 0);
  for (std::size_t i = 0; i + 1 < order.size(); ++i) {
    const std::size_t j = i + static_cast<std::size_t>(random() % (order.size() - i));
    std::swap(order[i], order[j]);
  }
  for (int u = 0; u < grid.units(); ++u) {
    const SparseVector& v = vectors[order[static_cast<std::size_t>(u) % order.size()]];
    double* w = codebook.row(u);
    for (std::size_t i = 0; i < v.index.size(); ++i) w[v.index[i]] = v.value[i];
  }
  return codebook;
}

std::vector<Match> match_vectors(const Codebook& codebook, const std::vector<SparseVector>& vectors,
                                 int jobs, const EarlierUnits& earlier) {
  const MatchTable table = match_table(codebook);
  std::vector<Match> matches(vectors.size());
  auto work = [&](std::size_t begin, std::size_t end) {
    std::vector<double> products(static_cast<std::size_t>(table.units));
    for (std::size_t i = begin; i < end; ++i)
      matches[i] = best_match(table, vectors[i], products, earlier.empty() ? -1 : earlier[i]);
  };
  const std::size_t wanted = std::min<std::size_t>(static_cast<std::size_t>(std::max(jobs, 1)),
                                                   vectors.size() / kVectorsPerThread + 1);
  if (wanted <= 1) {
    work(0, vectors.size());
    return matches;
  }
  std::vector<std::thread> threads;
  const std::size_t slice = (vectors.size() + wanted - 1) / wanted;
  for (std::size_t t = 0; t < wanted; ++t) {
    const std::size_t begin = t * slice;
    const std::size_t end = std::min(vectors.size(), begin + slice);
    if (begin < end) threads.emplace_back(work, begin, end);
  }
  for (std::thread& thread : threads) thread.join();
  return matches;
}

std::vector<int> map_vectors(const Codebook& codebook, const std::vector<SparseVector>& vectors,
                             int jobs) {
  std::vector<int> units;
  units.reserve(vectors.size());
  for (const Match& match : match_vectors(codebook, vectors, jobs)) units.push_back(match.unit);
  return units;
}

void train(Codebook& codebook, const std::vector<SparseVector>& vectors,
           const TrainingSchedule& schedule, int jobs, const EarlierUnits& earlier) {
  const int units = codebook.grid.units();
  const std::size_t dims = codebook.dims;
  std::vector<double> sums(codebook.weights.size());
  std::vector<double> counts(static_cast<std::size_t>(units));
  // The terms each unit's documents hold: the weights of a unit of a large
  // map's sub-map are a few of the map's terms, and only those are added.
  std::vector<std::vector<std::uint32_t>> held(static_cast<std::size_t>(units));
  for (int epoch = 0; epoch < schedule.epochs; ++epoch) {
    const std::vector<Match> bmu = match_vectors(codebook, vectors, jobs, earlier);
    std::fill(sums.begin(), sums.end(), 0.0);
    std::fill(counts.begin(), counts.end(), 0.0);
    for (std::size_t i = 0; i < vectors.size(); ++i) {
      const auto unit = static_cast<std::size_t>(bmu[i].unit);
      double* sum = sums.data() + unit * dims;
      for (std::size_t k = 0; k < vectors[i].index.size(); ++k)
        sum[vectors[i].index[k]] += vectors[i].value[k];
      counts[unit] += 1.0;
    }
    for (std::size_t k = 0; k < held.size(); ++k) {
      held[k].clear();
      const double* sum = sums.data() + k * dims;
      for (std::size_t d = 0; d < dims && counts[k] > 0.0; ++d) {
        if (sum[d] != 0.0) held[k].push_back(static_cast<std::uint32_t>(d));
      }
    }
    const double sigma = neighbourhood_radius(schedule, codebook.grid, epoch);
    std::vector<double> h(static_cast<std::size_t>(units));
    for (int u = 0; u < units; ++u) {
      double* w = codebook.row(u);
      double total = 0.0, nearest = 0.0;
      std::fill(w, w + dims, 0.0);
      for (int k = 0; k < units; ++k) {
        const auto unit = static_cast<std::size_t>(k);
        h[unit] = counts[unit] == 0.0 ? 0.0 : neighbourhood_weight(codebook.grid, u, k, sigma);
        nearest = std::max(nearest, h[unit]);
      }
      for (int k = 0; k < units; ++k) {
        const auto unit = static_cast<std::size_t>(k);
        if (h[unit] == 0.0 || h[unit] < nearest * kNegligibleWeight) continue;
        total += h[unit] * counts[unit];
        const double* sum = sums.data() + unit * dims;
        // Adding the zeros of the terms not held would change no weight.
        if (held[unit].size() * 4 < dims) {
          for (std::uint32_t d : held[unit]) w[d] += h[unit] * sum[d];
        } else {
          for (std::size_t d = 0; d < dims; ++d) w[d] += h[unit] * sum[d];
        }
      }
      if (total > 0.0) {
        for (std::size_t d = 0; d < dims; ++d) w[d] /= total;
      }
    }
  }
}

double distance(const Codebook& codebook, int unit, const SparseVector& vector) {
  const double* w = codebook.row(unit);
  double sum = 0.0;
  for (std::size_t d = 0; d < codebook.dims; ++d) sum += w[d] * w[d];
  sum += vector.squared_norm() - 2.0 * dot(w, vector);
  return std::sqrt(std::max(0.0, sum));
}

double unit_distance(const Codebook& codebook, int a, int b) {
  const double* wa = codebook.row(a);
  const double* wb = codebook.row(b);
  double sum = 0.0;
  for (std::size_t d = 0; d < codebook.dims; ++d) sum += (wa[d] - wb[d]) * (wa[d] - wb[d]);
  return std::sqrt(sum);
}

}  // namespace somlabel::somtrain
