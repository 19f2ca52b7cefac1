// Parts of speech of English word forms, from WordNet (compiled in at build
// time, see make_pos_lexicon.cpp), so that keyphrase candidates can be noun
// phrases. WordNet lists nouns, verbs, adjectives and adverbs; function words
// are the stopword lists' business, and words it lacks (names, jargon, code)
// come back unknown.
#pragma once

#include <string_view>

namespace somlabel::keyphrases {

enum PartOfSpeech { kNoun, kVerb, kAdjective, kAdverb, kNumPartsOfSpeech };

// How a verb reading of a form is inflected.
enum class VerbForm {
  none,        // no verb reading
  base,        // the lemma itself ("run"): a verb, or often a noun too
  third,       // its -s form ("runs"): a verb or a plural noun
  participle,  // -ed or an irregular past ("computed", "written"): often an adjective
  gerund,      // -ing ("clustering"): often a noun
};

struct WordReadings {
  // Share of each part of speech among the form's readings, from how often
  // WordNet's sense-tagged corpus used them (each reading counts at least a
  // little, so a reading never seen there is rare, not impossible); all zero
  // for a form WordNet does not know.
  double share[kNumPartsOfSpeech] = {};
  VerbForm verb_form = VerbForm::none;
  [[nodiscard]] bool known() const {
    return share[kNoun] + share[kVerb] + share[kAdjective] + share[kAdverb] > 0;
  }
};

// `lowered` is a lower-cased word; inflected forms are traced to their lemmas
// by WordNet's own rules ("networks" -> "network", "geese" -> "goose").
[[nodiscard]] WordReadings english_readings(std::string_view lowered);

}  // namespace somlabel::keyphrases
