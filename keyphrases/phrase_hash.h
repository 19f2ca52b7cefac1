// The 64-bit key that identifies a stemmed phrase in the model's tables.
// It is FNV-1a over the UTF-8 bytes of the stemmed phrase ("neural network"),
// computed word by word so n-grams can be extended without rebuilding strings.
#pragma once

#include <cstdint>
#include <string_view>

namespace somlabel::keyphrases {

inline constexpr std::uint64_t kPhraseHashSeed = 14695981039346656037ULL;

[[nodiscard]] inline std::uint64_t phrase_hash_extend(std::uint64_t h, std::string_view bytes) {
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ULL;
  }
  return h;
}

// Adds one word to a phrase hash; the first word has no separating blank.
[[nodiscard]] inline std::uint64_t phrase_hash_add_word(std::uint64_t h, std::string_view stem,
                                                        bool first) {
  if (!first) h = phrase_hash_extend(h, " ");
  return phrase_hash_extend(h, stem);
}

// 0 marks an empty slot in the model's table, so no phrase hashes to it.
[[nodiscard]] inline std::uint64_t phrase_key(std::uint64_t h) { return h == 0 ? 1 : h; }

[[nodiscard]] inline std::uint64_t phrase_key_of(std::string_view stemmed_phrase) {
  return phrase_key(phrase_hash_extend(kPhraseHashSeed, stemmed_phrase));
}

}  // namespace somlabel::keyphrases
