// Finds the words of a text that are code rather than language, so they
// never become keyphrases of prose: declarations and statements (a line or a
// parenthesised group of lines ending in ";", "{" or "}"), preprocessor lines,
// identifiers joined by "_", names called with "(" and the manual section after
// one ("3type" in "intN_t(3type)"), command-line options
// ("-lm"), header names ("complex.h") and the bodies of example programs
// (between braces). Upper-case constants are found by
// their "_" ("O_RDONLY"); a lone acronym is language.
#pragma once

#include <string_view>
#include <vector>

#include "text/tokenizer.h"

namespace somlabel::keyphrases {

// One flag per token of `tokens`, which text::tokenize(bytes) made. When nearly
// all words are code, the text is code (a source file) and nothing is flagged:
// its identifiers are all there is to label it with.
[[nodiscard]] std::vector<bool> code_tokens(std::string_view bytes,
                                            const std::vector<text::Token>& tokens);

}  // namespace somlabel::keyphrases
