#include "common/keyfile_line.h"

#include <gtest/gtest.h>

#include "tests/test_util.h"

namespace somlabel {
namespace {

TEST(KeyFileLine, ThreeTabSeparatedFields) {
  KeyLine line;
  ASSERT_EQ(split_keyfile_line("Data Mining\tdata mine\t0.5\n", line), KeyLineStatus::ok);
  EXPECT_EQ(line.phrase, "Data Mining");
  EXPECT_EQ(line.stemmed_phrase, "data mine");
  EXPECT_DOUBLE_EQ(line.score, 0.5);
}

TEST(KeyFileLine, RunsOfTabsAndLeadingTabsSeparateOnce) {
  KeyLine line;
  ASSERT_EQ(split_keyfile_line("\t\tword\t\t\tstem\t 0.25 junk\tmore\n", line), KeyLineStatus::ok);
  EXPECT_EQ(line.phrase, "word");
  EXPECT_EQ(line.stemmed_phrase, "stem");
  EXPECT_DOUBLE_EQ(line.score, 0.25);
}

TEST(KeyFileLine, ScoreWithoutNumberIsZeroAndLastLineNeedsNoNewline) {
  KeyLine line;
  ASSERT_EQ(split_keyfile_line("a\tb\tnone", line), KeyLineStatus::ok);
  EXPECT_DOUBLE_EQ(line.score, 0.0);
  ASSERT_EQ(split_keyfile_line("a\tb\t\n", line), KeyLineStatus::ok) << "the newline is a field";
}

TEST(KeyFileLine, MissingFieldsAreFormatErrors) {
  KeyLine line;
  EXPECT_EQ(split_keyfile_line("phrase only\n", line), KeyLineStatus::no_second_field);
  EXPECT_EQ(split_keyfile_line("\n", line), KeyLineStatus::no_second_field);
  EXPECT_EQ(split_keyfile_line("\t\t", line), KeyLineStatus::no_second_field) << "only tabs";
  EXPECT_EQ(split_keyfile_line("", line), KeyLineStatus::no_second_field);
  EXPECT_EQ(split_keyfile_line("phrase\tstem\n", line), KeyLineStatus::no_third_field);
  EXPECT_EQ(split_keyfile_line("phrase\tstem\t", line), KeyLineStatus::no_third_field);
}

TEST(KeyFileLine, WritesSixDecimals) {
  testutil::Output out;
  write_phrase_line(out.get(), "Data Mining", "data mine", 0.85);
  write_phrase_line(out.get(), "x", "x", 1.0 / 3.0);
  write_phrase_line(out.get(), "big", "big", 1234567.0);
  EXPECT_EQ(out.text(),
            "Data Mining\tdata mine\t0.850000\nx\tx\t0.333333\nbig\tbig\t1234567.000000\n");
}

}  // namespace
}  // namespace somlabel
