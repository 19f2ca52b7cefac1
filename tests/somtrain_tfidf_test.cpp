// The corpus (tokens, stems, vocabulary limits, label words) and the tf-idf
// vectors built from it. Expected weights are worked out by hand from
// (1 + ln tf) * ln(n / df), scaled to length 1.
#include <gtest/gtest.h>

#include <cmath>

#include "somtrain/corpus.h"
#include "somtrain/tfidf.h"
#include "tests/test_util.h"

namespace somlabel::somtrain {
namespace {

using text::Language;

VocabularyLimits everything() { return VocabularyLimits{1, 1.0, 5000}; }

std::vector<std::string> document_stems(const Corpus& corpus, std::size_t d) {
  std::vector<std::string> stems;
  for (const TermCount& tc : corpus.documents[d].terms) stems.push_back(corpus.stems[tc.term]);
  return stems;
}

TEST(SomtrainCorpus, CountsStemsLeavingOutStopwordsNumbersAndShortWords) {
  const Corpus corpus = build_corpus({{"a", "The Sockets, a socket and 42 sockets: x"}},
                                     everything(), Language::english);
  ASSERT_EQ(corpus.stems, std::vector<std::string>({"socket"}));
  ASSERT_EQ(corpus.documents.size(), 1u);
  EXPECT_EQ(corpus.documents[0].name, "a");
  EXPECT_EQ(corpus.documents[0].terms, std::vector<TermCount>({{0, 3}}));
  // "sockets" twice (once capitalised), "socket" once: the more frequent form.
  EXPECT_EQ(corpus.labels, std::vector<std::string>({"sockets"}));
}

TEST(SomtrainCorpus, LabelTieGoesToTheSmallerWord) {
  const Corpus corpus = build_corpus({{"a", "signals signal"}}, everything(), Language::english);
  EXPECT_EQ(corpus.labels, std::vector<std::string>({"signal"}));
}

TEST(SomtrainCorpus, VocabularyLimits) {
  const std::vector<DocumentText> texts = {{"a", "kernel socket thread"},
                                           {"b", "kernel socket mutex"},
                                           {"c", "kernel thread"},
                                           {"d", "kernel"}};
  // kernel: 4 documents, socket 2, thread 2, mutex 1.
  Corpus corpus = build_corpus(texts, VocabularyLimits{2, 1.0, 5000}, Language::english);
  EXPECT_EQ(corpus.stems, std::vector<std::string>({"kernel", "socket", "thread"}));
  corpus = build_corpus(texts, VocabularyLimits{1, 0.5, 5000}, Language::english);
  EXPECT_EQ(corpus.stems, std::vector<std::string>({"mutex", "socket", "thread"}));
  // Two terms at most: kernel (4), then socket and thread tie at 2: the smaller stem.
  corpus = build_corpus(texts, VocabularyLimits{1, 1.0, 2}, Language::english);
  EXPECT_EQ(corpus.stems, std::vector<std::string>({"kernel", "socket"}));
  // Terms outside the vocabulary leave the documents' lists; indices follow the stems.
  EXPECT_EQ(document_stems(corpus, 0), std::vector<std::string>({"kernel", "socket"}));
  EXPECT_EQ(document_stems(corpus, 2), std::vector<std::string>({"kernel"}));
}

TEST(SomtrainCorpus, AnyBytesAreTakenWithoutHarm) {
  const std::string bytes("\xff\xfe socket\0socket \xc3", 18);
  const Corpus corpus = build_corpus({{"a", bytes}, {"b", ""}}, everything(), Language::english);
  EXPECT_EQ(corpus.stems, std::vector<std::string>({"socket"}));
  EXPECT_EQ(corpus.documents[0].terms, std::vector<TermCount>({{0, 2}}));
  EXPECT_TRUE(corpus.documents[1].terms.empty());
}

TEST(SomtrainTfidf, WeightsAreLogTfTimesIdfOfUnitLength) {
  const Corpus corpus =
      build_corpus({{"a", "socket socket bind"}, {"b", "socket listen"}, {"c", "fork fork fork"}},
                   everything(), Language::english);
  ASSERT_EQ(corpus.stems, std::vector<std::string>({"bind", "fork", "listen", "socket"}));
  const std::vector<SparseVector> v = tfidf_vectors(corpus, {0, 1, 2});
  ASSERT_EQ(v.size(), 3u);
  // a: bind 1 * ln 3 = 1.098612, socket (1 + ln 2) * ln 1.5 = 0.686513;
  // length 1.295468, so 0.848040 and 0.529932.
  EXPECT_EQ(v[0].index, std::vector<std::uint32_t>({0, 3}));
  EXPECT_NEAR(v[0].value[0], 0.848040, 1e-6);
  EXPECT_NEAR(v[0].value[1], 0.529932, 1e-6);
  // b: listen ln 3 = 1.098612, socket ln 1.5 = 0.405465; length 1.171046.
  EXPECT_EQ(v[1].index, std::vector<std::uint32_t>({2, 3}));
  EXPECT_NEAR(v[1].value[0], 0.938145, 1e-6);
  EXPECT_NEAR(v[1].value[1], 0.346242, 1e-6);
  // c: a single term is the whole vector.
  EXPECT_EQ(v[2].index, std::vector<std::uint32_t>({1}));
  EXPECT_NEAR(v[2].value[0], 1.0, 1e-12);
  for (const SparseVector& vector : v) EXPECT_NEAR(vector.squared_norm(), 1.0, 1e-12);
}

TEST(SomtrainTfidf, IdfIsTakenOverTheMembersOnly) {
  const Corpus corpus =
      build_corpus({{"a", "socket socket bind"}, {"b", "socket listen"}, {"c", "fork fork fork"}},
                   everything(), Language::english);
  // Among a and b, "socket" is in every document: it weighs nothing and is left out.
  const std::vector<SparseVector> v = tfidf_vectors(corpus, {1, 0});
  EXPECT_EQ(v[0].index, std::vector<std::uint32_t>({2}));  // b first, as asked
  EXPECT_EQ(v[1].index, std::vector<std::uint32_t>({0}));
  EXPECT_NEAR(v[1].value[0], 1.0, 1e-12);
  // A single member: every term is in every member, so the vector is empty.
  EXPECT_TRUE(tfidf_vectors(corpus, {2})[0].index.empty());
  EXPECT_TRUE(tfidf_vectors(corpus, {}).empty());
}

}  // namespace
}  // namespace somlabel::somtrain
