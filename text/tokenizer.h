// Words of a text: the tokenizer and Unicode lower-casing.
//
// Both take bytes in memory and accept any bytes: invalid UTF-8, NUL and other control bytes
// never crash them; such bytes separate words and never appear inside a word, so every word
// handed out is valid UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace somlabel::text {

// One word of the input. `text` points into the tokenized buffer, so the
// buffer must outlive the token.
struct Token {
  std::string_view text;
  std::size_t offset = 0;       // byte offset of text in the input
  bool sentence_start = false;  // first word of the text or of a sentence (. ! ? before it)
  bool phrase_start = false;    // a phrase may not run across into this word from the one
                                // before: set at every sentence start and after punctuation
                                // such as , ; : ( ) ", a blank line, or a line break
                                // before a capitalised word
  bool is_number = false;       // digits only, perhaps joined by . ' - ("3", "2.5"; not "4th")
};

// Words are maximal runs of Unicode letters, marks and digits; an apostrophe,
// hyphen or period between two such characters stays inside the word
// ("don't", "self-organizing", "3.5", "U.S"). All else separates words.
[[nodiscard]] std::vector<Token> tokenize(std::string_view text);

// Unicode-aware lower-casing (full case folding is not applied: "Straße"
// stays "straße"). Invalid UTF-8 bytes are dropped.
[[nodiscard]] std::string lower(std::string_view word);

}  // namespace somlabel::text
