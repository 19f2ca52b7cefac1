// The site's own labels: phrases of the documents' key files, carried by a
// document whose text holds all their stemmed words, ranked by the share of
// a unit that carries them against the rest of its map. Expected labels are
// worked out by hand from the rule in labelsite/site_labels.h.
#include <gtest/gtest.h>

#include <cmath>

#include <string>
#include <vector>

#include "labelsite/document_text.h"
#include "labelsite/map_reader.h"
#include "labelsite/site_labels.h"
#include "tests/test_util.h"

namespace somlabel::labelsite {
namespace {

class LabelsiteLabelsTest : public ::testing::Test {
 protected:
  // One map of two units holding `first` and `second`: name, text, key file.
  using Document = std::vector<std::string>;
  void site(const std::vector<Document>& first, const std::vector<Document>& second) {
    settings_.path = dir_.str();
    std::string map = "$XDIM 2\n$YDIM 1\n";
    int x = 0;
    TextSources sources;
    sources.source_path = sources.key_path = dir_.str();
    sources.key_ending = ".key";
    for (const auto* unit : {&first, &second}) {
      map += "$POS_X " + std::to_string(x++) + "\n$POS_Y 0\n$NR_VEC_MAPPED " +
             std::to_string(unit->size()) + "\n";
      for (const Document& d : *unit) {
        map += "$VEC " + d[0] + "\n";
        testutil::write_file(dir_.path() / d[0], d[1]);
        testutil::write_file(dir_.path() / (d[0] + ".key"), d[2]);
        sources.names.push_back(d[0]);
      }
      map += "$NR_SOMS_MAPPED 0\n";
    }
    testutil::write_file(dir_.path() / "m.unit.labelunit", map);
    ASSERT_TRUE(read_map(index_, settings_.path + "m.unit.labelunit"));
    tree_ = map_tree(index_);
    order_ = site_order(index_, tree_);
    TextSummary summary;
    read_document_text(sources, text_, phrases_, summary);
    labels_ = site_labels(index_, tree_, order_, text_, phrases_, 2);
  }

  // "phrase with/documents" for each label of the list.
  std::vector<std::string> shown(const LabelList& list) const {
    std::vector<std::string> out;
    for (const SiteLabel& label : list.labels) {
      out.push_back(phrases_.surface[label.phrase] + " " + std::to_string(label.with) + "/" +
                    std::to_string(list.documents));
    }
    return out;
  }

