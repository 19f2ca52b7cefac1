#include "common/shard.h"

#include <gtest/gtest.h>

namespace somlabel {
namespace {

TEST(ParseShard, TakesIOfNAndRefusesTheRest) {
  const auto two_of_eight = parse_shard("2/8");
  ASSERT_TRUE(two_of_eight);
  EXPECT_EQ(two_of_eight->index, 2u);
  EXPECT_EQ(two_of_eight->count, 8u);
  EXPECT_TRUE(parse_shard("1/1"));
  EXPECT_TRUE(parse_shard("1000000/1000000"));
  for (const char* bad : {"", "/", "3", "0/3", "4/3", "1/0", "-1/3", "+1/3", "1/3x", " 1/3",
                          "1/3/4", "a/b", "1/1000001", "99999999999999999999/1"}) {
    EXPECT_FALSE(parse_shard(bad)) << bad;
  }
}

// The slices of every list cover it exactly once, in order, with sizes that
// differ by one at most; a list shorter than the shard count leaves some empty.
TEST(ShardRange, SlicesMeetAndBalance) {
  for (std::size_t total : {0u, 1u, 2u, 7u, 10u, 1000u}) {
    for (std::size_t count : {1u, 2u, 3u, 8u, 13u}) {
      std::size_t next = 0, smallest = total, largest = 0;
      for (std::size_t i = 1; i <= count; ++i) {
        const ShardRange r = shard_range({i, count}, total);
        EXPECT_EQ(r.begin, next) << i << "/" << count << " of " << total;
        next = r.end;
        smallest = std::min(smallest, r.end - r.begin);
        largest = std::max(largest, r.end - r.begin);
      }
      EXPECT_EQ(next, total);
      EXPECT_LE(largest - smallest, 1u);
    }
  }
  EXPECT_EQ(shard_range({2, 3}, 10).begin, 3u);
  EXPECT_EQ(shard_range({2, 3}, 10).end, 6u);
  const std::size_t huge = std::size_t{1} << 62;
  EXPECT_EQ(shard_range({2, 4}, huge).begin, huge / 4);
}

}  // namespace
}  // namespace somlabel
