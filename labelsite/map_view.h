// The data of the map view, one file per map, loaded by index.html when the
// view shows the map (labelsite/map_view.js draws it):
//   view/m<N>.js  somlabelMap(N,{"x":XDIM,"y":YDIM,"parent":MAP,"at":[X,Y],
//                 "range":[BEGIN,END],"grid":BOOL,"labels":LABELS,"more":N,
//                 "units":[UNIT,...]})
// "parent" is the map above (-1: none), "at" the unit of it that this map
// expands (null: none), "range" the map's documents in the site's order,
// "grid" whether the map has a grid file. A unit is
//   [x, y, begin, end, sub, right, down, qerror, LABELS, more]
// with its documents [begin, end), the map that expands it (-1: none), its
// distances to the right and lower neighbour and its quantisation error
// (null where unknown). LABELS are the site's labels, best first, each
// [phrase, documents with it, [term, ...]] with the terms of its words;
// "more" the labels as good as the last that are not listed.
#pragma once

#include "labelsite/site.h"
#include "labelsite/site_text.h"

namespace somlabel::labelsite {

// Creates the folder view/ and writes a file per map. False after printing why.
[[nodiscard]] bool write_map_views(Site& site, const SiteText& text);

}  // namespace somlabel::labelsite
