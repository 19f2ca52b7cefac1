// A hierarchy of maps: a top map over all documents, and for each unit that
// holds more than `expand` documents a sub-map trained on those documents
// alone, down to `depth` layers.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "somtrain/codebook_file.h"
#include "somtrain/corpus.h"
#include "somtrain/som.h"

namespace somlabel::somtrain {

// The most units a map gets when its size follows its documents: 8 x 6.
inline constexpr int kMaxFittedUnits = 48;

struct HierarchySettings {
  std::string name = "map";  // base of every map name and "$NODE_ID"; no "_", "/" or blank
  Grid top{0, 0};            // a side of 0 follows the documents (fitted_grid)
  Grid sub{0, 0};
  int expand = 20;  // a unit with more documents than this gets a sub-map...
  int depth = 10;   // ...while its map's layer is below this (the top map is layer 1)
  int labels = 5;   // "$LABEL" terms per unit that holds documents
  TrainingSchedule schedule;
  std::size_t sample = 0;  // a map is trained on at most this many of its documents
                           // (a seeded sample); 0: on all of them. All are mapped.
  std::uint64_t seed = 1;
  int jobs = 1;
  std::uint64_t options = 0;  // fingerprint of the options (options_line), stored with the maps
};

// One unit of a trained map.
struct UnitResult {
  std::vector<int> documents;       // corpus document indices, in corpus order
  double quantization_error = 0.0;  // summed distance of its documents to its weights
  std::vector<std::string> labels;  // top-weighted terms, heaviest first; words of three
                                    // characters or more that do not start with a digit
  int sub_map = -1;                 // index into Hierarchy::maps, or -1 for a leaf
  double right = -1.0;              // distance of its weights to the unit's at (x+1, y) and
  double down = -1.0;               // (x, y+1); negative where there is none
};

// One map. Its position in the hierarchy is `path`: the columns and rows of
// the units above it, from the top ("" for the top map, "1_2", "1_2_0_1").
struct MapResult {
  std::string path;
  int layer = 1;
  Grid grid;
  std::vector<UnitResult> units;  // row order
  StoredCodebook codebook = {};   // its model vectors, as they are stored
  // Per unit, whether it had a sub-map in the earlier training this map
  // started from; empty when it was trained anew (or that is not known).
  std::vector<bool> had_sub_map = {};
};

struct Hierarchy {
  std::vector<MapResult> maps;  // maps[0] is the top map; every sub-map after its parent
};

// Called after each map is trained (for progress output).
using MapTrained = std::function<void(const MapResult&)>;

// The map an earlier training stored at a map's path ("" for the top map),
// if there is one to start from.
using StoredMap = std::function<std::optional<StoredCodebook>(const std::string& path)>;

// Trains the hierarchy. Where `stored` gives an earlier training's map of the
// same options for a map (and its documents are not many more or fewer,
// keeps_stored_map), the map keeps its grid and starts from those weights:
// refined with a small neighbourhood (refining_schedule) when its documents
// changed, kept as they are when they did not, so that documents stay where
// they were. Other maps, the maps below them, and every map without `stored`,
// are trained anew.
[[nodiscard]] Hierarchy grow_hierarchy(const Corpus& corpus, const HierarchySettings& settings,
                                       const MapTrained& on_map = {}, const StoredMap& stored = {});

// Whether a map stored when it held `stored_documents` documents is started
// from now that it holds `documents`: while they are at least two thirds and
// at most one and a half times as many. Beyond that its grid no longer fits
// them (fitted_grid) and it is trained anew, and so is every map below it.
[[nodiscard]] bool keeps_stored_map(std::size_t stored_documents, std::size_t documents);

// The epochs that refine a stored map: a few, with the neighbourhood's final
// radius throughout, so units move to the means of their documents without
// the map being rearranged.
[[nodiscard]] TrainingSchedule refining_schedule(const TrainingSchedule& schedule);

// The weights a map of `grid` over `stems` (its local terms) starts from: the
// stored map's, when it is to be kept (same options, keeps_stored_map), else
// none and the map is trained anew. `refine` tells whether its documents
// changed since (their fingerprint).
struct StartingPoint {
  bool kept = false;
  bool refine = false;
  Grid grid;
};
[[nodiscard]] StartingPoint starting_point(const HierarchySettings& settings, int layer,
                                           std::size_t documents, std::uint64_t fingerprint,
                                           const std::optional<StoredCodebook>& stored);

// Names. With base name "map": the top map is "map.unit", the sub-map of its
// unit (1,2) "map_1_2.unit", the sub-map of that one's unit (0,1)
// "map_1_2_0_1.unit". "$NODE_ID" is base, layer, path and the unit's column
// and row joined by "_" ("map_2_1_2_0_1"), so its second field is the layer.
[[nodiscard]] std::string map_file_name(const std::string& base, const MapResult& map);
[[nodiscard]] std::string node_id(const std::string& base, const MapResult& map, int unit);

// The seed of one map: the run's seed mixed with the map's path, so that a map
// does not depend on how many maps were trained before it.
[[nodiscard]] std::uint64_t map_seed(std::uint64_t seed, const std::string& path);
// The seed that draws a map's training sample (HierarchySettings::sample).
[[nodiscard]] std::uint64_t sample_seed(std::uint64_t seed, const std::string& path);

// The "$LABEL" words of a unit: its `count` heaviest terms by `labels` (the
// corpus's label per term), heaviest first, words of three characters or more
// that do not start with a digit.
[[nodiscard]] std::vector<std::string> unit_labels(const Codebook& codebook, int unit,
                                                   const std::vector<std::string>& labels,
                                                   int count);

// A document's share of the fingerprint of a map's documents (the sum of
// its documents' shares): its name and term counts, each term by the
// checksum of its stem, `stem_hashes[term]`.
[[nodiscard]] std::uint64_t document_fingerprint(std::string_view name,
                                                 const std::vector<TermCount>& terms,
                                                 const std::vector<std::uint64_t>& stem_hashes);

// checksum64 of each stem, by term index.
[[nodiscard]] std::vector<std::uint64_t> stem_hashes(const std::vector<std::string>& stems);

// The grid of a map of `documents` documents: the sides of `given` that are
// not 0, and the others so that there is about one unit for every `expand`
// documents, at least 2 (the top map, `top`: 4), at most kMaxFittedUnits, in
// a shape about four units wide to three high. So leaf units hold about
// `expand` documents, and a map stays small enough to read.
[[nodiscard]] Grid fitted_grid(Grid given, std::size_t documents, int expand, bool top);

// The grid of a map of layer `layer` with `documents` documents.
[[nodiscard]] Grid map_grid(const HierarchySettings& settings, int layer, std::size_t documents);

// What an earlier training did with a unit of a map that started from it.
enum class Before { unknown, leaf, expanded };

// The unit's entry of map.had_sub_map: unknown when the map was trained anew.
[[nodiscard]] Before before(const MapResult& map, int unit);

// Whether a unit of `map`, a map of `map_documents` documents, holding
// `documents` of them gets a sub-map: it holds more than `expand`, the map
// lies above the deepest layer, and, on a map of several units, it does not
// hold all of the map's documents (the map could not tell them apart, so
// another below would not either). On a map kept from an earlier training
// the bound has a margin of a quarter of `expand` either way, so that a few
// documents more or fewer do not cut the tree anew: a unit that was a leaf
// expands only with more than 5/4 `expand` documents, and one that had a
// sub-map keeps it while it holds more than 3/4 `expand`.
[[nodiscard]] bool expands(const HierarchySettings& settings, const MapResult& map,
                           std::size_t documents, std::size_t map_documents,
                           Before earlier = Before::unknown);

// The path of the sub-map of `unit` of `map`.
[[nodiscard]] std::string sub_path(const MapResult& map, int unit);

}  // namespace somlabel::somtrain
