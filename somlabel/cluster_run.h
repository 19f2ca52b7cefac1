// somlabel --slurm: the run as a graph of batch jobs (cluster.h), submitted
// to Slurm, and on request followed to its end.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/settings.h"
#include "somlabel/steps.h"

namespace somlabel::driver {

// Array tasks per job at most, unless asked otherwise: below Slurm's default
// MaxArraySize of 1001.
inline constexpr std::size_t kDefaultTasks = 1000;
// Documents per slice when the number of slices is not given.
inline constexpr std::size_t kDocumentsPerSlice = 50000;

struct ClusterOptions {
  std::size_t slices = 0;  // of the documents; 0: one per kDocumentsPerSlice
  std::size_t tasks = kDefaultTasks;
  std::vector<std::string> sbatch;  // arguments for sbatch (sbatch_args_for in slurm.h)
  bool wait = false;                // follow the jobs to their end and report
};

// What the run on one machine has settled before its first step.
struct Prepared {
  Layout layout;
  Tools tools;
  Settings settings;  // of the option file, written already
  std::vector<std::string> documents;
  std::vector<std::string> map_options;
  std::string language;                  // the extractor's, from the map options; empty: default
  std::string top_map;                   // the top map's unit file name
  std::vector<std::size_t> layer_slots;  // per layer: how many maps it could have
  bool retrain = false;                  // the maps anew, not from the stored ones
};

// Submits the jobs and prints their ids on standard output ("somlabel: job
// NAME ID"); with `wait`, follows them and prints the site's top page as
// the run on one machine does. The exit status.
[[nodiscard]] int run_on_cluster(const Prepared& prepared, const ClusterOptions& options);

}  // namespace somlabel::driver
