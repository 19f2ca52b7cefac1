// The content search's data as the browser decodes it (labelsite/search.js
// reads the same digits), and the map grid file that the map view draws.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "labelsite/grid_file.h"
#include "labelsite/text_search.h"
#include "tests/test_util.h"

namespace somlabel::labelsite {
namespace {

TEST(LabelsiteSearchData, VarintDigitsCarryFiveBitsEach) {
  const std::pair<uint32_t, std::string> cases[] = {{0, "A"},   {31, "f"},    {32, "gB"},
                                                    {33, "hB"}, {1023, "_f"}, {1024, "ggB"}};
  for (const auto& [value, digits] : cases) {
    std::string out;
    append_varint_digits(out, value);
    EXPECT_EQ(out, digits) << value;
  }
}

TEST(LabelsiteSearchData, TermEntriesListDocumentsWithTheirWeights) {
  // Six documents of ten words; the term once in 0 and 5, twice in 2.
  // idf = ln(1 + 3.5 / 3.5) = ln 2; once: 2.2 / 2.2 = 1; twice: 4.4 / 3.2.
  const std::vector<uint32_t> lengths(6, 10);
  PostingList list;
  list.append(0, 1);
  list.append(2, 2);
  list.append(5, 1);
  EXPECT_NEAR(bm25_weight(2, 10, 10, 3, 6), std::log(2.0) * 4.4 / 3.2, 1e-12);
  // Weights in 63ths of the greatest: 63 * 3.2 / 4.4 = 45.8, so 46 ("u");
  // gaps 0, then 2 - 1 = 1, then 5 - 3 = 2.
  EXPECT_EQ(term_entry(list, lengths, 10), "[3,0.953077,\"AuB_Cu\"]");
}

TEST(LabelsiteSearchData, CommonTermsAreBitmapsWithTheirBestDocuments) {
  const uint32_t documents = 3000;
  std::vector<uint32_t> lengths(documents, 10);
  lengths[2999] = 5;  // a shorter document weighs more
  PostingList list;
  for (uint32_t d = 0; d < documents; ++d) list.append(d, 1);
  const std::string entry = term_entry(list, lengths, 10);
  // Length 5 of a mean 10: 2.2 / (1 + 1.2 * 0.625) = 1.2571 times the others,
  // which weigh 63 / 1.2571 = 50.1: level 50 ("y"). A list would take two
  // digits a document; the bitmap has 500 digits of six set bits. The best
  // 200, of equals the first: 0 .. 198, then 2999 (gap 2800 = 16 + 23 * 32 +
  // 2 * 1024: "w3C") at 63; the rest, level 50.
  std::string best;
  for (int d = 0; d < 199; ++d) best += "Ay";
  best += "w3C_";
  const std::string tail = "\"" + std::string(500, '_') + "\",\"" + best + "\",50]";
  ASSERT_TRUE(entry.starts_with("[3000,0.00020947")) << entry.substr(0, 30);
  EXPECT_TRUE(entry.ends_with(tail)) << entry.substr(entry.size() - 30);
  EXPECT_EQ(entry.size(), std::string("[3000,0.000209472,").size() + tail.size());
}

TEST(LabelsiteGrid, ReadsTheGridFileOfItsMap) {
  const std::string good =
      "somgrid 1\n2 2\n0 0 1.500000 0.250000 0.100000\n1 0 - 2.000000 -\n"
      "0 1 0.000000 - 0.300000\n1 1 - - -\n";
  FILE* in = testutil::input(good);
  std::vector<GridCell> cells;
  ASSERT_TRUE(read_grid(in, 2, 2, cells));
  std::fclose(in);
  ASSERT_EQ(cells.size(), 4u);
  EXPECT_EQ(cells[0].right, 1.5);
  EXPECT_EQ(cells[0].down, 0.25);
  EXPECT_TRUE(std::isnan(cells[1].right) && std::isnan(cells[1].qerror));
  EXPECT_EQ(cells[2].qerror, 0.3);

  const std::pair<std::string, std::string> bad[] = {
      {"somgrid 2\n2 2\n", "its first line is not \"somgrid 1\""},
      {"somgrid 1\n2 3\n", "it describes a map of 2 x 3 units, not 2 x 2"},
      {"somgrid 1\n2\n", "no XDIM YDIM in line 2"},
      {"somgrid 1\n2 2\n0 0 1 1 1\n", "the file ends early in line 4"},
      {"somgrid 1\n2 2\n1 0 1 1 1\n", "a unit out of order in line 3"},
      {"somgrid 1\n2 2\n0 0 -1 1 1\n", "no \"x y right down qerror\" in line 3"},
      {"somgrid 1\n2 2\n0 0 nan 1 1\n", "no \"x y right down qerror\" in line 3"},
      {"somgrid 1\n2 2\n0 0 1 1\n", "no \"x y right down qerror\" in line 3"},
      {"somgrid 1\n2 2\n0 0 1  1 1\n", "no \"x y right down qerror\" in line 3"},
  };
  for (const auto& [text, reason] : bad) {
    FILE* file = testutil::input(text);
    const Result<Reason> read = read_grid(file, 2, 2, cells);
    std::fclose(file);
    EXPECT_FALSE(read.ok()) << text;
    EXPECT_EQ(read.message(), reason) << text;
    EXPECT_TRUE(cells.empty());
  }
}

}  // namespace
}  // namespace somlabel::labelsite
