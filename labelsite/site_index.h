// What the site pages show, gathered map by map from the labelunit files:
// the maps and how they hang together, every unit, every document on a leaf
// unit and every label phrase with the units that carry it. Only this index
// outlives a map: each labelunit file is read once, and the index holds no
// page text, so memory grows with the numbers of documents, units and
// distinct phrases, never with the size of a page.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/settings.h"
#include "labelsite/grid_file.h"
#include "labelweb/labelweb_records.h"

namespace somlabel::labelsite {

// Phrases of a unit shown beside each of its documents in the document index.
inline constexpr int kUnitPhrases = 3;

// A map's best phrases shown in the tree of maps (the head of its map key file).
inline constexpr int kMapPhrases = 5;

struct SubMapLink {
  int x = 0;
  int y = 0;
  std::string page;  // the sub-map's page file name, as the map page links it
};

struct SiteMap {
  std::string page_path;  // the map page: the labelunit file's name with ".html"
  std::string title;      // the map's base name: its file name less ".labelunit"
  std::string key_file;   // the map key file its best phrases come from
  int layer = -1;
  int xdim = 0;  // "$XDIM"
  int ydim = 0;  // "$YDIM"
  int units = 0;
  long long documents = 0;                // the units' "$NR_VEC_MAPPED" counts, summed
  std::vector<std::string> best_phrases;  // at most kMapPhrases, best first
  std::vector<SubMapLink> sub_maps;       // units with a sub-map, in file order
  std::string parent_page;                // the page "One Level Up" leads to; empty: none
  std::vector<GridCell> grid;             // from its grid file, row by row; empty: none
};

struct SiteUnit {
  int map = 0;
  int x = 0;
  int y = 0;
  int documents = 0;                         // "$NR_VEC_MAPPED", at least 0
  int phrases[kUnitPhrases] = {-1, -1, -1};  // best first; -1: none
};

struct SiteDocument {
  size_t name_offset = 0;  // into SiteIndex::names
  uint32_t name_size = 0;
  int unit = 0;
};

struct UnitRef {
  int unit = 0;
  int rank = 0;  // place of the phrase in the unit's list, 0 for its best
};

struct SitePhrase {
  std::string text;            // as first met
  std::vector<UnitRef> units;  // in the order met, one entry per unit
};

// Looks strings up by a view, without making a string first.
struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

class SiteIndex {
 public:
  explicit SiteIndex(const Settings& settings) : settings_(settings) {}

  // Starts the map whose labelunit file is `labelunit_name`; its units follow.
  void begin_map(const std::string& labelunit_name);

  // Adds one completed unit of the current map. The documents of a unit
  // with a sub-map are left to the sub-map, when the sub-map came earlier in
  // this run (process files list sub-maps first); otherwise they are
  // indexed here, so that no document goes missing.
  void add_unit(const labelweb::unit& unit);

  // Ends the current map with the map-level values read.
  void end_map(const labelweb::map& map);

  [[nodiscard]] std::string_view name(const SiteDocument& document) const {
    return std::string_view(names_).substr(document.name_offset, document.name_size);
  }

  [[nodiscard]] const std::vector<SiteMap>& maps() const { return maps_; }
  // The map begun last, for what is read after its labelunit file.
  [[nodiscard]] SiteMap& last_map() { return maps_.back(); }
  [[nodiscard]] const std::vector<SiteUnit>& units() const { return units_; }
  [[nodiscard]] const std::vector<SiteDocument>& documents() const { return documents_; }
  [[nodiscard]] const std::vector<SitePhrase>& phrases() const { return phrases_; }
  [[nodiscard]] const Settings& settings() const { return settings_; }

  // The map whose page has the file name `page`, or -1.
  [[nodiscard]] int map_with_page(std::string_view page) const;

 private:
  int phrase_id(std::string_view text);
  void add_labels(int unit, std::span<const phrase> labels, int& kept);

  const Settings& settings_;
  std::vector<SiteMap> maps_;
  std::vector<SiteUnit> units_;
  std::vector<SiteDocument> documents_;
  std::string names_;  // every document name, one after the other
  std::vector<SitePhrase> phrases_;
  // The phrases by their exact text: open addressing on the texts' hashes,
  // each slot the index of a phrase or -1; at most half of them in use. Every
  // label of every unit is looked up here; unlike a map of strings, the table
  // keeps no second copy of the texts, and a text's hash is made once.
  std::vector<int> phrase_slots_;
  std::vector<size_t> phrase_hashes_;                                          // per phrase
  std::unordered_map<std::string, int, TextHash, std::equal_to<>> map_pages_;  // page file name
};

// The maps as a forest: each map hangs below the map that links down to its
// page (the first one, in process-file order), or else below the map its
// "One Level Up" link names. Maps that would close a circle start trees of
// their own.
struct MapTree {
  std::vector<int> roots;                  // in process-file order
  std::vector<std::vector<int>> children;  // per map, in the order of its units
  std::vector<int> parent;                 // per map; -1 for a root
  std::vector<SubMapLink> expands;         // per map: the unit above it expands (page unset)
};

[[nodiscard]] MapTree map_tree(const SiteIndex& index);

}  // namespace somlabel::labelsite
