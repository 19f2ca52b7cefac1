#include "common/numbers.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace somlabel {
namespace {

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
  EXPECT_DOUBLE_EQ(to_double("0." + std::string(300, '0') + "5"), 5e-301)
      << "long numbers convert whole";
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
  // One text a line otherwise, since the first ends in a line break.
  // clang-format off
  const char* const kTexts[] = {
      "0.123456\n", "1", "-2.5", "+3.25", "+-1", "-+1", "--1", "0x1p3", "0X10", "-0x10", "1e5",
      "1E-5", "1e", "1e+", "1.", ".5", "-.5", "+.5", " \t\v\f\r 7.5", "8\n", "1e308", "1e309",
      "-1e309", "1e-320", "1e-400", "-0", "-0.0", "inf", "-infinity", "nan", "NaN(12)",
      "00012.5000", "1.5e3x", "9007199254740993", "0.1000000000000000055511151231257827",
      "2.2250738585072011e-308", "4.9406564584124654e-324", "1.7976931348623157e308", "",
      " ", "-", "+", "."};
  // clang-format on
  for (const char* text : kTexts) expect_same_as_strtod(text);
  expect_same_as_strtod(std::string("12.5") + '\0' + "99");
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
  for (const char* text :
       {"9007199254740992", "9007199254740993", "900719925474099.3", "1234567890123456789",
        "12345678901234567890", "0.0000000000000000000001", "0.00000000000000000000001", "5."}) {
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

}  // namespace
}  // namespace somlabel
