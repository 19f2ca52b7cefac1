#include "common/settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "common/frame.h"
#include "tests/test_util.h"

namespace somlabel {
namespace {

OptionResult read(const std::string& text, Settings& settings,
                  Program program = Program::labelcalc) {
  FILE* in = testutil::input(text);
  const OptionResult result = read_option_file(in, program, settings);
  std::fclose(in);
  return result;
}

TEST(OptionFile, EmptyFileKeepsEveryDefault) {
  Settings settings;
  ASSERT_EQ(read("", settings), OptionResult::ok);
  EXPECT_EQ(settings.mode, 1);
  EXPECT_EQ(settings.model, "kea_model");
  EXPECT_EQ(settings.number_of_phrases, 15);
  EXPECT_EQ(settings.path, "output/");
  EXPECT_EQ(settings.keypath, "output/key/");
  EXPECT_EQ(settings.keyfileending, ".key");
  EXPECT_EQ(settings.sourcepath, "output/files/");
  EXPECT_EQ(settings.kea_tmp_path, "output/tmp_kea/");
  EXPECT_EQ(settings.keylinkpath, "key/");
  EXPECT_EQ(settings.sourcelinkpath, "files/");
  EXPECT_EQ(settings.keylinks_output, 1);
  EXPECT_EQ(settings.cadrelI_output, 1);
  EXPECT_EQ(settings.filelinks_output, 1);
}

TEST(OptionFile, TheLastValueAndTheLastLineWin) {
  Settings settings;
  ASSERT_EQ(read("KEYPATH a/ b/\nNUMBEROFPHRASES 3\nNUMBEROFPHRASES   7\n", settings),
            OptionResult::ok);
  EXPECT_EQ(settings.keypath, "b/");
  EXPECT_EQ(settings.number_of_phrases, 7);
}

TEST(OptionFile, ABlankBeforeTheLineEndEmptiesTheSetting) {
  Settings settings;
  ASSERT_EQ(read("OUTPUTPATH out/ \nNUMBEROFPHRASES 9 \n", settings), OptionResult::ok);
  EXPECT_EQ(settings.path, "");
  EXPECT_EQ(settings.number_of_phrases, 0);
}

TEST(OptionFile, OnlyExactKeysSeparatedBySpaces) {
  Settings settings;
  ASSERT_EQ(read("keypath x/\nKEYPATH\ty/\n# KEYPATH z/\nKEYPATH\n", settings), OptionResult::ok);
  EXPECT_EQ(settings.keypath, "output/key/");
}

TEST(OptionFile, LastLineWithoutLineEndIsTakenWhole) {
  Settings settings;
  ASSERT_EQ(read("SOURCEPATH docs/", settings), OptionResult::ok);
  EXPECT_EQ(settings.sourcepath, "docs/");
}

TEST(OptionFile, LongValuesAreKeptWhole) {
  Settings settings;
  const std::string long_path(5000, 'p');
  ASSERT_EQ(read("KEYPATH " + long_path + "/\n", settings), OptionResult::ok);
  EXPECT_EQ(settings.keypath, long_path + "/");
}

TEST(OptionFile, ModeIsValidatedValueByValue) {
  Settings settings;
  EXPECT_EQ(read("MODE 3\n", settings), OptionResult::invalid_mode);
  Settings two_then_seven;
  EXPECT_EQ(read("MODE 2 7\n", two_then_seven), OptionResult::invalid_mode);
  Settings word;
  EXPECT_EQ(read("MODE two\n", word), OptionResult::ok);
  EXPECT_EQ(word.mode, 0);
  Settings labelweb;
  EXPECT_EQ(read("MODE -1\n", labelweb, Program::labelweb), OptionResult::invalid_mode);
}

TEST(OptionFile, EachToolPassesOverTheOthersKeys) {
  const std::string text = "KEYLINKS_OUTPUT 0\nKEYFILESLINKPATH k/\nKEA_PROGRAM keyphrases\n";
  Settings calc;
  ASSERT_EQ(read(text, calc, Program::labelcalc), OptionResult::ok);
  EXPECT_EQ(calc.keylinks_output, 1);
  EXPECT_EQ(calc.keylinkpath, "key/");
  EXPECT_EQ(calc.kea_program, "keyphrases");
  Settings web;
  ASSERT_EQ(read(text, web, Program::labelweb), OptionResult::ok);
  EXPECT_EQ(web.keylinks_output, 0);
  EXPECT_EQ(web.keylinkpath, "k/");
  EXPECT_EQ(web.kea_program, "");
}

TEST(Numbers, ConvertLikeTheCLibrary) {
  EXPECT_EQ(to_int("42"), 42);
  EXPECT_EQ(to_int("  -7xyz"), -7);
  EXPECT_EQ(to_int("+5\n"), 5);
  EXPECT_EQ(to_int("abc"), 0);
  EXPECT_EQ(to_int(""), 0);
  EXPECT_EQ(to_int("99999999999999999999"), INT_MAX);
  EXPECT_EQ(to_int("-99999999999999999999"), INT_MIN);
  EXPECT_DOUBLE_EQ(to_double(" 0.25\n"), 0.25);
  EXPECT_DOUBLE_EQ(to_double("1e-3 tail"), 0.001);
  EXPECT_DOUBLE_EQ(to_double("x"), 0.0);
  EXPECT_DOUBLE_EQ(to_double("0." + std::string(300, '0') + "5"), 5e-301) << "long numbers convert whole";
}

TEST(ProcessFile, OneNamePerLineBehindThePath) {
  std::vector<std::string> names;
  FILE* in = testutil::input("a.unit\n\nsub dir/b.unit\nlast");
  const bool ok = walk_process_file(in, "out/", [&](std::string& name) {
    names.push_back(name);
    return true;
  });
  std::fclose(in);
  EXPECT_TRUE(ok);
  EXPECT_EQ(names, (std::vector<std::string>{"out/a.unit", "out/", "out/sub dir/b.unit",
                                              "out/last"}));
}

TEST(ProcessFile, StopsAtTheFirstFailingMap) {
  std::vector<std::string> names;
  FILE* in = testutil::input("one\ntwo\nthree\n");
  const bool ok = walk_process_file(in, "", [&](std::string& name) {
    names.push_back(name);
    return name != "two";
  });
  std::fclose(in);
  EXPECT_FALSE(ok);
  EXPECT_EQ(names, (std::vector<std::string>{"one", "two"}));
}

}  // namespace
}  // namespace somlabel
