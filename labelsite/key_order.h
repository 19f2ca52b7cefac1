// Items (documents, phrases) in the order of their search keys, once for
// every word of the key: the order of the A-to-Z indexes (the entries for the
// first word) and of the search data (all entries).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace somlabel::labelsite {

// A search finds an item by the start of one of at most this many words.
inline constexpr int kMaxWords = 8;

class KeyOrder {
 public:
  struct Entry {
    // The first sixteen bytes of the entry's key, big-endian: most entries
    // are ordered by these alone, without reading their keys.
    uint64_t prefix[2] = {0, 0};
    uint32_t item = 0;
    uint32_t start = 0;  // where the entry's word starts in the item's key
  };

  // Orders items 0 .. count-1, `text_of(i)` giving item i's text. Entries
  // come by key (bytewise, which is code point order), then by where their
  // word starts (a text that starts with the key comes first), then by the
  // item's whole key, then by item number: the order is total, so the same
  // items always come out the same.
  void build(size_t count, const std::function<std::string_view(size_t)>& text_of);

  [[nodiscard]] const std::vector<Entry>& entries() const { return entries_; }
  [[nodiscard]] std::string_view key(uint32_t item) const {
    return std::string_view(keys_).substr(key_offsets_[item],
                                          key_offsets_[item + 1] - key_offsets_[item]);
  }
  [[nodiscard]] std::string_view key(const Entry& entry) const {
    return key(entry.item).substr(entry.start);
  }

 private:
  // Appends the item's key, and an entry for each word of it.
  void add_item(uint32_t item, std::string_view text);
  // Entries whose first sixteen bytes agree, next to each other once sorted
  // by those, are ordered by the rest.
  void sort_equal_prefixes();

  std::string keys_;                 // every item's key, one after the other
  std::vector<size_t> key_offsets_;  // item i's key: [i] to [i + 1]
  std::vector<Entry> entries_;
};

}  // namespace somlabel::labelsite
