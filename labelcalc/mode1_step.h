// Mode-1 labels of a leaf unit: the document key files of its documents,
// merged in one phrase table.
#pragma once

#include <cstdio>

#include "common/records.h"
#include "common/result.h"
#include "common/settings.h"

namespace somlabel::labelcalc {

// Reads `keypath` + name + `keyfileending` for each document the unit keeps,
// and writes "$MODE1_PHRASES k" and the k best phrase lines to `opf`, the
// open labelunit stream lent by the caller. Fails after printing why;
// nothing has then been written to `opf`.
[[nodiscard]] Result<Told> do_the_calcman(const unit& curr_unit, FILE* opf,
                                          const Settings& settings);

}  // namespace somlabel::labelcalc
