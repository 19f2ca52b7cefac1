// The English part-of-speech table generated from WordNet, and WordNet's
// rules for tracing inflected forms to their lemmas.
#include "keyphrases/pos_lexicon.h"

#include <gtest/gtest.h>

namespace somlabel::keyphrases {
namespace {

TEST(PosLexicon, ReadingsOfWordForms) {
  struct Case {
    const char* form;
    PartOfSpeech most;  // the most used reading
    bool has_noun;
    VerbForm verb_form;
  } cases[] = {
      {"networks", kNoun, true, VerbForm::third},  // "to network" exists too
      {"calculate", kVerb, false, VerbForm::base},
      {"geese", kNoun, true, VerbForm::none},  // irregular plural
      {"written", kVerb, false, VerbForm::participle},
      {"clustering", kVerb, true, VerbForm::gerund},
      {"probably", kAdverb, false, VerbForm::none},
      {"willing", kAdjective, true, VerbForm::gerund},  // "to will"
      {"lets", kVerb, true, VerbForm::third},           // "let" is a noun in tennis, rarely
      {"larger", kAdjective, false, VerbForm::none},
  };
  for (const auto& c : cases) {
    WordReadings r = english_readings(c.form);
    ASSERT_TRUE(r.known()) << c.form;
    int most = 0;
    for (int p = 1; p < kNumPartsOfSpeech; ++p)
      if (r.share[p] > r.share[most]) most = p;
    EXPECT_EQ(most, c.most) << c.form;
    EXPECT_EQ(r.share[kNoun] > 0, c.has_noun) << c.form;
    EXPECT_EQ(r.verb_form, c.verb_form) << c.form;
  }
}

TEST(PosLexicon, UnknownWordsHaveNoReading) {
  for (const char* form : {"pthread", "", "zzzz", "networks\n", "Networks"})
    EXPECT_FALSE(english_readings(form).known()) << form;
}

}  // namespace
}  // namespace somlabel::keyphrases
