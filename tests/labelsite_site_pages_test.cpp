// The site pages as files: the indexes in order and in pages, what a second,
// smaller site leaves of the first, escaping of hostile names, links to map
// pages in other folders. The parse of every page, and the order of the
// search data, are checked by tests/check_pages.py (labelsite.test.sh).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "labelsite/front_page.h"
#include "labelsite/map_reader.h"
#include "labelsite/site_pages.h"
#include "tests/test_util.h"

namespace somlabel::labelsite {
namespace {

namespace fs = std::filesystem;

// A one-unit map holding `documents`, labelled with `phrases`.
std::string one_unit_map(const std::vector<std::string>& documents,
                         const std::vector<std::string>& phrases) {
  std::string text = "$XDIM 1\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$NR_VEC_MAPPED " +
                     std::to_string(documents.size()) + "\n";
  for (const std::string& name : documents) text += "$VEC " + name + "\n";
  text += "$NR_SOMS_MAPPED 0\n$MODE1_PHRASES " + std::to_string(phrases.size()) + "\n";
  for (const std::string& phrase : phrases) text += phrase + "\t" + phrase + "\t1\n";
  return text;
}

class LabelsitePagesTest : public ::testing::Test {
 protected:
  LabelsitePagesTest() { settings_.path = dir_.str(); }

  // Writes the maps (name, labelunit text) and the site of them.
  SiteSummary site(const std::vector<std::pair<std::string, std::string>>& maps) {
    SiteIndex index(settings_);
    for (const auto& [name, text] : maps) {
      testutil::write_file(dir_.path() / (name + ".labelunit"), text);
      EXPECT_TRUE(read_map(index, settings_.path + name + ".labelunit"));
    }
    SiteSummary summary;
    EXPECT_TRUE(write_site(index, dir_.path().string(), {}, summary));
    return summary;
  }

  std::string page(const std::string& name) const {
    return testutil::read_file(dir_.path() / name);
  }
  bool exists(const std::string& name) const { return fs::exists(dir_.path() / name); }

