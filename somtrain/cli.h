// The somtrain command line: options, checks, and the run from documents to
// unit files. Exit codes in common/exit_codes.h.
#pragma once

#include <span>

#include "common/result.h"
#include "somtrain/options.h"

namespace somlabel::somtrain {

// Reads the options and operands of a training (argv without the program's
// name, --help passed over) into `options`; fails with the usage error.
// somlabel judges its map options by it.
[[nodiscard]] Result<Reason> read_options(std::span<char* const> args, Options& options);

// Parses argv into `options`. Returns -1 to go on, or the exit status to end
// with (after --help, or a usage error that has been printed).
[[nodiscard]] int parse_options(int argc, char** argv, Options& options);

// Reads the documents, trains the hierarchy and writes its files.
[[nodiscard]] int run(const Options& options);

[[nodiscard]] int run_cli(int argc, char** argv);

}  // namespace somlabel::somtrain
