// The labelunit reader and page driver: reads one labelunit file from top to
// bottom in one pass, keeping the map-level values in one `map` record and
// the unit being read in one `unit` record, and hands every completed unit
// to the page writer.
//
// How a line is cut: the key is the first word (leading spaces skipped,
// ended by a space or the line end) and is compared whole; every further
// space-separated piece is one value, handled in turn with the same key, and
// the last one keeps the line's newline. A line whose key is unknown, or a
// key without a value, changes nothing. A line ends at its first NUL byte.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "labelweb/labelweb_records.h"

namespace somlabel::labelweb {

// Called once per completed unit; the records stay owned by the reader and
// are valid only during the call.
using UnitHandler = std::function<void(const unit& unit, const map& map)>;

struct ReadResult {
  int units = 0;        // units completed
  std::string failure;  // why reading stopped before the end of the input; empty at the end
};

// Reads a labelunit file from `in` to its end, filling `map`. A unit is
// complete at the next "$POS_X" line or at the end of the input (not at a
// failure: then the result says why reading stopped); a file
// without any "$POS_X" line completes no unit. Only the label counts and the
// entries stored per list are reset between units; every other field keeps
// the previous unit's value until its key is read again.
[[nodiscard]] ReadResult read_labelunit(FILE* in, map& map, const UnitHandler& on_unit);

}  // namespace somlabel::labelweb
