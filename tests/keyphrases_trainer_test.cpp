// Training a model from a directory of texts and gold key files.
#include "keyphrases/trainer.h"

#include <gtest/gtest.h>

#include "keyphrases/phrase_hash.h"
#include "tests/test_util.h"

namespace somlabel::keyphrases {
namespace {

const std::string kCorpus = std::string(TESTS_DIR) + "/fixtures/keyphrases/corpus";

TEST(GoldKeys, OneKeyPerLineStemmedLikeCandidates) {
  auto keys = gold_keys("Self-Organizing Maps\n\nmap units\r\nmap units\nSupport Vector Machines",
                        text::Language::english);
  std::vector<std::uint64_t> expected = {phrase_key_of("self-organ map"), phrase_key_of("map unit"),
                                         phrase_key_of("support vector machin")};
  EXPECT_EQ(keys, expected);
  EXPECT_TRUE(gold_keys("", text::Language::english).empty());
}

TEST(Train, CountsDocumentFrequenciesAndLearnsFromGold) {
  ModelData data;
  ASSERT_TRUE(train_model(kCorpus, {text::Language::english, 2}, &data).ok());
  EXPECT_EQ(data.n_documents, 4u);
  EXPECT_TRUE(data.supervised);  // maps.key and kernels.key stand beside their texts
  std::string bytes = serialize_model(data);
  Model model;
  const somlabel::Result<Reason> parsed = Model::from_bytes(bytes, "trained", model);
  ASSERT_TRUE(parsed) << parsed.message();
  const Model* m = &model;
  EXPECT_EQ(m->lookup(phrase_key_of("string kernel")).df, 1u);
  EXPECT_EQ(m->lookup(phrase_key_of("string kernel")).gold, 1u);
  EXPECT_EQ(m->lookup(phrase_key_of("document")).df, 3u);  // all texts but clustering.txt
  EXPECT_EQ(m->lookup(phrase_key_of("map")).in_gold, 2u);  // "self-organizing maps", "map units"
  EXPECT_EQ(m->lookup(phrase_key_of("queri expans")).gold, 0u);
}

// How often phrases and words recur in their text, counted on the texts to be labelled: those
// without gold keys where there are any, all texts otherwise.
TEST(Train, RepeatSharesOfTheTextsToLabel) {
  testutil::TempDir dir;
  // "map unit" twice, "document map" once; of the words map, unit, grid and document, map twice
  // and unit twice: two of the five word candidates (three in a.txt, two in b.txt) recur
  testutil::write_file(dir.path() / "a.txt", "Map units. Map units, grids.\n");
  testutil::write_file(dir.path() / "b.txt", "Document maps.\n");
  ModelData data;
  ASSERT_TRUE(train_model(dir.path().string(), {text::Language::english, 1}, &data).ok());
  EXPECT_EQ(data.stats.phrase_repeat_share, 0.5);
  EXPECT_DOUBLE_EQ(data.stats.word_repeat_share, 0.4);
  // With gold for a.txt, b.txt alone counts: neither its phrase nor its two words recur.
  testutil::write_file(dir.path() / "a.key", "map units\n");
  ASSERT_TRUE(train_model(dir.path().string(), {text::Language::english, 1}, &data).ok());
  EXPECT_EQ(data.stats.phrase_repeat_share, 0.0);
  EXPECT_EQ(data.stats.word_repeat_share, 0.0);
}

TEST(Train, SameModelWhateverTheThreads) {
  ModelData one, four;
  ASSERT_TRUE(train_model(kCorpus, {text::Language::english, 1}, &one).ok());
  ASSERT_TRUE(train_model(kCorpus, {text::Language::english, 4}, &four).ok());
  EXPECT_EQ(serialize_model(one), serialize_model(four));
}

TEST(Train, GoldFilesPairWithDocumentsOfAnyName) {
  EXPECT_EQ(gold_file_name("maps.txt"), "maps.key");
  EXPECT_EQ(gold_file_name("socket.2"), "socket.2.key");
  EXPECT_EQ(gold_file_name("notes.key"), "notes.key.key");
  // c.key pairs with no document, and the gold file of d.txt is d.key: both are documents.
  EXPECT_EQ(training_documents({"a", "a.key", "b.txt", "b.key", "c.key", "d.txt", "d.txt.key"}),
            std::vector<std::string>({"a", "b.txt", "c.key", "d.txt", "d.txt.key"}));
}

TEST(Train, MissingDirectoryFails) {
  ModelData data;
  somlabel::Result<Reason> st = train_model("/nonexistent/kp", {text::Language::english, 1}, &data);
  ASSERT_FALSE(st.ok());
  EXPECT_NE(st.message().find("/nonexistent/kp"), std::string::npos);
}

}  // namespace
}  // namespace somlabel::keyphrases
