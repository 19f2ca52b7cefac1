// Builds a model from a folder of documents (common/documents.h), with gold
// keyphrases (one a line) in a file beside each document where available.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "keyphrases/model.h"
#include "keyphrases/ranker.h"
#include "text/language.h"

namespace somlabel::keyphrases {

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
[[nodiscard]] std::vector<std::uint64_t> gold_keys(std::string_view gold_text, text::Language lang);

// The gold keyphrase file of a training document: X.key for X.txt, so that
// folders of X.txt/X.key pairs keep working, and NAME.key for any other NAME.
[[nodiscard]] std::string gold_file_name(std::string_view document);

// The documents of a folder (its document names, sorted) that are not the
// gold file of another one.
[[nodiscard]] std::vector<std::string> training_documents(const std::vector<std::string>& names);

// Fails when `dir` cannot be read, holds no text document, or a text cannot
// be read; the message is the caller's to print. Entries that are not
// documents and documents that are not text are passed over with a warning
// naming them.
[[nodiscard]] somlabel::Result<Reason> train_model(const std::string& dir,
                                                   const TrainOptions& options, ModelData* out);

}  // namespace somlabel::keyphrases
