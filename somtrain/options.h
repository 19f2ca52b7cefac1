// What a run of somtrain is asked to do: the options of the training, and
// for a run of one step (steps.h) which step and which part of the work.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "common/shard.h"
#include "somtrain/corpus.h"
#include "somtrain/hierarchy.h"
#include "text/language.h"

namespace somlabel::somtrain {

enum class Step { count, vocabulary, map, assign, finish, process };

struct StepRequest {
  Step step = Step::count;
  somlabel::Shard shard;   // count, assign; map with `layer`
  std::size_t slices = 1;  // the documents were counted, and the top map's are assigned, in
                           // this many slices (vocabulary, map, finish)
  std::string map;         // map, assign, finish: a unit file name ("map.unit", "map_1_2.unit")
  int layer = 0;           // map: instead of `map`, the slice `shard` of this layer's maps
};

struct Options {
  std::string documents;  // directory of plain-text documents
  std::string work_dir;   // where options, process files and OUTPUTPATH go
  std::string originals;  // what the pages link to, when not `documents` (their text)
  std::string output_path = "output/";
  text::Language language = text::Language::english;
  VocabularyLimits vocabulary;
  HierarchySettings hierarchy;
  std::optional<StepRequest> step;  // one step of a training in steps; none: all at once
  bool progress = false;            // progress on standard error even when it is no terminal
  bool retrain = false;             // train every map anew, not from the stored maps
};

// Every option that decides the maps, in one line: steps of one training
// must agree on it, and maps stored by a training with another line are not
// started from.
[[nodiscard]] std::string options_line(const Options& options);

}  // namespace somlabel::somtrain