  testutil::TempDir dir_;
  Settings settings_;
};

TEST_F(LabelsitePagesTest, DocumentIndexRunsAToZOverPages) {
  std::vector<std::string> names = {"Zeta", "alpha", "Beta"};
  for (int i = 2499; i >= 0; --i) names.push_back("n" + std::to_string(10000 + i));
  const SiteSummary summary = site({{"m.unit", one_unit_map(names, {"x"})}});
  EXPECT_EQ(summary.documents, 2503u);
  EXPECT_EQ(summary.index_path, dir_.path().string() + "/index.html");

  const std::string first = page("documents.html");
  const size_t alpha = first.find(">alpha</a>");
  const size_t beta = first.find(">Beta</a>");
  const size_t n0 = first.find(">n10000</a>");
  EXPECT_TRUE(alpha < beta && beta < n0 && n0 != std::string::npos);
  EXPECT_NE(first.find("<tr id=\"letter-1\"><td><a href=\"files/alpha\">alpha</a>"
                       "<td><a href=\"m.unit.labelunit.html\">m.unit</a> (0, 0)<td>x\n"),
            std::string::npos);
  EXPECT_NE(first.find("<a href=\"documents-3.html#letter-26\">Z</a>"), std::string::npos);
  EXPECT_NE(first.find("<a href=\"documents-2.html\">n10998 \xE2\x80\x93 n11997</a>"),
            std::string::npos);
  EXPECT_NE(page("documents-3.html").find(">Zeta</a>"), std::string::npos);
  EXPECT_FALSE(exists("documents-4.html"));
  EXPECT_TRUE(exists("search/d1.js"));  // 2503 entries fill more than one file

  // A smaller site afterwards leaves nothing of the larger one.
  site({{"m.unit", one_unit_map({"only"}, {"x"})}});
  EXPECT_FALSE(exists("documents-2.html"));
  EXPECT_FALSE(exists("search/d1.js"));
  EXPECT_TRUE(exists("search/d0.js"));
}

TEST_F(LabelsitePagesTest, PhraseIndexMergesCaseAndListsUnitsMapByMap) {
  const std::string two_units =
      "$XDIM 2\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$NR_SOMS_MAPPED 0\n$MODE1_PHRASES 1\nText\ttext\t1\n"
      "$POS_X 1\n$POS_Y 0\n$NR_SOMS_MAPPED 0\n$MODE1_PHRASES 2\nTEXT\ttext\t1\nb\tb\t1\n";
  const SiteSummary summary = site({{"a.unit", one_unit_map({}, {"text"})}, {"b.unit", two_units}});
  EXPECT_EQ(summary.phrases, 2u);
  const std::string phrases = page("phrases.html");
  EXPECT_NE(phrases.find("<dt id=\"p1\">text</dt><dd><a href=\"a.unit.labelunit.html\">a.unit</a>"
                         " (0, 0); <a href=\"b.unit.labelunit.html\">b.unit</a> (0, 0) (1, 0)"
                         "</dd>\n"),
            std::string::npos);
  // The search finds it once per word, with its page and number.
  EXPECT_NE(page("search/p0.js").find("[\"text\",0,1,1,3,"), std::string::npos);
}

TEST_F(LabelsitePagesTest, EscapesEverythingFromTheLabelunitFiles) {
  const std::string hostile = "<script>alert(1)</script>";
  site({{"m&<x>.unit", one_unit_map({"%22" + hostile}, {hostile + "\"'"})}});
  for (const std::string name :
       {"index.html", "documents.html", "phrases.html", "search/d0.js", "search/p0.js"}) {
    EXPECT_EQ(page(name).find("<script>alert"), std::string::npos) << name;
  }
  EXPECT_NE(
      page("documents.html").find("href=\"files/%2522%3Cscript%3Ealert%281%29%3C/script%3E\""),
      std::string::npos);
  EXPECT_NE(page("index.html").find("<a href=\"m%26%3Cx%3E.unit.labelunit.html\">m&amp;&lt;x&gt;"),
            std::string::npos);
  EXPECT_NE(page("search/p0.js").find("\"\\u003cscript>alert(1)\\u003c/script>\\\"'\""),
            std::string::npos);
}

TEST_F(LabelsitePagesTest, TreeAndLinksReachMapsInOtherFolders) {
  const std::string top =
      "$XDIM 1\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$NODE_ID t_1_0_0\n$NR_VEC_MAPPED 1\n"
      "$NR_SOMS_MAPPED 1\n$URL_MAPPED_SOMS deep/sub.xyz\n";
  fs::create_directories(dir_.path() / "deep");
  site({{"deep/sub.unit", one_unit_map({"d"}, {})}, {"top.unit", top}});
  const std::string index = page("index.html");
  EXPECT_NE(index.find("<ul class=\"tree\">\n<li><a href=\"top.unit.labelunit.html\">top.unit</a> "
                       "<span class=\"meta\">layer 1 \xC2\xB7 1 unit \xC2\xB7 1 document</span>\n"
                       "<ul>\n<li><span class=\"meta\">unit (0, 0):</span> "
                       "<a href=\"deep/sub.unit.labelunit.html\">sub.unit</a>"),
            std::string::npos);
  EXPECT_NE(page("documents.html").find("<a href=\"deep/sub.unit.labelunit.html\">"),
            std::string::npos);
}

// A tree of 6 maps: 0 over 1 and 2, 1 over 3 and 4, 4 over 5; 6 is a second root.
TEST(LabelsiteTree, FrontPageShowsTheLevelsThatHoldAtMostSoManyMaps) {
  MapTree tree;
  tree.roots = {0, 6};
  tree.children = {{1, 2}, {3, 4}, {}, {}, {5}, {}, {}};
  // Levels hold 2, 2 and 2 maps, one more below: 2, 4, 6, 7 maps down to each level.
  const std::vector<std::pair<size_t, size_t>> cases = {{1, 1}, {2, 1}, {3, 1}, {4, 2},
                                                        {5, 2}, {6, 3}, {7, 4}, {100, 4}};
  for (const auto& [most, levels] : cases) {
    EXPECT_EQ(tree_levels_shown(tree, most), levels) << "at most " << most << " maps";
  }
}

}  // namespace
}  // namespace somlabel::labelsite
