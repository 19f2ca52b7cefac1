#include "labelsite/key_order.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <iterator>
#include <utility>

#include "labelsite/web_text.h"

namespace somlabel::labelsite {
namespace {

// Eight bytes of `key` from `from`, big-endian, zeros after its end: a lower
// prefix means an earlier key.
uint64_t prefix_of(std::string_view key, size_t from) {
  if (key.size() >= from + 8) {
    uint64_t word;
    std::memcpy(&word, key.data() + from, 8);
    // The first byte the highest.
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    return word;
  }
  uint64_t prefix = 0;
  for (size_t i = from; i < from + 8; ++i) {
    prefix = (prefix << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
  }
  return prefix;
}

// A stable radix sort by the two prefix words, a byte at a time from the
// last. The counts of all sixteen bytes come from one pass over the entries;
// a byte that every entry shares needs no pass of its own.
void sort_by_prefix(std::vector<KeyOrder::Entry>& entries) {
  std::array<std::array<size_t, 256>, 16> counts{};
  for (const KeyOrder::Entry& entry : entries) {
    for (int word = 0; word < 2; ++word) {
      uint64_t bytes = entry.prefix[word];
      for (int byte = 8 * word + 7; byte >= 8 * word; --byte, bytes >>= 8) {
        ++counts[static_cast<size_t>(byte)][bytes & 0xff];
      }
    }
  }
  std::vector<KeyOrder::Entry> sorted(entries.size());
  for (int byte = 15; byte >= 0; --byte) {
    std::array<size_t, 256>& count = counts[static_cast<size_t>(byte)];
    if (std::find(count.begin(), count.end(), entries.size()) != count.end()) continue;
    size_t position = 0;
    for (size_t& c : count) position += std::exchange(c, position);
    const int word = byte / 8;
    const int shift = 8 * (7 - byte % 8);
    for (const KeyOrder::Entry& entry : entries) {
      sorted[count[(entry.prefix[word] >> shift) & 0xff]++] = entry;
    }
    entries.swap(sorted);
  }
}

}  // namespace

void KeyOrder::build(size_t count, const std::function<std::string_view(size_t)>& text_of) {
  keys_.clear();
  key_offsets_.assign(1, 0);
  entries_.clear();
  key_offsets_.reserve(count + 1);
  entries_.reserve(count);
  for (size_t i = 0; i < count; ++i) add_item(static_cast<uint32_t>(i), text_of(i));
  sort_by_prefix(entries_);
  sort_equal_prefixes();
}

void KeyOrder::add_item(uint32_t item, std::string_view text) {
  const size_t begin = keys_.size();
  append_search_key(keys_, text);
  key_offsets_.push_back(keys_.size());
  const std::string_view item_key = std::string_view(keys_).substr(begin);
  size_t starts[kMaxWords];
  // An item with an empty key still has its place, first of all.
  const int words = std::max(word_starts(item_key, starts, kMaxWords), 1);
  starts[0] = 0;
  for (int w = 0; w < words; ++w) {
    const std::string_view word = item_key.substr(starts[w]);
    entries_.push_back(
        {{prefix_of(word, 0), prefix_of(word, 8)}, item, static_cast<uint32_t>(starts[w])});
  }
}

void KeyOrder::sort_equal_prefixes() {
  const auto same_prefix = [](const Entry& a, const Entry& b) {
    return a.prefix[0] == b.prefix[0] && a.prefix[1] == b.prefix[1];
  };
  const auto before = [this](const Entry& a, const Entry& b) {
    if (const int order = key(a).compare(key(b)); order != 0) return order < 0;
    if (a.start != b.start) return a.start < b.start;  // a text that starts so, first
    if (const int order = key(a.item).compare(key(b.item)); order != 0) return order < 0;
    return a.item < b.item;
  };
  for (auto run = entries_.begin(); run != entries_.end();) {
    auto end = run + 1;
    while (end != entries_.end() && same_prefix(*run, *end)) ++end;
    if (end - run > 1) std::sort(run, end, before);
    run = end;
  }
}

}  // namespace somlabel::labelsite
