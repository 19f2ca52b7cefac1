// A fixed slice of a sorted list, so that N tasks of an array job share out
// the work with no coordination: task I of N takes slice I, and the N slices
// cover the list exactly once, in order.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace somlabel {

// The index-th of `count` slices, counted from 1 as the command line writes
// it ("2/8").
struct Shard {
  std::size_t index = 1;
  std::size_t count = 1;
};

// The most slices a list may be cut into; far beyond any array job.
inline constexpr std::size_t kMaxShards = 1000000;

// "I/N" with 1 <= I <= N <= kMaxShards, digits only; nullopt otherwise.
[[nodiscard]] std::optional<Shard> parse_shard(std::string_view text);

// The half-open range [begin, end) of a list of `total` items that `shard`
// takes. Consecutive slices meet, and their sizes differ by one at most.
struct ShardRange {
  std::size_t begin = 0;
  std::size_t end = 0;
};
[[nodiscard]] ShardRange shard_range(Shard shard, std::size_t total);

}  // namespace somlabel
