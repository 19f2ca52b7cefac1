#include "common/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "common/numbers.h"

namespace somlabel {
namespace {

constexpr OptionSpec kSpecs[] = {valued("--xdim"), valued("-n"), flag("--progress")};

// The arguments, split at blanks, read by kSpecs: each option as "name=value"
// (an unknown one with a "?" before it), each operand as itself, or the
// reason it was refused.
std::string read(const std::string& text, UnknownOptions unknown = UnknownOptions::refuse) {
  std::vector<std::string> words;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find(' ', start), text.size());
    words.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  std::vector<char*> args;
  for (std::string& word : words) args.push_back(word.data());
  CommandLine line;
  const Result<Reason> parsed = parse_command_line(args, kSpecs, line, unknown);
  if (!parsed) return "refused: " + parsed.message();
  std::string seen;
  for (const GivenOption& o : line.options) seen += o.name + "=" + o.value + " ";
  for (const GivenOption& o : line.unknown) {
    seen += "?" + o.name + (o.joined ? "==" : "=") + o.value + " ";
  }
  for (const std::string& operand : line.operands) seen += operand + " ";
  return seen;
}

TEST(CommandLine, ReadsOptionsAndOperands) {
  const struct {
    const char* args;
    UnknownOptions unknown;
    const char* want;
  } kCases[] = {
      {"a --xdim 6 b", UnknownOptions::refuse, "--xdim=6 a b "},
      {"--xdim=6 -n 3 --progress a", UnknownOptions::refuse, "--xdim=6 -n=3 --progress= a "},
      {"--xdim -1 a", UnknownOptions::refuse, "--xdim=-1 a "},  // a value may start with "-"
      {"- a", UnknownOptions::refuse, "- a "},                  // "-" alone is an operand
      {"-n=3", UnknownOptions::refuse, "refused: unknown option -n=3"},  // joined: long only
      {"--xdim", UnknownOptions::refuse, "refused: --xdim wants a value"},
      {"--progress=1", UnknownOptions::refuse, "refused: --progress takes no value"},
      {"--bogus 1 a", UnknownOptions::refuse, "refused: unknown option --bogus"},
      {"--depth 3 --seed=7 a", UnknownOptions::keep, "?--depth=3 ?--seed==7 a "},
      {"a --depth", UnknownOptions::keep, "refused: --depth wants a value"},
  };
  for (const auto& c : kCases) EXPECT_EQ(read(c.args, c.unknown), c.want) << c.args;
}

TEST(CommandLine, TheLastValueGivenCounts) {
  char a[] = "-n", b[] = "1", c[] = "-n", d[] = "2";
  char* args[] = {a, b, c, d};
  CommandLine line;
  ASSERT_TRUE(parse_command_line(args, kSpecs, line).ok());
  EXPECT_EQ(line.value("-n"), "2");
  EXPECT_EQ(line.value("--xdim", "8"), "8");
  EXPECT_FALSE(line.has("--progress"));
}

TEST(Numbers, WholeNumbersAreReadStrictly) {
  const struct {
    const char* text;
    long min, max;
    std::optional<long> want;
  } kCases[] = {
      {"12", 1, 100, 12},
      {"1", 1, 100, 1},
      {"100", 1, 100, 100},
      {"0", 1, 100, std::nullopt},
      {"101", 1, 100, std::nullopt},
      {"-3", -5, 5, -3},
      {"+3", 1, 100, std::nullopt},
      {" 3", 1, 100, std::nullopt},
      {"3 ", 1, 100, std::nullopt},
      {"3x", 1, 100, std::nullopt},
      {"", 1, 100, std::nullopt},
      {"0x10", 0, 100, std::nullopt},
      {"99999999999999999999", 0, LONG_MAX, std::nullopt},
  };
  for (const auto& c : kCases) EXPECT_EQ(parse_whole<long>(c.text, c.min, c.max), c.want) << c.text;
  EXPECT_EQ(parse_whole<unsigned>("-1"), std::nullopt) << "no sign for an unsigned type";
}

TEST(Numbers, DecimalsAreReadStrictly) {
  const struct {
    const char* text;
    std::optional<double> want;
  } kCases[] = {
      {"2", 2.0},
      {"0.5", 0.5},
      {"1e-3", 0.001},
      {"-0.25", -0.25},
      {"+1", std::nullopt},
      {" 1", std::nullopt},
      {"1 ", std::nullopt},
      {"0x1p3", std::nullopt},
      {"inf", std::nullopt},
      {"nan", std::nullopt},
      {"1e999", std::nullopt},
      {"", std::nullopt},
      {".", std::nullopt},
  };
  for (const auto& c : kCases) EXPECT_EQ(parse_decimal(c.text), c.want) << c.text;
}

}  // namespace
}  // namespace somlabel
