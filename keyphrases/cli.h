// The command line: subcommands extract (default), train and docs.
// Exit codes: 0 success, 1 failure, 2 usage error.
#pragma once

namespace keyphrases {

enum ExitCode : int { kExitSuccess = 0, kExitFailure = 1, kExitUsage = 2 };

[[nodiscard]] int run_cli(int argc, char** argv);

}  // namespace keyphrases
