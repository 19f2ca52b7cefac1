#include "candidates.h"

#include <algorithm>
#include <array>

#include "phrase_hash.h"

namespace keyphrases {
namespace {

constexpr std::uint32_t kNoWord = UINT32_MAX;
constexpr int kGraphWindow = 3;        // content words linked to the next two
constexpr int kGraphIterations = 20;
constexpr double kDamping = 0.85;

struct TokenInfo {
  std::string_view text;
  std::string_view stem;
  std::uint32_t word_id = kNoWord;  // set for content words only
  bool phrase_start = false;
};

// A content word may begin or end a phrase.
bool is_content(const Token& t, const WordNormalizer::Word& w) {
  return !w.stopword && !t.is_number && t.text.size() > 1;
}

struct Occurrence {
  std::uint32_t start;
  int length;
  std::uint32_t candidate;
};

class Collector {
 public:
  Collector(std::string_view text, WordNormalizer& words) : words_(words) {
    words_.begin_document();
    auto tokens = tokenize(text);
    doc_.n_tokens = static_cast<std::uint32_t>(tokens.size());
    doc_.first_sentence_end = doc_.n_tokens;
    infos_.reserve(tokens.size());
    for (std::size_t i = 0; i < tokens.size(); ++i) add_token(tokens[i], i);
  }

  DocumentCandidates run() {
    for (std::uint32_t i = 0; i < infos_.size(); ++i)
      if (infos_[i].word_id != kNoWord) grams_from(i);
    choose_surfaces();
    count_nested();
    rank_words();
    return std::move(doc_);
  }

 private:
  void add_token(const Token& t, std::size_t index) {
    if (t.sentence_start && index > 0 && doc_.first_sentence_end == doc_.n_tokens)
      doc_.first_sentence_end = static_cast<std::uint32_t>(index);
    const auto& w = words_.normalize(t.text);
    TokenInfo info{t.text, w.stem, kNoWord, t.phrase_start};
    if (is_content(t, w)) info.word_id = intern(w.stem);
    infos_.push_back(info);
  }

  std::uint32_t intern(std::string_view stem) {
    auto [it, fresh] = word_ids_.try_emplace(stem, static_cast<std::uint32_t>(doc_.word_stems.size()));
    if (fresh) doc_.word_stems.emplace_back(stem);
    return it->second;
  }

  void grams_from(std::uint32_t i) {
    std::uint64_t h = kPhraseHashSeed;
    for (int len = 1; len <= kMaxPhraseWords; ++len) {
      std::uint32_t j = i + static_cast<std::uint32_t>(len) - 1;
      if (j >= infos_.size() || (len > 1 && infos_[j].phrase_start)) return;
      h = phrase_hash_add_word(h, infos_[j].stem, len == 1);
      if (infos_[j].word_id != kNoWord) record(i, len, phrase_key(h));
    }
  }

  void record(std::uint32_t start, int len, std::uint64_t key) {
    auto [it, fresh] = by_key_.try_emplace(key, static_cast<std::uint32_t>(doc_.candidates.size()));
    if (fresh) {
      doc_.candidates.push_back(make_candidate(start, len, key));
      variants_.emplace_back();
    }
    Candidate& c = doc_.candidates[it->second];
    ++c.count;
    c.last = start;
    occurrences_.push_back({start, len, it->second});
    note_surface(it->second, start, len);
  }

  Candidate make_candidate(std::uint32_t start, int len, std::uint64_t key) const {
    Candidate c;
    c.key = key;
    c.length = len;
    c.first = start;
    for (int k = 0; k < len; ++k) {
      const auto& info = infos_[start + static_cast<std::uint32_t>(k)];
      if (k > 0) c.stemmed.push_back(' ');
      c.stemmed.append(info.stem);
      c.word_ids[k] = info.word_id;
    }
    return c;
  }

  void note_surface(std::uint32_t candidate, std::uint32_t start, int len) {
    buffer_.clear();
    for (int k = 0; k < len; ++k) {
      if (k > 0) buffer_.push_back(' ');
      buffer_.append(infos_[start + static_cast<std::uint32_t>(k)].text);
    }
    auto& forms = variants_[candidate];
    for (auto& f : forms)
      if (f.first == buffer_) {
        ++f.second;
        return;
      }
    forms.emplace_back(buffer_, 1);
  }

  // Most frequent form; the first seen wins ties since max_element keeps the first maximum.
  void choose_surfaces() {
    for (std::size_t c = 0; c < doc_.candidates.size(); ++c) {
      auto& forms = variants_[c];
      auto best = std::max_element(forms.begin(), forms.end(),
                                   [](const auto& a, const auto& b) { return a.second < b.second; });
      doc_.candidates[c].surface = std::move(best->first);
    }
  }

