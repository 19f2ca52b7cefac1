// What the documents' text says, for the content search and the site's own
// labels: every word of every document, lower-cased and stemmed with the
// tokenizer and stemmer of text/, as an inverted index over the documents in
// the site's order (labelsite/site_order.h), and the phrases of each
// document's key file. Built by read_document_text (document_text.h); owned
// by the caller and read-only once built.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace somlabel::labelsite {

// Longer words are not indexed: no one types them, and a document of endless
// letters would make one endless term.
inline constexpr size_t kMaxWordBytes = 64;

// The documents that hold one term, ascending, with how often each holds it
// (at most 255 times: beyond that BM25 counts no more). Plain arrays, five
// bytes a document: the labels intersect the lists of a phrase's words by
// galloping through them.
struct PostingList {
  std::vector<uint32_t> documents;
  std::vector<uint8_t> counts;

  void append(uint32_t document, uint32_t count) {
    documents.push_back(document);
    counts.push_back(static_cast<uint8_t>(count < 255 ? count : 255));
  }
  [[nodiscard]] uint32_t size() const { return static_cast<uint32_t>(documents.size()); }
};

struct TextIndex {
  std::vector<uint32_t> lengths;      // per document: its words, 0 when unread
  std::vector<std::string> stems;     // per term, in byte order
  std::vector<PostingList> postings;  // per term
  // Each word as documents write it, lower-cased, and its term; by word.
  std::vector<std::pair<std::string, uint32_t>> forms;

  // The term of `stem`, or -1.
  [[nodiscard]] int64_t term(std::string_view stem) const;
};

// The phrases of the documents' key files: the extractor's noun phrases,
// identified by their stemmed form, each shown by its most frequent spelling.
struct KeyPhrases {
  std::vector<std::string> stemmed;  // per phrase, in byte order
  std::vector<std::string> surface;  // per phrase
  std::vector<uint32_t> first;       // per document and one more: its phrases are
  std::vector<uint32_t> phrases;     // phrases[first[d] .. first[d + 1]), ascending
  std::vector<uint8_t> named;        // per entry of `phrases`: 1 where a key-file line of
                                     // the document is the phrase itself, not a part of one

  [[nodiscard]] size_t size() const { return stemmed.size(); }
};

// The documents that hold every term of `terms` (any order), ascending.
[[nodiscard]] std::vector<uint32_t> documents_with_all(const TextIndex& index,
                                                       const std::vector<uint32_t>& terms);

// The words of a phrase (spelt or stemmed), at single blanks. The views point
// into `phrase`.
[[nodiscard]] std::vector<std::string_view> words_of(std::string_view phrase);

}  // namespace somlabel::labelsite
