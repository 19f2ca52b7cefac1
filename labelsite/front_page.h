// index.html, the site's front page: how many maps, units, documents and
// phrases there are, the search box, the maps as a tree (each with its
// layer, sizes and best phrases), a legend of what a map page shows, and
// what the search script needs (the maps, where each search slice begins).
#pragma once

#include "labelsite/document_index.h"
#include "labelsite/phrase_index.h"
#include "labelsite/site.h"

namespace somlabel::labelsite {

// Written last: it needs both indexes ordered and their search data
// written. False after printing why.
[[nodiscard]] bool write_front_page(Site& site, const DocumentIndex& documents,
                                    const PhraseIndex& phrases);

}  // namespace somlabel::labelsite
