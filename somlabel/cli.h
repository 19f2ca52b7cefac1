// The somlabel command line: from a folder of documents to the labelled,
// linked pages of its maps in one command, redoing on a rerun only what
// changed. Exit codes in common/exit_codes.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/option_keys.h"

namespace somlabel::driver {

// somlabel's lines in the option file, each below somtrain's part of it:
// both kinds of labels, our extractor (found on PATH) with the model in OUT,
// and key files that a browser shows as text (".key" is a PGP key to it).
struct OptionLine {
  std::string_view key;
  std::string_view value;
};
inline constexpr OptionLine kOptionLines[] = {
    {option_keys::kMode, "2"},
    {option_keys::kNumberOfPhrases, "5"},
    {option_keys::kKeaFileExtension, ".txt"},
    {option_keys::kKeaProgram, "keyphrases"},
    {option_keys::kKeaModel, "model"},
};

// The option file `text` with every line of kOptionLines whose key is not
// named below somtrain's marker (anywhere, when it has none) added at its
// end: a key named there is the user's choice and stays.
[[nodiscard]] std::string with_option_lines(std::string_view text);

[[nodiscard]] int run_cli(int argc, char** argv);

}  // namespace somlabel::driver
