// The grid file, written out by hand from a 2 x 2 codebook whose distances
// are whole or simple numbers.
#include <gtest/gtest.h>

#include "somtrain/grid_file.h"

namespace somlabel::somtrain {
namespace {

TEST(SomtrainGridFile, DistancesToRightAndLowerNeighboursAndMeanError) {
  // Units in row order: (0,0) at the origin, (1,0) at (3,4), (0,1) at (0,1), (1,1) at (1,1).
  const Codebook codebook{Grid{2, 2}, 2, {0, 0, 3, 4, 0, 1, 1, 1}};
  std::vector<GridUnit> units;
  for (int u = 0; u < 4; ++u) units.push_back(neighbour_distances(codebook, u));
  units[0].quantization_error = 1.0, units[0].documents = 2;
  units[2].quantization_error = 1.0, units[2].documents = 3;
  units[3].quantization_error = 0.25, units[3].documents = 1;
  EXPECT_EQ(grid_file_text(codebook.grid, units),
            "somgrid 1\n"
            "2 2\n"
            "0 0 5.000000 1.000000 0.500000\n"
            "1 0 - 3.605551 -\n"  // sqrt(2^2 + 3^2); no documents
            "0 1 1.000000 - 0.333333\n"
            "1 1 - - 0.250000\n");
}

TEST(SomtrainGridFile, OneRowAndOneColumnHaveNoLowerOrRightNeighbour) {
  const Codebook row{Grid{2, 1}, 1, {0, 2}};
  const Codebook column{Grid{1, 2}, 1, {0, 2}};
  EXPECT_EQ(neighbour_distances(row, 0), (GridUnit{2.0, -1.0, 0.0, 0}));
  EXPECT_EQ(neighbour_distances(column, 0), (GridUnit{-1.0, 2.0, 0.0, 0}));
  EXPECT_EQ(grid_file_text(row.grid, {{2.0, -1.0, 0.0, 0}, {-1.0, -1.0, 0.0, 0}}),
            "somgrid 1\n2 1\n0 0 2.000000 - -\n1 0 - - -\n");
}

}  // namespace
}  // namespace somlabel::somtrain
