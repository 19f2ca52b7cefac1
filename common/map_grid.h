// The grid file: beside each unit file X.unit a text file X.unit.grid with
// what a view of the map needs that the unit file does not carry.
//
//   somgrid 1                      name and version of the format
//   XDIM YDIM
//   x y right down qerror          one line per unit, in the unit file's order
//
// right and down are the Euclidean distances of the unit's model vector to
// those of the units at (x+1, y) and (x, y+1), qerror the mean distance of
// the unit's documents to its model vector; each with six decimals, or "-"
// where there is no such neighbour or the unit holds no document. A map
// without a grid file was trained elsewhere.
#pragma once

#include <string_view>

namespace somlabel {

inline constexpr std::string_view kGridEnding = ".grid";  // behind the unit file's name
inline constexpr std::string_view kGridFormat = "somgrid";
inline constexpr int kGridVersion = 1;
inline constexpr std::string_view kGridNone = "-";

}  // namespace somlabel
