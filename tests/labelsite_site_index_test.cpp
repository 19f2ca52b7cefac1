// The site index gathered from labelunit files: which documents are listed
// and where, the phrases with their units, the units' best phrases, the
// tree of maps, and the head of a map key file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "labelsite/map_reader.h"
#include "labelsite/site_index.h"
#include "tests/test_util.h"

namespace somlabel::labelsite {
namespace {

// A 1 x 2 sub-map of the unit (0, 0) of `kTop`.
const std::string kSub =
    "$XDIM 1\n$YDIM 2\n"
    "$POS_X 0\n$POS_Y 0\n$NODE_ID sub_2_0_0\n$NR_VEC_MAPPED 1\n$VEC d1\n$NR_SOMS_MAPPED 0\n"
    "$MODE1_PHRASES 1\nData Mining\tdata mine\t0.9\n"
    "$POS_X 0\n$POS_Y 1\n$NR_VEC_MAPPED 1\n$VEC d2\n$NR_SOMS_MAPPED 0\n$MODE1_PHRASES 0\n"
    "$SOMABOVE out/top.unit\n";

const std::string kTop =
    "$XDIM 2\n$YDIM 1\n"
    "$POS_X 0\n$POS_Y 0\n$NODE_ID top_1_0_0\n$NR_VEC_MAPPED 2\n$VEC d1\n$VEC d2\n"
    "$NR_SOMS_MAPPED 1\n$URL_MAPPED_SOMS out/sub.som\n"
    "$MODE1_PHRASES 2\nData Mining\tdata mine\t1.5\nText\ttext\t0.5\n"
    "$POS_X 1\n$POS_Y 0\n$NR_VEC_MAPPED 1\n$VEC d3\n$NR_SOMS_MAPPED 0\n"
    "$MODE1_PHRASES 1\ndata mining\tdata mine\t0.3\n"
    "$MODE0_PHRASES 5\n$M0_LABEL Text\ttext\t1.0\n$NR_LABELS 2\n$LABEL alpha beta\n";

class LabelsiteIndexTest : public ::testing::Test {
 protected:
  LabelsiteIndexTest() {
    settings_.path = dir_.str();
    settings_.keypath = dir_.str() + "key/";
  }

  // Reads the maps named, in this order, from the texts given.
  void read(const std::vector<std::pair<std::string, std::string>>& maps) {
    for (const auto& [name, text] : maps) {
      testutil::write_file(dir_.path() / (name + ".labelunit"), text);
      ASSERT_TRUE(read_map(index_, settings_.path + name + ".labelunit")) << name;
    }
  }

  std::vector<std::string> documents() const {
    std::vector<std::string> listed;
    for (const SiteDocument& document : index_.documents()) {
      const SiteUnit& unit = index_.units()[static_cast<size_t>(document.unit)];
      listed.push_back(std::string(index_.name(document)) + "@" +
                       index_.maps()[static_cast<size_t>(unit.map)].title + "(" +
                       std::to_string(unit.x) + "," + std::to_string(unit.y) + ")");
    }
    return listed;
  }

  // "text: unit/rank unit/rank ..." per phrase.
  std::vector<std::string> phrases() const {
    std::vector<std::string> listed;
    for (const SitePhrase& phrase : index_.phrases()) {
      std::string line = phrase.text + ":";
      for (const UnitRef& ref : phrase.units) {
        line += " " + std::to_string(ref.unit) + "/" + std::to_string(ref.rank);
      }
      listed.push_back(line);
    }
    return listed;
  }

