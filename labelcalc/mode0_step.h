// Mode-0 labels: the joined text of a unit's documents, run through the
// keyphrase extractor.
#pragma once

#include <cstdio>
#include <string>

#include "common/records.h"
#include "common/result.h"
#include "common/settings.h"

namespace somlabel::labelcalc {

// Joins the unit's documents into the unit text file in the extractor's
// working directory, runs the extractor over that directory, moves the text
// file into the key directory and writes "$MODE0_PHRASES" and one
// "$M0_LABEL" line per line of the unit key file to `opf`. `opf` is the open
// labelunit stream, lent by the caller. Fails after printing why; nothing
// has then been written to `opf`.
//
// Names: the unit text file is kea_tmp_path + map base name + "." +
// pos_x_str + "_" + pos_y_str + ".txt", used exactly as it stands (no shell
// ever sees it); the unit key file is the same with ".key". A unit key file
// of an earlier run is removed before the extractor starts, so only this
// run's result is read. The extractor (see extractor_run.h) is awaited
// without a timeout, and its exit status is not examined.
[[nodiscard]] Result<Told> do_the_catman(const unit& curr_unit, FILE* opf, const std::string& map,
                                         const Settings& settings);

}  // namespace somlabel::labelcalc
