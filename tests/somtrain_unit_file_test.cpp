// The files somtrain writes, compared with texts written out by hand from the
// unit-file format: every key of a unit block, in row order, the sub-map
// address, the process files deepest first, and the option file.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "common/checksum.h"
#include "somtrain/unit_file.h"
#include "tests/test_util.h"

namespace somlabel::somtrain {
namespace {

// A hand-made hierarchy: a 2 x 1 top map whose unit (0,0) holds d1 and d2 and
// is expanded by a 1 x 1 sub-map; unit (1,0) is empty.
struct Fixture {
  Corpus corpus;
  Hierarchy hierarchy;
  Fixture() {
    corpus.documents = {{"d1", {}}, {"d2", {}}};
    MapResult top{"", 1, Grid{2, 1}, {}};
    top.units.push_back(UnitResult{{0, 1}, 0.25, {"socket", "bind"}, 1});
    top.units.push_back(UnitResult{{}, 0.0, {}, -1});
    MapResult sub{"0_0", 2, Grid{1, 1}, {}};
    sub.units.push_back(UnitResult{{0, 1}, 1.0 / 3.0, {"socket"}, -1});
    hierarchy.maps = {top, sub};
  }
};

TEST(SomtrainUnitFile, TopMapWithSubMapAndEmptyUnit) {
  const Fixture f;
  EXPECT_EQ(unit_file_text(f.corpus, f.hierarchy, 0, "map", "output/"),
            "$TYPE rect\n"
            "$XDIM 2\n"
            "$YDIM 1\n"
            "$POS_X 0\n"
            "$POS_Y 0\n"
            "$NODE_ID map_1_0_0\n"
            "$QUANTERROR_NODE 0.250000\n"
            "$NR_VEC_MAPPED 2\n"
            "$MAPPED_VECS d1 d2\n"
            "$NR_SOMS_MAPPED 1\n"
            "$URL_MAPPED_SOMS output/map_0_0.som\n"
            "$NR_LABELS 2\n"
            "$LABEL socket bind\n"
            "$POS_X 1\n"
            "$POS_Y 0\n"
            "$NODE_ID map_1_1_0\n"
            "$QUANTERROR_NODE 0.000000\n"
            "$NR_VEC_MAPPED 0\n"
            "$MAPPED_VECS\n"
            "$NR_SOMS_MAPPED 0\n"
            "$NR_LABELS 0\n"
            "$LABEL\n");
}

TEST(SomtrainUnitFile, SubMapIsALeafMapOfLayerTwo) {
  const Fixture f;
  EXPECT_EQ(unit_file_text(f.corpus, f.hierarchy, 1, "docs", "out/maps/"),
            "$TYPE rect\n"
            "$XDIM 1\n"
            "$YDIM 1\n"
            "$POS_X 0\n"
            "$POS_Y 0\n"
            "$NODE_ID docs_2_0_0_0_0\n"
            "$QUANTERROR_NODE 0.333333\n"
            "$NR_VEC_MAPPED 2\n"
            "$MAPPED_VECS d1 d2\n"
            "$NR_SOMS_MAPPED 0\n"
            "$NR_LABELS 1\n"
            "$LABEL socket\n");
}

TEST(SomtrainUnitFile, BlocksComeInRowOrder) {
  Corpus corpus;
  MapResult map{"", 1, Grid{2, 2}, std::vector<UnitResult>(4)};
  Hierarchy hierarchy{{map}};
  const std::string text = unit_file_text(corpus, hierarchy, 0, "m", "output/");
  std::string positions;
  for (std::size_t at = text.find("$NODE_ID "); at != std::string::npos;
       at = text.find("$NODE_ID ", at + 1)) {
    positions += text.substr(at + 9, text.find('\n', at) - at - 9) + " ";
  }
  EXPECT_EQ(positions, "m_1_0_0 m_1_1_0 m_1_0_1 m_1_1_1 ");
}

TEST(SomtrainProcessFiles, SubMapsComeFirstAndLabelwebsNamesEndInLabelunit) {
  const Fixture f;
  EXPECT_EQ(process_file_text(f.hierarchy, "map", false), "map_0_0.unit\nmap.unit\n");
  EXPECT_EQ(process_file_text(f.hierarchy, "map", true),
            "map_0_0.unit.labelunit\nmap.unit.labelunit\n");
}

TEST(SomtrainOptionFile, NamesTheLayout) {
  OutputLayout layout{"output/", "docs/", "../docs/"};
  EXPECT_EQ(option_file_text(layout),
            "MODE 1\n"
            "OUTPUTPATH output/\n"
            "KEYPATH output/key/\n"
            "KEAFILEEXTENSION .key\n"
            "SOURCEPATH docs/\n"
            "TMPKEAPATH output/tmp_kea/\n"
            "SOURCEFILESLINKPATH ../docs/\n"
            "KEYFILESLINKPATH key/\n"
            "# Your own lines go below this one: somtrain keeps them when it writes this file "
            "again.\n");
}

TEST(SomtrainOptionFile, KeepsTheUsersLinesWhenWrittenAgain) {
  const std::string marker(kOptionFileMarker);
  const std::string ours = "MODE 1\nOUTPUTPATH output/\n" + marker;
  const struct {
    std::string old, merged;
    size_t kept_unmarked;
  } cases[] = {
      {"", ours, 0},
      {ours, ours, 0},
      {ours + "MODE 2\nKEA_PROGRAM x", ours + "MODE 2\nKEA_PROGRAM x", 0},
      // Our part as an older run wrote it is replaced; what is below stays.
      {"MODE 1\nOUTPUTPATH old/\n" + marker + "MODE 0\n", ours + "MODE 0\n", 0},
      // A file without the marker keeps every line that is not one of ours.
      {"MODE 1\nOUTPUTPATH output/\nMODE 2\n\nNUMBEROFPHRASES 5",
       ours + "MODE 2\n\nNUMBEROFPHRASES 5\n", 3},
      // The marker counts only as a whole line.
      {"X " + marker, ours + "X " + marker, 1},
  };
  for (const auto& c : cases) {
    size_t kept = 99;
    EXPECT_EQ(merge_option_file(ours, c.old, kept), c.merged) << c.old;
    EXPECT_EQ(kept, c.kept_unmarked) << c.old;
  }
}

TEST(SomtrainOptionFile, NamesTheLinesAboveTheMarkerThatItReplaces) {
  const std::string marker(kOptionFileMarker);
  const std::string ours = "MODE 1\nOUTPUTPATH output/\n" + marker;
  const struct {
    std::string old;
    std::vector<std::string_view> replaced;
  } cases[] = {
      {ours + "MODE 2\n", {}},
      // An edit in place is lost: named. A blank line is no edit.
      {"MODE 2\nOUTPUTPATH output/\n\n" + marker, {"MODE 2"}},
      {"OUTPUTPATH old/\nX 1\n" + marker + "Y 2\n", {"OUTPUTPATH old/", "X 1"}},
      // Without the marker every line that is not ours is kept below it.
      {"MODE 2\n", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(replaced_option_lines(ours, c.old), c.replaced) << c.old;
}

TEST(SomtrainOutputs, WritesEveryFileAndTheDirectoriesTheToolsNeed) {
  const Fixture f;
  testutil::TempDir dir;
  ASSERT_TRUE(write_outputs(dir.path().string(), OutputLayout{"output/", "docs/", "../docs/"},
                            f.corpus, f.hierarchy, "map"));
  EXPECT_EQ(testutil::read_file(dir.path() / "output/map.unit"),
            unit_file_text(f.corpus, f.hierarchy, 0, "map", "output/"));
  EXPECT_EQ(testutil::read_file(dir.path() / "output/map_0_0.unit"),
            unit_file_text(f.corpus, f.hierarchy, 1, "map", "output/"));
  EXPECT_EQ(testutil::read_file(dir.path() / "process"), "map_0_0.unit\nmap.unit\n");
  EXPECT_EQ(testutil::read_file(dir.path() / "process.web"),
            "map_0_0.unit.labelunit\nmap.unit.labelunit\n");
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "output/key"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "output/tmp_kea"));
}

TEST(SomtrainOutputs, LeaveFilesThatAreTheSameUntouchedAndKeepTheUsersOptions) {
  const Fixture f;
  testutil::TempDir dir;
  const OutputLayout layout{"output/", "docs/", "../docs/"};
  ASSERT_TRUE(write_outputs(dir.path().string(), layout, f.corpus, f.hierarchy, "map"));
  const auto unit_file = dir.path() / "output/map.unit";
  const auto long_ago = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
  std::filesystem::last_write_time(unit_file, long_ago);
  { std::ofstream(dir.path() / "options", std::ios::app) << "KEYLINKS_OUTPUT 0\n"; }
  ASSERT_TRUE(write_outputs(dir.path().string(), layout, f.corpus, f.hierarchy, "map"));
  EXPECT_EQ(std::filesystem::last_write_time(unit_file), long_ago);
  EXPECT_EQ(testutil::read_file(dir.path() / "options"),
            option_file_text(layout) + "KEYLINKS_OUTPUT 0\n");
}

TEST(SomtrainOutputs, MapsThatAreGoneLoseTheirFilesAndNothingElseDoes) {
  const Fixture f;
  testutil::TempDir dir;
  const auto out = dir.path() / "output";
  std::filesystem::create_directories(out);
  // An earlier training had a sub-map of unit (1,0) too; other.unit is no map of this name.
  for (const char* name : {"map_1_0.unit", "map_1_0.unit.grid", "map_1_0.unit.codebook",
                           "map_1_0.unit.labelunit", "other.unit"}) {
    testutil::write_file(out / name, "old");
  }
  ASSERT_TRUE(write_outputs(dir.path().string(), OutputLayout{"output/", "docs/", "../docs/"},
                            f.corpus, f.hierarchy, "map"));
  for (const char* gone : {"map_1_0.unit", "map_1_0.unit.grid", "map_1_0.unit.codebook"})
    EXPECT_FALSE(std::filesystem::exists(out / gone)) << gone;
  for (const char* kept : {"map_1_0.unit.labelunit", "other.unit", "map_0_0.unit.codebook"})
    EXPECT_TRUE(std::filesystem::exists(out / kept)) << kept;
}

TEST(SomtrainOutputs, MapFileNames) {
  const struct {
    const char* name;
    bool is_map;
  } cases[] = {{"map.unit", true},         {"map_1_0.unit", true},   {"map_10_2_0_3.unit", true},
               {"map_1.unit", false},      {"map_1_.unit", false},   {"map__1_0.unit", false},
               {"map_a_0.unit", false},    {"map.units", false},     {"mapx.unit", false},
               {"../map_1_0.unit", false}, {"map_1_0/..unit", false}};
  for (const auto& c : cases) EXPECT_EQ(is_map_file_name(c.name, "map"), c.is_map) << c.name;
}

TEST(SomtrainOutputs, FailsWhenAFileCannotBeMade) {
  const Fixture f;
  testutil::TempDir dir;
  // A directory where the top map's unit file should go.
  std::filesystem::create_directories(dir.path() / "output/map.unit");
  EXPECT_FALSE(write_outputs(dir.path().string(), OutputLayout{"output/", "docs/", "../docs/"},
                             f.corpus, f.hierarchy, "map"));
  // A file where the output directory should go.
  testutil::TempDir other;
  testutil::write_file(other.path() / "output", "");
  EXPECT_FALSE(write_outputs(other.path().string(), OutputLayout{"output/", "docs/", "../docs/"},
                             f.corpus, f.hierarchy, "map"));
}

TEST(SomtrainPlacement, AnEarlierUnitFileTellsWhereEachDocumentLayAndWhatExpanded) {
  const std::string text =
      "$TYPE rect\n$XDIM 2\n$YDIM 1\n"
      "$POS_X 0\n$POS_Y 0\n$NR_VEC_MAPPED 2\n$MAPPED_VECS a sub/b\n$NR_SOMS_MAPPED 1\n"
      "$POS_X 1\n$POS_Y 0\n$NR_VEC_MAPPED 1\n$MAPPED_VECS c\n$NR_SOMS_MAPPED 0\n";
  EarlierPlacement placement;
  ASSERT_TRUE(parse_placement(text, Grid{2, 1}, placement));
  EXPECT_TRUE(placement.known);
  EXPECT_EQ(placement.unit_of.size(), 3u);
  EXPECT_EQ(placement.unit_of.at(somlabel::checksum64("a")), 0);
  EXPECT_EQ(placement.unit_of.at(somlabel::checksum64("sub/b")), 0);
  EXPECT_EQ(placement.unit_of.at(somlabel::checksum64("c")), 1);
  EXPECT_EQ(placement.expanded, (std::vector<bool>{true, false}));
  // Another map's file (the grid differs) or a unit outside the map is no placement.
  EXPECT_FALSE(parse_placement(text, Grid{3, 1}, placement));
  EXPECT_FALSE(parse_placement("$POS_X 5\n$POS_Y 0\n$MAPPED_VECS a\n", Grid{2, 1}, placement));
}

}  // namespace
}  // namespace somlabel::somtrain
