#include "keyphrases/candidates.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "keyphrases/boilerplate.h"
#include "keyphrases/code_filter.h"
#include "keyphrases/phrase_hash.h"
#include "keyphrases/pos_lexicon.h"
#include "text/stopwords.h"
#include "text/tokenizer.h"

namespace somlabel::keyphrases {
namespace {

constexpr std::uint32_t kNoWord = UINT32_MAX;
constexpr std::uint32_t kNoCandidate = UINT32_MAX;
constexpr int kGraphWindow = 3;  // content words linked to the next two
constexpr int kGraphIterations = 12;
constexpr double kDamping = 0.85;

struct TokenInfo {
  std::string_view text;
  std::string_view stem;
  std::uint32_t word_id = kNoWord;  // set for content words only
  bool phrase_start = false;
  bool may_modify = false;
  bool may_end = false;
  bool verb_like = false;
  bool gerund = false;
  bool starts_object = false;
  bool starts_complement = false;
  bool stopword = false;
  bool unknown = false;
  bool boilerplate = false;  // on a boilerplate segment of the text
};

// A content word may stand in a phrase.
bool is_content(const text::Token& t, const WordNormalizer::Word& w) {
  return !w.stopword && !t.is_number && t.text.size() > 1 && (w.may_modify || w.may_end);
}

struct Occurrence {
  std::uint32_t start;
  int length;
  std::uint32_t candidate;
};

class Collector {
 public:
  Collector(std::string_view text, WordNormalizer& words, const BoilerplateTest& boilerplate)
      : words_(words) {
    words_.begin_document();
    auto tokens = text::tokenize(text);
    std::vector<bool> code = code_tokens(text, tokens);
    spread_identifiers(tokens, code);
    doc_.n_tokens = static_cast<std::uint32_t>(tokens.size());
    doc_.first_sentence_end = doc_.n_tokens;
    infos_.reserve(tokens.size());
    for (std::size_t i = 0; i < tokens.size(); ++i) add_token(tokens[i], i, code[i]);
    split_unmarked_sentences();
    if (boilerplate) mark_boilerplate(text, tokens, boilerplate);
  }

  DocumentCandidates run() {
    note_free_gerund_phrases();
    for (std::uint32_t i = 0; i < infos_.size(); ++i)
      if (infos_[i].word_id != kNoWord)
        grams_from(i, [&](int len, std::uint64_t key, End end) {
          // The collection's boilerplate says nothing of this text ("Math library").
          if (on_boilerplate(i, len)) return;
          // A lone -ing form before a word modifies it ("terminating null byte").
          if (end == End::yes || (len > 1 && free_gerund_phrases_.count(key) != 0))
            record(i, len, key);
        });
    choose_surfaces();
    count_nested();
    link_contained();
    rank_words();
    doc_.token_texts.reserve(infos_.size());
    for (const auto& info : infos_) doc_.token_texts.push_back(info.text);
    return std::move(doc_);
  }

 private:
  void add_token(const text::Token& t, std::size_t index, bool code) {
    if (code) note_code_word(t);
    if (t.sentence_start && index > 0 && doc_.first_sentence_end == doc_.n_tokens)
      doc_.first_sentence_end = static_cast<std::uint32_t>(index);
    const auto& w = words_.normalize(t.text);
    TokenInfo info{t.text,     w.stem,      kNoWord,  t.phrase_start,  w.may_modify,
                   w.may_end,  w.verb_like, w.gerund, w.starts_object, w.starts_complement,
                   w.stopword, w.unknown,   false};
    if (!code && is_content(t, w)) info.word_id = intern(w.stem);
    infos_.push_back(info);
  }

  std::uint32_t intern(std::string_view stem) {
    auto [it, fresh] =
        word_ids_.try_emplace(stem, static_cast<std::uint32_t>(doc_.word_stems.size()));
    if (fresh) {
      doc_.word_stems.emplace_back(stem);
      doc_.word_count.push_back(0);
    }
    ++doc_.word_count[it->second];
    return it->second;
  }

