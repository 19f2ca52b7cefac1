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

// The tree of maps on the front page goes down as many levels as hold at
// most this many maps together (the top level at least): a tree of
// thousands of maps would make the page slow to open. The maps below are
// reached through the map view and the map pages, and the page says so.
inline constexpr size_t kTreeMaps = 300;

// How many levels of `tree` the front page shows: the most whose maps
// together are at most `most`, and at least 1.
[[nodiscard]] size_t tree_levels_shown(const MapTree& tree, size_t most);

// Written last: it needs both indexes ordered and every search data file
// written; `label_firsts` are the first keys of the labels' search slices.
// False after printing why.
[[nodiscard]] bool write_front_page(Site& site, const DocumentIndex& documents,
                                    const PhraseIndex& phrases, const SiteText& text,
                                    const std::vector<std::string>& label_firsts);

}  // namespace somlabel::labelsite
