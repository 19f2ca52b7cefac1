// Text primitives shared by the keyphrase extractor and the map trainer:
// languages, tokenizer, Unicode lower-casing, stopword lists and stemming.
//
// Every function takes bytes in memory and accepts any bytes: invalid UTF-8,
// NUL and other control bytes never crash them; such bytes separate words and
// never appear inside a word, so every word handed out is valid UTF-8.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sb_stemmer;

namespace keyphrases {

enum class Language { english, german, french, spanish };

// Accepts the English name or the ISO 639-1 code in any case:
// "english"/"en", "german"/"de", "french"/"fr", "spanish"/"es".
[[nodiscard]] std::optional<Language> parse_language(std::string_view name);
[[nodiscard]] std::string_view language_name(Language lang);  // "english", ...

// One word of the input. `text` points into the tokenized buffer, so the
// buffer must outlive the token.
struct Token {
  std::string_view text;
  std::size_t offset = 0;        // byte offset of text in the input
  bool sentence_start = false;   // first word of the text or of a sentence (. ! ? before it)
  bool phrase_start = false;     // a phrase may not run across into this word from the one
                                 // before: set at every sentence start and after punctuation
                                 // such as , ; : ( ) ", a blank line, or a line break
                                 // before a capitalised word
  bool is_number = false;        // digits only, perhaps joined by . ' - ("3", "2.5"; not "4th")
};

// Words are maximal runs of Unicode letters, marks and digits; an apostrophe,
// hyphen or period between two such characters stays inside the word
// ("don't", "self-organizing", "3.5", "U.S"). All else separates words.
[[nodiscard]] std::vector<Token> tokenize(std::string_view text);

// Unicode-aware lower-casing (full case folding is not applied: "Straße"
// stays "straße"). Invalid UTF-8 bytes are dropped.
[[nodiscard]] std::string lower(std::string_view word);

// `word` must already be lower-cased. Lists are common function words of the
// language; the English list also holds frequent verbs and adverbs that do not
// start or end a keyphrase.
[[nodiscard]] bool is_stopword(Language lang, std::string_view word);

// Snowball stemmer for one language. Not thread-safe: one instance per thread.
// The constructor throws std::bad_alloc when Snowball cannot allocate.
// stem() expects a lower-cased word; the returned view stays valid until the
// next call to stem() on this instance.
class Stemmer {
 public:
  explicit Stemmer(Language lang);
  ~Stemmer();
  Stemmer(const Stemmer&) = delete;
  Stemmer& operator=(const Stemmer&) = delete;
  Stemmer(Stemmer&&) noexcept;
  Stemmer& operator=(Stemmer&&) noexcept;

  [[nodiscard]] std::string_view stem(std::string_view lowered_word);
  [[nodiscard]] Language language() const { return lang_; }

 private:
  Language lang_;
  sb_stemmer* stemmer_ = nullptr;
};

}  // namespace keyphrases
