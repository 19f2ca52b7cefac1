// The records labelweb fills while it reads one labelunit file: the map and
// the unit being read. Both live for the reading of one file and are owned by
// the reader; the page writer only reads them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <string>
#include <utility>
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
  int xdim = 0;          // units per row ("$XDIM")
  int ydim = 0;          // rows ("$YDIM")
  int layer = -1;        // second "_" field of the first "$NODE_ID"; -1 until one is read
  std::string somabove;  // "$SOMABOVE" value as read, newline included; empty: no parent
};

// The entries of one list that the current unit gave, in file order. clear()
// keeps the entries' storage for the next unit, so reading a file allocates
// only while its units still grow; no entry of an earlier unit shows again.
template <typename T>
class UnitList {
 public:
  // A new last entry: a left-over one to be overwritten, or a fresh one.
  T& add() {
    if (size_ == entries_.size()) entries_.emplace_back();
    return entries_[size_++];
  }
  void push_back(T entry) { add() = std::move(entry); }
  void clear() { size_ = 0; }

  [[nodiscard]] int size() const { return static_cast<int>(size_); }
  [[nodiscard]] const T& operator[](int index) const {
    return entries_[static_cast<std::size_t>(index)];
  }

  // The first `count` entries, or all when there are fewer; none for a count
  // below one. A count is the file's own number, which may exceed the
  // entries given: this is what a page shows.
  [[nodiscard]] std::span<const T> first(int count) const {
    const std::size_t shown = static_cast<std::size_t>(std::clamp(count, 0, size()));
    return {entries_.data(), shown};
  }

 private:
  std::vector<T> entries_;
  std::size_t size_ = 0;
};

// One unit of the map. The single values keep the previous unit's values
// until their keys are read again (the reader never clears them), so a block
// that leaves a key out inherits it; the lists and the label counts start
// empty with every unit. The nr_* counts are the file's own numbers.
struct unit {
  int pos_x = 0;
  std::string pos_x_str;  // "$POS_X" value as read
  int pos_y = 0;
  std::string pos_y_str;
  int nr_mapped_vecs = 0;          // "$NR_VEC_MAPPED"
  UnitList<std::string> filelist;  // "$VEC" values without line end, at most kMaxDocuments
  int nr_soms_mapped = 0;          // "$NR_SOMS_MAPPED"; not 0: a sub-map expands the unit
  std::string url_mapped_soms;     // "$URL_MAPPED_SOMS" value as read, newline included

  int nr_mode0_labels = 0;   // "$MODE0_PHRASES", lowered to the lines read when the unit completes
  int nr_mode1_labels = 0;   // "$MODE1_PHRASES", at most kMaxLabels
  int nr_torvel_labels = 0;  // "$NR_LABELS"
  UnitList<phrase> m1_labels;      // mode-1 phrase lines, at most kMaxLabels
  UnitList<phrase> m0_labels;      // "$M0_LABEL" lines, at most kMaxLabels
  UnitList<phrase> torvel_labels;  // "$LABEL" values, at most kMaxLabels; only `phrase` is set
};

}  // namespace somlabel::labelweb
