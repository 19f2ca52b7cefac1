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

#include "common/settings.h"
#include "labelweb/labelweb_records.h"
#include "labelweb/page_text.h"

namespace somlabel::labelweb {

// Called once per completed unit; the records stay owned by the reader and
// are valid only during the call. Returning false ends the reading.
using UnitHandler = std::function<bool(const unit& unit, const map& map)>;

struct ReadResult {
  int units = 0;        // units completed
  int read_error = 0;   // errno of a failed read of the input, 0 when the input was read to its end
};

// Reads a labelunit file from `in` to its end (or until the handler says
// stop), filling `map`. A unit is
// complete at the next "$POS_X" line or at the end of the input; a file
// without any "$POS_X" line completes no unit. Only the label counts and the
// entries stored per list are reset between units; every other field keeps
// the previous unit's value until its key is read again.
[[nodiscard]] ReadResult read_labelunit(FILE* in, map& map, const UnitHandler& on_unit);

// Reads a labelunit file from `in` and appends its whole map page to `text`:
// the part of every unit (append_html), or, for a file without units, the
// page head and the page end alone. `after_unit` is called after each unit's
// part; it may take the text so far, and returning false ends the reading.
[[nodiscard]] ReadResult read_page(FILE* in, PageText& text, const Settings& settings,
                                   const std::function<bool()>& after_unit);

// read_page with the text written to `page` as it comes.
[[nodiscard]] ReadResult write_page(FILE* in, FILE* page, const Settings& settings);

}  // namespace somlabel::labelweb
