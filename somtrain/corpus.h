// The documents a map is trained on: one term-count vector per document over
// a shared vocabulary of stems, made with the tokenizer, stopword lists and
// stemmer of text/, as keyphrases makes them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/result.h"
#include "somtrain/counts_cache.h"
#include "text/language.h"
#include "text/stemmer.h"

namespace somlabel::somtrain {

// How often one vocabulary term occurs in one document.
struct TermCount {
  std::uint32_t term = 0;
  std::uint32_t count = 0;
  friend bool operator==(const TermCount&, const TermCount&) = default;
};

struct Document {
  std::string name;              // file name, no directory
  std::vector<TermCount> terms;  // ascending term index; vocabulary terms only
};

// Which stems make the vocabulary. Terms in fewer than `min_df` documents or
// in more than `max_df_share` of them are left out; of the rest the
// `max_terms` found in most documents are kept (ties: the smaller stem).
struct VocabularyLimits {
  int min_df = 2;
  double max_df_share = 0.5;
  int max_terms = 5000;
};

// Owns everything; documents in the order they were given, terms sorted by
// stem so that a term's index depends only on the vocabulary.
struct Corpus {
  std::vector<Document> documents;
  std::vector<std::string> stems;   // per term index
  std::vector<std::string> labels;  // per term index: the word shown for it, the stem's
                                    // most frequent lower-cased form (ties: the smaller)
};

// What the vocabulary is chosen from, per stem: how many documents hold it
// and how often each lower-cased form of it occurs. Tables of parts of a
// collection add up to the table of the whole.
struct StemStats {
  int document_frequency = 0;
  std::map<std::string, long> forms;
};
using StemTable = std::unordered_map<std::string, StemStats>;

// One document's words that count (see build_corpus), stem -> occurrences, in
// stem order.
using StemCounts = std::map<std::string, std::uint32_t>;

// Counts one text and adds it to `table`.
[[nodiscard]] StemCounts count_stems(std::string_view text, text::Language language,
                                     text::Stemmer& stemmer, StemTable& table);

// The vocabulary of a collection of `documents` by `limits`: stems sorted, so
// a term's index is its rank, and the label of each.
struct Vocabulary {
  std::vector<std::string> stems;
  std::vector<std::string> labels;
};
[[nodiscard]] Vocabulary choose_vocabulary(const StemTable& table, std::size_t documents,
                                           const VocabularyLimits& limits);

// A document's counts over a vocabulary (stem -> term index); stems outside
// it are left out. Ascending term index, since the stems are sorted.
[[nodiscard]] std::vector<TermCount> term_counts(
    const StemCounts& counts, const std::unordered_map<std::string, std::uint32_t>& index);

// Counts the words that count (see build_corpus) of one text after the
// other under their stems, as count_stems does, but into a dictionary of its
// own: each word is lower-cased, judged and stemmed once, however often it
// occurs. One counter per thread.
class StemCounter {
 public:
  explicit StemCounter(text::Language language);

  // The stems of `text` and their counts, in ascending stem id; ids are this
  // counter's (stem()).
  using Counts = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
  [[nodiscard]] Counts count(std::string_view text);
  // The same for a text counted before, given as the forms that count and
  // their occurrences (pairs of an index into `forms` and a count).
  [[nodiscard]] Counts count(const FormCounts& pairs, const std::vector<std::string_view>& forms);
  // The forms of the text counted last, by ascending form id, and what the
  // ids are.
  [[nodiscard]] const FormCounts& last_forms() const { return last_forms_; }
  [[nodiscard]] const std::string& form(std::uint32_t id) const { return forms_[id].first; }
  [[nodiscard]] std::uint32_t form_stem(std::uint32_t id) const { return form_stems_[id]; }
  [[nodiscard]] std::size_t forms() const { return forms_.size(); }

  [[nodiscard]] const std::string& stem(std::uint32_t id) const { return stems_[id]; }
  [[nodiscard]] std::size_t stems() const { return stems_.size(); }

  // Adds what it counted, documents per stem and occurrences per form, to `table`.
  void add_to(StemTable& table) const;

 private:
  static constexpr std::uint32_t kSkipped = ~std::uint32_t{0};
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>{}(text);
    }
  };
  struct Form {
    std::uint32_t stem = kSkipped;  // kSkipped: a number, a stopword, a word of one letter
    std::uint32_t form = 0;         // index into forms_
  };
  std::uint32_t stem_id(const std::string& lowered);
  std::uint32_t form_id(std::string lowered);
  void add(std::uint32_t form, std::uint32_t occurrences, std::vector<std::uint32_t>& touched,
           std::vector<std::uint32_t>& touched_forms);
  Counts finish(std::vector<std::uint32_t>& touched, std::vector<std::uint32_t>& touched_forms);

  text::Language language_;
  text::Stemmer stemmer_;
  std::unordered_map<std::string, Form, Hash, std::equal_to<>> words_;  // by the text's spelling
  std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> forms_by_name_;
  std::vector<std::pair<std::string, long>> forms_;  // lower-cased form, occurrences
  std::vector<std::uint32_t> form_stems_;
  std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> stem_ids_;
  std::vector<std::string> stems_;
  std::vector<int> document_frequency_;
  std::vector<std::uint32_t> in_text_;  // scratch: occurrences per stem in the current text
  std::vector<std::uint32_t> in_form_;  // scratch: the same per form
  FormCounts last_forms_;
};

// One document's text, by name.
struct DocumentText {
  std::string name;
  std::string text;
};

// One document as a source hands it to build_corpus.
struct SourceText {
  std::string text;
  bool is_document = true;  // false: passed over (no text, no words), after `message`
  bool failed = false;      // it could not be read: the corpus is not built
  std::string message;      // said on standard error in document order, if any
  // Instead of `text`: the document as an earlier run counted it (its file
  // unchanged since), from build_corpus's `earlier`.
  const CountedDocument* counted = nullptr;
  FileStamp stamp;   // the file it was read from, for the counts of the next run
  bool cut = false;  // only its start was read
};
// Fills `text` with document `index` of the names given; called on any thread.
using TextSource = std::function<void(std::size_t index, SourceText& text)>;

// Words that count: lower-cased, not a stopword, not a number, two letters or
// more; each is counted under its stem. The documents `names` are read
// through `source` and counted on `jobs` threads; the corpus does not depend
// on their number. Holds one text per thread and a few bytes per word of each
// document, not the texts. False (after the messages of the documents before
// it) when a document could not be read. A document that the source hands as
// counted is counted from `earlier` (the counts file of an earlier run),
// whose forms give the words; with `counted`, the bytes of the counts file of
// this run are put there (counts_cache.h): every document, by name.
[[nodiscard]] bool build_corpus(const std::vector<std::string>& names, const TextSource& source,
                                const VocabularyLimits& limits, text::Language language, int jobs,
                                Corpus& corpus, const CountsCache* earlier = nullptr,
                                std::string* counted = nullptr);

// The same over texts in memory, on one thread.
[[nodiscard]] Corpus build_corpus(const std::vector<DocumentText>& texts,
                                  const VocabularyLimits& limits, text::Language language);

}  // namespace somlabel::somtrain
