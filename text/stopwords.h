// Stopword lists: common function words, written for this project. The English list also holds
// frequent verbs, adverbs and vague nouns of running text ("paper", "show", "using") that rarely
// start or end a keyphrase.
#pragma once

#include <string_view>

#include "text/language.h"

namespace somlabel::text {

// `word` must already be lower-cased (text/tokenizer.h). Every English contraction is one
// ("won't", "you'll", "it\u2019s"), with either apostrophe.
[[nodiscard]] bool is_stopword(Language lang, std::string_view word);

}  // namespace somlabel::text