  // Whether a phrase may end at a word: yes, no, or only if the text also has the
  // phrase where it may end (an -ing form before a word, ending two words or more).
  enum class End { no, yes, if_free };

  // Calls emit(length, key, end) for every phrase that starts at token i and may end.
  template <class Emit>
  void grams_from(std::uint32_t i, Emit&& emit) const {
    std::uint64_t h = kPhraseHashSeed;
    for (int len = 1; len <= kMaxPhraseWords; ++len) {
      std::uint32_t j = i + static_cast<std::uint32_t>(len) - 1;
      if (j >= infos_.size() || (len > 1 && infos_[j].phrase_start)) return;
      h = phrase_hash_add_word(h, infos_[j].stem, len == 1);
      if (infos_[j].word_id == kNoWord) return;  // inner stopwords made mostly fragments
      // A word twice in a row is a list or a heading run into the text ("services services
      // database" from "services(5) services database"), no phrase.
      if (len > 1 && infos_[j].word_id == infos_[j - 1].word_id) return;
      if (End end = may_end_at(j); end != End::no) emit(len, phrase_key(h), end);
      if (!infos_[j].may_modify || infos_[i].gerund) return;
    }
  }

  End may_end_at(std::uint32_t j) const {
    if (!infos_[j].may_end) return End::no;
    if (j + 1 >= infos_.size() || infos_[j + 1].phrase_start) return End::yes;
    const TokenInfo& next = infos_[j + 1];
    // Before a word, number or name a verb's -ing form has its object ("a string
    // describing error codes", "no symbol matching addr") or modifies a noun ("pattern
    // matching algorithm"): a phrase ends there only if the text also has it free.
    if (infos_[j].gerund) {
      if (!next.stopword) return End::if_free;
      return next.starts_object || next.starts_complement ? End::no : End::yes;
    }
    if (!infos_[j].verb_like) return End::yes;
    // Before another verb-like word it is the subject: "the thread starts".
    return (next.word_id == kNoWord ? !next.starts_object : next.verb_like) ? End::yes : End::no;
  }

  // Every segment of a line with a boilerplate segment. Tokens and segments are
  // both in text order.
  void mark_boilerplate(std::string_view text, const std::vector<text::Token>& tokens,
                        const BoilerplateTest& boilerplate) {
    const std::vector<TextSegment> segments = text_segments(text);
    std::vector<std::size_t> lines;  // with a boilerplate segment, increasing
    for (const TextSegment& segment : segments)
      if ((lines.empty() || lines.back() != segment.line) && boilerplate(segment.key))
        lines.push_back(segment.line);
    std::size_t t = 0, l = 0;
    for (const TextSegment& segment : segments) {
      while (l < lines.size() && lines[l] < segment.line) ++l;
      if (l == lines.size()) return;
      if (lines[l] != segment.line) continue;
      while (t < tokens.size() && tokens[t].offset < segment.begin) ++t;
      for (; t < tokens.size() && tokens[t].offset < segment.end; ++t) infos_[t].boilerplate = true;
    }
  }

  bool on_boilerplate(std::uint32_t start, int len) const {
    for (std::uint32_t k = 0; k < static_cast<std::uint32_t>(len); ++k)
      if (!infos_[start + k].boilerplate) return false;
    return true;
  }

  // The phrases ending in an -ing form where nothing but a stopword follows.
  void note_free_gerund_phrases() {
    for (std::uint32_t j = 0; j < infos_.size(); ++j) {
      if (!infos_[j].gerund || infos_[j].word_id == kNoWord || may_end_at(j) != End::yes) continue;
      for (std::uint32_t i = j >= kMaxPhraseWords - 1 ? j - (kMaxPhraseWords - 1) : 0; i <= j; ++i)
        if (infos_[i].word_id != kNoWord)
          grams_from(i, [&](int len, std::uint64_t key, End) {
            if (i + static_cast<std::uint32_t>(len) - 1 == j) free_gerund_phrases_.insert(key);
          });
    }
  }

