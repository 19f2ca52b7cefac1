// The records that the tools share: one phrase, one map unit, and the fixed
// capacities that are part of the data model.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

namespace somlabel {

// A unit keeps at most this many document names; further names in a
// "$MAPPED_VECS" list are copied to the labelunit file but not kept.
inline constexpr int kMaxMappedVecs = 10000;

// Capacity of a phrase table (a unit's mode-1 list, a map's key file).
inline constexpr int kMaxPhrases = 1000;

// One keyphrase. `stemmed_phrase` is its identity; `phrase` is carried along
// for display. `wc_phrase` is part of the record but neither tool uses it.
struct phrase {
  int wc_phrase = 0;
  std::string phrase;
  std::string stemmed_phrase;
  double score = 0.0;
};

// One map unit as read from a unit file. A pass keeps exactly one record per
// map and never clears it between units, so a key that a block leaves out
// keeps the previous unit's value.
struct unit {
  int pos_x = 0;
  std::string pos_x_str;
  int pos_y = 0;
  std::string pos_y_str;
  std::string node_id;
  std::string quanterror_node;
  int nr_mapped_vecs = 0;
  std::vector<std::string> filelist;  // at most kMaxMappedVecs names, in list order
  int nr_soms_mapped = 0;
  std::string url_mapped_soms;

  // The documents the label steps work on: the first nr_mapped_vecs stored
  // names, never more than were stored.
  [[nodiscard]] std::size_t label_document_count() const {
    if (nr_mapped_vecs <= 0) return 0;
    return std::min(static_cast<std::size_t>(nr_mapped_vecs), filelist.size());
  }
};

}  // namespace somlabel
