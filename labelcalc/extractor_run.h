// Starting the keyphrase extractor: a process with an argument vector, no
// shell, awaited before the caller goes on.
#pragma once

#include <string>
#include <vector>

#include "common/settings.h"

namespace somlabel::labelcalc {

// The extractor's argument vector, one word per element: "java", the Java
// extractor's class name, then `-l DIR -m MODEL -n N -a`; or, when
// `kea_program` is set, that program followed by the same options.
// Directory, model and count are passed exactly as configured.
[[nodiscard]] std::vector<std::string> extractor_arguments(const Settings& settings);

struct ProgramRun {
  bool started = false;  // false: the program could not be started
  int wait_status = 0;   // as waitpid reports it; only meaningful when started
};

// Starts argv[0] with `argv` as its arguments and waits for it to end. A name
// without "/" is looked up on PATH. The program inherits the environment and
// standard input, output and error (stdout is flushed first so the lines stay
// in order). There is no timeout: a program that hangs holds the caller.
// When it cannot be started, prints one line naming it and the system's
// reason on standard error.
[[nodiscard]] ProgramRun run_program(const std::vector<std::string>& argv);

}  // namespace somlabel::labelcalc