  // A title run into its text, or a lost full stop, leaves a sentence start inside a
  // phrase: "stable feature selection Stability is", "event sequences Event sequences
  // capture", "ENOMEM Insufficient memory". A capitalised word after a lower-case one
  // starts a sentence when the text also writes it in lower case (names and "the semantic
  // Web" keep theirs); after an acronym, also when WordNet knows it ("NASA Ames" stays).
  void split_unmarked_sentences() {
    auto lower = [](std::string_view t) { return t[0] >= 'a' && t[0] <= 'z'; };
    auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
    auto capitalised = [&](std::string_view t) {
      return upper(t[0]) && (t.size() < 2 || lower(t.substr(1)));
    };
    auto all_upper = [&](std::string_view t) {
      return t.size() > 1 && std::all_of(t.begin(), t.end(), upper);
    };
    std::vector<char> lower_seen(doc_.word_stems.size(), 0);
    for (const TokenInfo& info : infos_)
      if (info.word_id != kNoWord && lower(info.text)) lower_seen[info.word_id] = 1;
    for (std::size_t j = 1; j < infos_.size(); ++j) {
      TokenInfo& t = infos_[j];
      const TokenInfo& before = infos_[j - 1];
      if (t.word_id != kNoWord && before.word_id != kNoWord && capitalised(t.text) &&
          ((lower(before.text) && lower_seen[t.word_id]) ||
           (all_upper(before.text) && (lower_seen[t.word_id] || !t.unknown))))
        t.phrase_start = true;
    }
  }

  // Index of the candidate with this key, added if new. Open addressing over
  // (key, index + 1) pairs, at most half full.
  void note_code_word(const text::Token& t) {
    const auto& w = words_.normalize(t.text);
    if (w.stopword || t.is_number || t.text.size() < 2) return;
    if (code_words_.insert(w.stem).second) doc_.code_words.emplace_back(w.stem);
  }

  // A word no lexicon knows that the text uses as code ("cacosf" in
  // "cacosf(float complex z)") is an identifier in its prose too; an English
  // word ("thread" as a parameter name) is code only where code surrounds it.
  void spread_identifiers(const std::vector<text::Token>& tokens, std::vector<bool>& code) {
    if (std::find(code.begin(), code.end(), true) == code.end()) return;
    std::unordered_set<std::string_view> identifiers;
    for (std::size_t i = 0; i < tokens.size(); ++i)
      if (code[i]) {
        const auto& w = words_.normalize(tokens[i].text);
        if (w.unknown) identifiers.insert(w.stem);
      }
    if (identifiers.empty()) return;
    for (std::size_t i = 0; i < tokens.size(); ++i)
      if (!code[i] && identifiers.count(words_.normalize(tokens[i].text).stem) != 0) code[i] = true;
  }

  std::uint32_t find(std::uint64_t key) const {
    if (key_slots_.empty()) return kNoCandidate;
    std::size_t mask = key_slots_.size() - 1;
    for (std::size_t i = key & mask; key_slots_[i].second != 0; i = (i + 1) & mask)
      if (key_slots_[i].first == key) return key_slots_[i].second - 1;
    return kNoCandidate;
  }

  // Pairs every candidate with the longer ones it lies inside, word for word.
  void link_contained() {
    for (std::uint32_t outer = 0; outer < doc_.candidates.size(); ++outer) {
      const Candidate& c = doc_.candidates[outer];
      for (int begin = 0; begin < c.length; ++begin) {
        std::uint64_t h = kPhraseHashSeed;
        for (int end = begin + 1; end <= c.length && end - begin < c.length; ++end) {
          h = phrase_hash_add_word(h, doc_.word_stems[c.word_ids[end - 1]], end == begin + 1);
          std::uint32_t inner = find(phrase_key(h));
          if (inner != kNoCandidate) doc_.containments.push_back({inner, outer});
        }
      }
    }
  }

