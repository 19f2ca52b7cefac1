// The languages the tools read. Tokens are found the same way in all of them; stopwords and
// stems differ.
#pragma once

#include <optional>
#include <string_view>

namespace somlabel::text {

// The values are stored in model files: new languages go at the end.
enum class Language { english, german, french, spanish };

// Accepts the English name or the ISO 639-1 code in any case:
// "english"/"en", "german"/"de", "french"/"fr", "spanish"/"es".
[[nodiscard]] std::optional<Language> parse_language(std::string_view name);

// "english", "german", ...: also the name of the language's Snowball stemmer.
[[nodiscard]] std::string_view language_name(Language lang);

}  // namespace somlabel::text
