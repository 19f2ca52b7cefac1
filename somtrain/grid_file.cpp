#include "somtrain/grid_file.h"

#include <cstdio>

#include "common/map_grid.h"

namespace somlabel::somtrain {
namespace {

void append_value(std::string& out, double value, bool present) {
  out += ' ';
  if (!present) {
    out.append(somlabel::kGridNone);
    return;
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", value);
  out += text;
}

}  // namespace

GridUnit neighbour_distances(const Codebook& codebook, int unit) {
  const Grid& grid = codebook.grid;
  GridUnit result;
  if (grid.x(unit) + 1 < grid.xdim) result.right = unit_distance(codebook, unit, unit + 1);
  if (grid.y(unit) + 1 < grid.ydim) result.down = unit_distance(codebook, unit, unit + grid.xdim);
  return result;
}

std::string grid_file_text(const Grid& grid, const std::vector<GridUnit>& units) {
  std::string out(somlabel::kGridFormat);
  out += ' ' + std::to_string(somlabel::kGridVersion) + '\n';
  out += std::to_string(grid.xdim) + ' ' + std::to_string(grid.ydim) + '\n';
  for (int u = 0; u < grid.units(); ++u) {
    const GridUnit& unit = units[static_cast<std::size_t>(u)];
    out += std::to_string(grid.x(u)) + ' ' + std::to_string(grid.y(u));
    append_value(out, unit.right, unit.right >= 0.0);
    append_value(out, unit.down, unit.down >= 0.0);
    append_value(
        out,
        unit.documents == 0 ? 0.0 : unit.quantization_error / static_cast<double>(unit.documents),
        unit.documents > 0);
    out += '\n';
  }
  return out;
}

}  // namespace somlabel::somtrain