  std::uint32_t find_or_add(std::uint32_t start, int len, std::uint64_t key) {
    if (2 * (doc_.candidates.size() + 1) > key_slots_.size()) grow_keys();
    std::size_t mask = key_slots_.size() - 1;
    std::size_t i = key & mask;
    for (; key_slots_[i].second != 0; i = (i + 1) & mask)
      if (key_slots_[i].first == key) return key_slots_[i].second - 1;
    auto index = static_cast<std::uint32_t>(doc_.candidates.size());
    key_slots_[i] = {key, index + 1};
    doc_.candidates.push_back(make_candidate(start, len, key));
    form_head_.push_back(kNoForm);
    return index;
  }

  void grow_keys() {
    std::vector<std::pair<std::uint64_t, std::uint32_t>> bigger(
        std::max<std::size_t>(1024, key_slots_.size() * 2));
    std::size_t mask = bigger.size() - 1;
    for (const auto& slot : key_slots_) {
      if (slot.second == 0) continue;
      std::size_t i = slot.first & mask;
      while (bigger[i].second != 0) i = (i + 1) & mask;
      bigger[i] = slot;
    }
    key_slots_.swap(bigger);
  }

  void record(std::uint32_t start, int len, std::uint64_t key) {
    std::uint32_t index = find_or_add(start, len, key);
    Candidate& c = doc_.candidates[index];
    ++c.count;
    c.last = start;
    occurrences_.push_back({start, len, index});
    note_surface(index, start, len);
  }

  Candidate make_candidate(std::uint32_t start, int len, std::uint64_t key) const {
    Candidate c;
    c.key = key;
    c.length = len;
    c.first = start;
    for (int k = 0; k < len; ++k)
      c.word_ids[k] = infos_[start + static_cast<std::uint32_t>(k)].word_id;
    return c;
  }

  bool same_form(std::uint32_t a, std::uint32_t b, int len) const {
    for (std::uint32_t k = 0; k < static_cast<std::uint32_t>(len); ++k)
      if (infos_[a + k].text != infos_[b + k].text) return false;
    return true;
  }

  // The forms of a candidate are a list in forms_, each kept as the start of
  // its first occurrence and its number of occurrences.
  void note_surface(std::uint32_t candidate, std::uint32_t start, int len) {
    for (std::uint32_t f = form_head_[candidate]; f != kNoForm; f = forms_[f].next)
      if (same_form(forms_[f].start, start, len)) {
        ++forms_[f].count;
        return;
      }
    forms_.push_back({start, 1, form_head_[candidate]});
    form_head_[candidate] = static_cast<std::uint32_t>(forms_.size() - 1);
  }

  // Most frequent form; among equals the first seen, which starts earliest.
  void choose_surfaces() {
    for (std::size_t c = 0; c < doc_.candidates.size(); ++c) {
      const Form* best = nullptr;
      for (std::uint32_t f = form_head_[c]; f != kNoForm; f = forms_[f].next)
        if (best == nullptr || forms_[f].count > best->count ||
            (forms_[f].count == best->count && forms_[f].start < best->start))
          best = &forms_[f];
      doc_.candidates[c].surface_start = best->start;
    }
  }

  // An occurrence is nested when a longer occurrence covers its tokens.
  void count_nested() {
    std::vector<std::uint8_t> lengths_at(infos_.size(),
                                         0);  // bit len-1 set: an occurrence of len starts here
    for (const auto& o : occurrences_) lengths_at[o.start] |= std::uint8_t(1u << (o.length - 1));
    for (const auto& o : occurrences_)
      if (o.length < kMaxPhraseWords && is_covered(o, lengths_at))
        ++doc_.candidates[o.candidate].in_longer;
  }

  static bool is_covered(const Occurrence& o, const std::vector<std::uint8_t>& lengths_at) {
    std::uint32_t end = o.start + static_cast<std::uint32_t>(o.length) - 1;
    std::uint32_t lowest = end >= kMaxPhraseWords - 1 ? end - (kMaxPhraseWords - 1) : 0;
    for (std::uint32_t s = lowest; s <= o.start; ++s)
      for (int len = o.length + 1; len <= kMaxPhraseWords; ++len)
        if (s + static_cast<std::uint32_t>(len) - 1 >= end && (lengths_at[s] >> (len - 1) & 1))
          return true;
    return false;
  }

