// What a run has to redo, judged by the files' time stamps: a step's outputs
// older than one of its inputs, or than the tool that makes them (an upgrade
// may change them), are redone; everything else is kept.
#pragma once

#include <string>
#include <vector>

#include "common/settings.h"
#include "somlabel/steps.h"

namespace somlabel::driver {

// The maps are retrained when there are none, when the map options differ
// from those of the last training, or when the documents folder, a document
// or somtrain is newer than that training.
[[nodiscard]] bool maps_stale(const Layout& layout, const Tools& tools,
                              const std::vector<std::string>& documents,
                              const std::vector<std::string>& map_options);

// The map options stored by the last training; empty when there are none.
[[nodiscard]] std::vector<std::string> stored_map_options(const Layout& layout);

// The extractor model is trained when there is none or keyphrases is newer,
// and again when more than a tenth of the documents are newer than it: a few
// changed documents hardly move its phrase statistics, and retraining would
// redo every key file.
[[nodiscard]] bool model_stale(const Layout& layout, const Tools& tools,
                               const std::vector<std::string>& documents);

// How many documents have no key file, or one older than the document or
// the model; and whether a key file older than the model is among them (then
// every key file is written again, not only those of changed documents).
// Documents without a key file that are not text are counted apart: the
// tools pass them over, so they never get one.
struct KeyFilesDue {
  size_t count = 0;
  bool model_newer = false;
  size_t binary = 0;
};
[[nodiscard]] KeyFilesDue key_files_due(const Layout& layout,
                                        const std::vector<std::string>& documents,
                                        const std::string& key_dir, const std::string& ending);

// One map of the hierarchy as the plan sees it.
struct MapNode {
  std::string line;                    // its process-file line: the unit file's name
  std::vector<std::string> documents;  // every "$MAPPED_VECS" name
  std::vector<size_t> sub_maps;        // indices of its sub-maps in the plan
  size_t units = 0;
  int xdim = 0;
  int ydim = 0;
};

// The lines of the file `name` (a process file, the stored map options); none
// when there is no such file.
[[nodiscard]] std::vector<std::string> file_lines(const std::string& name);

// The maps of `process` in process-file order, read from their unit files.
// False after printing why a file could not be read.
[[nodiscard]] bool read_maps(const Layout& layout, const Settings& settings,
                             std::vector<MapNode>& maps);

// Which maps labelcalc has to label again, in process-file order: those
// whose labelunit file or map key file is missing or older than the unit
// file, the option file, the model, or a document of the map or its key
// file, labelcalc and (for mode-0 labels) the extractor; and every map above
// one of them, which copies its map key file in.
[[nodiscard]] std::vector<bool> maps_to_label(const Layout& layout, const Tools& tools,
                                              const Settings& settings,
                                              const std::vector<MapNode>& maps);

// A map labelled again appends its "$SOMABOVE" line to each sub-map's
// labelunit file; a sub-map that keeps its labelunit file already ends in
// that line, and would end in it twice. This removes the line from such
// sub-maps, so the run gives the files of a run from scratch. False after
// printing why a file could not be changed.
[[nodiscard]] bool drop_somabove_lines(const Settings& settings, const std::vector<MapNode>& maps,
                                       const std::vector<bool>& labelled, const std::string& out);

// Removes what a map trained before left behind once a new training no
// longer has it: the unit file, labelunit file, page and map key file of a
// map not in `maps` but in `old_lines`, and the joined texts and
// extractor's key files that labelcalc leaves of units no map in `maps`
// has. So a rerun leaves the files of a run from scratch. False after
// printing why a file could not be removed.
[[nodiscard]] bool remove_leftovers(const Layout& layout, const Settings& settings,
                                    const std::vector<std::string>& old_lines,
                                    const std::vector<MapNode>& maps);

// Which pages labelweb has to write again: those missing or older than
// their labelunit file, the option file or labelweb.
[[nodiscard]] std::vector<bool> pages_to_write(const Layout& layout, const Tools& tools,
                                               const Settings& settings,
                                               const std::vector<MapNode>& maps);

// The site's pages are written again when `pages_written` (a map's labels or
// page changed), when index.html is missing, or older than the option file
// or labelsite.
[[nodiscard]] bool site_stale(const Layout& layout, const Tools& tools, const Settings& settings,
                              const std::vector<MapNode>& maps, bool pages_written);

// The site's top page, index.html, beside the top map's page.
[[nodiscard]] std::string site_index(const Layout& layout, const Settings& settings,
                                     const std::vector<MapNode>& maps);

}  // namespace somlabel::driver
