#include "labelcalc/phrase_table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tests/phrase_table_oracle.h"

namespace somlabel::labelcalc {
namespace {

struct Entry {
  std::string stemmed;
  double score;
};

std::vector<Entry> entries_of(const PhraseTable& table) {
  std::vector<Entry> out;
  for (int i = 0; i < table.count(); ++i) {
    out.push_back({table.entry(i).stemmed_phrase, table.entry(i).score});
  }
  return out;
}

PhraseTable table_of(const std::vector<Entry>& entries) {
  PhraseTable table;
  for (const Entry& e : entries)
    EXPECT_NE(table.add(e.stemmed, e.stemmed, e.score), PhraseTable::AddResult::omitted);
  return table;
}

std::string block_of(const PhraseTable& table, int k) {
  char* text = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&text, &size);
  table.write_block(out, k);
  std::fclose(out);
  std::string result(text, size);
  std::free(text);
  return result;
}

TEST(ComparePhrases, WholeWordPartsOnly) {
  EXPECT_EQ(compare_phrases("data mining tool", "mining"), 1);
  EXPECT_EQ(compare_phrases("data mining", "data"), 1);
  EXPECT_EQ(compare_phrases("data mining", "mining"), 1);
  EXPECT_EQ(compare_phrases("datamining", "mining"), 0);
  EXPECT_EQ(compare_phrases("data minings", "mining"), 0);
  EXPECT_EQ(compare_phrases("data mining", "data mining"), 1);
  EXPECT_EQ(compare_phrases("data mining", "text"), 0);
}

TEST(ComparePhrases, OnlyTheFirstOccurrenceCounts) {
  // "mining" first occurs inside "xmining", so the whole word further on is not seen.
  EXPECT_EQ(compare_phrases("xmining mining", "mining"), 0);
  EXPECT_EQ(compare_phrases("minings mining", "mining"), 0);
  EXPECT_EQ(compare_phrases("a mining mining", "mining"), 1);
}

TEST(FilterPhrases, FoldsIntoEveryLongerPhrase) {
  PhraseTable table =
      table_of({{"data", 1.0}, {"data mining", 2.0}, {"mining", 0.5}, {"text mining", 1.0}});
  EXPECT_EQ(table.filter_phrases(), 2);
  const std::vector<Entry> got = entries_of(table);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].stemmed, "data mining");
  EXPECT_DOUBLE_EQ(got[0].score, 3.5);
  EXPECT_EQ(got[1].stemmed, "text mining");
  EXPECT_DOUBLE_EQ(got[1].score, 1.5);
  EXPECT_EQ(table.filter_phrases(), 2) << "a second pass changes nothing";
}

TEST(FilterPhrases, ScoresFlowInTableOrder) {
  PhraseTable forward = table_of({{"web", 1.0}, {"web page", 1.0}, {"web page design", 1.0}});
  EXPECT_EQ(forward.filter_phrases(), 1);
  EXPECT_EQ(forward.entry(0).stemmed_phrase, "web page design");
  EXPECT_DOUBLE_EQ(forward.entry(0).score, 4.0);

  PhraseTable backward = table_of({{"web page design", 1.0}, {"web page", 1.0}, {"web", 1.0}});
  EXPECT_EQ(backward.filter_phrases(), 1);
  EXPECT_DOUBLE_EQ(backward.entry(0).score, 3.0);
}

TEST(FilterPhrases, EqualLengthIsNeverFolded) {
  PhraseTable table = table_of({{"ab", 1.0}, {"ab", 2.0}, {"cd", 1.0}});
  EXPECT_EQ(table.count(), 2) << "the same stemmed phrase merges";
  EXPECT_DOUBLE_EQ(table.entry(0).score, 3.0);
  EXPECT_EQ(table.filter_phrases(), 2);
}

