// Layout of the model file. All numbers little-endian; the file is read by
// mapping it, so every section is 8-byte aligned and needs no parsing.
//
//   Header (64 bytes, below)
//   double weights[n_weights]           ranker parameters (see ranker.h)
//   double statistics[n_statistics]     the training texts' own statistics (kStat* below)
//   PhraseEntry table[table_slots]      open-addressing hash table keyed by
//                                       phrase_key (phrase_hash.h); key 0 = empty slot,
//                                       linear probing, table_slots a power of two
//
// checksum covers every byte after the header (model_checksum): common/checksum.h.
#pragma once

#include <cstdint>

namespace somlabel::keyphrases::model_format {

inline constexpr char kMagic[8] = {'S', 'O', 'M', 'K', 'P', 'H', 'R', '\n'};
// Version 2: candidates are noun phrases, words that never end a phrase have
// a document frequency too, words count the documents using them as code, and
// the statistics section is new.
inline constexpr std::uint32_t kVersion = 2;
inline constexpr std::uint32_t kFlagSupervised = 1;

// Indices into statistics[]; a reader takes the ones it knows.
inline constexpr std::uint32_t kStatPhraseRepeatShare = 0;  // candidates of 2+ words seen twice or
                                                            // more in their text, of all such
inline constexpr std::uint32_t kStatWordRepeatShare = 1;    // the same for one-word candidates
inline constexpr std::uint32_t kStatMeanTokens = 2;         // words (tokens) per text, on average
inline constexpr std::uint32_t kNumStatistics = 3;

struct Header {
  char magic[8];
  std::uint32_t version;
  std::uint32_t language;     // text::Language
  std::uint64_t n_documents;  // documents the frequencies were counted on
  std::uint32_t n_weights;
  std::uint32_t flags;
  std::uint64_t table_slots;
  std::uint64_t n_phrases;
  std::uint64_t checksum;
  std::uint32_t n_statistics;
  std::uint32_t reserved;
};
static_assert(sizeof(Header) == 64);

struct PhraseEntry {
  std::uint64_t key;
  std::uint32_t df;    // documents containing the phrase
  std::uint32_t gold;  // training documents where it was a gold keyphrase
  std::uint32_t
      in_gold;  // one-word phrases: gold keyphrases of training documents holding the word
  std::uint32_t code_df;  // one-word phrases: documents using the word as code (code_filter.h)
};
static_assert(sizeof(PhraseEntry) == 24);

}  // namespace somlabel::keyphrases::model_format
