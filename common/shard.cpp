#include "common/shard.h"

#include <charconv>

namespace somlabel {
namespace {

std::optional<std::size_t> whole_number(std::string_view text) {
  std::size_t value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

}  // namespace

std::optional<Shard> parse_shard(std::string_view text) {
  const std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const auto index = whole_number(text.substr(0, slash));
  const auto count = whole_number(text.substr(slash + 1));
  if (!index || !count || *index < 1 || *index > *count || *count > kMaxShards) return std::nullopt;
  return Shard{*index, *count};
}

ShardRange shard_range(Shard shard, std::size_t total) {
  // In 128 bits: (index * total) overflows 64 bits for lists beyond 2^44 items.
  auto edge = [&](std::size_t i) {
    return static_cast<std::size_t>(static_cast<unsigned __int128>(i) * total / shard.count);
  };
  return {edge(shard.index - 1), edge(shard.index)};
}

}  // namespace somlabel
