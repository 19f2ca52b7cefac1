// The site's labels in the search: search/l<N>.js, slices of entries in the
// order of their search keys (as search/p<N>.js), one entry for every word
// of a label:
//   [phrase, key, map, x, y, with, documents, map, x, y, with, documents, ...]
// with the units (x and y -1: whole maps) that have the phrase among their
// labels, at most kSearchUnitsPerLabel, best placed first, each with how
// many of its documents carry the phrase.
#pragma once

#include <string>
#include <vector>

#include "labelsite/site.h"
#include "labelsite/site_text.h"

namespace somlabel::labelsite {

inline constexpr size_t kSearchUnitsPerLabel = 10;

// Writes the slices; `firsts` gets the first key of each. False after
// printing why.
[[nodiscard]] bool write_label_search(Site& site, const SiteText& text,
                                      std::vector<std::string>& firsts);

}  // namespace somlabel::labelsite
