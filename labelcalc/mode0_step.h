// Mode-0 labels: the joined text of a unit's documents, run through the
// keyphrase extractor.
#pragma once

#include <cstdio>
#include <string>

#include "common/records.h"
#include "common/settings.h"

namespace somlabel {

// Joins the unit's documents into the unit text file in the extractor's
// working directory, runs the extractor over that directory, moves the text
// file into the key directory and writes "$MODE0_PHRASES" and one
// "$M0_LABEL" line per line of the unit key file to `opf`. `opf` is the open
// labelunit stream, lent by the caller. Returns false after printing why;
// nothing has then been written to `opf`.
[[nodiscard]] bool do_the_catman(const unit& curr_unit, FILE* opf, const std::string& map,
                                 const Settings& settings);

}  // namespace somlabel
