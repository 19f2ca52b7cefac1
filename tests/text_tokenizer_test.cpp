// Words of a text: where they start and end, and their lower-case form.
#include "text/tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace somlabel::text {
namespace {

std::vector<std::string> words_of(std::string_view text) {
  std::vector<std::string> out;
  for (const Token& t : tokenize(text)) out.emplace_back(t.text);
  return out;
}

TEST(Tokenize, KeepsJoinersBetweenWordCharactersOnly) {
  EXPECT_EQ(words_of("Self-organizing maps don't stop - ever"),
            (std::vector<std::string>{"Self-organizing", "maps", "don't", "stop", "ever"}));
  EXPECT_EQ(words_of("version 3.5. -dash trailing- end"),
            (std::vector<std::string>{"version", "3.5", "dash", "trailing", "end"}));
}

TEST(Tokenize, MarksSentenceAndPhraseBoundaries) {
  auto t = tokenize("Maps learn, units move. Next one\n\nNew part\nlower Upper");
  ASSERT_EQ(t.size(), 10u);
  EXPECT_TRUE(t[0].sentence_start && t[0].phrase_start);   // Maps: start of text
  EXPECT_FALSE(t[1].phrase_start);                         // learn
  EXPECT_TRUE(t[2].phrase_start && !t[2].sentence_start);  // units: after a comma
  EXPECT_TRUE(t[4].sentence_start && t[4].phrase_start);   // Next: after a period
  EXPECT_TRUE(t[6].sentence_start);                        // New: after a blank line
  EXPECT_FALSE(t[8].phrase_start);                         // lower: line break, small letter
  EXPECT_FALSE(t[9].phrase_start);  // Upper: a capital mid-line breaks nothing
}

TEST(Tokenize, CapitalAfterLineBreakStartsPhraseNotSentence) {
  auto t = tokenize("A title without period\nThe body");
  ASSERT_EQ(t.size(), 6u);
  EXPECT_TRUE(t[4].phrase_start);
  EXPECT_FALSE(t[4].sentence_start);
}

TEST(Tokenize, NumbersAndOffsets) {
  auto t = tokenize("in 2024 the 4th x2 3.5");
  ASSERT_EQ(t.size(), 6u);
  EXPECT_TRUE(t[1].is_number);
  EXPECT_FALSE(t[3].is_number);
  EXPECT_FALSE(t[4].is_number);
  EXPECT_TRUE(t[5].is_number);
  EXPECT_EQ(t[1].offset, 3u);
  EXPECT_EQ(t[5].offset, 19u);
}

TEST(Tokenize, LettersOutsideAsciiBelongToWords) {
  EXPECT_EQ(words_of("Größe naïve café, Σχήμα 日本語"),
            (std::vector<std::string>{"Größe", "naïve", "café", "Σχήμα", "日本語"}));
}

TEST(Tokenize, InvalidBytesSeparateWordsAndNeverJoinThem) {
  std::string text = std::string("ab") + '\xFF' + "cd" + '\0' + "ef" + '\xC3';
  auto t = tokenize(text);
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[0].text, "ab");
  EXPECT_EQ(t[1].text, "cd");
  EXPECT_EQ(t[2].text, "ef");
  EXPECT_TRUE(t[1].phrase_start);
  EXPECT_TRUE(t[2].phrase_start);
  EXPECT_TRUE(tokenize("").empty());
  EXPECT_TRUE(tokenize(std::string(100, '\0')).empty());
}

TEST(Lower, UnicodeAwareAndDropsInvalidBytes) {
  EXPECT_EQ(lower("HeLLo World"), "hello world");
  EXPECT_EQ(lower("ÄÖÜ Straße"), "äöü straße");
  EXPECT_EQ(lower("ΣΧΉΜΑ"), "σχήμα");
  EXPECT_EQ(lower(std::string("A") + '\xFF' + "B"), "ab");
  EXPECT_EQ(lower(""), "");
}

}  // namespace
}  // namespace somlabel::text
