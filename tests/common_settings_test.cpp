#include "common/settings.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
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

// to_double must give exactly what strtod gives on one line of text (up to
// its first NUL), bit for bit: scores are summed and printed, so one ulp shows.
double strtod_of(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

void expect_same_as_strtod(const std::string& text) {
  const double got = to_double(text);
  const double want = strtod_of(text);
  EXPECT_EQ(std::bit_cast<uint64_t>(got), std::bit_cast<uint64_t>(want)) << "text '" << text << "'";
}

TEST(Numbers, DoublesAreExactlyThoseOfStrtod) {
  for (const char* text :
       {"0.123456\n", "1", "-2.5", "+3.25", "+-1", "-+1", "--1", "0x1p3", "0X10", "-0x10", "1e5",
        "1E-5", "1e", "1e+", "1.", ".5", "-.5", "+.5", " \t\v\f\r 7.5", "8\n", "1e308", "1e309",
        "-1e309", "1e-320", "1e-400", "-0", "-0.0", "inf", "-infinity", "nan", "NaN(12)",
        "00012.5000", "1.5e3x", "9007199254740993", "0.1000000000000000055511151231257827",
        "2.2250738585072011e-308", "4.9406564584124654e-324", "1.7976931348623157e308", "",
        " ", "-", "+", "."}) {
    expect_same_as_strtod(text);
  }
  expect_same_as_strtod(std::string("12.5\0""99", 7));
  EXPECT_EQ(to_double("\n8"), 0.0) << "a number on the next line is not read";
  EXPECT_EQ(to_double("0.5\n8"), 0.5);
  expect_same_as_strtod("1" + std::string(400, '0') + ".5");
  expect_same_as_strtod("0." + std::string(400, '9'));
}

TEST(Numbers, RandomTextsConvertLikeStrtod) {
  std::mt19937_64 rng(7);
  const std::string alphabet = "0123456789012345678901234567890123456789..eE+-  \txXpinfa";
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1), length(0, 24);
  for (int n = 0; n < 40000; ++n) {
    std::string text;
    for (size_t k = length(rng); k > 0; --k) text += alphabet[pick(rng)];
    if (n % 2 == 0) text += '\n';
    expect_same_as_strtod(text);
  }
  char buffer[64];
  // Scores as the tools write them, where the short path is taken, and
  // digits around the limits of that path.
  std::uniform_real_distribution<double> score(0, 1e5);
  for (int n = 0; n < 20000; ++n) {
    const double value = score(rng) / (n % 3 == 0 ? 1e4 : 1);
    for (const char* format : {"%f", "-%.6f", "%.10f", "%.15f", "%.0f", "%.22f"}) {
      std::snprintf(buffer, sizeof buffer, format, value);
      expect_same_as_strtod(buffer);
    }
  }
  for (const char* text : {"9007199254740992", "9007199254740993", "900719925474099.3",
                           "1234567890123456789", "12345678901234567890", "0.0000000000000000000001",
                           "0.00000000000000000000001", "5."}) {
    expect_same_as_strtod(text);
  }
  EXPECT_EQ(to_double(" \n5"), 0.0) << "blanks before a line end end the number";
  for (int n = 0; n < 20000; ++n) {
    const double value = std::bit_cast<double>(rng());
    if (std::isnan(value)) continue;
    for (const char* format : {"%.17g", "%f", "%.6f", "%e", "%.3g"}) {
      std::snprintf(buffer, sizeof buffer, format, value);
      expect_same_as_strtod(buffer);
    }
  }
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
