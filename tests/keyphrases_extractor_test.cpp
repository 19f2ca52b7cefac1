// Ranking a document and the key-file text.
#include "keyphrases/extractor.h"

#include <gtest/gtest.h>
#include <utf8proc.h>

#include <algorithm>
#include <cmath>

#include "keyphrases/phrase_hash.h"

namespace somlabel::keyphrases {
namespace {

Model make_model(const ModelData& data, std::string& storage) {
  storage = serialize_model(data);
  Model model;
  const somlabel::Result<Reason> parsed = Model::from_bytes(storage, "test", model);
  EXPECT_TRUE(parsed) << parsed.message();
  return model;
}

bool valid_utf8(const std::string& s) {
  return utf8proc_decompose(reinterpret_cast<const utf8proc_uint8_t*>(s.data()),
                            static_cast<utf8proc_ssize_t>(s.size()), nullptr, 0,
                            UTF8PROC_STABLE) >= 0;
}

TEST(NearDuplicates, SameWordsOrOverlappingWindows) {
  using Words = std::vector<std::string>;
  const struct {
    Words a, b;
    bool near;
  } cases[] = {
      {{"stieg", "larsson"}, {"larsson", "stieg"}, true},
      {{"film", "producer", "soren"}, {"producer", "soren", "staermose"}, true},
      {{"producer", "soren", "staermose"}, {"film", "producer", "soren"}, true},
      {{"data", "mining"}, {"distributed", "data", "mining"}, false},  // broader and narrower
      {{"neural", "network"}, {"network", "model"}, false},            // one word in common
      {{"palmer", "archipelago"}, {"palmer", "station"}, false},
      {{"map"}, {"map"}, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(near_duplicates(c.a, c.b), c.near) << c.a[0] << "/" << c.b[0];
}

TEST(KeyFile, OneLinePerPhraseEachEndingInNewline) {
  std::vector<Keyphrase> phrases = {{"Neural networks", "neural network", 0.5},
                                    {"brain", "brain", 1.0 / 3}};
  EXPECT_EQ(format_keyfile(phrases, true),
            "Neural networks\tneural network\t0.500000\nbrain\tbrain\t0.333333\n");
  EXPECT_EQ(format_keyfile(phrases, false), "Neural networks\nbrain\n");
  EXPECT_EQ(format_keyfile({}, true), "");
}

class ExtractorTest : public ::testing::Test {
 protected:
  std::string storage_;
};

TEST_F(ExtractorTest, BestFirstScoresInUnitIntervalLimitedToN) {
  ModelData data;
  data.n_documents = 10;
  Extractor ex(make_model(data, storage_), text::Language::english);
  auto out = ex.extract(
      "Self-organizing maps. A self-organizing map places documents on a grid of map units. "
      "Map units get labels; labels are keyphrases of the documents.",
      4);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_DOUBLE_EQ(out[0].score, 1.0);
  for (std::size_t i = 0; i < out.size(); ++i) {
    EXPECT_GT(out[i].score, 0.0);
    EXPECT_LE(out[i].score, 1.0);
    if (i > 0) {
      EXPECT_LE(out[i].score, out[i - 1].score);
    }
    EXPECT_EQ(out[i].stemmed.find("  "), std::string::npos);
    EXPECT_EQ(std::count(out[i].stemmed.begin(), out[i].stemmed.end(), ' '),
              std::count(out[i].surface.begin(), out[i].surface.end(), ' '));
  }
  // "map units": twice, never inside a longer candidate, built from the most linked words.
  EXPECT_TRUE(std::any_of(out.begin(), out.end(),
                          [](const Keyphrase& k) { return k.stemmed == "map unit"; }));
}

TEST_F(ExtractorTest, FrequentPhrasesInTheModelRankLower) {
  ModelData data;
  data.n_documents = 10;
  data.phrases = {{phrase_key_of("appl"), {9, 0, 0}}};
  Extractor ex(make_model(data, storage_), text::Language::english);
  auto out = ex.extract("apple banana", 3);
  ASSERT_EQ(out.size(), 3u);
  std::vector<std::string> order;
  for (const auto& k : out) order.push_back(k.stemmed);
  auto banana = std::find(order.begin(), order.end(), "banana");
  auto apple = std::find(order.begin(), order.end(), "appl");
  ASSERT_NE(banana, order.end());
  ASSERT_NE(apple, order.end());
  EXPECT_LT(banana - order.begin(), apple - order.begin());
}

TEST_F(ExtractorTest, BoilerplateOfMostDocumentsIsNoKeyphrase) {
  ModelData data;
  data.n_documents = 100;
  data.phrases = {{phrase_key_of("appl"), {51, 0, 0}}, {phrase_key_of("banana"), {50, 0, 0}}};
  Extractor ex(make_model(data, storage_), text::Language::english);
  auto out = ex.extract("Apple. Banana. Cherry.", 5);
  std::vector<std::string> stems;
  for (const auto& k : out) stems.push_back(k.stemmed);
  std::sort(stems.begin(), stems.end());
  EXPECT_EQ(stems, (std::vector<std::string>{"banana", "cherri"}));
}

// The labeller sums key files over a unit and adds a phrase's whole score to
// every longer phrase holding it: "long double fmodl" of one document took the
// score of "long double" of twelve.
TEST_F(ExtractorTest, ForLabelsOnlySharedPhrasesNoPartBesideItsPhrase) {
  ModelData data;
  data.n_documents = 100;
  const std::pair<const char*, std::uint32_t> df[] = {
      {"arc tangent", 10},     {"arc", 12},    {"tangent", 14},  // part of a kept phrase
      {"tangent function", 1},                                   // this document's alone
      {"function", 16},                                          // in over 15% of documents
      {"search tree", 3},      {"search", 10}, {"tree", 9},      // under half of "search"
      {"princip valu", 8},     {"princip", 2}, {"valu", 12}};
  for (auto [stem, n] : df) data.phrases.push_back({phrase_key_of(stem), {n, 0, 0}});
  Extractor ex(make_model(data, storage_), text::Language::english);
  auto out = ex.extract_for_labels(
      "Arc tangent function. The arc tangent gives the principal value. Keys go into a "
      "search tree.",
      30);
  // The four shared phrases, then one of the document's own to make five, with a token score.
  ASSERT_EQ(out.size(), 5u);
  std::vector<std::string> stems;
  for (const auto& k : out)
    if (k.score > kUnsharedScore) stems.push_back(k.stemmed);
  std::sort(stems.begin(), stems.end());
  EXPECT_EQ(stems, (std::vector<std::string>{"arc tangent", "princip valu", "search", "tree"}));
  EXPECT_NE(out.back().stemmed,
            "tangent function");  // holds "tangent", which "arc tangent" carries
  for (std::size_t i = 1; i < out.size(); ++i) EXPECT_LE(out[i].score, out[i - 1].score);
  // sqrt(idf) times 0.5 to 1: "arc tangent" (df 10) lies in [0.74, 1.49].
  auto arc =
      std::find_if(out.begin(), out.end(), [](auto& k) { return k.stemmed == "arc tangent"; });
  ASSERT_NE(arc, out.end());
  EXPECT_GE(arc->score, 0.5 * std::sqrt(std::log(101.0 / 11)) - 1e-9);
  EXPECT_LE(arc->score, std::sqrt(std::log(101.0 / 11)) + 1e-9);
  EXPECT_EQ(ex.extract_for_labels("Arc tangent.", 1).size(), 1u);
}

// Mode 0 hands over a unit's documents joined: a text three times as long as the
// collection's texts on average. There a phrase of one document of the collection
// can describe only that one ("Cleaver" over six news stories).
TEST_F(ExtractorTest, JoinedTextsLeaveOutPhrasesOfOneDocument) {
  const struct {
    double mean_tokens;
    std::vector<std::string> stems;
  } cases[] = {{0, {"appl", "zebra"}},  // an older model knows no mean
               {2, {"appl"}},           // 6 tokens: three texts joined
               {2.5, {"appl", "zebra"}}};
  for (const auto& c : cases) {
    ModelData data;
    data.n_documents = 100;
    data.stats.mean_tokens = c.mean_tokens;
    data.phrases = {{phrase_key_of("appl"), {5, 0, 0}}, {phrase_key_of("zebra"), {1, 0, 0}}};
    Extractor ex(make_model(data, storage_), text::Language::english);
    std::vector<std::string> stems;
    for (const auto& k : ex.extract("Zebra. Zebra. Zebra. Apple. Apple. Apple.", 5))
      stems.push_back(k.stemmed);
    std::sort(stems.begin(), stems.end());
    EXPECT_EQ(stems, c.stems) << c.mean_tokens;
  }
}

TEST_F(ExtractorTest, EmptyAndBinaryDocuments) {
  Extractor ex(make_model(ModelData{}, storage_), text::Language::english);
  EXPECT_TRUE(ex.extract("", 10).empty());
  EXPECT_TRUE(ex.extract("the of and 123 4.5", 10).empty());
  std::string binary;
  for (int i = 0; i < 20000; ++i) binary.push_back(static_cast<char>((i * 7919 + i / 3) & 0xFF));
  const char tail[] = "\0\xFF\xFE document clustering.\001Document clustering here \xC3";
  binary.append(tail, sizeof tail - 1);
  const auto keys = ex.extract(binary, 50);
  EXPECT_TRUE(std::any_of(keys.begin(), keys.end(),
                          [](const Keyphrase& k) { return k.stemmed == "document cluster"; }));
  for (const auto& k : keys) {
    EXPECT_TRUE(valid_utf8(k.surface)) << k.surface;
    EXPECT_TRUE(valid_utf8(k.stemmed));
    EXPECT_EQ(k.surface.find_first_of(std::string("\t\n\r\0", 4)), std::string::npos);
  }
}

TEST_F(ExtractorTest, SameOutputWhateverCameBefore) {
  Extractor ex(make_model(ModelData{}, storage_), text::Language::english);
  const std::string doc =
      "Hierarchical clustering merges clusters. Cluster labels come from terms.";
  auto first = ex.extract(doc, 10);
  (void)ex.extract("Entirely different text about string kernels and support vector machines.", 10);
  auto again = ex.extract(doc, 10);
  ASSERT_EQ(first.size(), again.size());
  for (std::size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first[i].stemmed, again[i].stemmed);
    EXPECT_EQ(first[i].score, again[i].score);
  }
}

TEST_F(ExtractorTest, OtherLanguages) {
  Extractor ex(make_model(ModelData{}, storage_), text::Language::german);
  auto out = ex.extract("Die selbstorganisierende Karte ordnet Dokumente und Karten.", 10);
  std::vector<std::string> stems;
  for (const auto& k : out) stems.push_back(k.stemmed);
  EXPECT_NE(std::find(stems.begin(), stems.end(), "kart"), stems.end());
  EXPECT_NE(std::find(stems.begin(), stems.end(), "selbstorganisier kart"), stems.end());
  EXPECT_EQ(std::find(stems.begin(), stems.end(), "und"), stems.end());
}

}  // namespace
}  // namespace somlabel::keyphrases
