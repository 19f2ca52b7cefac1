// Candidate phrases of one document: word n-grams of one to kMaxPhraseWords
// words inside phrase boundaries, grouped by stemmed form. Every word is a
// content word: no stopword, no number, not a single character. (Allowing
// stopwords inside, as in "quality of service", mostly added fragments such
// as "method of systemological" and cost 4 points of F1 on abstracts.)
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "text/language.h"
#include "text/stemmer.h"

namespace somlabel::keyphrases {

inline constexpr int kMaxPhraseWords = 3;

// Lower-cases and stems words with a cache, for one thread.
// The cache is bounded (kMaxCachedWords) so memory stays flat over many documents.
class WordNormalizer {
 public:
  static constexpr std::size_t kMaxCachedWords = 1 << 18;

  struct Word {
    std::string stem;
    bool stopword = false;
    // Where the word may stand in a noun phrase, from the language's lexicon:
    // before the last word (nouns, adjectives, participles) and as the last.
    // Words no lexicon knows may stand anywhere.
    bool may_modify = true;
    bool may_end = true;
    // Mostly a verb, though a noun too ("calls", "file"): it ends a phrase only
    // where no object follows it ("system calls." but not "thread starts execution").
    bool verb_like = false;
    // An -ing form: a noun ("pattern matching") unless an object follows
    // ("a string describing the error").
    bool gerund = false;
    bool starts_object = false;      // a stopword that opens an object: "lets you", "draws the"
    bool starts_complement = false;  // a preposition a verb takes: "starting at", "pointing to"
    bool unknown = false;            // no lexicon of the language knows it (names, jargon, code)
  };

  explicit WordNormalizer(text::Language lang) : lang_(lang), stemmer_(lang) {}

  // The entry for a token's text. Valid until the next begin_document().
  [[nodiscard]] const Word& normalize(std::string_view token);
  // Drops the cache when full; call only between documents.
  void begin_document();
  [[nodiscard]] text::Language language() const { return lang_; }

 private:
  text::Language lang_;
  text::Stemmer stemmer_;
  struct Entry {
    std::string token;
    Word word;
  };
  struct Slot {
    std::uint32_t hash = 0;   // upper half of the token hash
    std::uint32_t entry = 0;  // index + 1 into entries_; 0: empty
  };
  // Open addressing with linear probing, at most half full; entries in a deque
  // so references handed out stay valid as it grows.
  std::vector<Slot> slots_ = std::vector<Slot>(1 << 12);
  std::deque<Entry> entries_;
  void grow();
};

struct Candidate {
  std::uint64_t key = 0;                         // phrase_key of the stemmed form
  int length = 0;                                // words
  std::uint32_t word_ids[kMaxPhraseWords] = {};  // into DocumentCandidates::word_stems
  std::uint32_t count = 0;
  std::uint32_t first = 0;          // token index of the first occurrence
  std::uint32_t last = 0;           // token index of the last occurrence
  std::uint32_t in_longer = 0;      // occurrences inside a longer candidate occurrence
  std::uint32_t surface_start = 0;  // token index of an occurrence in the most frequent
                                    // surface form (ties: the first seen form)
};

// Candidate `inner` lies inside candidate `outer` word for word ("network" in
// "neural network"); indices into DocumentCandidates::candidates.
struct Containment {
  std::uint32_t inner, outer;
};

// Everything the features need from one document. Owns its strings except
// token_texts, which point into the document text: the text must outlive them.
// Phrase strings are built on demand (stemmed_form, surface_form) since only
// the few best candidates need them.
struct DocumentCandidates {
  std::uint32_t n_tokens = 0;
  std::uint32_t first_sentence_end = 0;   // token index where the second sentence starts
  std::vector<Candidate> candidates;      // in order of first occurrence
  std::vector<std::string> word_stems;    // content word id -> stem
  std::vector<double> word_rank;          // content word id -> graph centrality, mean 1
  std::vector<std::uint32_t> word_count;  // content word id -> occurrences
  std::vector<Containment> containments;
  std::vector<std::string> code_words;        // stems of words the text uses as code, once each
  std::vector<std::string_view> token_texts;  // token index -> its bytes in the text
};

// Stems joined by single blanks, in text order ("neural network").
[[nodiscard]] std::string stemmed_form(const DocumentCandidates& doc, const Candidate& c);
// The words as written, joined by single blanks ("Neural networks").
[[nodiscard]] std::string surface_form(const DocumentCandidates& doc, const Candidate& c);

// Whether the text segment with this key (boilerplate.h) is the collection's boilerplate.
using BoilerplateTest = std::function<bool(std::uint64_t segment_key)>;

// An occurrence whose words all stand on boilerplate segments is no occurrence:
// a phrase found only there is no candidate.
[[nodiscard]] DocumentCandidates collect_candidates(std::string_view text, WordNormalizer& words,
                                                    const BoilerplateTest& boilerplate = {});

}  // namespace somlabel::keyphrases
