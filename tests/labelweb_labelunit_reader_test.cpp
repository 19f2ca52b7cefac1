// The labelunit reader: how lines are cut, what each key stores, what is
// reset between units, the label caps and inputs that break the format.
// Inputs are fed in memory; expected values are worked out from the format.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "labelweb/labelunit_reader.h"
#include "labelweb/page_maker.h"

namespace somlabel::labelweb {
namespace {

struct Seen {
  struct unit unit;
  struct map map;
};

struct Read {
  std::vector<Seen> units;
  struct map map;
};

FILE* memory_input(const std::string& text) {
  // fmemopen refuses a buffer of size 0 on some C libraries; an empty input
  // is read from a one-byte buffer opened at its end instead.
  static char empty = '\0';
  if (text.empty()) {
    FILE* in = fmemopen(&empty, 1, "r");
    std::fgetc(in);
    return in;
  }
  return fmemopen(const_cast<char*>(text.data()), text.size(), "r");
}

Read read_units(const std::string& text) {
  Read read;
  FILE* in = memory_input(text);
  const ReadResult result = read_labelunit(in, read.map, [&](const unit& u, const map& m) {
    read.units.push_back({u, m});
  });
  std::fclose(in);
  EXPECT_EQ(result.units, static_cast<int>(read.units.size()));
  EXPECT_EQ(result.failure, "");
  return read;
}

std::string page_for(const std::string& text, const Settings& settings = Settings()) {
  FILE* in = memory_input(text);
  char* data = nullptr;
  size_t size = 0;
  FILE* page = open_memstream(&data, &size);
  (void)write_page(in, page, settings);
  std::fclose(page);
  std::fclose(in);
  std::string result(data, size);
  std::free(data);
  return result;
}

std::string repeat_lines(int count, const std::string& prefix, const std::string& ending) {
  std::string text;
  for (int i = 0; i < count; ++i) text += prefix + std::to_string(i) + ending;
  return text;
}

constexpr const char* kHeader = "$XDIM 2\n$YDIM 1\n";

TEST(LabelwebLabelunitReader, EachPosXCompletesTheUnitBeforeIt) {
  const Read read = read_units(std::string(kHeader) +
                               "$POS_X 0\n$POS_Y 0\n$NR_VEC_MAPPED 0\n$NR_SOMS_MAPPED 0\n"
                               "$POS_X 1\n$POS_Y 0\n$NR_VEC_MAPPED 0\n$NR_SOMS_MAPPED 0\n");
  ASSERT_EQ(read.units.size(), 2u);
  EXPECT_EQ(read.units[0].unit.pos_x, 0);
  EXPECT_EQ(read.units[1].unit.pos_x, 1);
  EXPECT_EQ(read.units[1].unit.pos_x_str, "1\n");
  EXPECT_EQ(read.units[1].unit.pos_y_str, "0\n");
  EXPECT_EQ(read.units[0].map.xdim, 2);
  EXPECT_EQ(read.units[0].map.ydim, 1);
}

TEST(LabelwebLabelunitReader, FileWithoutPosXCompletesNoUnit) {
  EXPECT_TRUE(read_units("$XDIM 1\n$YDIM 1\n$NODE_ID n_3\n").units.empty());
  EXPECT_TRUE(read_units("").units.empty());
}

TEST(LabelwebLabelunitReader, KeysAreComparedWhole) {
  const Read read = read_units(
      "$XDIM 2\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$VEC d1\n"
      "$VECTOR d2\n$VE d3\n$vec d4\n$VEC\td5\n"  // none of these is "$VEC"
      "$POS_XX 1\n$POS_X\n");                    // nor "$POS_X"; a key alone does nothing
  ASSERT_EQ(read.units.size(), 1u);
  EXPECT_EQ(read.units[0].unit.filelist.size(), 1);
  EXPECT_EQ(read.units[0].unit.filelist[0], "d1");
}

TEST(LabelwebLabelunitReader, LeadingSpacesAndRunsOfSpacesAreSkipped) {
  const Read read = read_units("  $XDIM   4\n$YDIM 1\n$POS_X 0\n$VEC   a    b\n");
  ASSERT_EQ(read.units.size(), 1u);
  EXPECT_EQ(read.map.xdim, 4);
  EXPECT_EQ(read.units[0].unit.filelist.size(), 2);
  EXPECT_EQ(read.units[0].unit.filelist[1], "b");
}

TEST(LabelwebLabelunitReader, EveryValueOfALineIsOneEntryAndTheLastKeepsTheNewline) {
  const Read read = read_units(std::string(kHeader) +
                               "$POS_X 0\n$VEC d1 d2\n$NR_LABELS 3\n$LABEL one two\n"
                               "$LABEL three \n"  // a space before the line end: one more value
                               "$URL_MAPPED_SOMS output/sub.abc\n");
  ASSERT_EQ(read.units.size(), 1u);
  const unit& u = read.units[0].unit;
  EXPECT_EQ(u.filelist.size(), 2);
  EXPECT_EQ(u.filelist[0], "d1");
  EXPECT_EQ(u.filelist[1], "d2");  // without its newline
  ASSERT_EQ(u.torvel_labels.size(), 4);
  EXPECT_EQ(u.torvel_labels[0].phrase, "one");
  EXPECT_EQ(u.torvel_labels[1].phrase, "two\n");
  EXPECT_EQ(u.torvel_labels[2].phrase, "three");
  EXPECT_EQ(u.torvel_labels[3].phrase, "\n");
  EXPECT_EQ(u.url_mapped_soms, "output/sub.abc\n");
}

TEST(LabelwebLabelunitReader, LayerComesFromTheFirstNodeId) {
  Read read =
      read_units("$XDIM 1\n$YDIM 1\n$POS_X 0\n$NODE_ID n_2_0_0\n$POS_X 0\n$NODE_ID n_5_1_0\n");
  EXPECT_EQ(read.map.layer, 2);
  EXPECT_EQ(read.units[1].map.layer, 2);
  EXPECT_EQ(read_units("$XDIM 1\n$POS_X 0\n").map.layer, -1);
  EXPECT_EQ(read_units("$NODE_ID __7__1\n").map.layer, 1);  // empty fields are skipped
  // A value without a second field decides nothing; the next "$NODE_ID" does.
  EXPECT_EQ(read_units("$NODE_ID node\n$NODE_ID n_4\n").map.layer, 4);
}

TEST(LabelwebLabelunitReader, SomaboveKeepsItsNewlineAndMayStandAtTheEnd) {
  const Read read = read_units("$XDIM 1\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$SOMABOVE output/top.unit\n");
  ASSERT_EQ(read.units.size(), 1u);
  EXPECT_EQ(read.units[0].map.somabove, "output/top.unit\n");
}

TEST(LabelwebLabelunitReader, Mode0CountIsLoweredToTheLinesRead) {
  std::string text = std::string(kHeader) + "$POS_X 0\n$MODE0_PHRASES 15\n" +
                     repeat_lines(9, "$M0_LABEL p", "\ts\t0.5\n");
  text += "$POS_X 1\n$MODE0_PHRASES 15\n" + repeat_lines(9, "$M0_LABEL q", "\ts\t0.5\n");
  const Read read = read_units(text);
  ASSERT_EQ(read.units.size(), 2u);
  EXPECT_EQ(read.units[0].unit.nr_mode0_labels, 9);
  EXPECT_EQ(read.units[1].unit.nr_mode0_labels, 9);  // the last unit of the file too
  EXPECT_EQ(read.units[1].unit.m0_labels[8].phrase, "q8");
}

TEST(LabelwebLabelunitReader, Mode0LabelsStopAtTwoHundredAndTheCountIsOnlyLowered) {
  const Read many = read_units(std::string(kHeader) + "$POS_X 0\n$MODE0_PHRASES 250\n" +
                               repeat_lines(250, "$M0_LABEL p", "\ts\t0.5\n"));
  EXPECT_EQ(many.units[0].unit.m0_labels.size(), 200);
  EXPECT_EQ(many.units[0].unit.nr_mode0_labels, 200);
  EXPECT_EQ(many.units[0].unit.m0_labels[199].phrase, "p199");
  const Read fewer = read_units(std::string(kHeader) + "$POS_X 0\n$MODE0_PHRASES 15\n" +
                                repeat_lines(20, "$M0_LABEL p", "\ts\t0.5\n"));
  EXPECT_EQ(fewer.units[0].unit.nr_mode0_labels, 15);
}

TEST(LabelwebLabelunitReader, Mode0LineIsSplitAtTabsAfterTheKey) {
  const Read read = read_units(std::string(kHeader) +
                               "$POS_X 0\n$MODE0_PHRASES 3\n"
                               "$M0_LABEL self organizing map\tself organ map\t0.8125\n"
                               "$M0_LABEL no score\tno score\n"  // two fields: not a label
                               "$M0_LABEL last\tlast\t0.25");    // no newline at the end
  const unit& u = read.units[0].unit;
  ASSERT_EQ(u.m0_labels.size(), 2);
  EXPECT_EQ(u.nr_mode0_labels, 2);
  EXPECT_EQ(u.m0_labels[0].phrase, "self organizing map");
  EXPECT_EQ(u.m0_labels[0].stemmed_phrase, "self organ map");
  EXPECT_DOUBLE_EQ(u.m0_labels[0].score, 0.8125);
  EXPECT_EQ(u.m0_labels[1].phrase, "last");
  EXPECT_DOUBLE_EQ(u.m0_labels[1].score, 0.25);
}

TEST(LabelwebLabelunitReader, Mode1BlockIsReadByCountAndItsLinesAreNoKeys) {
  const Read read = read_units(std::string(kHeader) +
                               "$POS_X 0\n$MODE1_PHRASES 2\n"
                               "$POS_X\t$POS_X\t0.750000\n"  // a phrase, not a unit start
                               "two words\ttwo word\t0.500000\n"
                               "$POS_X 1\n");
  ASSERT_EQ(read.units.size(), 2u);
  const unit& u = read.units[0].unit;
  EXPECT_EQ(u.nr_mode1_labels, 2);
  ASSERT_EQ(u.m1_labels.size(), 2);
  EXPECT_EQ(u.m1_labels[0].phrase, "$POS_X");
  EXPECT_EQ(u.m1_labels[1].phrase, "two words");
  EXPECT_DOUBLE_EQ(u.m1_labels[1].score, 0.5);
}

TEST(LabelwebLabelunitReader, Mode1BlockKeepsTwoHundredAndSkipsTheRest) {
  const Read read = read_units(std::string(kHeader) + "$POS_X 0\n$MODE1_PHRASES 230\n" +
                               repeat_lines(230, "p", "\ts\t0.5\n") + "$POS_X 1\n$VEC d\n");
  ASSERT_EQ(read.units.size(), 2u);
  EXPECT_EQ(read.units[0].unit.nr_mode1_labels, 200);
  EXPECT_EQ(read.units[0].unit.m1_labels.size(), 200);
  EXPECT_EQ(read.units[0].unit.m1_labels[199].phrase, "p199");
  EXPECT_EQ(read.units[1].unit.filelist[0], "d");
}

TEST(LabelwebLabelunitReader, Mode1BlockCutShortByTheEndOfTheFile) {
  const Read read =
      read_units(std::string(kHeader) + "$POS_X 0\n$MODE1_PHRASES 5\na\ta\t0.9\nb\tb\t0.8\n");
  ASSERT_EQ(read.units.size(), 1u);
  EXPECT_EQ(read.units[0].unit.m1_labels.size(), 2);
}

TEST(LabelwebLabelunitReader, OnlyTheLabelCountsAndStoredEntriesAreResetBetweenUnits) {
  const Read read = read_units(std::string(kHeader) +
                               "$POS_X 0\n$POS_Y 0\n$NR_VEC_MAPPED 1\n$VEC d1\n$NR_SOMS_MAPPED 1\n"
                               "$URL_MAPPED_SOMS s.abc\n$NR_LABELS 1\n$LABEL l\n"
                               "$MODE0_PHRASES 1\n$M0_LABEL m\tm\t1\n$MODE1_PHRASES 1\nx\tx\t1\n"
                               "$POS_X 1\n");
  ASSERT_EQ(read.units.size(), 2u);
  const unit& second = read.units[1].unit;
  EXPECT_EQ(second.pos_y, 0);
  EXPECT_EQ(second.nr_mapped_vecs, 1);  // inherited: the block has no line of its own
  EXPECT_EQ(second.nr_soms_mapped, 1);
  EXPECT_EQ(second.url_mapped_soms, "s.abc\n");
  EXPECT_EQ(second.nr_torvel_labels, 0);
  EXPECT_EQ(second.nr_mode0_labels, 0);
  EXPECT_EQ(second.nr_mode1_labels, 0);
  EXPECT_EQ(second.filelist.size(), 0);
  EXPECT_EQ(second.torvel_labels.size(), 0);
  EXPECT_EQ(second.m0_labels.size(), 0);
  EXPECT_EQ(second.m1_labels.size(), 0);
}

TEST(LabelwebLabelunitReader, UnitFileLabelsAndDocumentsStopAtTheirCapacity) {
  std::string text = std::string(kHeader) + "$POS_X 0\n$NR_LABELS 300\n$LABEL";
  for (int i = 0; i < 300; ++i) text += " l" + std::to_string(i);
  text += "\n" + repeat_lines(kMaxDocuments + 5, "$VEC d", "\n");
  const Read read = read_units(text);
  const unit& u = read.units[0].unit;
  EXPECT_EQ(u.torvel_labels.size(), kMaxLabels);
  EXPECT_EQ(u.torvel_labels[199].phrase, "l199");
  EXPECT_EQ(u.filelist.size(), kMaxDocuments);
  EXPECT_EQ(u.filelist[kMaxDocuments - 1], "d9999");
}

TEST(LabelwebLabelunitReader, LongLinesAreReadWholeAndALineEndsAtANulByte) {
  const std::string long_name(5000, 'n');
  std::string text = std::string(kHeader) + "$POS_X 0\n$VEC " + long_name + "\n";
  text += std::string("$VEC ab\0cd\n", 11);
  text += std::string("$LABEL x\0$VEC hidden\n", 21);
  const Read read = read_units(text);
  const unit& u = read.units[0].unit;
  ASSERT_EQ(u.filelist.size(), 2);
  EXPECT_EQ(u.filelist[0], long_name);
  EXPECT_EQ(u.filelist[1], "ab");
  EXPECT_EQ(u.torvel_labels[0].phrase, "x");
}

TEST(LabelwebLabelunitReader, LinesLongerThanTheReadBufferStayWholeAndInOrder) {
  // Lines far past one read block, around lines that fit in it: nothing is
  // lost or split where a block ends.
  const std::string huge_name(700000, 'h');
  const std::string long_label(300000, 'l');
  std::string text = std::string(kHeader) + "$POS_X 0\n$MAPPED_VECS " + huge_name + "\n";
  text += "$VEC " + huge_name + "\n$VEC short\n$LABEL " + long_label + " last\n";
  for (int i = 0; i < 20000; ++i) text += "$UNKNOWN_KEY " + std::to_string(i) + "\n";
  text += "$POS_X 1\n$VEC after\n";
  const Read read = read_units(text);
  ASSERT_EQ(read.units.size(), 2u);
  const unit& first = read.units[0].unit;
  ASSERT_EQ(first.filelist.size(), 2);
  EXPECT_EQ(first.filelist[0], huge_name);
  EXPECT_EQ(first.filelist[1], "short");
  ASSERT_EQ(first.torvel_labels.size(), 2);
  EXPECT_EQ(first.torvel_labels[0].phrase, long_label);
  EXPECT_EQ(first.torvel_labels[1].phrase, "last\n");
  const unit& second = read.units[1].unit;
  ASSERT_EQ(second.filelist.size(), 1);
  EXPECT_EQ(second.filelist[0], "after");
}

// Pages of whole files: where the reader's rules show on the page.

TEST(LabelwebLabelunitPage, FileWithoutUnitsGivesHeadAndEndOnly) {
  EXPECT_EQ(page_for("$XDIM 3\n$YDIM 3\n$NODE_ID n_1\n$SOMABOVE output/top.unit\n"),
            "<HTML><BODY bgcolor=#FFFFFF text=#000000><TITLE>Layer 1 Map</TITLE>\n"
            "<H1>Layer 1 Map</H1><BR>\n"
            "<BR><table border=8 cellpadding=4>\n"
            "<a href=top.unit.labelunit.html>One Level Up</a><BR><BR>"
            "</table></BODY></HTML>\n");
}

TEST(LabelwebLabelunitPage, SomaboveAfterTheLastUnitStillLinksUp) {
  const std::string page = page_for(
      "$XDIM 1\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$NODE_ID 0_2_0_0\n$NR_VEC_MAPPED 0\n"
      "$MAPPED_VECS\n$NR_SOMS_MAPPED 0\n$SOMABOVE output/top.unit\n");
  EXPECT_EQ(page,
            "<HTML><BODY bgcolor=#FFFFFF text=#000000><TITLE>Layer 2 Map</TITLE>\n"
            "<H1>Layer 2 Map</H1><BR>\n"
            "<BR><table border=8 cellpadding=4>\n"
            "<tr>\n<td align=left>\n.</td>\n</tr>\n"
            "<a href=top.unit.labelunit.html>One Level Up</a><BR><BR>"
            "</table></BODY></HTML>\n");
}

TEST(LabelwebLabelunitPage, SomaboveWithoutSlashIsTheWholeName) {
  const std::string page = page_for("$XDIM 1\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$SOMABOVE top.unit\n");
  EXPECT_NE(page.find("<a href=top.unit.labelunit.html>One Level Up</a>"), std::string::npos);
}

TEST(LabelwebLabelunitPage, LastLabelValueKeepsItsNewlineOnThePage) {
  const std::string page = page_for(
      "$XDIM 1\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$NR_VEC_MAPPED 0\n$NR_SOMS_MAPPED 0\n"
      "$NR_LABELS 2\n$LABEL first last\n");
  EXPECT_NE(page.find("<td align=left>\nLABELs by Cadrel I<BR>first<BR>last\n<BR><HR>.</td>\n"),
            std::string::npos);
}

TEST(LabelwebLabelunitPage, CountsAboveTheEntriesStoredShowOnlyTheEntries) {
  // The first unit leaves two labels and two documents behind; the second
  // announces more than it gives and must not show the first unit's.
  const std::string page = page_for(
      "$XDIM 2\n$YDIM 1\n"
      "$POS_X 0\n$POS_Y 0\n$NR_VEC_MAPPED 2\n$VEC old1\n$VEC old2\n$NR_SOMS_MAPPED 0\n"
      "$NR_LABELS 2\n$LABEL a b\n"
      "$POS_X 1\n$POS_Y 0\n$NR_VEC_MAPPED 4\n$VEC new\n$NR_SOMS_MAPPED 0\n"
      "$NR_LABELS 3\n$LABEL c\n$MODE1_PHRASES 3\nm\tm\t0.5\n");
  EXPECT_NE(
      page.find("<td align=left>\nLABELs by Cadrel I<BR>c\n<BR><HR>"
                "LABELS by Cadrel II<BR><b><font color=#646464>m (0.5000)</font></b><BR><HR>"
                "<a href=files/new>new</a><BR><HR><a href=key/new.key>new.key</a><BR></td>\n"),
      std::string::npos)
      << page;
  const size_t second_cell = page.rfind("<td align=left>");
  EXPECT_EQ(page.find("old", second_cell), std::string::npos);
}

TEST(LabelwebLabelunitPage, NegativeCountsShowNothing) {
  const std::string page = page_for(
      "$XDIM 1\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$NR_VEC_MAPPED -2\n$VEC d\n$NR_SOMS_MAPPED 0\n"
      "$NR_LABELS -1\n$LABEL x\n$MODE1_PHRASES -3\n$MODE0_PHRASES -1\n$M0_LABEL a\ta\t1\n");
  EXPECT_NE(page.find("<tr>\n<td align=left>\n.</td>\n</tr>\n"), std::string::npos) << page;
}

TEST(LabelwebLabelunitPage, SubMapAddressWithoutSlashIsTheWholeFilePart) {
  const std::string page = page_for(
      "$XDIM 1\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$NR_SOMS_MAPPED 1\n$URL_MAPPED_SOMS child.xyz\n");
  EXPECT_NE(page.find("<td align=left>\n<a href=child.unit.labelunit.html>down</a><BR></td>\n"),
            std::string::npos);
}

}  // namespace
}  // namespace somlabel::labelweb