  testutil::TempDir dir_;
  Settings settings_;
  SiteIndex index_{settings_};
};

TEST_F(LabelsiteIndexTest, ListsEachDocumentOnTheDeepestMapThatHoldsIt) {
  read({{"sub.unit", kSub}, {"top.unit", kTop}});
  EXPECT_EQ(documents(),
            (std::vector<std::string>{"d1@sub.unit(0,0)", "d2@sub.unit(0,1)", "d3@top.unit(1,0)"}));
  const std::vector<SiteMap>& maps = index_.maps();
  ASSERT_EQ(maps.size(), 2u);
  EXPECT_EQ(maps[0].page_path, dir_.str() + "sub.unit.labelunit.html");
  EXPECT_EQ(maps[0].key_file, dir_.str() + "key/sub.unit.key");
  EXPECT_EQ(maps[0].layer, 2);
  EXPECT_EQ(maps[0].parent_page, "top.unit.labelunit.html");
  EXPECT_EQ(maps[1].units, 2);
  EXPECT_EQ(maps[1].documents, 3);  // counted on the map, sub-map or not
  ASSERT_EQ(maps[1].sub_maps.size(), 1u);
  EXPECT_EQ(maps[1].sub_maps[0].page, "sub.unit.labelunit.html");
}

TEST_F(LabelsiteIndexTest, KeepsTheDocumentsOfASubMapNotReadBefore) {
  read({{"top.unit", kTop}});  // the sub-map is not part of this run
  EXPECT_EQ(documents(),
            (std::vector<std::string>{"d1@top.unit(0,0)", "d2@top.unit(0,0)", "d3@top.unit(1,0)"}));
}

TEST_F(LabelsiteIndexTest, PhrasesKeepTheirUnitsAndPlaces) {
  read({{"sub.unit", kSub}, {"top.unit", kTop}});
  // Units: 0 sub(0,0), 1 sub(0,1), 2 top(0,0), 3 top(1,0). A phrase met
  // twice on a unit counts once, at its better place; "beta" loses the line end.
  EXPECT_EQ(phrases(), (std::vector<std::string>{"Data Mining: 0/0 2/0", "Text: 2/1 3/0",
                                                 "data mining: 3/0", "alpha: 3/0", "beta: 3/1"}));
  const int* best = index_.units()[3].phrases;
  EXPECT_EQ(std::vector<int>(best, best + kUnitPhrases), (std::vector<int>{2, 1, 3}));

  settings_.cadrelI_output = 0;  // labels the pages do not show are not listed
  SiteIndex without_cadrel(settings_);
  ASSERT_TRUE(read_map(without_cadrel, settings_.path + "top.unit.labelunit"));
  EXPECT_EQ(without_cadrel.phrases().size(), 3u);
}

TEST_F(LabelsiteIndexTest, TreeHangsSubMapsBelowTheUnitsTheyExpand) {
  read({{"sub.unit", kSub}, {"top.unit", kTop}});
  const MapTree tree = map_tree(index_);
  EXPECT_EQ(tree.roots, std::vector<int>{1});
  EXPECT_EQ(tree.children[1], std::vector<int>{0});
  EXPECT_EQ(tree.parent[0], 1);
  EXPECT_EQ(tree.expands[0].x, 0);
  EXPECT_EQ(tree.expands[0].y, 0);
}

TEST_F(LabelsiteIndexTest, TreeBreaksCircles) {
  const std::string links_down_to_a =
      "$XDIM 1\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$NR_SOMS_MAPPED 1\n$URL_MAPPED_SOMS a.xyz\n";
  const std::string links_down_to_b =
      "$XDIM 1\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$NR_SOMS_MAPPED 1\n$URL_MAPPED_SOMS b.xyz\n";
  const std::string up_to_c = "$XDIM 1\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$SOMABOVE c.unit\n";
  read({{"a.unit", links_down_to_b}, {"b.unit", links_down_to_a}, {"c.unit", up_to_c}});
  const MapTree tree = map_tree(index_);
  EXPECT_EQ(tree.roots, (std::vector<int>{0, 2}));  // c names itself as its parent
  EXPECT_EQ(tree.children[0], std::vector<int>{1});
  EXPECT_TRUE(tree.children[1].empty());
}

TEST(LabelsiteMapKeyFile, ReadsTheBestPhrases) {
  struct Case {
    std::string text;
    bool ok;
    std::vector<std::string> phrases;
  };
  const Case cases[] = {
      {"$MODE1_PHRASES 3\na b\ta b\t3\nc\tc\t2\nd\td\t1\n", true, {"a b", "c"}},
      {"$MODE1_PHRASES 0\n", true, {}},
      {"", false, {}},
      {"MODE1_PHRASES 1\na\ta\t1\n", false, {}},
      {"$MODE1_PHRASES 2\na\ta\t1\nno fields\n", false, {"a"}},
      {"$MODE1_PHRASES 2\na\ta\t1\n", false, {"a"}},                      // ends early
      {"$MODE1_PHRASES 1\na\ta\t1", true, {"a"}},                         // no line end at the end
      {"$MODE1_PHRASES 1\n" + std::string(kMapKeyHead, 'a'), false, {}},  // only the head is read
  };
  for (const Case& c : cases) {
    FILE* in = testutil::input(c.text);
    std::vector<std::string> phrases;
    EXPECT_EQ(read_map_key_phrases(in, 2, phrases), c.ok) << c.text;
    EXPECT_EQ(phrases, c.phrases) << c.text;
    std::fclose(in);
  }
}

}  // namespace
}  // namespace somlabel::labelsite
