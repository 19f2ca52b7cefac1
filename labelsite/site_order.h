// The documents of the site numbered in the order of the map tree: map by
// map from the top, each unit's own documents, then the documents of the
// sub-map that expands it. So the documents of every unit and of every map,
// sub-maps included, have consecutive numbers: a range. The content search
// counts its matches per unit by these ranges, and the site's labels count
// the documents of a unit or map that carry a phrase the same way.
#pragma once

#include <cstdint>
#include <vector>

#include "labelsite/site_index.h"

namespace somlabel::labelsite {

// Documents [begin, end) in the site's order.
struct DocumentRange {
  uint32_t begin = 0;
  uint32_t end = 0;
  [[nodiscard]] uint32_t size() const { return end - begin; }
};

struct SiteOrder {
  std::vector<uint32_t> documents;   // per number: the document of the site index
  std::vector<DocumentRange> units;  // per unit of the site index
  std::vector<DocumentRange> maps;   // per map, its sub-maps included
  std::vector<int> unit_above;       // per map: the unit of the map above that it expands, or -1
};

// Numbers the documents of `index` along `tree` (labelsite/site_index.h).
[[nodiscard]] SiteOrder site_order(const SiteIndex& index, const MapTree& tree);

}  // namespace somlabel::labelsite