  testutil::TempDir dir_;
  Settings settings_;
  SiteIndex index_{settings_};
  MapTree tree_;
  SiteOrder order_;
  TextIndex text_;
  KeyPhrases phrases_;
  SiteLabels labels_;
};

TEST_F(LabelsiteLabelsTest, RanksByDocumentsCarryingThemAgainstTheRestOfTheMap) {
  site({{"a", "red apple pie", "red apple\tred appl\t1\npie\tpie\t1\n"},
        {"b", "red apple tart", "apple\tappl\t1\nred\tred\t1\n"},
        {"c", "green apples", "apple\tappl\t1\n"}},
       {{"d", "a red car", "car\tcar\t1\n"}, {"e", "blue car", "blue car\tblue car\t1\n"}});
  // (0, 0), 3 of 5 documents: apple 3 of 3, none of the 2 others: lift 1 / (0.5 / 3) = 6,
  // enough at 3: 1 * ln 3, named in 2 of the 3 key files (a's "red apple" only ends in it):
  // times 3/4 + 1/4 * 2/3; red apple 2 of 3, none elsewhere: (2/3)^2 ln 3 (3/4 + 1/4 * 1/2);
  // red 2 of 3 and 1 of 2: (2/3)^2 ln(4/3) (...), and no more documents than "red apple",
  // whose words hold its own: left out. pie: 1 of 3.
  EXPECT_EQ(shown(labels_.units[0]), (std::vector<std::string>{"apple 3/3", "red apple 2/3"}));
  EXPECT_NEAR(labels_.units[0].labels[0].score, std::log(3.0) * 11 / 12, 1e-12);
  // (1, 0): car 2 of 2; "blue car" is carried by one document of two.
  EXPECT_EQ(shown(labels_.units[1]), (std::vector<std::string>{"car 2/2"}));
  // The map, with nothing around it, by how well a phrase tells its units apart:
  // car 0.4 ln 2.5, apple 0.6 ln(5/3), red apple 0.4 ln(5/3), red 0.4 ln(10/9) + 0.2 ln(5/6).
  // Both documents of red apple (a, b) are apple's: it says the same of the map, left out;
  // red (a, b, d) shares 2 of 3 with apple, 1 of 2 with car.
  EXPECT_EQ(shown(labels_.maps[0]), (std::vector<std::string>{"car 2/5", "apple 3/5", "red 3/5"}));
  EXPECT_NEAR(labels_.maps[0].labels[2].score, 0.4 * std::log(10.0 / 9) + 0.2 * std::log(5.0 / 6),
              1e-12);
}

TEST_F(LabelsiteLabelsTest, ALongerPhraseOfAlmostAsManyDocumentsTakesThePlace) {
  // "system" 5 of 5 (a), "file system" 4 of 5 (b): b holds a's words, 4 >= 0.8 * 5.
  const std::vector<Document> unit = {{"a", "file system", "file system\tfile system\t1\n"},
                                      {"b", "file system", "file system\tfile system\t1\n"},
                                      {"c", "file system", "file system\tfile system\t1\n"},
                                      {"d", "file system", "file system\tfile system\t1\n"},
                                      {"e", "system", "system\tsystem\t1\n"}};
  site(unit, {{"f", "other", "other\tother\t1\n"}, {"g", "other", "other\tother\t1\n"}});
  // file system, (4/5)^2 ln 3, takes the place of system, 1 * ln 3.
  EXPECT_EQ(shown(labels_.units[0]), (std::vector<std::string>{"file system 4/5"}));
}

TEST_F(LabelsiteLabelsTest, APhraseTheKeyFilesNameBeatsWordsTheTextsOnlyHold) {
  // Both 2 of 2 and in none of the other unit: stream, named by both key files,
  // 1 * ln 3; type, the end of "data type" in a's key file, named by none:
  // ln 3 * 3/4. 200112L is a number, no label.
  site({{"a", "stream type 200112L",
         "data type\tdata type\t1\nstream\tstream\t1\n200112L\t200112l\t1\n"},
        {"b", "stream type 200112L", "stream\tstream\t1\n200112L\t200112l\t1\n"}},
       {{"c", "other", "other\tother\t1\n"}});
  EXPECT_EQ(shown(labels_.units[0]), (std::vector<std::string>{"stream 2/2", "type 2/2"}));
  EXPECT_NEAR(labels_.units[0].labels[1].score, std::log(3.0) * 3 / 4, 1e-12);
}

TEST_F(LabelsiteLabelsTest, CountsTiesBeyondTheLabelsKept) {
  std::string text, keys;
  for (int w = 0; w < 25; ++w) {
    const std::string word = "w" + std::string(1, static_cast<char>('a' + w)) + "x";
    text += word + " ";
    keys += word + "\t" + word + "\t1\n";
  }
  site({{"a", text, keys}, {"b", text, keys}}, {{"c", "other", "other\tother\t1\n"}});
  const LabelList& list = labels_.units[0];
  ASSERT_EQ(list.labels.size(), kSiteLabels);  // 25 alike, each 2 of 2
  EXPECT_EQ(list.tied, 15u);
  EXPECT_EQ(list.more_after(5), 20u);
  EXPECT_EQ(list.more_after(kSiteLabels), 15u);
  EXPECT_EQ(labels_.units[1].more_after(5), 0u);
}

TEST_F(LabelsiteLabelsTest, WritesTheTableOfLabels) {
  site({{"a", "red\tapple", "Red\tred\t1\n"}, {"b", "red", "red\tred\t1\n"}}, {{"c", "x", ""}});
  ASSERT_TRUE(write_label_table(dir_.str() + "labels.tsv", index_, labels_, phrases_));
  // The map: red, 2 of 3 documents; (0, 0): red 2 of 2; (1, 0) has none.
  EXPECT_EQ(testutil::read_file(dir_.path() / "labels.tsv"),
            "m.unit\t-\t-\t1\tRed\tred\t2\t3\n"
            "m.unit\t0\t0\t1\tRed\tred\t2\t2\n");
}

}  // namespace
}  // namespace somlabel::labelsite