TEST(SortArray, StableAscending) {
  PhraseTable table = table_of({{"x", 2.0}, {"y", 1.0}, {"z", 2.0}, {"w", 1.0}});
  table.sort_array();
  std::string order;
  for (const Entry& e : entries_of(table)) order += e.stemmed;
  EXPECT_EQ(order, "ywxz");
}

TEST(PhraseTable, EmptyTable) {
  PhraseTable table;
  EXPECT_EQ(table.phrase_exists("data"), -1);
  EXPECT_EQ(table.filter_phrases(), 0);
  table.sort_array();
  EXPECT_EQ(table.finish(15), 0);
  EXPECT_EQ(block_of(table, 0), "$MODE1_PHRASES 0\n");
}

TEST(PhraseTable, FirstSurfaceFormStays) {
  PhraseTable table;
  (void)table.add("Data Mining", "data mine", 0.5);
  (void)table.add("data mining", "data mine", 0.25);
  EXPECT_EQ(table.phrase_exists("data mine"), 0);
  ASSERT_EQ(table.finish(15), 1);
  EXPECT_EQ(block_of(table, 1), "$MODE1_PHRASES 1\nData Mining\tdata mine\t0.750000\n");
}

TEST(PhraseTable, TiesAtTheCutAreTakenWhole) {
  PhraseTable table;
  // 20 phrases: 14 with distinct high scores, then places 15 to 17 tied, then lower.
  for (int i = 0; i < 14; ++i) (void)table.add("p", "high" + std::to_string(i), 10.0 + i);
  for (int i = 0; i < 3; ++i) (void)table.add("p", "tie" + std::to_string(i), 5.0);
  for (int i = 0; i < 3; ++i) (void)table.add("p", "low" + std::to_string(i), 1.0 + i);
  EXPECT_EQ(table.finish(15), 17);
  // Among equal scores the later entry comes first.
  const std::string block = block_of(table, 17);
  EXPECT_NE(block.find("tie2\t5.000000\np\ttie1\t5.000000\np\ttie0\t5.000000\n"),
            std::string::npos);
}

TEST(PhraseTable, FullTableIsFoldedThenDropsNewPhrases) {
  PhraseTable table(4);
  EXPECT_EQ(table.add("a", "a", 1), PhraseTable::AddResult::appended);
  EXPECT_EQ(table.add("b", "b", 1), PhraseTable::AddResult::appended);
  EXPECT_EQ(table.add("c", "c", 1), PhraseTable::AddResult::appended);
  // The fourth append fills the table: "a" and "b" fold into "a b".
  EXPECT_EQ(table.add("a b", "a b", 1), PhraseTable::AddResult::appended);
  EXPECT_EQ(table.count(), 2);
  EXPECT_DOUBLE_EQ(table.entry(1).score, 3.0);
  EXPECT_EQ(table.add("d", "d", 1), PhraseTable::AddResult::appended);
  EXPECT_EQ(table.add("e", "e", 1), PhraseTable::AddResult::appended);  // full, nothing folds
  EXPECT_EQ(table.add("f", "f", 1), PhraseTable::AddResult::omitted);
  EXPECT_EQ(table.add("c", "c", 2), PhraseTable::AddResult::merged) << "known phrases still gain";
  EXPECT_DOUBLE_EQ(table.entry(0).score, 3.0);
}

// Random tables over a tiny vocabulary, so that containment, first
// occurrences inside words, ties and full tables are all common.
std::string random_stem(std::mt19937& rng) {
  static const char* const words[] = {"a", "b", "ab", "ba", "aa", "a-b", "xa", "bx"};
  std::uniform_int_distribution<int> word(0, 7), length(1, 4), odd(0, 19);
  std::string text;
  const int n = length(rng);
  for (int i = 0; i < n; ++i) {
    if (i > 0) text += odd(rng) == 0 ? "  " : " ";
    text += words[word(rng)];
  }
  if (odd(rng) == 0) text += " ";
  return text;
}

