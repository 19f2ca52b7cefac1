// The records labelweb fills while it reads one labelunit file: the map and
// the unit being read. Both live for the reading of one file and are owned by
// the reader; the page writer only reads them.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "common/records.h"

namespace somlabel::labelweb {

// A unit keeps at most this many labels of each kind ("$LABEL" values,
// "$M0_LABEL" lines, mode-1 phrase lines); further ones are not kept.
inline constexpr int kMaxLabels = 200;

// A unit keeps at most kMaxMappedVecs (10000) document names from its "$VEC"
// lines; further names are not kept.
inline constexpr int kMaxDocuments = kMaxMappedVecs;

struct map {
  int xdim = 0;   // units per row ("$XDIM")
  int ydim = 0;   // rows ("$YDIM")
  int layer = -1;  // second "_" field of the first "$NODE_ID"; -1 until one is read
  std::string somabove;  // "$SOMABOVE" value as read, newline included; empty: no parent
};

// One unit of the map. The shared fields keep the previous unit's values
// until their keys are read again (the reader never clears them), so a block
// that leaves a key out inherits it.
//
// The lists are reused from unit to unit without being shrunk: only the
// first *_counter entries of each belong to the current unit, the rest are
// left over from earlier units. The nr_* counts are the file's own numbers
// and may exceed what was stored; shown_count() gives what the page shows.
// (somlabel::unit::label_document_count() does not apply here, because
// `filelist` keeps stale entries.)
struct unit : somlabel::unit {
  int nr_mode0_labels = 0;   // "$MODE0_PHRASES", lowered to m0_counter when the unit completes
  int nr_mode1_labels = 0;   // "$MODE1_PHRASES", at most kMaxLabels
  int nr_torvel_labels = 0;  // "$NR_LABELS"
  std::vector<phrase> m1_labels;      // mode-1 phrase lines, in file order
  std::vector<phrase> m0_labels;      // "$M0_LABEL" lines, in file order
  std::vector<phrase> torvel_labels;  // "$LABEL" values; only `phrase` is filled

  // Entries stored for the current unit, from index 0.
  int vec_counter = 0;
  int m0_counter = 0;
  int m1_counter = 0;
  int torvel_counter = 0;
};

// The number of entries a list shows: the count the file stated, never below
// zero and never beyond the entries stored for this unit (`stored`) or held
// in the list (`held`).
[[nodiscard]] inline int shown_count(int count, int stored, std::size_t held) {
  const int limit = std::min(stored, static_cast<int>(std::min<std::size_t>(held, kMaxDocuments)));
  return std::clamp(count, 0, std::max(limit, 0));
}

}  // namespace somlabel::labelweb
