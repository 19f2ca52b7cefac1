// The files somtrain writes for labelcalc and labelweb: one unit file per map,
// the two process files and an option file. Texts are built in memory so
// tests can compare them byte for byte; write_outputs puts them on disk.
#pragma once

#include <string>
#include <vector>

#include "somtrain/corpus.h"
#include "somtrain/hierarchy.h"

namespace somtrain {

// Where the files go and what the option file says about the layout.
// All paths are as labelcalc sees them from the working directory, and each
// ends in "/".
struct OutputLayout {
  std::string output_path = "output/";     // OUTPUTPATH: unit files, pages
  std::string source_path;                 // SOURCEPATH: the documents
  std::string source_link_path;            // SOURCEFILESLINKPATH: documents, seen from the pages
};

// The unit file of hierarchy.maps[map]: "$TYPE", "$XDIM", "$YDIM", then per
// unit in row order "$POS_X", "$POS_Y", "$NODE_ID", "$QUANTERROR_NODE",
// "$NR_VEC_MAPPED", "$MAPPED_VECS", "$NR_SOMS_MAPPED", "$URL_MAPPED_SOMS"
// (expanded units only), "$NR_LABELS", "$LABEL".
[[nodiscard]] std::string unit_file_text(const Corpus& corpus, const Hierarchy& hierarchy,
                                         std::size_t map, const std::string& base,
                                         const std::string& output_path);

// Map indices in process order: deepest layer first, so every sub-map comes
// before the map above it; maps of one layer in the order they were trained.
[[nodiscard]] std::vector<std::size_t> process_order(const Hierarchy& hierarchy);

// labelcalc's process file (one unit file name a line) and labelweb's (the
// same names followed by ".labelunit").
[[nodiscard]] std::string process_file_text(const Hierarchy& hierarchy, const std::string& base,
                                            bool for_labelweb);

// The option file both tools read.
[[nodiscard]] std::string option_file_text(const OutputLayout& layout);

// Writes everything under `work_dir`: the option file "options", the process
// files "process" and "process.web", the unit files in work_dir/output_path,
// and creates the key directory and the extractor's working directory there.
// False after printing one message per failure, naming the file.
[[nodiscard]] bool write_outputs(const std::string& work_dir, const OutputLayout& layout,
                                 const Corpus& corpus, const Hierarchy& hierarchy,
                                 const std::string& base);

}  // namespace somtrain
