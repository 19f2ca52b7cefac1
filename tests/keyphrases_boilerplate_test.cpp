// The collection's boilerplate lines: segments, their keys, the model's count
// and the phrases that stand only on them.
#include "keyphrases/boilerplate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "keyphrases/extractor.h"
#include "keyphrases/phrase_hash.h"
#include "keyphrases/trainer.h"
#include "test_util.h"

namespace somlabel::keyphrases {
namespace {

std::vector<std::string> segment_texts(std::string_view text) {
  std::vector<std::string> out;
  for (const TextSegment& s : text_segments(text))
    out.emplace_back(text.substr(s.begin, s.end - s.begin));
  return out;
}

std::uint64_t key_of(std::string_view line) { return text_segments(line).at(0).key; }

TEST(Boilerplate, SegmentsAreLinesAndTableCells) {
  using Texts = std::vector<std::string>;
  const struct {
    const char* text;
    Texts segments;
  } cases[] = {
      {"  Math library (libm, -lm)\n\nThe arc tangent.\n",
       {"Math library (libm, -lm)", "The arc tangent."}},
      {"\xe2\x94\x82"
       "acos()  \xe2\x94\x82 Thread safety \xe2\x94\x82 MT-Safe locale \xe2\x94\x82",
       {"acos()", "Thread safety", "MT-Safe locale"}},
      {"a | b\tc", {"a", "b", "c"}},
      {"\xe2\x94\x8c\xe2\x94\x80\xe2\x94\x80\xe2\x94\x90\n-- ;\n\n", {}},  // rules and punctuation
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(segment_texts(c.text), c.segments) << c.text;
}

TEST(Boilerplate, KeysIgnoreCaseAndBlanksButNotWords) {
  EXPECT_EQ(key_of("Math library (libm, -lm)"), key_of("  math   LIBRARY (libm,  -lm)"));
  EXPECT_NE(key_of("Math library (libm, -lm)"), key_of("Math library (libm -lm)"));
  EXPECT_NE(key_of("math librari"), phrase_key_of("math librari"));  // no phrase's key
}

TEST(Boilerplate, LeastDocumentsIsTenOrOnePercent) {
  const std::pair<std::uint64_t, std::uint64_t> cases[] = {
      {20, 10}, {893, 10}, {1000, 10}, {1001, 11}, {63697, 637}};
  for (auto [n, least] : cases) EXPECT_EQ(boilerplate_min_documents(n), least) << n;
}

// Regression: "Math library" and "libm", from the line "Math library (libm, -lm)"
// of every mathematical function's manual page, were labels of their units, and
// "MT-Unsafe race" from rows of a table whose other cells every page repeats.
TEST(Boilerplate, MathLibraryOnATemplateLineIsNoKeyphrase) {
  const std::string text =
      "Math library (libm, -lm)\n\nThe arc tangent of a value. The library computes the arc "
      "tangent.\n\xe2\x94\x82 Thread safety \xe2\x94\x82 MT-Unsafe race:crypt \xe2\x94\x82\n";
  const struct {
    std::uint64_t documents, line_df;
    bool left_out;
  } cases[] = {{100, 10, true}, {100, 9, false}, {19, 19, false}};
  for (const auto& c : cases) {
    ModelData data;
    data.n_documents = c.documents;
    for (const char* line : {"Math library (libm, -lm)", "Thread safety"})
      data.phrases.push_back({key_of(line), {std::uint32_t(c.line_df), 0, 0}});
    std::string storage = serialize_model(data);
    Model model;
    ASSERT_TRUE(Model::from_bytes(storage, "test", model));
    Extractor ex(model, text::Language::english);
    std::vector<std::string> stems;
    for (const auto& k : ex.extract(text, 20)) stems.push_back(k.stemmed);
    auto has = [&](const char* s) { return std::count(stems.begin(), stems.end(), s) == 1; };
    for (const char* stem : {"math librari", "libm", "mt-unsaf race", "thread safeti"})
      EXPECT_EQ(has(stem), !c.left_out) << stem << " " << c.line_df;
    EXPECT_TRUE(has("arc tangent") && has("librari")) << c.line_df;  // also in the prose
  }
}

TEST(Boilerplate, TrainingStoresLinesOfTenDocumentsOrMore) {
  testutil::TempDir dir;
  for (int i = 0; i < 20; ++i)
    testutil::write_file(dir.path() / ("page" + std::to_string(i)),
                         std::string(i < 9 ? "Feature Test Macro Requirements\n" : "") +
                             "Math library (libm, -lm)\nThe page of function number " +
                             std::to_string(i) + ".\n");
  ModelData data;
  ASSERT_TRUE(train_model(dir.str(), {text::Language::english, 2}, &data).ok());
  std::string storage = serialize_model(data);
  Model model;
  ASSERT_TRUE(Model::from_bytes(storage, "trained", model));
  EXPECT_EQ(model.lookup(key_of("Math library (libm, -lm)")).df, 20u);
  EXPECT_EQ(model.lookup(key_of("Feature Test Macro Requirements")).df, 0u);  // 9 documents
}

}  // namespace
}  // namespace somlabel::keyphrases
