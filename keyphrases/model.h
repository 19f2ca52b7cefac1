// The trained model: document frequencies of stemmed candidate phrases,
// counts of how often each was a gold keyphrase, and the ranker's weights.
// Format in model_format.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "text/language.h"

namespace somlabel::keyphrases {

struct PhraseStats {
  std::uint32_t df = 0;
  std::uint32_t gold = 0;
  std::uint32_t in_gold = 0;  // words only: gold keyphrases that hold the word
  std::uint32_t code_df = 0;  // words only: documents using the word as code
};

// What the training texts say about their own phrases (model_format.h, kStat*).
struct CollectionStats {
  double phrase_repeat_share = 0;  // 0 when unknown
  double word_repeat_share = 0;
  double mean_tokens = 0;  // per training text; 0 when unknown (older models)
};

// What training produces and save_model() writes.
struct ModelData {
  text::Language language = text::Language::english;
  std::uint64_t n_documents = 0;
  bool supervised = false;
  std::vector<double> weights;  // ranker parameters; size kNumWeights from ranker.h
  CollectionStats stats;
  std::vector<std::pair<std::uint64_t, PhraseStats>> phrases;  // phrase_key -> stats
};

// The checksum stored in the header, over the bytes that follow the header.
[[nodiscard]] std::uint64_t model_checksum(std::string_view bytes_after_header);

// Serialises to the file format, checksum included.
[[nodiscard]] std::string serialize_model(const ModelData& data);

// Writes to a temporary name beside `path`, then renames it, so a failed write
// never leaves a half-written model under the final name. The failure's
// message is the caller's to print.
[[nodiscard]] somlabel::Result<Reason> save_model(const ModelData& data, const std::string& path);

// Read-only view of a loaded model. Cheap to copy; shares the bytes.
class Model {
 public:
  [[nodiscard]] PhraseStats lookup(std::uint64_t key) const;
  [[nodiscard]] text::Language language() const { return language_; }
  [[nodiscard]] std::uint64_t n_documents() const { return n_documents_; }
  [[nodiscard]] bool supervised() const { return supervised_; }
  [[nodiscard]] const std::vector<double>& weights() const { return weights_; }
  [[nodiscard]] const CollectionStats& stats() const { return stats_; }

  // Checks magic, version, sizes and checksum; `name` names the source in
  // messages, which are the caller's to print. `bytes` must outlive `model`.
  [[nodiscard]] static somlabel::Result<Reason> from_bytes(std::string_view bytes,
                                                           std::string_view name, Model& model);
  // Maps the file and checks it as from_bytes does.
  [[nodiscard]] static somlabel::Result<Reason> load(const std::string& path, Model& model);

 private:
  std::shared_ptr<const void> owner_;
  const unsigned char* table_ = nullptr;
  std::uint64_t slots_ = 0;
  std::uint64_t n_documents_ = 0;
  text::Language language_ = text::Language::english;
  bool supervised_ = false;
  std::vector<double> weights_;
  CollectionStats stats_;
};

}  // namespace somlabel::keyphrases
