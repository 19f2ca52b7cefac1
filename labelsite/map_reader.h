// Reading one map for the site: its labelunit file, read once from top to
// bottom by labelweb's reader, and the head of its map key file.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "common/result.h"
#include "labelsite/site_index.h"

namespace somlabel::labelsite {

// The bytes of a map key file read for its best phrases: a header line and
// kMapPhrases phrase lines fit many times over.
inline constexpr size_t kMapKeyHead = size_t{1} << 16;

// Adds the map whose labelunit file is `labelunit_name` to `index`. Fails
// after printing why, when the labelunit file cannot be opened or read. A
// missing or unreadable map key file, or a missing map page, only gets a
// warning: the map is listed without its best phrases, or links to nothing.
[[nodiscard]] Result<Told> read_map(SiteIndex& index, const std::string& labelunit_name);

// The first `count` phrases of a map key file ("$MODE1_PHRASES N", then N
// key-file lines), from its first kMapKeyHead bytes. False when these do not
// have that layout; the phrases read until then stay in `phrases`.
[[nodiscard]] bool read_map_key_phrases(FILE* in, int count, std::vector<std::string>& phrases);

}  // namespace somlabel::labelsite
