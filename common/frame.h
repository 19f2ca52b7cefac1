// The start-up frame of labelcalc and labelweb: command line, banner, option
// file, the walk over the process file, and the closing time lines. Each tool
// hands it what is its own: its name, usage and help, its option keys, its
// check of the settings and its work on one map.
#pragma once

#include <cstdio>
#include <functional>
#include <span>
#include <string>

#include "common/io.h"
#include "common/result.h"
#include "common/settings.h"

namespace somlabel {

struct Tool {
  const char* name;                 // starts the frame's own messages ("labelcalc: ...")
  const char* operands;             // the usage line after the invocation name
  const char* help;                 // printed below the usage line by --help
  std::span<const OptionKey> keys;  // option keys beyond those every tool knows
  // Refuses settings the tool cannot work with, printing why; may be null.
  Result (*check)(const Settings& settings);
  // The work on one map. `name` is the `path` setting followed by one
  // process-file line less its line end; the work may change it in place
  // (labelweb appends the page ending). Fails after printing its messages.
  Result (*work)(std::string& name, const Settings& settings);
};

// Walks the process file: one call of `work` per line, in order, with the
// `path` setting followed by the line less its line end; stops at the first
// failing map. The reader's failure() tells whether the file was read to its
// end.
[[nodiscard]] Result walk_process_file(LineReader& in, const std::string& path,
                                       const std::function<Result(std::string& name)>& work);

// The whole run of a tool. Returns the exit status.
[[nodiscard]] int run_frame(int argc, char** argv, const Tool& tool);

}  // namespace somlabel
