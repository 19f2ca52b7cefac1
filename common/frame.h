// The start-up frame of the tools that take a process file and an option
// file (labelcalc, labelweb, labelsite), and the main() of every tool.
//
// labelcalc and labelweb run the whole frame (run_frame): command line,
// banner, option file, the walk over the process file and the closing time
// lines, in the format's words. labelsite and somlabel use its parts: the
// command line, the option file and the walk.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>

#include "common/io.h"
#include "common/result.h"
#include "common/settings.h"

namespace somlabel {

// What a tool hands the frame: each tool's own part.
struct Tool {
  const char* help;                 // printed below the usage line by --help
  std::span<const OptionKey> keys;  // option keys beyond those every tool knows
  // labelcalc and labelweb: the banner, the time lines and the format's own
  // words for an invalid MODE (common/format_texts.h).
  bool format_texts = false;
  // Added to the warning about a process file that names no map.
  const char* no_map_note = "";
  // Refuses settings the tool cannot work with, printing why; may be null.
  Result<Told> (*check)(const Settings& settings) = nullptr;
  // The work on one map (run_frame). `name` is the `path` setting followed
  // by one process-file line less its line end; the work may change it in
  // place (labelweb appends the page ending). Fails after its messages.
  Result<Told> (*work)(std::string& name, const Settings& settings) = nullptr;
};

// The body of every tool's main(): names the tool for its messages
// (common/messages.h), sends standard output a line at a time (so that where
// it shares a log with standard error, a message follows the line it belongs
// to), and turns an exception, such as memory running out, into a message
// and exit status 1. Returns the exit status of `run`.
[[nodiscard]] int run_main(const char* name, int (*run)(int argc, char** argv), int argc,
                           char** argv);

// The command line "processfile config_file": nullopt to go on, or the exit
// status to end with after --help or the usage line.
[[nodiscard]] std::optional<int> check_command_line(int argc, char** argv, const Tool& tool);

// Fills `settings` from the option file `name`: the keys every tool knows and
// the tool's own; then the tool's check. Fails after printing why.
[[nodiscard]] Result<Told> read_settings(const Tool& tool, const std::string& name,
                                         Settings& settings);

// Walks the process file `name`: one call of `work` per line, in order, with
// the `path` setting followed by the line less its line end; stops at the
// first failing map. A line that holds a NUL byte fails (it would name
// another file); a file without lines only gets a warning.
[[nodiscard]] Result<Told> walk_maps(const Tool& tool, const std::string& name,
                                     const Settings& settings,
                                     const std::function<Result<Told>(std::string& name)>& work);

// The same walk over lines from `in`, without the checks and messages.
// The reader's failure() tells whether the file was read to its end.
[[nodiscard]] Result<Told> walk_process_file(
    LineReader& in, const std::string& path,
    const std::function<Result<Told>(std::string& name)>& work);

// The whole run of labelcalc and labelweb. Returns the exit status.
[[nodiscard]] int run_frame(int argc, char** argv, const Tool& tool);

}  // namespace somlabel
