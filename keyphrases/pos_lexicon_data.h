// The English part-of-speech table that make_pos_lexicon generates from
// WordNet at build time (pos_lexicon_data.cpp in the build tree). Read only
// through pos_lexicon.h.
#pragma once

#include <cstdint>

namespace somlabel::keyphrases::pos_lexicon_data {

// Lemmas in bytewise order, each ended by a NUL; kLemmaOffset[i] is where
// lemma i starts. kLemmaWeight[i][p] is 0 when lemma i has no reading p (noun,
// verb, adjective, adverb), else 1 + 8 log2(1 + times a sense of that reading
// was tagged in WordNet's sense-tagged corpus).
extern const std::uint32_t kLemmaCount;
extern const char kLemmaText[];
extern const std::uint32_t kLemmaOffset[];
extern const std::uint8_t kLemmaWeight[][4];

// Irregular inflected forms ("geese", "written"), sorted like the lemmas; a
// form with several lemmas appears once per lemma.
struct ExceptionTarget {
  std::uint32_t lemma;  // index into the lemma table
  std::uint8_t pos;     // the reading of that lemma this form inflects
};
extern const std::uint32_t kExceptionCount;
extern const char kExceptionText[];
extern const std::uint32_t kExceptionOffset[];
extern const ExceptionTarget kExceptionTarget[];

}  // namespace somlabel::keyphrases::pos_lexicon_data
