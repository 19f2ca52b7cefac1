// What labelcalc hands the start-up frame (common/frame.h): its option keys,
// its check of the settings and its work on one map.
#pragma once

#include <string>

#include "common/result.h"
#include "common/settings.h"
#include "labelcalc/mode0_batch.h"

namespace somlabel::labelcalc {

// Refuses NUMBEROFPHRASES below 1, with a message.
[[nodiscard]] Result<Told> check_labelcalc_settings(const Settings& settings);

// The process file of this run: in mode 0 and 2 the first map reads the names
// of all maps from it, to batch the extractor's runs (labelcalc/mode0_batch.h).
void use_process_file(std::string name, BatchLimits limits = {});

// One map: do_the_parsman, then write_map_keyfile. Fails after the messages
// of the failing step and, when the pass failed, the line naming the map.
[[nodiscard]] Result<Told> label_map(std::string& map, const Settings& settings);

}  // namespace somlabel::labelcalc
