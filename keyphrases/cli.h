// The command line: subcommands extract (default), train and docs. Returns the
// exit status (common/exit_codes.h).
#pragma once

namespace somlabel::keyphrases {

[[nodiscard]] int run_cli(int argc, char** argv);

}  // namespace somlabel::keyphrases
