// The map key file: the best phrases of a whole map, gathered from the
// mode-1 blocks of its labelunit file. It has the layout of one mode-1 block,
// so the map above can copy it in as the labels of the unit the map expands.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "common/io.h"
#include "common/result.h"
#include "common/settings.h"
#include "labelcalc/phrase_table.h"

namespace somlabel::labelcalc {

// Merges the phrase lines of every "$MODE1_PHRASES" block of a labelunit
// file into `table`. `name` is used in the format message. Fails after
// printing why; the reader's failure() tells whether it read to the end.
[[nodiscard]] Result<Told> gather_mode1_blocks(LineReader& labelunit, std::string_view name,
                                               PhraseTable& table);

// Reads the map's labelunit file and writes its map key file. Fails after
// printing why.
[[nodiscard]] Result<Told> write_map_keyfile(const std::string& map, const Settings& settings);

}  // namespace somlabel::labelcalc
