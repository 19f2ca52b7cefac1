// Candidate phrases: boundaries, stemmed and surface forms, counts.
#include "keyphrases/candidates.h"

#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <string>

namespace somlabel::keyphrases {
namespace {

struct Phrase {
  Candidate c;
  std::string surface;
  const Candidate* operator->() const { return &c; }
};

std::map<std::string, Phrase> by_stem(const DocumentCandidates& doc) {
  std::map<std::string, Phrase> out;
  for (const auto& c : doc.candidates) out[stemmed_form(doc, c)] = {c, surface_form(doc, c)};
  return out;
}

TEST(Candidates, NgramsWithinSentencesGroupedByStem) {
  WordNormalizer words(text::Language::english);
  auto doc = collect_candidates("Neural networks learn. The neural network of the brain.", words);
  auto c = by_stem(doc);
  // Tokens: Neural networks learn | The neural network of the brain
  // ("learn" is a verb and "neural" an adjective: neither ends a phrase)
  std::vector<std::string> stems;
  for (const auto& [k, v] : c) stems.push_back(k);
  EXPECT_EQ(stems, (std::vector<std::string>{"brain", "network", "neural network"}));
  EXPECT_EQ(doc.n_tokens, 9u);
  EXPECT_EQ(doc.first_sentence_end, 3u);
  EXPECT_EQ(c["neural network"]->count, 2u);
  EXPECT_EQ(c["neural network"]->length, 2);
  EXPECT_EQ(c["neural network"]->first, 0u);
  EXPECT_EQ(c["neural network"]->last, 4u);
  EXPECT_EQ(c["brain"]->first, 8u);
}

// Regression: "current user's" and "netplan's" were labels; "www.example.org" and
// "&nbsp;" came from descriptions taken from the web.
TEST(Candidates, PossessiveSurfaceNamesTheOwnerHostNamesAndMarkupAreNoWords) {
  WordNormalizer words(text::Language::english);
  auto c = by_stem(collect_candidates(
      "The current user's shell. Mirrors at www.example.org, lists.debian.org and "
      "ftp.example.de &nbsp; see U.S.A and python3.11 with HTTP.",
      words));
  EXPECT_EQ(c["current user"].surface, "current user");
  for (const char* gone : {"www.example.org", "lists.debian.org", "ftp.example.d", "nbsp"})
    EXPECT_EQ(c.count(gone), 0u) << gone;
  for (const char* kept : {"u.s.a", "python3.11", "http"}) EXPECT_EQ(c.count(kept), 1u) << kept;
}

// Regression: "won't" was a label of CPU_SET.3 and backtrace.3 and of the demo's top map.
TEST(Candidates, WontIsNeverACandidateNorEndsOne) {
  WordNormalizer words(text::Language::english);
  auto c = by_stem(
      collect_candidates("The thread won't. Buffers won\u2019t. Signal handlers you'll.", words));
  std::vector<std::string> stems;
  for (const auto& [k, v] : c) stems.push_back(k);
  EXPECT_EQ(stems,
            (std::vector<std::string>{"buffer", "handler", "signal", "signal handler", "thread"}));
}

TEST(Candidates, SurfaceIsMostFrequentFormTiesGoToFirstSeen) {
  WordNormalizer words(text::Language::english);
  auto tie =
      by_stem(collect_candidates("Neural networks learn. The neural network of the brain.", words));
  EXPECT_EQ(tie["neural network"].surface, "Neural networks");
  EXPECT_EQ(tie["network"].surface, "networks");
  auto most = by_stem(collect_candidates("Map units. Map unit. map units. map units.", words));
  EXPECT_EQ(most["map unit"].surface, "map units");
  EXPECT_EQ(most["map unit"]->count, 4u);
}

TEST(Candidates, NoStopwordsNumbersOrSingleCharactersInPhrases) {
  WordNormalizer words(text::Language::english);
  auto c = by_stem(collect_candidates("the quality of service in version 2 release x y", words));
  std::vector<std::string> stems;
  for (const auto& [k, v] : c) stems.push_back(k);
  EXPECT_EQ(stems, (std::vector<std::string>{"qualiti", "releas", "servic", "version"}));
}

// Phrases are runs of nouns and adjectives that end in a noun; words WordNet
// does not know (names, jargon) count as nouns. Other languages keep every run.
TEST(Candidates, EnglishPhrasesAreNounPhrases) {
  struct Case {
    text::Language lang;
    const char* text;
    std::vector<std::string> stems;  // sorted
  } cases[] = {
      {text::Language::english, "The thread inherits masks", {"mask", "thread"}},
      {text::Language::english, "functions calculate values", {"function", "valu"}},
      {text::Language::english, "probably willing", {}},
      {text::Language::english, "efficient algorithms", {"algorithm", "effici algorithm"}},
      {text::Language::english,
       "labeled training data",
       {"data", "label train", "label train data", "train", "train data"}},
      {text::Language::english, "pthread mutexes", {"mutex", "pthread", "pthread mutex"}},
      // Mostly verbs, though nouns too: nouns only where no object follows.
      {text::Language::english,
       "XML lets you. Purrr draws inspiration. System calls.",
       {"call", "inspir", "purrr", "system", "system call", "xml"}},
      {text::Language::english,
       "a string describing the error; an area starting at zero; matching",
       {"area", "error", "match", "string", "zero"}},
      // Before a word, an -ing form is a verb with its object or a modifier: it ends a
      // phrase there only where the text also has the phrase free, and starts none.
      {text::Language::english, "no symbol matching addr", {"addr", "symbol", "symbol match addr"}},
      {text::Language::english, "Combining global optimization", {"global optim", "optim"}},
      // A capitalised word the text also writes in lower case starts a sentence there, and
      // after an acronym any word WordNet knows.
      {text::Language::english,
       "feature selection Stability of stability",
       {"featur", "featur select", "select", "stabil"}},
      {text::Language::english,
       "ENOMEM Insufficient memory",
       {"enomem", "insuffici memori", "memori"}},
      {text::Language::english,
       "pattern matching tools do pattern matching",
       {"match", "pattern", "pattern match", "pattern match tool", "tool"}},
      // An unknown word the text uses as code is code in its prose too.
      {text::Language::english,
       "The function cacosf computes arc cosines.\nfloat complex cacosf(float complex z);",
       {"arc", "arc cosin", "cosin", "function"}},
      {text::Language::english,
       "the thread's signal mask",
       {"mask", "signal", "signal mask", "thread"}},
      {text::Language::english,
       "The thread starts execution, which the file system saves.",
       {"execut", "file system", "system", "thread"}},
      // A word twice in a row: a heading run into the text, no phrase.
      {text::Language::english,
       "services services database",
       {"databas", "servic", "servic databas"}},
      {text::Language::german,
       "schnelle Algorithmen",
       {"algorithm", "schnell", "schnell algorithm"}},
  };
  for (const auto& k : cases) {
    WordNormalizer words(k.lang);
    std::vector<std::string> stems;
    for (const auto& [stem, phrase] : by_stem(collect_candidates(k.text, words)))
      stems.push_back(stem);
    EXPECT_EQ(stems, k.stems) << k.text;
  }
}

TEST(Candidates, PunctuationSplitsPhrases) {
  WordNormalizer words(text::Language::english);
  auto c = by_stem(collect_candidates("maps, units; grids (cells) \"labels\"", words));
  EXPECT_EQ(c.size(), 5u);
  EXPECT_EQ(c.count("map unit"), 0u);
}

TEST(Candidates, CountsOccurrencesInsideLongerOnes) {
  WordNormalizer words(text::Language::english);
  auto c = by_stem(
      collect_candidates("Artificial neural networks. The neural network of the brain.", words));
  EXPECT_EQ(c["network"]->in_longer, 2u);
  EXPECT_EQ(c["neural network"]->in_longer, 1u);  // the first sits in "artificial neural networks"
  EXPECT_EQ(c["brain"]->in_longer, 0u);
  EXPECT_EQ(c["artifici neural network"]->in_longer, 0u);
}

TEST(Candidates, WordRanksAverageOne) {
  WordNormalizer words(text::Language::english);
  auto doc = collect_candidates("Neural networks learn. The neural network of the brain.", words);
  ASSERT_EQ(doc.word_rank.size(), doc.word_stems.size());
  double sum = std::accumulate(doc.word_rank.begin(), doc.word_rank.end(), 0.0);
  EXPECT_NEAR(sum, double(doc.word_stems.size()), 1e-9);
}

TEST(Candidates, EmptyAndBinaryInput) {
  WordNormalizer words(text::Language::english);
  EXPECT_TRUE(collect_candidates("", words).candidates.empty());
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary.push_back(static_cast<char>((i * 151 + 7) & 0xFF));
  binary += "\001document clustering\377";  // between bytes that end words
  auto doc = collect_candidates(binary, words);
  EXPECT_EQ(by_stem(doc)["document cluster"].surface, "document clustering");
  for (const auto& c : doc.candidates) {
    std::string surface = surface_form(doc, c);
    EXPECT_EQ(surface.find('\0'), std::string::npos);
    EXPECT_EQ(surface.find('\t'), std::string::npos);
    EXPECT_EQ(surface.find('\n'), std::string::npos);
  }
}

}  // namespace
}  // namespace somlabel::keyphrases