  // Position-biased PageRank over the co-occurrence graph of content words.
  void rank_words() {
    std::size_t n = doc_.word_stems.size();
    std::vector<double> bias(n, 0.0);
    std::vector<std::uint64_t> pairs;  // (smaller id << 32 | larger id), once per co-occurrence
    std::vector<std::uint32_t> seq;
    for (std::uint32_t i = 0; i < infos_.size(); ++i) {
      if (infos_[i].word_id == kNoWord) continue;
      std::uint32_t w = infos_[i].word_id;
      bias[w] += 1.0 / (1.0 + double(seq.size()));
      for (std::size_t back = 1; back < kGraphWindow && back <= seq.size(); ++back) {
        std::uint32_t v = seq[seq.size() - back];
        if (v != w) pairs.push_back((std::uint64_t{std::min(v, w)} << 32) | std::max(v, w));
      }
      seq.push_back(w);
    }
    doc_.word_rank = pagerank(n, bias, edges_of(pairs));
  }

  struct Edge {
    std::uint32_t u, v;
    double weight;
  };

  // Counts each distinct pair in an open-addressing table. Its layout depends
  // only on the document, so the order of the sums below, and the ranks, are
  // the same on every run.
  static std::vector<Edge> edges_of(const std::vector<std::uint64_t>& pairs) {
    std::size_t slots = 64;
    while (slots < 2 * pairs.size()) slots *= 2;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> table(slots, {0, 0});  // (pair + 1, count)
    std::size_t mask = slots - 1;
    for (std::uint64_t p : pairs) {
      std::uint64_t key = p + 1;
      std::size_t i = (key * 0x9E3779B97F4A7C15ULL) >> 20 & mask;
      while (table[i].first != 0 && table[i].first != key) i = (i + 1) & mask;
      table[i].first = key;
      ++table[i].second;
    }
    std::vector<Edge> edges;
    for (const auto& [key, count] : table)
      if (key != 0)
        edges.push_back({std::uint32_t((key - 1) >> 32), std::uint32_t(key - 1), double(count)});
    return edges;
  }

  static std::vector<double> pagerank(std::size_t n, std::vector<double>& bias,
                                      const std::vector<Edge>& edges) {
    if (n == 0) return {};
    double total = 0;
    for (double b : bias) total += b;
    for (double& b : bias) b /= total;
    std::vector<double> strength(n, 0.0);
    for (const auto& e : edges) {
      strength[e.u] += e.weight;
      strength[e.v] += e.weight;
    }
    std::vector<double> rank(bias), next(n), share(n);
    for (int it = 0; it < kGraphIterations; ++it) {
      // Isolated words keep their rank so the ranks still sum to one.
      for (std::size_t i = 0; i < n; ++i) {
        share[i] = strength[i] > 0 ? kDamping * rank[i] / strength[i] : 0;
        next[i] = (1 - kDamping) * bias[i] + (strength[i] > 0 ? 0 : kDamping * rank[i]);
      }
      for (const auto& e : edges) {
        next[e.u] += share[e.v] * e.weight;
        next[e.v] += share[e.u] * e.weight;
      }
      rank.swap(next);
    }
    for (double& r : rank) r *= double(n);
    return rank;
  }

