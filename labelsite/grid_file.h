// Reading a map's grid file (common/map_grid.h has the format): what the
// map view needs that the unit file does not carry.
#pragma once

#include <cstdio>
#include <limits>
#include <string_view>
#include <vector>

#include "common/map_grid.h"
#include "common/result.h"

namespace somlabel::labelsite {

// Maps larger than this are no map a grid file can describe.
inline constexpr long kMaxGridUnits = long{1} << 22;

inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

struct GridCell {
  double right = kNoValue;
  double down = kNoValue;
  double qerror = kNoValue;
};

// Reads the grid file of a map of `xdim` x `ydim` units from `in`: its cells
// row by row. Fails with the reason (no file name) when it is not a grid
// file of such a map; `cells` is then empty.
[[nodiscard]] Result<Reason> read_grid(FILE* in, int xdim, int ydim, std::vector<GridCell>& cells);

}  // namespace somlabel::labelsite
