// index.html, the site's front page: how many maps, units, documents and
// phrases there are, the search box, the map view (drawn by its script,
// starting with the top map), the maps as a tree (each with its layer, sizes
// and labels), a legend of what a map page shows, and what the scripts need
// (the maps, where each search slice begins, the links to documents).
#pragma once

#include "labelsite/document_index.h"
#include "labelsite/phrase_index.h"
#include "labelsite/site.h"
#include "labelsite/site_text.h"

namespace somlabel::labelsite {

// Written last: it needs both indexes ordered and every search data file
// written; `label_firsts` are the first keys of the labels' search slices.
// False after printing why.
[[nodiscard]] bool write_front_page(Site& site, const DocumentIndex& documents,
                                    const PhraseIndex& phrases, const SiteText& text,
                                    const std::vector<std::string>& label_firsts);

}  // namespace somlabel::labelsite
