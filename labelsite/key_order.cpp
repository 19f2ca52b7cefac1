#include "labelsite/key_order.h"

#include <algorithm>

#include "labelsite/web_text.h"

namespace somlabel::labelsite {
namespace {

// The first eight bytes of `key`, big-endian, zeros after its end: a lower
// prefix means an earlier key.
uint64_t prefix_of(std::string_view key) {
  uint64_t prefix = 0;
  for (size_t i = 0; i < 8; ++i) {
    prefix = (prefix << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
  }
  return prefix;
}

}  // namespace

void KeyOrder::build(size_t count, const std::function<std::string_view(size_t)>& text_of) {
  keys_.clear();
  key_offsets_.assign(1, 0);
  entries_.clear();
  key_offsets_.reserve(count + 1);
  entries_.reserve(count);
  size_t starts[kMaxWords];
  for (size_t i = 0; i < count; ++i) {
    const size_t begin = keys_.size();
    append_search_key(keys_, text_of(i));
    key_offsets_.push_back(keys_.size());
    const std::string_view item_key = std::string_view(keys_).substr(begin);
    // An item with an empty key still has its place, first of all.
    const int words = std::max(word_starts(item_key, starts, kMaxWords), 1);
    starts[0] = 0;
    for (int w = 0; w < words; ++w) {
      entries_.push_back({prefix_of(item_key.substr(starts[w])), static_cast<uint32_t>(i),
                          static_cast<uint32_t>(starts[w])});
    }
  }
  std::sort(entries_.begin(), entries_.end(), [this](const Entry& a, const Entry& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    if (const int order = key(a).compare(key(b)); order != 0) return order < 0;
    if (a.item == b.item) return a.start < b.start;
    if (const int order = key(a.item).compare(key(b.item)); order != 0) return order < 0;
    return a.item < b.item;
  });
}

}  // namespace somlabel::labelsite
