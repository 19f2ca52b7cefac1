// The files somtrain writes for labelcalc and labelweb: one unit file per map,
// the two process files and an option file. Texts are built in memory so
// tests can compare them byte for byte; write_outputs puts them on disk.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "somtrain/corpus.h"
#include "somtrain/hierarchy.h"
#include "somtrain/options.h"

namespace somlabel::somtrain {

// Where the files go and what the option file says about the layout.
// All paths are as labelcalc sees them from the working directory, and each
// ends in "/".
struct OutputLayout {
  std::string output_path = "output/";  // OUTPUTPATH: unit files, pages
  std::string source_path;              // SOURCEPATH: the documents
  std::string source_link_path;         // SOURCEFILESLINKPATH: documents, seen from the pages
};

// One unit's block of a unit file, as it will be written.
struct UnitBlock {
  int x = 0;
  int y = 0;
  std::string node_id;
  double quantization_error = 0.0;
  std::size_t documents = 0;
  std::string names;                // each document name after a space, in corpus order
  std::string sub_map_address;      // "$URL_MAPPED_SOMS"; empty for a leaf
  std::vector<std::string> labels;  // "$LABEL" words
};

// The "$URL_MAPPED_SOMS" value of the unit that `sub` expands: the sub-map's
// map name (`output_path`, its file name) with its final "unit" replaced by
// "som".
[[nodiscard]] std::string unit_address(const std::string& output_path, const std::string& base,
                                       const MapResult& sub);

// The map-level lines that open a unit file, and one unit's block after them.
[[nodiscard]] std::string unit_file_head(const Grid& grid);
void append_unit_block(std::string& out, const UnitBlock& block);

// The unit file of hierarchy.maps[map]: "$TYPE", "$XDIM", "$YDIM", then per
// unit in row order "$POS_X", "$POS_Y", "$NODE_ID", "$QUANTERROR_NODE",
// "$NR_VEC_MAPPED", "$MAPPED_VECS", "$NR_SOMS_MAPPED", "$URL_MAPPED_SOMS"
// (expanded units only), "$NR_LABELS", "$LABEL".
[[nodiscard]] std::string unit_file_text(const Corpus& corpus, const Hierarchy& hierarchy,
                                         std::size_t map, const std::string& base,
                                         const std::string& output_path);

// The grid file of hierarchy.maps[map] (common/map_grid.h).
[[nodiscard]] std::string grid_file_text(const Hierarchy& hierarchy, std::size_t map);

// Map indices in process order: deepest layer first, so every sub-map comes
// before the map above it; maps of one layer in the order they were trained.
[[nodiscard]] std::vector<std::size_t> process_order(const Hierarchy& hierarchy);

// labelcalc's process file (one unit file name a line) and labelweb's (the
// same names followed by ".labelunit").
[[nodiscard]] std::string process_file_text(const Hierarchy& hierarchy, const std::string& base,
                                            bool for_labelweb);

// The line that ends somtrain's part of the option file: the lines below it
// are the user's, kept when somtrain writes the file again. Both tools pass
// over it as a key they do not know.
inline constexpr std::string_view kOptionFileMarker =
    "# Your own lines go below this one: somtrain keeps them when it writes this file again.\n";

// The option file both tools read: somtrain's lines and the marker.
[[nodiscard]] std::string option_file_text(const OutputLayout& layout);

// Writes the option file `name`: `ours` and the user's lines of the file as
// it stands (merge_option_file); a file that holds those bytes already is
// left as it is.
[[nodiscard]] somlabel::Result<Told> write_option_file(const std::string& name,
                                                       const std::string& ours);

// The option file to write over `old`, the file as it stands: `ours` (the
// text of option_file_text) followed by the lines of `old` below its marker.
// An older file without the marker keeps every line that is not one of
// `ours`; `kept_unmarked` then counts them (0 otherwise).
[[nodiscard]] std::string merge_option_file(std::string_view ours, std::string_view old,
                                            size_t& kept_unmarked);

// The lines above the marker of `old` that `ours` does not hold (without
// their line ends; blank lines left out): an edit the user made there, or a
// path an earlier run wrote. merge_option_file drops them.
[[nodiscard]] std::vector<std::string_view> replaced_option_lines(std::string_view ours,
                                                                  std::string_view old);

// The layout of a training of the options' documents into their work_dir,
// paths as the option file states them: SOURCEPATH the documents (what
// labelcalc reads), SOURCEFILESLINKPATH the originals (what the pages link
// to). Fails after printing why it cannot be stated.
[[nodiscard]] somlabel::Result<Told> output_layout(const Options& options, OutputLayout& layout);

// Whether `name` is the unit file name of a map of the hierarchy named
// `base`: "BASE.unit" or "BASE_X_Y[_X_Y...].unit".
[[nodiscard]] bool is_map_file_name(std::string_view name, std::string_view base);

// Removes the unit files, grid files and codebook files in
// work_dir/output_path of the maps named `base` that `hierarchy` does not
// have (an earlier training's), so that a rerun leaves the files of a run
// from scratch. Fails after printing the message naming the file.
[[nodiscard]] somlabel::Result<Told> remove_gone_maps(const std::string& work_dir,
                                                      const std::string& output_path,
                                                      const Hierarchy& hierarchy,
                                                      const std::string& base);

// Writes the option file "options" (merged with the one there) and the
// process files "process" and "process.web" under `work_dir`, after
// removing the files of maps that are gone (remove_gone_maps), and creates
// the key directory and the extractor's working directory in
// work_dir/output_path. Fails after printing the message naming the file.
[[nodiscard]] somlabel::Result<Told> write_process_files(const std::string& work_dir,
                                                         const OutputLayout& layout,
                                                         const Hierarchy& hierarchy,
                                                         const std::string& base);

// Writes everything under `work_dir`: the option file "options" (merged with
// the one there), the process files "process" and "process.web", the unit
// files, their grid files and codebook files in work_dir/output_path, and creates the key directory
// and the extractor's working directory there. A file that already holds the same bytes is left
// untouched, so time stamps show which maps changed. Fails after printing the message naming the
// file.
[[nodiscard]] somlabel::Result<Told> write_outputs(const std::string& work_dir,
                                                   const OutputLayout& layout, const Corpus& corpus,
                                                   const Hierarchy& hierarchy,
                                                   const std::string& base);

// Where the unit file `text` of a map of `grid` put its documents and which
// of its units had a sub-map. Fails with a message (without the file's name)
// when the file is not one of such a map.
[[nodiscard]] somlabel::Result<Reason> parse_placement(std::string_view text, const Grid& grid,
                                               EarlierPlacement& placement);

// The map an earlier training left at the unit file `unit_file`: its codebook
// (read_stored_codebook) and, from the unit file, where its documents lay.
// None when there is no codebook; a unit file that cannot be read leaves the
// placement unknown after a warning naming it.
[[nodiscard]] std::optional<StoredCodebook> read_earlier_map(const std::string& unit_file);

}  // namespace somlabel::somtrain
