// The run of somlabel on a Slurm cluster as a graph of batch jobs, each a
// script of ours around one tool, so that the files are those of a run on
// one machine, byte for byte. Every job sees OUT and DOCS on the file
// system the nodes share.
//
//   model           keyphrases train                  (when the model is due)
//   keys[N]         keyphrases docs --shard I/N       after model
//   count[N]        somtrain --step count             (at once)
//   vocabulary      somtrain --step vocabulary        after count
//   map             the top map                       after vocabulary
//   assign[N]       its documents, slice I of N       after map      (N > 1)
//   finish          its unit file                     after assign   (N > 1)
//   maps-L[T]       the maps of layer L, L = 2..depth after the layer above
//   process         process files, option file, map options
//   labels-L[T]     labelcalc on the maps of layer L, deepest layer first, each
//                   after the layer below, the key files and the model
//   pages[T]        labelweb on every map             after labels-1
//   site            labelsite, then the steps' own files are removed
//
// A layer's number of maps is known only once the layer above is trained,
// so its arrays have as many tasks as the layer could have maps (at most T),
// and task I takes slice I of the maps there are; a task with none ends at
// once. Each labelcalc task has an extractor working directory of its own
// (mode 0 runs the extractor over every text file there) and moves what the
// extractor leaves into the common one when it is done.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/settings.h"
#include "somlabel/steps.h"

namespace somlabel::driver {

// One batch job: a single task, or an array of tasks 1..tasks.
struct Job {
  std::string name;                // "keys", "labels-2", ...; also the name of its script and logs
  std::size_t tasks = 0;           // 0: a single task
  std::vector<std::size_t> after;  // jobs (indices) that must have ended well first
  std::string script;              // bash; an array task finds its number in SLURM_ARRAY_TASK_ID
};

// What the job graph is made of besides the run's own settings.
struct ClusterPlan {
  std::vector<std::string> map_options;  // somtrain's, as the user gave them
  bool retrain = false;                  // somtrain --retrain: not from the stored maps
  std::string top_map;                   // the top map's unit file name ("map.unit")
  std::vector<std::size_t> layer_slots;  // per layer from the top: how many maps it could have
  std::size_t slices = 1;                // N: slices of the documents
  std::size_t tasks = 100;               // T: tasks of a layer's arrays at most
  std::string language;                  // the extractor's --language; empty: its default
  bool train_model = true;               // the model is due
  bool key_files = true;                 // key files are due...
  bool only_changed = false;             // ...for the documents newer than theirs alone
  std::string key_dir;                   // where they go
  std::string labelsite;                 // the site tool; empty: no site job
};

// The jobs in the order they are submitted: each after the jobs it waits for.
[[nodiscard]] std::vector<Job> cluster_jobs(const Layout& layout, const Tools& tools,
                                            const Settings& settings, const ClusterPlan& plan);

// `text` as one word of a shell command line.
[[nodiscard]] std::string shell_quoted(const std::string& text);

}  // namespace somlabel::driver
