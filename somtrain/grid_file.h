// The grid file of a trained map (common/map_grid.h): the distances between
// neighbouring units' model vectors and each unit's mean quantisation error.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "somtrain/som.h"

namespace somlabel::somtrain {

// One unit as its grid line tells it. A negative distance: no such neighbour.
struct GridUnit {
  double right = -1.0;
  double down = -1.0;
  double quantization_error = 0.0;  // summed over its documents, as "$QUANTERROR_NODE"
  std::size_t documents = 0;
  friend bool operator==(const GridUnit&, const GridUnit&) = default;
};

// The distances of `unit` of `codebook` to its right and lower neighbours;
// documents and error left at 0.
[[nodiscard]] GridUnit neighbour_distances(const Codebook& codebook, int unit);

// The grid file of a map of `grid` whose units, in row order, are `units`.
[[nodiscard]] std::string grid_file_text(const Grid& grid, const std::vector<GridUnit>& units);

}  // namespace somlabel::somtrain
