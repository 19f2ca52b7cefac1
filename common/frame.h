// The start-up frame that labelcalc and labelweb share: command line, banner,
// option file, the walk over the process file, and the closing time lines.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <utility>

#include "common/settings.h"

namespace somlabel {

// The per-map work. `name` is the `path` setting followed by one process-file
// line less its line end; the work may change it in place (labelweb appends
// the page ending). Returns false after printing its own messages.
using MapWork = std::function<bool(std::string& name)>;

// Called for a process-file line read ahead of its map's turn, with the name
// `work` will get.
using MapAhead = std::function<void(const std::string& name)>;

// The per-map work of a tool, and whether it wants the names of the maps to
// come early: `ahead` sees each name up to `lookahead` maps before `work` does.
struct MapWorker {
  MapWorker(MapWork work_) : work(std::move(work_)) {}  // NOLINT: one map at a time
  MapWorker(MapWork work_, MapAhead ahead_, size_t lookahead_)
      : work(std::move(work_)), ahead(std::move(ahead_)), lookahead(lookahead_) {}

  MapWork work;
  MapAhead ahead;
  size_t lookahead = 0;
};

// Checks the settings once the option file is read; returns false after
// printing why a setting is refused.
using SettingsCheck = std::function<bool(const Settings&)>;

// Walks the process file: one call of `work` per line, in order; stops at the
// first failing map. Returns true when every map succeeded. With `ahead`,
// each line is handed to it as soon as it is read, up to `lookahead` lines
// before its `work` call.
[[nodiscard]] bool walk_process_file(FILE* in, const std::string& path, const MapWork& work,
                                     const MapAhead& ahead = {}, size_t lookahead = 0);

// The whole run of a tool. `make_work` is called once the settings are final
// and returns the per-map work. Returns the exit status.
[[nodiscard]] int run_frame(int argc, char** argv, Program program, Settings& settings,
                            const SettingsCheck& check,
                            const std::function<MapWorker(const Settings&)>& make_work);

}  // namespace somlabel
