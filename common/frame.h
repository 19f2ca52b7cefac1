// The start-up frame that labelcalc and labelweb share: command line, banner,
// option file, the walk over the process file, and the closing time lines.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "common/settings.h"

namespace somlabel {

// The per-map work. `name` is the `path` setting followed by one process-file
// line less its line end; the work may change it in place (labelweb appends
// the page ending). Returns false after printing its own messages.
using MapWork = std::function<bool(std::string& name)>;

// Checks the settings once the option file is read; returns false after
// printing why a setting is refused.
using SettingsCheck = std::function<bool(const Settings&)>;

// Walks the process file: one call of `work` per line, in order; stops at the
// first failing map. Returns true when every map succeeded.
[[nodiscard]] bool walk_process_file(FILE* in, const std::string& path, const MapWork& work);

// The whole run of a tool. `make_work` is called once the settings are final
// and returns the per-map work. Returns the exit status.
[[nodiscard]] int run_frame(int argc, char** argv, Program program, Settings& settings,
                            const SettingsCheck& check,
                            const std::function<MapWork(const Settings&)>& make_work);

}  // namespace somlabel
