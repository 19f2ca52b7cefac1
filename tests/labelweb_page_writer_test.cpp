// The page writer: score colours, escaping, page names, and the cells that
// write_html appends. Expected pages are worked out from the page format.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "common/option_keys.h"
#include "labelweb/page_maker.h"
#include "labelweb/page_writer.h"
#include "tests/test_util.h"

namespace somlabel::labelweb {
namespace {

std::string color_code(int grey) {
  const auto code = grey_color_code(grey);
  return std::string(code.data(), code.size());
}

phrase label(std::string text, double score) {
  phrase entry;
  entry.phrase = std::move(text);
  entry.stemmed_phrase = entry.phrase;
  entry.score = score;
  return entry;
}

// A leaf unit at (x, y) holding nothing yet.
unit empty_unit(int x, int y) {
  unit u;
  u.pos_x = x;
  u.pos_y = y;
  return u;
}

void add_documents(unit& u, std::initializer_list<std::string> names) {
  for (const std::string& name : names) u.filelist.push_back(name);
  u.nr_mapped_vecs = u.filelist.size();
}

void set_labels(UnitList<phrase>& list, std::initializer_list<phrase> labels) {
  for (const phrase& entry : labels) list.push_back(entry);
}

std::string text_of(const PageText& page) { return std::string(page.view()); }

map one_by_one() {
  map m;
  m.xdim = 1;
  m.ydim = 1;
  m.layer = 0;
  return m;
}

// The cell alone: write_html for a unit in the middle of a 3 x 3 map.
std::string cell_of(const unit& u, const Settings& settings = Settings()) {
  map m;
  m.xdim = 3;
  m.ydim = 3;
  unit placed = u;
  placed.pos_x = 1;
  placed.pos_y = 1;
  PageText page;
  write_html(placed, m, page, settings);
  return text_of(page);
}

constexpr const char* kHead =
    "<HTML><BODY bgcolor=#FFFFFF text=#000000><TITLE>Layer 0 Map</TITLE>\n"
    "<H1>Layer 0 Map</H1><BR>\n"
    "<BR><table border=8 cellpadding=4>\n";

TEST(LabelwebCalculateColor, SpreadsAListFromBlackToLightGrey) {
  EXPECT_EQ(calculate_color(0.75, 0.25, 0.75), 0);
  EXPECT_EQ(calculate_color(0.75, 0.25, 0.5), 90);
  EXPECT_EQ(calculate_color(0.75, 0.25, 0.25), 180);
}

TEST(LabelwebCalculateColor, EqualBoundsGiveOneHundred) {
  EXPECT_EQ(calculate_color(0.5, 0.5, 0.5), 100);
  EXPECT_EQ(calculate_color(0.5, 0.5, 7.0), 100);
  EXPECT_EQ(calculate_color(0.0, 0.0, 0.0), 100);
}

TEST(LabelwebCalculateColor, IsNotClampedOutsideTheBounds) {
  // (0.75 - 0.25) / 0.25 * 180 = 360; -360 + 180 = -180.
  EXPECT_EQ(calculate_color(0.5, 0.25, 0.75), -180);
  // (0 - 0.25) / 0.5 * 180 = -90; 90 + 180 = 270.
  EXPECT_EQ(calculate_color(0.75, 0.25, 0.0), 270);
}

TEST(LabelwebCalculateColor, TruncatesTowardZero) {
  // 180 - 0.999 * 180 = 0.18 and 180 - 1.001 * 180 = -0.18 both give 0.
  EXPECT_EQ(calculate_color(1.0, 0.0, 0.999), 0);
  EXPECT_EQ(calculate_color(1.0, 0.0, 1.001), 0);
  // 180 - 0.5005 * 180 = 89.91.
  EXPECT_EQ(calculate_color(1.0, 0.0, 0.5005), 89);
}

TEST(LabelwebCalculateColor, ResultsOutsideTheIntRangeOrNoNumberStayDefined) {
  EXPECT_EQ(calculate_color(1.0, 0.0, 1e300), INT_MIN);
  EXPECT_EQ(calculate_color(1.0, 0.0, -1e300), INT_MAX);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(calculate_color(1.0, 0.0, nan), 100);
  EXPECT_EQ(calculate_color(nan, 0.0, 0.5), 100);
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(calculate_color(inf, -inf, 0.5), 100);          // inf / inf is no number
  EXPECT_EQ(calculate_color(DBL_MAX, -DBL_MAX, 0.0), 180);  // the span overflows to inf
}

TEST(LabelwebGreyColorCode, PrintsTwoHexDigitsPerChannel) {
  EXPECT_EQ(color_code(0), "000000");
  EXPECT_EQ(color_code(90), "5a5a5a");
  EXPECT_EQ(color_code(100), "646464");
  EXPECT_EQ(color_code(180), "b4b4b4");
  EXPECT_EQ(color_code(12), "0c0c0c");  // not "ccc", a much lighter grey
  EXPECT_EQ(color_code(9), "090909");
}

TEST(LabelwebGreyColorCode, ClampsToTheScale) {
  EXPECT_EQ(color_code(-1), "000000");  // not ffffffff three times
  EXPECT_EQ(color_code(-180), "000000");
  EXPECT_EQ(color_code(INT_MIN), "000000");
  EXPECT_EQ(color_code(181), "b4b4b4");
  EXPECT_EQ(color_code(270), "b4b4b4");
  EXPECT_EQ(color_code(INT_MAX), "b4b4b4");
}

TEST(LabelwebPageText, EscapesTheFiveMarkupCharactersAndNothingElse) {
  PageText page;
  append_escaped_text(page, "<script>alert('x&y')</script>\"");
  EXPECT_EQ(text_of(page), "&lt;script&gt;alert(&#39;x&amp;y&#39;)&lt;/script&gt;&quot;");
  page.clear();
  append_escaped_text(page, "neural net\xc3\xa9 %20 #1\n");
  EXPECT_EQ(text_of(page), "neural net\xc3\xa9 %20 #1\n");
}

TEST(LabelwebPageText, LinkPartsPercentEncodeAllButTheUnreservedBytesAndSlash) {
  PageText page;
  append_link_part(page, "dir/A-z_0.9~ b%?#&<>\"'=\xc3\xa9\t");
  EXPECT_EQ(text_of(page), "dir/A-z_0.9~%20b%25%3F%23%26%3C%3E%22%27%3D%C3%A9%09");
  EXPECT_TRUE(is_link_safe("dir/A-z_0.9~"));
  EXPECT_FALSE(is_link_safe("a b"));
  EXPECT_FALSE(is_link_safe("\xc3\xa9"));
}

TEST(LabelwebWriteHtml, OneByOneMapIsAWholePage) {
  PageText page;
  write_html(empty_unit(0, 0), one_by_one(), page, Settings());
  EXPECT_EQ(text_of(page),
            std::string(kHead) + "<tr>\n<td align=left>\n.</td>\n</tr>\n</table></BODY></HTML>\n");
}

TEST(LabelwebWriteHtml, PageHeadNamesTheLayerAndPageEndLinksUp) {
  map m = one_by_one();
  m.layer = -1;
  m.somabove = "output/top.unit\n";
  PageText page;
  write_html(empty_unit(0, 0), m, page, Settings());
  EXPECT_EQ(text_of(page),
            "<HTML><BODY bgcolor=#FFFFFF text=#000000><TITLE>Layer -1 Map</TITLE>\n"
            "<H1>Layer -1 Map</H1><BR>\n"
            "<BR><table border=8 cellpadding=4>\n"
            "<tr>\n<td align=left>\n.</td>\n</tr>\n"
            "<a href=top.unit.labelunit.html>One Level Up</a><BR><BR>"
            "</table></BODY></HTML>\n");
}

TEST(LabelwebWriteHtml, RowsOpenAtColumnZeroAndCloseAtTheLastColumn) {
  map m;
  m.xdim = 2;
  m.ydim = 2;
  m.layer = 0;
  PageText page;
  write_html(empty_unit(0, 0), m, page, Settings());
  const std::string first = text_of(page);
  write_html(empty_unit(1, 0), m, page, Settings());
  write_html(empty_unit(0, 1), m, page, Settings());
  write_html(empty_unit(1, 1), m, page, Settings());
  EXPECT_EQ(first, std::string(kHead) + "<tr>\n<td align=left>\n.</td>\n");
  EXPECT_EQ(text_of(page), std::string(kHead) +
                               "<tr>\n<td align=left>\n.</td>\n<td align=left>\n.</td>\n</tr>\n"
                               "<tr>\n<td align=left>\n.</td>\n<td align=left>\n.</td>\n</tr>\n"
                               "</table></BODY></HTML>\n");
}

TEST(LabelwebWriteHtml, ColouredSectionsShadeFromTheFirstToTheLastScore) {
  unit u;
  set_labels(u.m1_labels, {label("alpha", 0.75), label("beta", 0.5), label("gamma", 0.25)});
  u.nr_mode1_labels = 3;
  set_labels(u.m0_labels, {label("single", 0.3)});
  u.nr_mode0_labels = 1;
  EXPECT_EQ(cell_of(u),
            "<td align=left>\n"
            "LABELS by Cadrel II<BR>"
            "<b><font color=#000000>alpha (0.7500)</font></b><BR>"
            "<b><font color=#5a5a5a>beta (0.5000)</font></b><BR>"
            "<b><font color=#b4b4b4>gamma (0.2500)</font></b><BR><HR>"
            "Mode 0 LABELS<BR>"
            "<b><font color=#646464>single (0.3000)</font></b><BR><HR>"
            ".</td>\n");
}

TEST(LabelwebWriteHtml, ScoresOutsideTheFirstAndLastAreClampedInTheColour) {
  unit u;
  // Entry 0 is the top of the scale and entry n-1 its bottom, whatever the
  // scores: 0.9 lies above the scale (grey -144), -0.5 below it (grey 360).
  set_labels(u.m1_labels,
             {label("top", 0.5), label("higher", 0.9), label("below", -0.5), label("last", 0.0)});
  u.nr_mode1_labels = 4;
  EXPECT_EQ(cell_of(u),
            "<td align=left>\n"
            "LABELS by Cadrel II<BR>"
            "<b><font color=#000000>top (0.5000)</font></b><BR>"
            "<b><font color=#000000>higher (0.9000)</font></b><BR>"
            "<b><font color=#b4b4b4>below (-0.5000)</font></b><BR>"
            "<b><font color=#b4b4b4>last (0.0000)</font></b><BR><HR>"
            ".</td>\n");
}

TEST(LabelwebWriteHtml, ScoresPrintLikePercentPointFourF) {
  const double scores[] = {0.0,      -0.0,      1.0,         0.123449,     0.12345, 0.99995,
                           -2.5e-5,  5e-5,      15e-5,       123456.78905, 1e20,    -1e-300,
                           DBL_MAX,  -DBL_MAX,  DBL_MIN,     0.1 + 0.2,    2.00005, 1.00015,
                           HUGE_VAL, -HUGE_VAL, std::nan("")};
  for (const double score : scores) {
    unit u;
    set_labels(u.m0_labels, {label("p", score)});
    u.nr_mode0_labels = 1;
    char expected[512];
    std::snprintf(expected, sizeof expected, "p (%.4f)</font>", score);
    EXPECT_NE(cell_of(u).find(expected), std::string::npos) << expected;
  }
}

TEST(LabelwebWriteHtml, UnitFileLabelsFollowTheirSwitch) {
  unit u;
  set_labels(u.torvel_labels, {label("first", 0), label("second\n", 0)});
  u.nr_torvel_labels = 2;
  EXPECT_EQ(cell_of(u), "<td align=left>\nLABELs by Cadrel I<BR>first<BR>second\n<BR><HR>.</td>\n");
  Settings off;
  off.cadrelI_output = 0;
  EXPECT_EQ(cell_of(u, off), "<td align=left>\n.</td>\n");
}

TEST(LabelwebWriteHtml, DocumentAndKeyFileLinksFollowTheirSwitches) {
  unit u;
  add_documents(u, {"d1", "d2"});
  Settings both;
  EXPECT_EQ(cell_of(u, both),
            "<td align=left>\n"
            "<a href=files/d1>d1</a><BR><a href=files/d2>d2</a><BR>"
            "<HR><a href=key/d1.key>d1.key</a><BR><a href=key/d2.key>d2.key</a><BR>"
            "</td>\n");
  Settings no_files;
  no_files.filelinks_output = 0;
  EXPECT_EQ(cell_of(u, no_files),
            "<td align=left>\n"
            "<HR><a href=key/d1.key>d1.key</a><BR><a href=key/d2.key>d2.key</a><BR></td>\n");
  Settings no_keys;
  no_keys.keylinks_output = 0;
  EXPECT_EQ(cell_of(u, no_keys),
            "<td align=left>\n<a href=files/d1>d1</a><BR><a href=files/d2>d2</a><BR></td>\n");
  Settings neither;
  neither.filelinks_output = 0;
  neither.keylinks_output = 0;
  EXPECT_EQ(cell_of(u, neither), "<td align=left>\n</td>\n");  // no "." either
}

TEST(LabelwebWriteHtml, LinkPrefixesAndEndingAreWrittenAsConfigured) {
  unit u;
  add_documents(u, {"a b&c.txt"});
  Settings settings;
  settings.sourcelinkpath = "http://host/files/";
  settings.keylinkpath = "../k?e=y/";
  settings.keyfileending = ".kea";
  EXPECT_EQ(cell_of(u, settings),
            "<td align=left>\n"
            "<a href=http://host/files/a%20b%26c.txt>a b&amp;c.txt</a><BR>"
            "<HR><a href=../k?e=y/a%20b%26c.txt.kea>a b&amp;c.txt.kea</a><BR></td>\n");
}

TEST(LabelwebWriteHtml, LabelsFromTheFileAreEscaped) {
  unit u;
  set_labels(u.torvel_labels, {label("<b>bold</b>", 0)});
  u.nr_torvel_labels = 1;
  set_labels(u.m1_labels, {label("<script>alert(\"x\")</script>", 1.0)});
  u.nr_mode1_labels = 1;
  EXPECT_EQ(cell_of(u),
            "<td align=left>\n"
            "LABELs by Cadrel I<BR>&lt;b&gt;bold&lt;/b&gt;<BR><HR>"
            "LABELS by Cadrel II<BR><b><font color=#646464>"
            "&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; (1.0000)</font></b><BR><HR>"
            ".</td>\n");
}

TEST(LabelwebWriteHtml, SubMapUnitLinksDownInsteadOfItsDocuments) {
  unit u;
  add_documents(u, {"d1"});
  u.nr_soms_mapped = 1;
  u.url_mapped_soms = "output/sub.abc\n";
  EXPECT_EQ(cell_of(u), "<td align=left>\n<a href=sub.unit.labelunit.html>down</a><BR></td>\n");
  u.url_mapped_soms = "output/we ird#.abc\n";
  EXPECT_EQ(cell_of(u),
            "<td align=left>\n<a href=we%20ird%23.unit.labelunit.html>down</a><BR></td>\n");
  u.url_mapped_soms = "output/x\n";  // too short to name a page: no link at all
  EXPECT_EQ(cell_of(u), "<td align=left>\n</td>\n");
}

TEST(LabelwebWriteHtml, ShowsNoMoreThanTheEntriesStored) {
  unit u;
  add_documents(u, {"d1"});
  u.nr_mapped_vecs = 4;
  set_labels(u.torvel_labels, {label("stale", 0), label("stale", 0)});  // an earlier unit's
  u.torvel_labels.clear();
  set_labels(u.torvel_labels, {label("kept", 0)});
  u.nr_torvel_labels = 5;
  Settings no_keys;
  no_keys.keylinks_output = 0;
  EXPECT_EQ(
      cell_of(u, no_keys),
      "<td align=left>\nLABELs by Cadrel I<BR>kept<BR><HR><a href=files/d1>d1</a><BR></td>\n");
}

TEST(LabelwebWriteHtml, NegativeCountsShowNothing) {
  unit u;
  add_documents(u, {"d1"});
  u.nr_mapped_vecs = -1;
  set_labels(u.torvel_labels, {label("t", 0)});
  u.nr_torvel_labels = -3;
  set_labels(u.m1_labels, {label("m", 1)});
  u.nr_mode1_labels = INT_MIN;
  EXPECT_EQ(cell_of(u), "<td align=left>\n.</td>\n");
}

// One option file serves both tools: labelweb reads its five keys and passes
// over labelcalc's own.
TEST(LabelwebKeys, ReadsThePageKeysAndPassesOverLabelcalcs) {
  FILE* in = testutil::input(
      "KEA_PROGRAM x\nKEYFILESLINKPATH k/\nSOURCEFILESLINKPATH s/\nKEYLINKS_OUTPUT 0\n"
      "CADRELI_OUTPUT 2\nFILELINKS_OUTPUT 3\n");
  Settings settings;
  LineReader lines(in);
  ASSERT_EQ(read_option_file(lines, kLabelwebKeys, settings), OptionResult::ok);
  std::fclose(in);
  EXPECT_EQ(settings.kea_program, "");
  EXPECT_EQ(settings.keylinkpath, "k/");
  EXPECT_EQ(settings.sourcelinkpath, "s/");
  EXPECT_EQ(settings.keylinks_output, 0);
  EXPECT_EQ(settings.cadrelI_output, 2);
  EXPECT_EQ(settings.filelinks_output, 3);
}

}  // namespace
}  // namespace somlabel::labelweb
