// Builds a model from a directory of documents X.txt, with gold keyphrases in
// X.key (one a line) where available.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "keyphrases/model.h"
#include "keyphrases/ranker.h"
#include "text/language.h"

namespace keyphrases {

// Phrases seen in fewer documents are left out of large models: they would
// get nearly the idf of an unseen phrase anyway, and they are most of the table.
inline constexpr std::uint32_t kMinStoredDf = 2;
inline constexpr std::uint64_t kPruneFromDocuments = 100;
// Training rows per gold document: the best candidates by the unsupervised
// score (gold phrases ranked below them could not be reached anyway).
inline constexpr std::size_t kMaxTrainingRowsPerDocument = 2000;

struct TrainOptions {
  text::Language language = text::Language::english;
  unsigned threads = 1;
  RankerKind ranker = RankerKind::prior;  // used only where gold files exist
};

// Gold file text -> phrase keys of its lines, stemmed as candidates are.
[[nodiscard]] std::vector<std::uint64_t> gold_keys(std::string_view gold_text,
                                                  text::Language lang);

// Fails when `dir` cannot be read, holds no X.txt, or a text cannot be read;
// the message is the caller's to print.
[[nodiscard]] somlabel::Result train_model(const std::string& dir, const TrainOptions& options,
                                           ModelData* out);

}  // namespace keyphrases