  WordNormalizer& words_;
  DocumentCandidates doc_;
  std::vector<TokenInfo> infos_;
  std::unordered_map<std::string_view, std::uint32_t> word_ids_;
  std::vector<std::pair<std::uint64_t, std::uint32_t>>
      key_slots_;  // (key, candidate + 1), 0: empty
  struct Form {
    std::uint32_t start, count, next;
  };
  static constexpr std::uint32_t kNoForm = UINT32_MAX;
  std::vector<Form> forms_;
  std::vector<std::uint32_t> form_head_;  // candidate -> its latest form
  std::vector<Occurrence> occurrences_;
  std::unordered_set<std::string_view> code_words_;
  std::unordered_set<std::uint64_t> free_gerund_phrases_;
};

}  // namespace

namespace {

// Cache hash: eight bytes at a time; never 0, which marks an empty slot.
std::uint64_t token_hash(std::string_view s) {
  std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ s.size();
  std::size_t i = 0;
  for (; i + 8 <= s.size(); i += 8) {
    std::uint64_t w;
    std::memcpy(&w, s.data() + i, 8);
    h = (h ^ w) * 0xFF51AFD7ED558CCDULL;
    h ^= h >> 32;
  }
  std::uint64_t tail = 0;
  std::memcpy(&tail, s.data() + i, s.size() - i);
  h = (h ^ tail) * 0xC4CEB9FE1A85EC53ULL;
  h ^= h >> 29;
  return h == 0 ? 1 : h;
}

bool ends_with(std::string_view s, std::string_view end) {
  return s.size() > end.size() && s.substr(s.size() - end.size()) == end;
}

// Thresholds on the share of a reading among a form's readings (pos_lexicon.h).
constexpr double kMinNounShare = 0.1;
constexpr double kMinModifierShare = 0.1;
constexpr double kMinVerbLikeNounShare = 0.03;  // below: "lets", "reads" are never nouns
constexpr double kVerbLikeRatio = 1.5;          // verb readings over noun readings

constexpr std::string_view kObjectStarts[] = {
    "a",   "an",    "another", "any",   "both", "each",  "every", "her",  "him",  "his",
    "it",  "its",   "me",      "my",    "no",   "not",   "our",   "some", "such", "that",
    "the", "their", "them",    "these", "this", "those", "to",    "us",   "you",  "your"};

// Not "of" or "in": "matching of patterns", "learning in games" are nouns.
constexpr std::string_view kComplementStarts[] = {"at",   "by",   "for",  "from",
                                                  "into", "onto", "upon", "with"};

void set_english_roles(std::string_view lowered, WordNormalizer::Word& w) {
  if (w.stopword) {
    for (std::string_view s : kObjectStarts) w.starts_object = w.starts_object || s == lowered;
    for (std::string_view s : kComplementStarts)
      w.starts_complement = w.starts_complement || s == lowered;
    return;
  }
  // A possessive ends its phrase: "the thread's signal mask" holds two.
  if (ends_with(lowered, "'s") || ends_with(lowered, "\u2019s")) w.may_modify = false;
  WordReadings r = english_readings(lowered);
  w.unknown = !r.known();
  if (w.unknown) return;
  double noun = r.share[kNoun], adjective = r.share[kAdjective];
  bool finite = r.verb_form == VerbForm::base || r.verb_form == VerbForm::third;
  if (finite && r.share[kVerb] > kVerbLikeRatio * noun) {
    // A plural rarely modifies another noun, so "draws" before a noun is a verb.
    w.verb_like = true;
    w.may_end = noun >= kMinVerbLikeNounShare;
    w.may_modify =
        w.may_modify && r.verb_form == VerbForm::base && noun + adjective >= kMinModifierShare;
    return;
  }
  // -ing forms name activities ("clustering") unless mostly adjectives
  // ("willing"); -ed forms describe ("labeled data").
  bool gerund = r.verb_form == VerbForm::gerund && adjective < 0.5;
  bool participle = gerund || r.verb_form == VerbForm::participle;
  w.may_end = noun >= kMinNounShare || gerund;
  w.gerund = gerund && noun < kMinNounShare;
  w.may_modify = w.may_modify && (w.may_end || participle || noun + adjective >= kMinModifierShare);
}

// Top-level domains that end a host name of two parts ("debian.org"); a name
// of three parts or more is one whatever it ends in ("lists.example.net").
constexpr std::string_view kTopLevelDomains[] = {
    "at", "au",  "be",  "biz", "br", "ca",  "ch",  "cn",   "com", "cz", "de",
    "dk", "edu", "es",  "eu",  "fi", "fr",  "gov", "info", "int", "io", "it",
    "jp", "mil", "net", "nl",  "no", "org", "pl",  "ru",   "se",  "uk", "us"};

// Pieces of links and markup that texts taken from the web carry.
constexpr std::string_view kMarkupWords[] = {"amp", "br",  "div",    "href", "img",
                                             "li",  "lt",  "mailto", "nbsp", "quot",
                                             "gt",  "src", "span",   "td",   "www"};

// "www.example.org", "lists.debian.org"; not "2.5", "U.S.A" or "python3.11".
bool is_host_name(std::string_view lowered) {
  std::size_t parts = 0;
  std::string_view last;
  while (true) {
    const std::size_t dot = lowered.find('.');
    const std::string_view part = lowered.substr(0, dot);
    if (part.size() < 2 || part[0] < 'a' || part[0] > 'z') return false;
    for (char ch : part)
      if (!((ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '-')) return false;
    ++parts;
    last = part;
    if (dot == std::string_view::npos) break;
    lowered.remove_prefix(dot + 1);
  }
  if (parts >= 3) return true;
  return parts == 2 && std::find(std::begin(kTopLevelDomains), std::end(kTopLevelDomains), last) !=
                           std::end(kTopLevelDomains);
}

bool is_markup(std::string_view lowered) {
  return std::find(std::begin(kMarkupWords), std::end(kMarkupWords), lowered) !=
         std::end(kMarkupWords);
}

}  // namespace

const WordNormalizer::Word& WordNormalizer::normalize(std::string_view token) {
  std::uint64_t full = token_hash(token);
  auto h = static_cast<std::uint32_t>(full >> 32);
  std::size_t mask = slots_.size() - 1;
  std::size_t i = full & mask;
  for (; slots_[i].entry != 0; i = (i + 1) & mask)
    if (slots_[i].hash == h && entries_[slots_[i].entry - 1].token == token)
      return entries_[slots_[i].entry - 1].word;
  std::string lowered = text::lower(token);
  Word w;
  // Host names and markup are no words of a phrase, in any language.
  w.stopword = text::is_stopword(lang_, lowered) || is_host_name(lowered) || is_markup(lowered);
  if (lang_ == text::Language::english) set_english_roles(lowered, w);
  w.stem = std::string(stemmer_.stem(lowered));
  slots_[i] = {h, static_cast<std::uint32_t>(entries_.size() + 1)};
  entries_.push_back({std::string(token), std::move(w)});
  const Word& added = entries_.back().word;
  if (2 * entries_.size() > slots_.size()) grow();
  return added;
}

// Slots keep only half the hash, so the slot is found again from the token.
void WordNormalizer::grow() {
  std::vector<Slot> bigger(slots_.size() * 2);
  std::size_t mask = bigger.size() - 1;
  for (const Slot& s : slots_) {
    if (s.entry == 0) continue;
    std::size_t i = token_hash(entries_[s.entry - 1].token) & mask;
    while (bigger[i].entry != 0) i = (i + 1) & mask;
    bigger[i] = s;
  }
  slots_.swap(bigger);
}

void WordNormalizer::begin_document() {
  if (entries_.size() <= kMaxCachedWords) return;
  entries_.clear();
  slots_.assign(1 << 12, Slot{});
}

std::string stemmed_form(const DocumentCandidates& doc, const Candidate& c) {
  std::string out;
  for (int k = 0; k < c.length; ++k) {
    if (k > 0) out.push_back(' ');
    out += doc.word_stems[c.word_ids[k]];
  }
  return out;
}

std::string surface_form(const DocumentCandidates& doc, const Candidate& c) {
  std::string out;
  for (int k = 0; k < c.length; ++k) {
    if (k > 0) out.push_back(' ');
    out += doc.token_texts[c.surface_start + static_cast<std::uint32_t>(k)];
  }
  // A possessive names what follows it ("the user's shell"): the phrase is the owner.
  for (std::string_view ending : {"'s", "\u2019s"})
    if (out.size() > ending.size() + 1 && out.ends_with(ending))
      out.resize(out.size() - ending.size());
  return out;
}

DocumentCandidates collect_candidates(std::string_view text, WordNormalizer& words,
                                      const BoilerplateTest& boilerplate) {
  return Collector(text, words, boilerplate).run();
}

}  // namespace somlabel::keyphrases
