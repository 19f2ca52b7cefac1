// Mode-0 labels in batches. Each start of the extractor loads its model, and
// a run over a million documents has a hundred thousand units: rather than
// once per unit, labelcalc joins the unit texts of many maps, in the order of
// the process file, into the extractor's working directory and starts the
// extractor once over all of them. The extractor writes X.key for every X.txt
// there, each from its own text alone, so every unit gets the key file a run
// of its own would give; the pass then takes unit after unit as before.
//
// A batch only goes ahead of the pass: whatever it cannot prepare (a document
// that cannot be read, a unit named twice, a unit file it cannot read) is
// left to the unit's own step (do_the_catman), which says why as it always
// has. A unit is taken from the batch only when its documents are those the
// pass read, so a batch never changes a label.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/records.h"
#include "common/settings.h"

namespace somlabel::labelcalc {

// How far a batch reaches: it takes whole maps until it holds this many units
// or bytes of unit text (which stand in the working directory until their
// units are passed).
struct BatchLimits {
  std::size_t units = 4096;
  std::uint64_t bytes = std::uint64_t{1} << 30;
};

class Mode0Batches {
 public:
  // The maps the walk will pass, in order (each the `path` setting followed by
  // a process-file line). Without a plan no batch is made.
  void plan(std::vector<std::string> maps, BatchLimits limits = {});

  // The walk has come to `map`. A map the plan does not have next ends the
  // batches for the rest of the run.
  void enter_map(const std::string& map);

  // For the unit's step: when the unit's text `stem` + ".txt" has been
  // prepared from the documents `curr_unit` names, whether the extractor
  // could be started over it (its key file, if any, stands beside it);
  // nullopt when the step must join and extract the unit itself. The first
  // unit of a map beyond the last batch prepares the next batch, starting
  // with that map.
  [[nodiscard]] std::optional<bool> take(const unit& curr_unit, const std::string& stem,
                                         const Settings& settings);

  // The pass of the map entered last has ended: the files of its units the
  // pass did not take are removed, and after a failure (which ends the walk)
  // those of the whole batch.
  void leave_map(bool failed);

  // The number of times the extractor was started for batches.
  [[nodiscard]] std::size_t extractor_runs() const { return runs_; }

 private:
  struct Prepared {
    std::uint64_t documents = 0;  // fingerprint of the unit's document names
    std::size_t map = 0;          // index in maps_
    bool joined = false;          // false: the batch ended at this unit
    bool taken = false;           // the unit's step has come to it
  };

  void prepare(std::size_t first, const Settings& settings);
  void remove_leftovers();  // the files of the units not taken

  std::vector<std::string> maps_;
  BatchLimits limits_;
  bool active_ = false;
  std::size_t current_ = 0;   // the map being passed
  std::size_t next_ = 0;      // the next map enter_map expects
  std::size_t prepared_ = 0;  // maps before this one have had their batch
  bool started_ = false;      // whether the last batch's extractor started
  std::size_t runs_ = 0;
  std::unordered_map<std::string, Prepared> units_;  // by stem
};

// The batches of this run of labelcalc.
[[nodiscard]] Mode0Batches& mode0_batches();

// The unit's text file in the extractor's folder, less its ending.
[[nodiscard]] std::string unit_stem(const Settings& settings, const std::string& map,
                                    const unit& u);

// The fingerprint of the documents a unit's labels are made from.
[[nodiscard]] std::uint64_t document_fingerprint(const unit& curr_unit);

}  // namespace somlabel::labelcalc