void compare_with_oracle(unsigned seed, int capacity, int lines, int number_of_phrases) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> score_step(0, 8);
  PhraseTable fast(capacity);
  oracle::Table slow(capacity);
  for (int i = 0; i < lines; ++i) {
    const std::string stem = random_stem(rng);
    const std::string surface = "s" + std::to_string(i);
    const double score = score_step(rng) * 0.125;  // exact in binary: many ties
    const bool kept = fast.add(surface, stem, score) != PhraseTable::AddResult::omitted;
    ASSERT_EQ(kept, slow.add(surface, stem, score)) << "seed " << seed << " line " << i;
    ASSERT_EQ(fast.count(), slow.count) << "seed " << seed << " line " << i;
    for (int j = 0; j < slow.count; ++j) {
      ASSERT_EQ(fast.entry(j).stemmed_phrase, slow.phrases[j].stemmed_phrase);
      ASSERT_EQ(fast.entry(j).phrase, slow.phrases[j].phrase);
      ASSERT_EQ(fast.entry(j).score, slow.phrases[j].score);
    }
  }
  const int k = fast.finish(number_of_phrases);
  const std::vector<oracle::phrase> expected = slow.best(number_of_phrases);
  ASSERT_EQ(k, static_cast<int>(expected.size())) << "seed " << seed;
  for (int i = 0; i < k; ++i) {
    const phrase& got = fast.entry(fast.count() - 1 - i);
    EXPECT_EQ(got.stemmed_phrase, expected[i].stemmed_phrase) << "seed " << seed;
    EXPECT_EQ(got.score, expected[i].score) << "seed " << seed;
  }
}

TEST(PhraseTableOracle, SmallTablesThatFillUp) {
  for (unsigned seed = 1; seed <= 300; ++seed) compare_with_oracle(seed, 12, 80, 1 + seed % 7);
}

// Phrases of up to 20 words, some with more blanks than the word-span index
// takes, many sharing words: the indexes grow, entries leave them in every
// fold, and long entries are checked one by one.
void compare_long_phrases_with_oracle(unsigned seed, int capacity, int lines) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> word(0, 5), length(1, 20), short_length(1, 3), pick(0, 3);
  std::uniform_int_distribution<int> score_step(0, 8);
  static const char* const words[] = {"a", "b", "ab", "a b", "ba", "c"};
  PhraseTable fast(capacity);
  oracle::Table slow(capacity);
  for (int i = 0; i < lines; ++i) {
    const int n = pick(rng) == 0 ? length(rng) : short_length(rng);
    std::string stem;
    for (int w = 0; w < n; ++w) stem += (w > 0 ? " " : "") + std::string(words[word(rng)]);
    const double score = score_step(rng) * 0.25;
    const bool kept = fast.add("s", stem, score) != PhraseTable::AddResult::omitted;
    ASSERT_EQ(kept, slow.add("s", stem, score)) << "seed " << seed << " line " << i;
    ASSERT_EQ(fast.count(), slow.count) << "seed " << seed << " line " << i;
  }
  const int k = fast.finish(5);
  const std::vector<oracle::phrase> expected = slow.best(5);
  ASSERT_EQ(k, static_cast<int>(expected.size())) << "seed " << seed;
  for (int i = 0; i < k; ++i) {
    EXPECT_EQ(fast.entry(fast.count() - 1 - i).stemmed_phrase, expected[i].stemmed_phrase);
    EXPECT_EQ(fast.entry(fast.count() - 1 - i).score, expected[i].score);
  }
}

TEST(PhraseTableOracle, LongPhrasesAndGrowingIndexes) {
  for (unsigned seed = 1; seed <= 60; ++seed) compare_long_phrases_with_oracle(seed, 40, 400);
  compare_long_phrases_with_oracle(99, kMaxPhrases, 3000);
}

TEST(PhraseTableOracle, FullSizeTables) {
  for (unsigned seed = 1; seed <= 4; ++seed) compare_with_oracle(seed, kMaxPhrases, 1500, 15);
}

}  // namespace
}  // namespace somlabel::labelcalc
