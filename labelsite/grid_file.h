// The map grid file: what a map view needs that the unit file does not
// carry. Beside a unit file X.unit the map trainer writes X.unit.grid:
//     somgrid 1
//     XDIM YDIM
//     x y right down qerror        (one line per unit, in the unit file's order)
// right and down: the distance of the unit's model vector to that of the
// unit at (x+1, y) and at (x, y+1); qerror: the mean distance of the unit's
// documents to its model vector; each with six decimals, or "-" where there
// is no such neighbour or the unit holds no document (docs/somtrain.md).
#pragma once

#include <cstdio>
#include <limits>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace somlabel::labelsite {

inline constexpr std::string_view kGridEnding = ".grid";  // behind the unit file's name
inline constexpr std::string_view kGridFormat = "somgrid 1";

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
[[nodiscard]] Result read_grid(FILE* in, int xdim, int ydim, std::vector<GridCell>& cells);

}  // namespace somlabel::labelsite
