#include "labelsite/site_index.h"

#include <algorithm>

#include "common/map_names.h"

namespace somlabel::labelsite {

void SiteIndex::begin_map(const std::string& labelunit_name) {
  SiteMap& map = maps_.emplace_back();
  map.page_path = labelunit_name + std::string(kPageEnding);
  std::string_view title = base_name(labelunit_name);
  if (title.ends_with(kLabelunitEnding)) title.remove_suffix(kLabelunitEnding.size());
  map.title = title;
  map.key_file = key_file_name(settings_, map.title);
}

int SiteIndex::map_with_page(std::string_view page) const {
  const auto found = map_pages_.find(page);
  return found == map_pages_.end() ? -1 : found->second;
}

int SiteIndex::phrase_id(std::string_view text) {
  if (2 * (phrases_.size() + 1) > phrase_slots_.size()) {
    phrase_slots_.assign(std::max<size_t>(2 * phrase_slots_.size(), 1024), -1);
    const size_t mask = phrase_slots_.size() - 1;
    for (size_t id = 0; id < phrases_.size(); ++id) {
      size_t slot = phrase_hashes_[id] & mask;
      while (phrase_slots_[slot] != -1) slot = (slot + 1) & mask;
      phrase_slots_[slot] = static_cast<int>(id);
    }
  }
  const size_t hash = TextHash{}(text);
  const size_t mask = phrase_slots_.size() - 1;
  size_t slot = hash & mask;
  for (; phrase_slots_[slot] != -1; slot = (slot + 1) & mask) {
    const auto id = static_cast<size_t>(phrase_slots_[slot]);
    if (phrase_hashes_[id] == hash && phrases_[id].text == text) return static_cast<int>(id);
  }
  const int id = static_cast<int>(phrases_.size());
  phrase_slots_[slot] = id;
  phrase_hashes_.push_back(hash);
  phrases_.emplace_back().text = text;
  return id;
}

// Labels of one list of the unit; the unit's refs were added last, so a
// phrase met again in the same unit is found at the end of its list.
void SiteIndex::add_labels(int unit, std::span<const phrase> labels, int& kept) {
  SiteUnit& site_unit = units_[static_cast<size_t>(unit)];
  for (int rank = 0; rank < static_cast<int>(labels.size()); ++rank) {
    // The last "$LABEL" value of a line keeps the line end.
    std::string_view text = labels[static_cast<size_t>(rank)].phrase;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    if (text.find_first_not_of(" \t") == std::string_view::npos) continue;
    const int id = phrase_id(text);
    std::vector<UnitRef>& refs = phrases_[static_cast<size_t>(id)].units;
    if (!refs.empty() && refs.back().unit == unit) {
      refs.back().rank = std::min(refs.back().rank, rank);
      continue;
    }
    refs.push_back({unit, rank});
    if (kept < kUnitPhrases) site_unit.phrases[kept++] = id;
  }
}

void SiteIndex::add_unit(const labelweb::unit& unit) {
  SiteMap& map = maps_.back();
  const int id = static_cast<int>(units_.size());
  SiteUnit& site_unit = units_.emplace_back();
  site_unit.map = static_cast<int>(maps_.size()) - 1;
  site_unit.x = unit.pos_x;
  site_unit.y = unit.pos_y;
  site_unit.documents = std::max(unit.nr_mapped_vecs, 0);
  ++map.units;
  map.documents += site_unit.documents;

  // The lists as the map page shows them, in its order of importance.
  int kept = 0;
  add_labels(id, unit.m1_labels.first(unit.nr_mode1_labels), kept);
  add_labels(id, unit.m0_labels.first(unit.nr_mode0_labels), kept);
  if (settings_.cadrelI_output != 0) {
    add_labels(id, unit.torvel_labels.first(unit.nr_torvel_labels), kept);
  }

  if (unit.nr_soms_mapped != 0) {
    std::string page = sub_map_page_name(unit.url_mapped_soms);
    if (!page.empty()) {
      const bool sub_map_indexed = map_pages_.contains(page);
      map.sub_maps.push_back({unit.pos_x, unit.pos_y, std::move(page)});
      if (sub_map_indexed) return;
    }
  }
  for (const std::string& name : unit.filelist.first(unit.nr_mapped_vecs)) {
    documents_.push_back({names_.size(), static_cast<uint32_t>(name.size()), id});
    names_.append(name);
  }
}

void SiteIndex::end_map(const labelweb::map& map) {
  SiteMap& site_map = maps_.back();
  site_map.layer = map.layer;
  site_map.xdim = map.xdim;
  site_map.ydim = map.ydim;
  site_map.parent_page = parent_page_name(map.somabove);
  map_pages_.try_emplace(std::string(base_name(site_map.page_path)),
                         static_cast<int>(maps_.size()) - 1);
}

MapTree map_tree(const SiteIndex& index) {
  const std::vector<SiteMap>& maps = index.maps();
  const size_t count = maps.size();
  MapTree tree;
  tree.children.resize(count);
  tree.parent.assign(count, -1);
  tree.expands.assign(count, SubMapLink{-1, -1, {}});

  // Whether `candidate` is `of` or above it: hanging it below `of` would close a circle.
  const auto is_ancestor = [&tree](int candidate, int of) {
    for (int at = of; at != -1; at = tree.parent[static_cast<size_t>(at)]) {
      if (at == candidate) return true;
    }
    return false;
  };
  const auto hang = [&](int child, int parent, int x, int y) {
    if (child == -1 || tree.parent[static_cast<size_t>(child)] != -1) return;
    if (is_ancestor(child, parent)) return;
    tree.parent[static_cast<size_t>(child)] = parent;
    tree.children[static_cast<size_t>(parent)].push_back(child);
    tree.expands[static_cast<size_t>(child)] = {x, y, {}};
  };
  for (size_t m = 0; m < count; ++m) {
    for (const SubMapLink& link : maps[m].sub_maps) {
      hang(index.map_with_page(link.page), static_cast<int>(m), link.x, link.y);
    }
  }
  for (size_t m = 0; m < count; ++m) {
    if (maps[m].parent_page.empty()) continue;
    const int parent = index.map_with_page(maps[m].parent_page);
    if (parent != -1) hang(static_cast<int>(m), parent, -1, -1);
  }
  for (size_t m = 0; m < count; ++m) {
    if (tree.parent[m] == -1) tree.roots.push_back(static_cast<int>(m));
  }
  return tree;
}

}  // namespace somlabel::labelsite
