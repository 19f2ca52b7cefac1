// The hierarchy trained in steps that separate processes, on separate
// machines sharing one file system, can run: the tasks of a batch job. Run in
// order with the same options, the steps write the same files as one run of
// somtrain (run() in cli.h), byte for byte:
//
//   count --shard I/N   for I = 1..N: the stem counts of slice I of the
//                       documents (sorted names)
//   vocabulary          the terms of the collection, from all N slices
//   map --map NAME      one map: the top map, or the sub-map of an expanded
//                       unit once the map above it is finished. With more
//                       than one slice the top map is only trained here...
//   assign --shard I/N  ...its documents of slice I are put on its units...
//   finish              ...and its unit file is written from the slices.
//   process             the option file and process files, once every map is
//                       finished.
//
// Instead of --map NAME, `map --layer L --shard I/M` trains slice I of M of
// the maps of layer L (in process order): the maps of one layer are an array
// job whose size need not be known before the layer above is trained. A task
// whose slice is empty has nothing to do.
//
// No step holds more than one document's words, one unit's document names
// and, while a map is trained, the vectors of its training documents (all of
// them, or the sample of HierarchySettings::sample): a map of any size is
// trained from a bounded sample and all its documents streamed past it.
//
// What the steps hand each other lies in WORKDIR/.somtrain/ (kStateFolder):
//   counts-I-of-N   per document of slice I: NAME<TAB>STEM COUNT STEM COUNT...
//   stems-I-of-N    "documents K language LANG", then per stem of the slice:
//                   STEM<TAB>DOCUMENT FREQUENCY<TAB>FORM COUNT FORM COUNT...
//   vocabulary      "documents M", the options line, then per term in term
//                   order: STEM<TAB>LABEL<TAB>DOCUMENT FREQUENCY
//   MAP.codebook    a map's codebook file (codebook_file.h), moved beside its
//                   unit file by the process step
//   MAP.start       "stored" when the map started from the earlier training's
//                   map beside its unit file, else "anew"
//   MAP.earlier     then a copy of that training's unit file: where each
//                   document lay and which units had sub-maps, for the steps
//                   that place its documents after the unit file is rewritten
//   MAP/assign-I-of-K/U.members, U.distances
//                   the documents of slice I that unit U holds: their counts
//                   lines, and line for line their exact distances (%a)
//   MAP.done        written last: "K", then per unit "DOCUMENTS SUBMAP(0|1)"
//   layer-L         the unit files of layer L in process order (process)
// Every file is written under a temporary name and renamed when complete, so
// a task that dies leaves nothing that looks finished.
#pragma once

#include <string_view>

#include "somtrain/options.h"

namespace somlabel::somtrain {

inline constexpr std::string_view kStateFolder = ".somtrain";

[[nodiscard]] bool parse_step(std::string_view name, Step& step);

// Writes the option file of the training, as the process step will: for
// batch jobs that need its paths before the maps are trained. False after
// printing why.
[[nodiscard]] bool write_training_options(const Options& options);

// Runs options.step; false after printing its message, naming the file.
[[nodiscard]] bool run_step(const Options& options);

}  // namespace somlabel::somtrain
