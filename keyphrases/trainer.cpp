#include "keyphrases/trainer.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

#include "common/documents.h"
#include "common/io.h"
#include "common/messages.h"
#include "keyphrases/boilerplate.h"
#include "keyphrases/candidates.h"
#include "keyphrases/extractor.h"
#include "keyphrases/features.h"
#include "keyphrases/parallel.h"
#include "keyphrases/phrase_hash.h"
#include "keyphrases/ranker.h"
#include "text/tokenizer.h"

namespace somlabel::keyphrases {
namespace {

using somlabel::Result;

using Counts = std::unordered_map<std::uint64_t, PhraseStats>;

struct GoldKeys {
  std::vector<std::uint64_t> phrases;                      // distinct
  std::unordered_map<std::uint64_t, std::uint32_t> words;  // word key -> gold phrases holding it
};

struct GoldDocument {
  DocumentCandidates doc;
  std::unordered_set<std::uint64_t> gold;
  std::unordered_map<std::uint64_t, std::uint32_t> words;
};

// Candidates of each length class, and how many of them occur twice or more in
// their text: how much this collection repeats its phrases compared with its words.
struct RepeatCounts {
  std::uint64_t phrases = 0, repeated_phrases = 0, words = 0, repeated_words = 0;
  std::uint64_t texts = 0, tokens = 0;
  void add(const DocumentCandidates& doc) {
    ++texts;
    tokens += doc.n_tokens;
    for (const auto& c : doc.candidates) {
      bool repeated = c.count >= 2;
      (c.length > 1 ? phrases : words) += 1;
      (c.length > 1 ? repeated_phrases : repeated_words) += repeated;
    }
  }
  void merge(const RepeatCounts& o) {
    phrases += o.phrases;
    repeated_phrases += o.repeated_phrases;
    words += o.words;
    repeated_words += o.repeated_words;
    texts += o.texts;
    tokens += o.tokens;
  }
};

struct Worker {
  explicit Worker(text::Language lang) : words(lang) {}
  WordNormalizer words;
  Counts counts;
  std::unordered_map<std::uint64_t, std::uint32_t> segments;  // segment key -> documents
  RepeatCounts repeats[2];  // texts without gold keys, texts with them
  Result<Reason> status;
};

// Every candidate and every content word of a document, once each: a word that
// never ends a phrase ("parallel") still has a document frequency.
std::vector<std::uint64_t> document_keys(const DocumentCandidates& doc) {
  std::vector<std::uint64_t> keys;
  keys.reserve(doc.candidates.size() + doc.word_stems.size());
  for (const auto& c : doc.candidates) keys.push_back(c.key);
  for (const auto& stem : doc.word_stems) keys.push_back(phrase_key_of(stem));
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  return keys;
}

GoldKeys keys_of_gold(std::string_view text, WordNormalizer& words) {
  GoldKeys gold;
  std::vector<std::uint64_t> line_words;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = std::min(text.find('\n', start), text.size());
    std::string stemmed;
    line_words.clear();
    for (const text::Token& t : text::tokenize(text.substr(start, end - start))) {
      const auto& w = words.normalize(t.text);
      if (!stemmed.empty()) stemmed.push_back(' ');
      stemmed += w.stem;
      line_words.push_back(phrase_key_of(w.stem));
    }
    start = end + 1;
    if (stemmed.empty()) continue;
    std::uint64_t key = phrase_key_of(stemmed);
    if (std::find(gold.phrases.begin(), gold.phrases.end(), key) != gold.phrases.end()) continue;
    gold.phrases.push_back(key);
    std::sort(line_words.begin(), line_words.end());
    line_words.erase(std::unique(line_words.begin(), line_words.end()), line_words.end());
    for (auto w : line_words) ++gold.words[w];
  }
  return gold;
}

void learn_ranker(std::vector<GoldDocument>& golds, const Counts& counts, std::uint64_t n_docs,
                  RankerKind kind, ModelData* out) {
  PhraseTable table{[&](std::uint64_t key) {
                      auto it = counts.find(key);
                      return it == counts.end() ? PhraseStats{} : it->second;
                    },
                    n_docs, out->stats};
  RankingData data;
  for (auto& g : golds) {
    SelfCounts self{true, [&](std::uint64_t key) { return g.gold.count(key) != 0; },
                    [&](std::uint64_t key) {
                      auto it = g.words.find(key);
                      return it == g.words.end() ? 0u : it->second;
                    }};
    FeatureTable features = compute_features(g.doc, table, self, kMaxTrainingRowsPerDocument);
    for (std::size_t r = 0; r < features.rows.size(); ++r) {
      data.rows.push_back(features.rows[r]);
      data.gold.push_back(g.gold.count(g.doc.candidates[features.candidate[r]].key) ? 1 : 0);
    }
    data.starts.push_back(data.rows.size());
    g.doc = {};  // free as we go
  }
  out->weights = train_ranker(data, kind);
  out->supervised = std::count(data.gold.begin(), data.gold.end(), 1) > 0;
}

// Every segment of a document (boilerplate.h), once each.
void count_segments(std::string_view text, std::unordered_map<std::uint64_t, std::uint32_t>& to) {
  std::vector<std::uint64_t> keys;
  for (const TextSegment& s : text_segments(text)) keys.push_back(s.key);
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  for (std::uint64_t key : keys) ++to[key];
}

// The boilerplate segments join the phrases, with their document frequency.
void store_boilerplate(const std::unordered_map<std::uint64_t, std::uint32_t>& segments,
                       std::uint64_t n_docs, Counts& counts) {
  if (n_docs < kMinDocumentsForBoilerplate) return;
  const std::uint64_t least = boilerplate_min_documents(n_docs);
  for (const auto& [key, df] : segments)
    if (df >= least) counts[key].df = df;
}

void store_phrases(const Counts& counts, std::uint64_t n_docs, ModelData* out) {
  std::uint32_t min_df = n_docs >= kPruneFromDocuments ? kMinStoredDf : 1;
  for (const auto& [key, stats] : counts)
    if (stats.df >= min_df || stats.gold > 0 || stats.in_gold > 0 || stats.code_df >= min_df)
      out->phrases.emplace_back(key, stats);
  std::sort(out->phrases.begin(), out->phrases.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
}

}  // namespace

std::vector<std::uint64_t> gold_keys(std::string_view gold_text, text::Language lang) {
  WordNormalizer words(lang);
  return keys_of_gold(gold_text, words).phrases;
}

std::string gold_file_name(std::string_view document) {
  if (document.ends_with(".txt")) document.remove_suffix(4);
  return std::string(document) + ".key";
}

std::vector<std::string> training_documents(const std::vector<std::string>& names) {
  std::unordered_set<std::string> gold_files;  // no name is its own gold file
  for (const std::string& name : names) gold_files.insert(gold_file_name(name));
  std::vector<std::string> documents;
  for (const std::string& name : names)
    if (gold_files.count(name) == 0) documents.push_back(name);
  return documents;
}

Result<Reason> train_model(const std::string& dir, const TrainOptions& options, ModelData* out) {
  std::vector<std::string> names;
  std::vector<somlabel::PassedOver> passed_over;
  if (Result<Reason> st = somlabel::list_documents(dir, names, passed_over); !st.ok()) return st;
  for (const auto& file : passed_over)
    say("%s",
        somlabel::passed_over_message(somlabel::join_path(dir, file.name), file.reason).c_str());
  names = training_documents(names);
  std::vector<Worker> workers;
  for (unsigned t = 0; t < std::max(1u, options.threads); ++t)
    workers.emplace_back(options.language);
  std::vector<GoldDocument> golds(names.size());
  std::vector<char> has_gold(names.size(), 0), cut(names.size(), 0);
  std::vector<std::string_view> skipped(names.size());  // why, where passed over
  parallel_for(names.size(), options.threads, [&](std::size_t i, unsigned w) {
    Worker& worker = workers[w];
    std::string gold_text;
    somlabel::DocumentRead document;
    const std::string path = somlabel::join_path(dir, names[i]);
    if (Result<Reason> st = somlabel::read_document(path, document); !st.ok()) {
      if (worker.status.ok()) worker.status = st;
      return;
    }
    skipped[i] = document.passed_over;
    cut[i] = document.cut;
    if (!document.passed_over.empty()) return;
    DocumentCandidates doc = collect_candidates(document.text, worker.words);
    count_segments(document.text, worker.segments);
    for (std::uint64_t key : document_keys(doc)) ++worker.counts[key].df;
    for (const auto& stem : doc.code_words) ++worker.counts[phrase_key_of(stem)].code_df;
    const std::string gold_name = somlabel::join_path(dir, gold_file_name(names[i]));
    // Most documents have no gold keyphrases; a gold file that is there but
    // cannot be read fails the training.
    const Result<Reason> read = somlabel::read_file(gold_name, gold_text);
    if (!read.ok() && somlabel::modification_time(gold_name) >= 0) {
      if (worker.status.ok()) worker.status = read;
      return;
    }
    const bool gold = read.ok();
    worker.repeats[gold].add(doc);
    if (!gold) return;
    GoldKeys keys = keys_of_gold(gold_text, worker.words);
    for (auto k : keys.phrases) ++worker.counts[k].gold;
    for (auto [k, n] : keys.words) worker.counts[k].in_gold += n;
    golds[i] = {std::move(doc), {keys.phrases.begin(), keys.phrases.end()}, std::move(keys.words)};
    has_gold[i] = 1;
  });
  std::size_t n_texts = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string path = somlabel::join_path(dir, names[i]);
    if (!skipped[i].empty()) {
      say("%s", somlabel::passed_over_message(path, skipped[i]).c_str());
    } else {
      ++n_texts;
    }
    if (cut[i]) say("%s", somlabel::cut_message(path).c_str());
  }
  if (n_texts == 0) return Reason{dir + " holds no text documents to train on"};
  Counts counts;
  std::unordered_map<std::uint64_t, std::uint32_t> segments;
  RepeatCounts repeats[2];
  for (auto& w : workers) {
    for (const auto& [key, df] : w.segments) segments[key] += df;
    w.segments = {};
    if (!w.status.ok()) return w.status;
    for (int gold = 0; gold < 2; ++gold) repeats[gold].merge(w.repeats[gold]);
    for (const auto& [key, s] : w.counts) {
      counts[key].df += s.df;
      counts[key].gold += s.gold;
      counts[key].in_gold += s.in_gold;
      counts[key].code_df += s.code_df;
    }
  }
  std::vector<GoldDocument> with_gold;
  for (std::size_t i = 0; i < names.size(); ++i)
    if (has_gold[i]) with_gold.push_back(std::move(golds[i]));
  *out = ModelData{};
  out->language = options.language;
  out->n_documents = n_texts;
  out->weights.assign(kNumWeights, 0.0);
  auto share = [](std::uint64_t part, std::uint64_t whole) {
    return whole == 0 ? 0.0 : double(part) / double(whole);
  };
  // The statistics describe the texts to be labelled: those without gold keys
  // where training mixes the two, as when the gold comes from another collection.
  const RepeatCounts& own = repeats[0].words > 0 ? repeats[0] : repeats[1];
  out->stats = {share(own.repeated_phrases, own.phrases), share(own.repeated_words, own.words),
                share(own.tokens, own.texts)};
  if (!with_gold.empty()) learn_ranker(with_gold, counts, n_texts, options.ranker, out);
  store_boilerplate(segments, n_texts, counts);
  store_phrases(counts, n_texts, out);
  return {};
}

}  // namespace somlabel::keyphrases
