// The search data of one kind, "d" (documents) or "p" (phrases): entries in
// the order of their keys, cut into slices of about kSearchFileSize, each
// the file search/<kind><N>.js holding one call
//   somlabelShard("<kind>",<N>,[entry,
//   entry, ...]);
// index.html keeps the first key of each slice, so that a query loads only
// the slices its keys fall into (labelsite/search.js).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "labelsite/site.h"

namespace somlabel::labelsite {

// A slice ends after the entry that takes it to this size.
inline constexpr size_t kSearchFileSize = size_t{32} << 10;

// Creates the folder search/ of the site unless it exists. False after
// printing why.
[[nodiscard]] bool make_search_folder(const Site& site);

class SearchSlices {
 public:
  // Slices of about kSearchFileSize, or of `entries_per_slice` entries each.
  SearchSlices(Site& site, char kind, size_t entries_per_slice = 0)
      : site_(site), kind_(kind), entries_per_slice_(entries_per_slice) {}

  // The text to append the next entry to (JSON), whose key is `key`; null
  // once a file could not be written (the message has been printed).
  [[nodiscard]] PageText* next(std::string_view key);

  // Ends the last slice and removes the slices an earlier, larger site left.
  [[nodiscard]] bool finish();

  [[nodiscard]] const std::vector<std::string>& firsts() const { return firsts_; }

 private:
  [[nodiscard]] bool close();

  Site& site_;
  char kind_;
  size_t entries_per_slice_;
  size_t entries_ = 0;  // in the open slice
  SiteFile file_;
  bool open_ = false;
  bool failed_ = false;
  std::vector<std::string> firsts_;  // the first key of each slice
};

// The key of an entry as the search script derives it from the entry's text,
// when it can: a number, where the key starts in an ASCII text whose
// lower-cased form is the key (`item_key`). Otherwise the key, as a string.
void append_entry_key(PageText& out, std::string_view text, std::string_view item_key,
                      uint32_t start);

}  // namespace somlabel::labelsite
