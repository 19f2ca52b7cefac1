// The unit-file pass: copies a map's unit file to its labelunit file, adds
// the "$VEC" lines and the label lines of every unit, and links the map to
// its sub-maps.
#pragma once

#include <cstdio>
#include <string>

#include "common/records.h"
#include "common/result.h"
#include "common/settings.h"

namespace somlabel::labelcalc {

// The label steps the pass calls at a unit's "$MAPPED_VECS" (mode 0 and 2)
// and at a leaf unit's "$NR_SOMS_MAPPED" (mode 1 and 2). Tests replace them.
struct LabelSteps {
  Result<Told> (*catman)(const unit&, FILE*, const std::string& map, const Settings&);
  Result<Told> (*calcman)(const unit&, FILE*, const Settings&);
};

// The steps labelcalc runs: do_the_catman and do_the_calcman.
[[nodiscard]] LabelSteps default_label_steps();

// Reads the unit file from `in` and writes the labelunit lines to `out`.
// `map` is the map name, used in messages and for the mode-0 files. Returns
// a failure after printing why; `out` then ends at the point of failure. When
// a write to `out` has failed (ferror), the pass stops before the next label
// step or sub-map link and fails without a message: the caller, who knows the
// file's name, reports it.
[[nodiscard]] Result<Told> pass_unit_file(FILE* in, FILE* out, const std::string& map,
                                          const Settings& settings, const LabelSteps& steps);

// The whole pass for one map: opens the unit file named `map` and creates
// `map` + ".labelunit". Fails after printing why.
[[nodiscard]] Result<Told> do_the_parsman(const std::string& map, const Settings& settings);

}  // namespace somlabel::labelcalc