  // An occurrence is nested when a longer occurrence covers its tokens.
  void count_nested() {
    std::unordered_map<std::uint64_t, bool> starts;  // (start << 2 | length) of every occurrence
    starts.reserve(occurrences_.size());
    for (const auto& o : occurrences_) starts[(std::uint64_t{o.start} << 2) | std::uint64_t(o.length)] = true;
    for (const auto& o : occurrences_)
      if (o.length < kMaxPhraseWords && is_covered(o, starts)) ++doc_.candidates[o.candidate].in_longer;
  }

  static bool is_covered(const Occurrence& o, const std::unordered_map<std::uint64_t, bool>& starts) {
    std::uint32_t end = o.start + static_cast<std::uint32_t>(o.length) - 1;
    std::uint32_t lowest = end >= kMaxPhraseWords - 1 ? end - (kMaxPhraseWords - 1) : 0;
    for (std::uint32_t s = lowest; s <= o.start; ++s)
      for (int len = 1; len <= kMaxPhraseWords; ++len) {
        bool covers = s + static_cast<std::uint32_t>(len) - 1 >= end && len > o.length;
        if (covers && starts.count((std::uint64_t{s} << 2) | std::uint64_t(len))) return true;
      }
    return false;
  }

  // Position-biased PageRank over the co-occurrence graph of content words.
  void rank_words() {
    std::size_t n = doc_.word_stems.size();
    std::vector<double> bias(n, 0.0);
    std::unordered_map<std::uint64_t, double> edges;
    std::vector<std::uint32_t> seq;
    for (std::uint32_t i = 0; i < infos_.size(); ++i) {
      if (infos_[i].word_id == kNoWord) continue;
      std::uint32_t w = infos_[i].word_id;
      bias[w] += 1.0 / (1.0 + seq.size());
      for (std::size_t back = 1; back < kGraphWindow && back <= seq.size(); ++back) {
        std::uint32_t v = seq[seq.size() - back];
        if (v != w) edges[(std::uint64_t{std::min(v, w)} << 32) | std::max(v, w)] += 1.0;
      }
      seq.push_back(w);
    }
    doc_.word_rank = pagerank(n, bias, edges);
  }

  static std::vector<double> pagerank(std::size_t n, std::vector<double>& bias,
                                      const std::unordered_map<std::uint64_t, double>& edges) {
    if (n == 0) return {};
    double total = 0;
    for (double b : bias) total += b;
    for (double& b : bias) b /= total;
    std::vector<double> strength(n, 0.0);
    std::vector<std::array<double, 3>> list;  // u, v, weight; sorted for a deterministic sum order
    list.reserve(edges.size());
    for (const auto& [k, w] : edges) list.push_back({double(k >> 32), double(k & 0xffffffffu), w});
    std::sort(list.begin(), list.end());
    for (const auto& e : list) {
      strength[std::size_t(e[0])] += e[2];
      strength[std::size_t(e[1])] += e[2];
    }
    std::vector<double> rank(bias), next(n);
    for (int it = 0; it < kGraphIterations; ++it) {
      for (std::size_t i = 0; i < n; ++i) next[i] = (1 - kDamping) * bias[i];
      for (const auto& e : list) {
        auto u = std::size_t(e[0]), v = std::size_t(e[1]);
        next[u] += kDamping * rank[v] * e[2] / strength[v];
        next[v] += kDamping * rank[u] * e[2] / strength[u];
      }
      // Isolated words keep their bias share so the ranks still sum to one.
      for (std::size_t i = 0; i < n; ++i)
        if (strength[i] == 0) next[i] += kDamping * rank[i];
      rank.swap(next);
    }
    for (double& r : rank) r *= double(n);
    return rank;
  }

  WordNormalizer& words_;
  DocumentCandidates doc_;
  std::vector<TokenInfo> infos_;
  std::unordered_map<std::string_view, std::uint32_t> word_ids_;
  std::unordered_map<std::uint64_t, std::uint32_t> by_key_;
  std::vector<std::vector<std::pair<std::string, std::uint32_t>>> variants_;
  std::vector<Occurrence> occurrences_;
  std::string buffer_;
};

}  // namespace

const WordNormalizer::Word& WordNormalizer::normalize(std::string_view token) {
  auto it = cache_.find(std::string(token));
  if (it != cache_.end()) return it->second;
  std::string lowered = lower(token);
  Word w;
  w.stopword = is_stopword(lang_, lowered);
  w.stem = std::string(stemmer_.stem(lowered));
  return cache_.emplace(std::string(token), std::move(w)).first->second;
}

void WordNormalizer::begin_document() {
  if (cache_.size() > kMaxCachedWords) cache_.clear();
}

DocumentCandidates collect_candidates(std::string_view text, WordNormalizer& words) {
  return Collector(text, words).run();
}

}  // namespace keyphrases
