#include "somtrain/hierarchy.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "common/checksum.h"
#include "common/map_names.h"
#include "somtrain/grid_file.h"
#include "somtrain/sample.h"

namespace somlabel::somtrain {
namespace {

constexpr std::size_t kMinLabelBytes = 3;

// Words of one or two characters ("fd", "s1") and words that start with a
// digit ("3type") name little on a map, so they are not shown as labels.
bool readable_label(const std::string& word) {
  return word.size() >= kMinLabelBytes && !(word[0] >= '0' && word[0] <= '9');
}

// The documents a map is trained on: all, or a sample when there are more
// than settings.sample; `earlier` and `chosen_earlier` the units they lay
// on before, if known.
std::vector<SparseVector> training_set(const std::vector<SparseVector>& vectors,
                                       const HierarchySettings& settings, const std::string& path,
                                       const EarlierUnits& earlier, EarlierUnits& chosen_earlier) {
  SampleSelector sample(vectors.size(), settings.sample, sample_seed(settings.seed, path));
  std::vector<SparseVector> chosen;
  for (std::size_t i = 0; i < vectors.size(); ++i) {
    if (!sample.take()) continue;
    chosen.push_back(vectors[i]);
    if (!earlier.empty()) chosen_earlier.push_back(earlier[i]);
  }
  return chosen;
}

MapResult train_map(const Corpus& corpus, const std::vector<std::uint64_t>& hashes,
                    const std::vector<int>& members, std::string path, int layer,
                    const HierarchySettings& settings, const StoredMap& stored, bool& kept) {
  std::uint64_t fingerprint = 0;
  for (int member : members) {
    const Document& document = corpus.documents[static_cast<std::size_t>(member)];
    fingerprint += document_fingerprint(document.name, document.terms, hashes);
  }
  const std::optional<StoredCodebook> earlier = stored ? stored(path) : std::nullopt;
  const StartingPoint start = starting_point(settings, layer, members.size(), fingerprint, earlier);
  const Grid grid = start.grid;
  kept = start.kept;
  const DocumentFrequencies frequencies = member_frequencies(corpus, members);
  const LocalTerms local = local_terms(frequencies);
  std::vector<SparseVector> vectors;
  vectors.reserve(members.size());
  for (int member : members) {
    vectors.push_back(
        tfidf_vector(corpus.documents[static_cast<std::size_t>(member)].terms, frequencies));
    to_local(vectors.back(), local);
  }
  // Where the documents lay before, on a map kept from an earlier training.
  EarlierUnits earlier_units;
  if (start.kept && earlier->placement.known) {
    earlier_units.reserve(members.size());
    for (int member : members) {
      const auto found = earlier->placement.unit_of.find(
          somlabel::checksum64(corpus.documents[static_cast<std::size_t>(member)].name));
      earlier_units.push_back(found == earlier->placement.unit_of.end() ? -1 : found->second);
    }
  }
  const bool sampled = settings.sample > 0 && vectors.size() > settings.sample;
  EarlierUnits sample_earlier;
  const std::vector<SparseVector> sample =
      sampled ? training_set(vectors, settings, path, earlier_units, sample_earlier)
              : std::vector<SparseVector>{};
  const std::vector<SparseVector>& training = sampled ? sample : vectors;
  const EarlierUnits& training_earlier = sampled ? sample_earlier : earlier_units;
  std::vector<std::string> stems, labels;
  for (std::uint32_t term : local.terms) {
    stems.push_back(corpus.stems[term]);
    labels.push_back(corpus.labels[term]);
  }
  Codebook codebook;
  if (start.kept) {
    codebook = restored_codebook(*earlier, stems);
    if (start.refine)
      train(codebook, training, refining_schedule(settings.schedule), settings.jobs,
            training_earlier);
  } else {
    codebook = initial_codebook(grid, local.terms.size(), training, map_seed(settings.seed, path));
    train(codebook, training, settings.schedule, settings.jobs);
  }
  round_to_stored(codebook);
  const std::vector<Match> bmu = match_vectors(codebook, vectors, settings.jobs, earlier_units);

  MapResult map{std::move(path), layer, grid,
                std::vector<UnitResult>(static_cast<std::size_t>(grid.units())),
                stored_codebook(codebook, stems)};
  if (start.kept && earlier->placement.known) map.had_sub_map = earlier->placement.expanded;
  map.codebook.documents = members.size();
  map.codebook.options = settings.options;
  map.codebook.members = fingerprint;
  for (std::size_t i = 0; i < members.size(); ++i) {
    UnitResult& unit = map.units[static_cast<std::size_t>(bmu[i].unit)];
    unit.documents.push_back(members[i]);
    unit.quantization_error += bmu[i].distance;
  }
  for (int u = 0; u < grid.units(); ++u) {
    UnitResult& unit = map.units[static_cast<std::size_t>(u)];
    if (!unit.documents.empty()) unit.labels = unit_labels(codebook, u, labels, settings.labels);
    const GridUnit neighbours = neighbour_distances(codebook, u);
    unit.right = neighbours.right;
    unit.down = neighbours.down;
  }
  return map;
}

}  // namespace

Hierarchy grow_hierarchy(const Corpus& corpus, const HierarchySettings& settings,
                         const MapTrained& on_map, const StoredMap& stored) {
  Hierarchy hierarchy;
  std::vector<int> all(corpus.documents.size());
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
  const std::vector<std::uint64_t> hashes = stem_hashes(corpus.stems);
  // Per map: whether it started from its stored map. Below a map trained anew
  // the stored maps hold other documents, so its sub-maps are trained anew too.
  std::vector<bool> kept(1, false);
  bool top_kept = false;
  hierarchy.maps.push_back(train_map(corpus, hashes, all, "", 1, settings, stored, top_kept));
  kept[0] = top_kept;
  if (on_map) on_map(hierarchy.maps.back());
  // Breadth first: maps are appended while the loop walks them.
  for (std::size_t m = 0; m < hierarchy.maps.size(); ++m) {
    for (int u = 0; u < hierarchy.maps[m].grid.units(); ++u) {
      const MapResult& parent = hierarchy.maps[m];
      const UnitResult& unit = parent.units[static_cast<std::size_t>(u)];
      if (!expands(settings, parent, unit.documents.size(), parent.codebook.documents,
                   before(parent, u))) {
        continue;
      }
      bool child_kept = false;
      MapResult child =
          train_map(corpus, hashes, unit.documents, sub_path(parent, u), parent.layer + 1, settings,
                    kept[m] ? stored : StoredMap(), child_kept);
      kept.push_back(child_kept);
      hierarchy.maps[m].units[static_cast<std::size_t>(u)].sub_map =
          static_cast<int>(hierarchy.maps.size());
      hierarchy.maps.push_back(std::move(child));
      if (on_map) on_map(hierarchy.maps.back());
    }
  }
  return hierarchy;
}

std::vector<std::string> unit_labels(const Codebook& codebook, int unit,
                                     const std::vector<std::string>& labels, int count) {
  const double* w = codebook.row(unit);
  std::vector<std::size_t> terms;
  for (std::size_t d = 0; d < codebook.dims; ++d) {
    if (w[d] > 0.0 && readable_label(labels[d])) terms.push_back(d);
  }
  const std::size_t keep = std::min(terms.size(), static_cast<std::size_t>(std::max(count, 0)));
  std::partial_sort(
      terms.begin(), terms.begin() + static_cast<std::ptrdiff_t>(keep), terms.end(),
      [w](std::size_t a, std::size_t b) { return w[a] != w[b] ? w[a] > w[b] : a < b; });
  std::vector<std::string> chosen;
  for (std::size_t i = 0; i < keep; ++i) chosen.push_back(labels[terms[i]]);
  return chosen;
}

Grid fitted_grid(Grid given, std::size_t documents, int expand, bool top) {
  const std::size_t per_unit = static_cast<std::size_t>(std::max(expand, 1));
  const int wanted = static_cast<int>(
      std::clamp<std::size_t>((documents + per_unit - 1) / per_unit, top ? 4 : 2, kMaxFittedUnits));
  if (given.xdim > 0 && given.ydim > 0) return given;
  if (given.xdim > 0) return Grid{given.xdim, std::max(1, (wanted + given.xdim - 1) / given.xdim)};
  if (given.ydim > 0) return Grid{std::max(1, (wanted + given.ydim - 1) / given.ydim), given.ydim};
  const int ydim = std::max(1, static_cast<int>(std::lround(std::sqrt(wanted * 0.75))));
  return Grid{(wanted + ydim - 1) / ydim, ydim};
}

bool keeps_stored_map(std::size_t stored_documents, std::size_t documents) {
  return documents * 3 >= stored_documents * 2 && documents * 2 <= stored_documents * 3;
}

TrainingSchedule refining_schedule(const TrainingSchedule& schedule) {
  constexpr int kRefiningEpochs = 3;
  return TrainingSchedule{std::min(kRefiningEpochs, schedule.epochs), schedule.sigma_end,
                          schedule.sigma_end};
}

StartingPoint starting_point(const HierarchySettings& settings, int layer, std::size_t documents,
                             std::uint64_t fingerprint,
                             const std::optional<StoredCodebook>& stored) {
  if (stored && stored->options == settings.options &&
      keeps_stored_map(stored->documents, documents)) {
    return StartingPoint{true, stored->members != fingerprint, stored->grid};
  }
  return StartingPoint{false, false, map_grid(settings, layer, documents)};
}

Grid map_grid(const HierarchySettings& settings, int layer, std::size_t documents) {
  return fitted_grid(layer == 1 ? settings.top : settings.sub, documents, settings.expand,
                     layer == 1);
}

Before before(const MapResult& map, int unit) {
  const auto u = static_cast<std::size_t>(unit);
  if (u >= map.had_sub_map.size()) return Before::unknown;
  return map.had_sub_map[u] ? Before::expanded : Before::leaf;
}

bool expands(const HierarchySettings& settings, const MapResult& map, std::size_t documents,
             std::size_t map_documents, Before earlier) {
  const auto expand = static_cast<std::size_t>(std::max(settings.expand, 0));
  std::size_t bound = expand;
  if (earlier == Before::leaf) bound = expand + expand / 4;
  if (earlier == Before::expanded) bound = expand - expand / 4;
  return map.layer < settings.depth && documents > bound &&
         (documents < map_documents || map.grid.units() == 1);
}

std::string sub_path(const MapResult& map, int unit) {
  std::string coordinates =
      std::to_string(map.grid.x(unit)) + '_' + std::to_string(map.grid.y(unit));
  return map.path.empty() ? coordinates : map.path + '_' + coordinates;
}

std::string map_file_name(const std::string& base, const MapResult& map) {
  const std::string stem = map.path.empty() ? base : base + '_' + map.path;
  return stem + '.' + std::string(somlabel::kSubMapSuffix);
}

std::string node_id(const std::string& base, const MapResult& map, int unit) {
  std::string id = base + '_' + std::to_string(map.layer);
  if (!map.path.empty()) id += '_' + map.path;
  return id + '_' + std::to_string(map.grid.x(unit)) + '_' + std::to_string(map.grid.y(unit));
}

namespace {

std::uint64_t mix(std::uint64_t z) {  // splitmix64's finaliser
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

}  // namespace

std::uint64_t document_fingerprint(std::string_view name, const std::vector<TermCount>& terms,
                                   const std::vector<std::uint64_t>& stem_hashes) {
  std::uint64_t h = somlabel::checksum64(name);
  for (const TermCount& tc : terms) h = mix(mix(h ^ stem_hashes[tc.term]) ^ tc.count);
  return h;
}

std::vector<std::uint64_t> stem_hashes(const std::vector<std::string>& stems) {
  std::vector<std::uint64_t> hashes;
  hashes.reserve(stems.size());
  for (const std::string& stem : stems) hashes.push_back(somlabel::checksum64(stem));
  return hashes;
}

std::uint64_t map_seed(std::uint64_t seed, const std::string& path) {
  std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a over the path
  for (unsigned char c : path) {
    hash ^= c;
    hash *= 1099511628211ULL;
  }
  return mix(seed + hash + 0x9e3779b97f4a7c15ULL);
}

std::uint64_t sample_seed(std::uint64_t seed, const std::string& path) {
  // No map path holds a "/", so this seed is no other map's.
  return map_seed(seed, "sample/" + path);
}

}  // namespace somlabel::somtrain
