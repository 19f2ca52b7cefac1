// Growing the hierarchy and naming its maps, units and links, checked
// against the rules by which labelcalc and labelweb find a sub-map again.
#include <gtest/gtest.h>

#include "somtrain/hierarchy.h"
#include "somtrain/unit_file.h"

namespace somlabel::somtrain {
namespace {

MapResult map_at(std::string path, int layer, Grid grid) {
  return MapResult{std::move(path), layer, grid, {}};
}

TEST(SomtrainNames, MapFilesAndNodeIds) {
  const MapResult top = map_at("", 1, Grid{6, 4});
  EXPECT_EQ(map_file_name("map", top), "map.unit");
  EXPECT_EQ(node_id("map", top, 0), "map_1_0_0");
  EXPECT_EQ(node_id("map", top, 9), "map_1_3_1");  // unit 9 of a 6-wide map: column 3, row 1
  const MapResult sub = map_at("1_2", 2, Grid{3, 3});
  EXPECT_EQ(map_file_name("map", sub), "map_1_2.unit");
  EXPECT_EQ(node_id("map", sub, 5), "map_2_1_2_2_1");
  const MapResult deeper = map_at("1_2_0_1", 3, Grid{3, 3});
  EXPECT_EQ(map_file_name("docs", deeper), "docs_1_2_0_1.unit");
  EXPECT_EQ(node_id("docs", deeper, 8), "docs_3_1_2_0_1_2_2");
}

TEST(SomtrainNames, SecondFieldOfEveryNodeIdIsTheLayer) {
  for (int layer = 1; layer <= 3; ++layer) {
    const std::string id = node_id("m", map_at(layer == 1 ? "" : "0_0", layer, Grid{2, 2}), 3);
    const std::size_t first = id.find('_');
    EXPECT_EQ(id.substr(first + 1, id.find('_', first + 1) - first - 1), std::to_string(layer))
        << id;
  }
}

TEST(SomtrainNames, MapSeedDependsOnSeedAndPath) {
  EXPECT_NE(map_seed(1, "1_2"), map_seed(1, "2_1"));
  EXPECT_NE(map_seed(1, ""), map_seed(2, ""));
}

// Two groups of documents that share no word.
Corpus two_topics() {
  std::vector<DocumentText> texts;
  for (int i = 0; i < 4; ++i) {
    texts.push_back({"net" + std::to_string(i), "socket socket network address port"});
    texts.push_back({"math" + std::to_string(i), "sine cosine tangent angle radian"});
  }
  return build_corpus(texts, VocabularyLimits{1, 1.0, 5000}, text::Language::english);
}

HierarchySettings small(Grid top, Grid sub, int expand, int depth) {
  HierarchySettings settings;
  settings.top = top;
  settings.sub = sub;
  settings.expand = expand;
  settings.depth = depth;
  settings.schedule = TrainingSchedule{10, 0.0, 0.3};
  return settings;
}

TEST(SomtrainHierarchy, OneMapWhenNoUnitIsCrowdedOrTheDepthIsOne) {
  const Corpus corpus = two_topics();
  EXPECT_EQ(grow_hierarchy(corpus, small(Grid{1, 1}, Grid{2, 1}, 8, 3)).maps.size(),
            1u);  // 8 is not > 8
  EXPECT_EQ(grow_hierarchy(corpus, small(Grid{1, 1}, Grid{2, 1}, 2, 1)).maps.size(), 1u);
}

TEST(SomtrainHierarchy, CrowdedUnitGetsASubMapOverItsDocuments) {
  const Corpus corpus = two_topics();
  const Hierarchy h = grow_hierarchy(corpus, small(Grid{1, 1}, Grid{2, 1}, 7, 2));
  ASSERT_EQ(h.maps.size(), 2u);
  EXPECT_EQ(h.maps[0].units[0].sub_map, 1);
  EXPECT_EQ(h.maps[0].units[0].documents.size(), 8u);
  const MapResult& sub = h.maps[1];
  EXPECT_EQ(sub.path, "0_0");
  EXPECT_EQ(sub.layer, 2);
  EXPECT_EQ(sub.grid.units(), 2);
  // The sub-map splits the two topics, and each unit's labels come from its topic.
  ASSERT_EQ(sub.units[0].documents.size(), 4u);
  ASSERT_EQ(sub.units[1].documents.size(), 4u);
  for (const UnitResult& unit : sub.units) {
    const bool net =
        corpus.documents[static_cast<std::size_t>(unit.documents[0])].name.starts_with("net");
    for (int d : unit.documents) {
      EXPECT_EQ(corpus.documents[static_cast<std::size_t>(d)].name.starts_with("net"), net);
    }
    ASSERT_FALSE(unit.labels.empty());
    EXPECT_EQ(unit.labels[0],
              net ? "socket" : "angle");  // heaviest; the math words tie, the first stem wins
    EXPECT_EQ(unit.sub_map, -1);
  }
}

TEST(SomtrainHierarchy, DepthBoundsTheChainAndProcessOrderIsDeepestFirst) {
  const Hierarchy h = grow_hierarchy(two_topics(), small(Grid{1, 1}, Grid{1, 1}, 1, 3));
  ASSERT_EQ(h.maps.size(), 3u);
  EXPECT_EQ(h.maps[1].path, "0_0");
  EXPECT_EQ(h.maps[2].path, "0_0_0_0");
  EXPECT_EQ(h.maps[2].layer, 3);
  EXPECT_EQ(h.maps[2].units[0].sub_map, -1);
  EXPECT_EQ(process_order(h), std::vector<std::size_t>({2, 1, 0}));
}

TEST(SomtrainHierarchy, GridFollowsTheDocumentsWhereNoSideIsGiven) {
  const struct {
    Grid given;
    std::size_t documents;
    bool top;
    Grid grid;
  } cases[] = {
      {{0, 0}, 12, true, {2, 2}},       // the top map has 2 x 2 units at least
      {{0, 0}, 21, false, {2, 1}},      // a sub-map 2 at least: 21 / 20 rounded up
      {{0, 0}, 41, false, {2, 2}},      // 3 wanted: round(sqrt(3 * 3/4)) = 2 rows
      {{0, 0}, 100, false, {3, 2}},     // 5 wanted: 2 rows of 3
      {{0, 0}, 960, true, {8, 6}},      // 48 wanted
      {{0, 0}, 1000000, true, {8, 6}},  // never more than 48
      {{6, 4}, 5, true, {6, 4}},        // both sides given
      {{3, 0}, 200, false, {3, 4}},     // 10 wanted, 3 wide: 4 rows
      {{0, 2}, 200, false, {5, 2}},     // 10 wanted, 2 high: 5 columns
  };
  for (const auto& c : cases) {
    const Grid grid = fitted_grid(c.given, c.documents, 20, c.top);
    EXPECT_EQ(grid, c.grid) << c.documents << " documents: " << grid.xdim << " x " << grid.ydim;
  }
}

TEST(SomtrainHierarchy, AUnitHoldingAllOfItsMapsDocumentsIsNotExpanded) {
  // Documents that no map can tell apart all land on one unit of the top map.
  std::vector<DocumentText> texts;
  for (int i = 0; i < 8; ++i) texts.push_back({"same" + std::to_string(i), "socket network"});
  const Corpus same = build_corpus(texts, VocabularyLimits{1, 1.0, 5000}, text::Language::english);
  const Hierarchy h = grow_hierarchy(same, small(Grid{2, 1}, Grid{2, 1}, 2, 5));
  ASSERT_EQ(h.maps.size(), 1u);
  EXPECT_EQ(h.maps[0].units[0].documents.size(), 8u);
}

TEST(SomtrainHierarchy, AStoredMapIsKeptWhileItsDocumentsStayWithinHalfAgain) {
  const struct {
    std::size_t stored, now;
    bool kept;
  } cases[] = {{30, 30, true}, {30, 20, true}, {30, 19, false}, {30, 45, true}, {30, 46, false}};
  for (const auto& c : cases) EXPECT_EQ(keeps_stored_map(c.stored, c.now), c.kept) << c.now;
}

TEST(SomtrainHierarchy, AStoredMapOfTheSameOptionsIsRefinedOnlyWhenItsDocumentsChanged) {
  HierarchySettings settings;
  settings.options = 7;
  const StoredCodebook stored{Grid{3, 1}, 30, 7, 99, {}, {}, {}};
  const struct {
    std::uint64_t options, members;
    std::size_t documents;
    bool kept, refine;
    Grid grid;
  } cases[] = {
      {7, 99, 30, true, false, {3, 1}},   // the same documents: kept as it is
      {7, 98, 31, true, true, {3, 1}},    // one more: refined, on its grid
      {8, 99, 30, false, false, {2, 1}},  // other options: anew, 30 documents on 2 units
      {7, 98, 46, false, false, {2, 2}},  // half again and one more: anew, 3 units wanted
  };
  for (const auto& c : cases) {
    settings.options = c.options;
    const StartingPoint start = starting_point(settings, 2, c.documents, c.members, stored);
    EXPECT_EQ(start.kept, c.kept) << c.documents;
    EXPECT_EQ(start.refine, c.refine) << c.documents;
    EXPECT_EQ(start.grid, c.grid) << c.documents;
  }
  EXPECT_FALSE(starting_point(settings, 1, 30, 99, std::nullopt).kept);
}

// A sub-map starts from its stored map only below a map that did: under a map
// trained anew the same path holds other documents.
TEST(SomtrainHierarchy, BelowAMapTrainedAnewNoStoredMapIsAskedFor) {
  const Corpus corpus = two_topics();
  const HierarchySettings settings = small(Grid{1, 1}, Grid{2, 1}, 7, 2);
  const Hierarchy first = grow_hierarchy(corpus, settings);
  ASSERT_EQ(first.maps.size(), 2u);
  const struct {
    bool top_stored;
    std::vector<std::string> asked;
  } cases[] = {{true, {"", "0_0"}}, {false, {""}}};
  for (const auto& c : cases) {
    std::vector<std::string> asked;
    const StoredMap stored = [&](const std::string& path) -> std::optional<StoredCodebook> {
      asked.push_back(path);
      if (path.empty() && !c.top_stored) return std::nullopt;
      return (path.empty() ? first.maps[0] : first.maps[1]).codebook;
    };
    const Hierarchy again = grow_hierarchy(corpus, settings, {}, stored);
    EXPECT_EQ(asked, c.asked) << c.top_stored;
    EXPECT_EQ(again.maps[1].units[0].documents, first.maps[1].units[0].documents);
  }
}

TEST(SomtrainHierarchy, AKeptMapCutsItsUnitsWithAMarginOfAQuarterEitherWay) {
  HierarchySettings settings = small(Grid{2, 2}, Grid{2, 1}, 20, 10);
  const MapResult map{"", 1, Grid{2, 2}, {}};
  struct Case {
    std::size_t documents;
    Before before;
    bool expands;
  } cases[] = {
      {21, Before::unknown, true},    {20, Before::unknown, false},   // trained anew: above 20
      {25, Before::leaf, false},      {26, Before::leaf, true},       // was a leaf: above 25
      {16, Before::expanded, true},   {15, Before::expanded, false},  // had one: above 15
      {100, Before::expanded, false},                                 // all the map's documents
  };
  for (const Case& c : cases) {
    EXPECT_EQ(expands(settings, map, c.documents, 100, c.before), c.expands)
        << c.documents << " documents, before " << static_cast<int>(c.before);
  }
  MapResult kept = map;
  kept.had_sub_map = {true, false, false, false};
  EXPECT_EQ(before(kept, 0), Before::expanded);
  EXPECT_EQ(before(kept, 3), Before::leaf);
  EXPECT_EQ(before(map, 0), Before::unknown);
}

TEST(SomtrainHierarchy, EmptyUnitsCarryNoLabels) {
  const Hierarchy h = grow_hierarchy(two_topics(), small(Grid{4, 1}, Grid{1, 1}, 100, 1));
  int empty = 0;
  for (const UnitResult& unit : h.maps[0].units) {
    if (unit.documents.empty()) {
      ++empty;
      EXPECT_TRUE(unit.labels.empty());
      EXPECT_EQ(unit.quantization_error, 0.0);
    }
  }
  EXPECT_GE(empty, 2);  // the documents come in two kinds only, so two units stay empty at least
}

}  // namespace
}  // namespace somlabel::somtrain
