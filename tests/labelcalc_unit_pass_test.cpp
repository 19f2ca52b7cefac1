#include "labelcalc/unit_pass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/test_util.h"

namespace somlabel::labelcalc {
namespace {

// What the label steps saw, one line per call.
std::vector<std::string> calls;

std::string describe(const char* step, const unit& u) {
  std::string text = std::string(step) + " " + u.pos_x_str + "/" + u.pos_y_str +
                     " n=" + std::to_string(u.nr_mapped_vecs) + " docs=";
  for (size_t i = 0; i < u.label_document_count(); ++i) text += u.filelist[i] + ",";
  return text;
}

Result<Told> fake_catman(const unit& u, FILE* out, const std::string&, const Settings&) {
  calls.push_back(describe("cat", u));
  std::fputs("<m0>\n", out);
  return {};
}

Result<Told> fake_calcman(const unit& u, FILE* out, const Settings&) {
  calls.push_back(describe("calc", u));
  std::fputs("<m1>\n", out);
  return u.pos_x_str == "fail" ? Told{} : Result<Told>();
}

std::string pass(const std::string& unit_file, int mode, bool expect_ok = true) {
  calls.clear();
  Settings settings;
  settings.mode = mode;
  FILE* in = testutil::input(unit_file);
  testutil::Output out;
  EXPECT_EQ(pass_unit_file(in, out.get(), "m.unit", settings, {&fake_catman, &fake_calcman}).ok(),
            expect_ok);
  std::fclose(in);
  return out.text();
}

constexpr const char* kTwoUnits =
    "$POS_X 0\n$POS_Y 0\n$NR_VEC_MAPPED 2\n$MAPPED_VECS a b\n$NR_SOMS_MAPPED 0\n"
    "$POS_X 1\n$NR_VEC_MAPPED 1\n$MAPPED_VECS c\n$NR_SOMS_MAPPED 0\n";

TEST(UnitPass, ModeSelectsTheLabelSteps) {
  pass(kTwoUnits, 1);
  EXPECT_EQ(calls, (std::vector<std::string>{"calc 0/0 n=2 docs=a,b,", "calc 1/0 n=1 docs=c,"}));
  pass(kTwoUnits, 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"cat 0/0 n=2 docs=a,b,", "cat 1/0 n=1 docs=c,"}));
  EXPECT_EQ(pass(kTwoUnits, 2),
            "$POS_X 0\n$POS_Y 0\n$NR_VEC_MAPPED 2\n$MAPPED_VECS a b\n$VEC a\n$VEC b\n<m0>\n"
            "$NR_SOMS_MAPPED 0\n<m1>\n$POS_X 1\n$NR_VEC_MAPPED 1\n$MAPPED_VECS c\n$VEC c\n<m0>\n"
            "$NR_SOMS_MAPPED 0\n<m1>\n");
  EXPECT_EQ(calls.size(), 4u);
}

TEST(UnitPass, AUnitInheritsWhatItsBlockLeavesOut) {
  // The second block gives no "$POS_Y": the record keeps the first unit's row.
  pass(kTwoUnits, 1);
  EXPECT_EQ(calls[1], "calc 1/0 n=1 docs=c,");
}

TEST(UnitPass, OnlyLeafUnitsGetModeOneLabels) {
  pass("$POS_X 0\n$NR_VEC_MAPPED 0\n$MAPPED_VECS\n$NR_SOMS_MAPPED 2\n", 2);
  EXPECT_EQ(calls, (std::vector<std::string>{"cat 0/ n=0 docs="}));
}

TEST(UnitPass, NamesRunOnOverLinesAndOnlyTheDeclaredCountIsTaken) {
  EXPECT_EQ(pass("$NR_VEC_MAPPED 2\n$MAPPED_VECS a\n\n  b c\n", 1),
            "$NR_VEC_MAPPED 2\n$MAPPED_VECS a b\n$VEC a\n$VEC b\nc\n");
}

TEST(UnitPass, FileEndingInsideTheListKeepsOnlyNamesRead) {
  testing::internal::CaptureStderr();
  // The first unit stored three names; the second declares three but the file ends after one.
  pass(
      "$NR_VEC_MAPPED 3\n$MAPPED_VECS a b c\n$NR_SOMS_MAPPED 0\n"
      "$NR_VEC_MAPPED 3\n$MAPPED_VECS z",
      0);
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_EQ(calls.back(), "cat / n=3 docs=z,") << "no stale names from the unit before";
  EXPECT_NE(errors.find("j= 1 , mapped_vecs = 3\n"), std::string::npos);
}

TEST(UnitPass, TenThousandNamesAreKeptAndOnlyMoreAreCutWithAWarning) {
  for (const int names : {10000, 10001}) {
    std::string list;
    for (int i = 0; i < names; ++i) list += " d";
    testing::internal::CaptureStderr();
    const std::string out = pass("$NR_VEC_MAPPED " + std::to_string(names) + "\n$MAPPED_VECS" +
                                     list + "\n$NR_SOMS_MAPPED 0\n",
                                 1);
    const std::string errors = testing::internal::GetCapturedStderr();
    size_t vec_lines = 0;
    for (size_t at = 0; (at = out.find("$VEC d\n", at)) != std::string::npos; ++at) ++vec_lines;
    EXPECT_EQ(vec_lines, 10000u) << names;
    EXPECT_EQ(std::count(calls.back().begin(), calls.back().end(), ','), 10000) << names;
    EXPECT_NE(out.find("$MAPPED_VECS" + list + "\n"), std::string::npos) << "every name is copied";
    EXPECT_EQ(errors.find("maximum of mapped vectors (10000) exceeded") != std::string::npos,
              names == 10001);
  }
}

TEST(UnitPass, AFailingStepStopsThePassWithItsMessage) {
  testing::internal::CaptureStderr();
  const std::string out =
      pass("$POS_X fail\n$POS_Y 4\n$NR_SOMS_MAPPED 0\n$POS_X 1\n$NR_SOMS_MAPPED 0\n", 1, false);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error calculating keyphrases for Unit 0 4 in map m.unit\n");
  EXPECT_EQ(out, "$POS_X fail\n$POS_Y 4\n$NR_SOMS_MAPPED 0\n<m1>\n");
  EXPECT_EQ(calls.size(), 1u);
}

TEST(UnitPass, OtherKeysKeepTheirLineAndLongLinesStayWhole) {
  const std::string long_label(100000, 'x');
  EXPECT_EQ(pass("  $LABEL  a\tb \n$XDIM 3\n$LABEL " + long_label + "\n$END", 1),
            "$LABEL  a\tb \n$XDIM 3\n$LABEL " + long_label + "\n$END");
}

TEST(UnitPass, KeyWithoutValueAtTheEnd) { EXPECT_EQ(pass("$POS_X", 1), "$POS_X\n"); }

}  // namespace
}  // namespace somlabel::labelcalc
