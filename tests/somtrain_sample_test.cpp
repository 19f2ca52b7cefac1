#include "somtrain/sample.h"

#include <gtest/gtest.h>

#include <vector>

namespace somlabel::somtrain {
namespace {

std::vector<bool> draw(std::size_t total, std::size_t wanted, std::uint64_t seed) {
  SampleSelector sample(total, wanted, seed);
  std::vector<bool> taken;
  for (std::size_t i = 0; i < total; ++i) taken.push_back(sample.take());
  return taken;
}

std::size_t count(const std::vector<bool>& taken) {
  return static_cast<std::size_t>(std::count(taken.begin(), taken.end(), true));
}

TEST(SampleSelector, TakesExactlyTheSizeAskedOrAll) {
  struct Case {
    std::size_t total, wanted, expected;
  };
  for (const Case& c : {Case{10, 3, 3}, Case{10, 0, 10}, Case{10, 10, 10}, Case{10, 11, 10},
                        Case{1, 1, 1}, Case{0, 5, 0}, Case{1000, 1, 1}, Case{1000, 999, 999}}) {
    EXPECT_EQ(count(draw(c.total, c.wanted, 42)), c.expected) << c.total << " " << c.wanted;
  }
  SampleSelector past_the_end(2, 1, 1);
  (void)past_the_end.take();
  (void)past_the_end.take();
  EXPECT_FALSE(past_the_end.take());
}

TEST(SampleSelector, SameSeedSameSampleOtherSeedAnother) {
  EXPECT_EQ(draw(500, 50, 7), draw(500, 50, 7));
  EXPECT_NE(draw(500, 50, 7), draw(500, 50, 8));
}

// Over many seeds every item is taken about wanted/total of the time, the
// first and the last alike (a selector that fills up early would favour the
// first items).
TEST(SampleSelector, EveryItemEquallyLikely) {
  constexpr std::size_t kTotal = 20, kWanted = 5, kDraws = 20000;
  std::vector<std::size_t> hits(kTotal, 0);
  for (std::uint64_t seed = 0; seed < kDraws; ++seed) {
    const auto taken = draw(kTotal, kWanted, seed);
    for (std::size_t i = 0; i < kTotal; ++i) hits[i] += taken[i];
  }
  for (std::size_t i = 0; i < kTotal; ++i) {
    EXPECT_NEAR(static_cast<double>(hits[i]) / kDraws, 0.25, 0.02) << "item " << i;
  }
}

}  // namespace
}  // namespace somlabel::somtrain
