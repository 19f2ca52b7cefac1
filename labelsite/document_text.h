// The pass over the documents' text when the site is written: each
// document (SOURCEPATH + name, as labelcalc reads it) cut into words by the
// tokenizer of text/, each word lower-cased and stemmed, and each document's
// key file read for its phrases. The documents are read on all cores, a
// block of them at a time, and put into the index in the site's order, so
// the index is the same whatever the number of threads. A document is read
// in slices of kTextSlice bytes, so no document, however large, needs more
// memory than that and its distinct words. What the last run found in a
// document whose text and key file have not changed since is taken from the
// text cache (text_cache.h) instead.
#pragma once

#include <string>
#include <vector>

#include "labelsite/text_index.h"
#include "text/language.h"

namespace somlabel::labelsite {

inline constexpr size_t kTextSlice = size_t{1} << 20;

// Key-file lines read per document; a key file holds ten or so.
inline constexpr size_t kMaxKeyLines = 1000;

struct TextSources {
  std::vector<std::string> names;  // per document in the site's order
  std::string source_path;         // SOURCEPATH: a document's text is source_path + name
  std::string key_path;            // KEYPATH
  std::string key_ending;          // KEAFILEEXTENSION
  text::Language language = text::Language::english;
  unsigned threads = 1;
  std::string cache;  // the text cache's path; empty: none
};

struct TextSummary {
  size_t documents = 0;
  size_t read = 0;               // documents whose text was read anew
  size_t cached = 0;             // documents taken from the text cache
  size_t unreadable = 0;         // documents whose text could not be read
  std::string first_unreadable;  // "PATH: reason" of the first of them
  size_t without_keys = 0;       // documents without a key file
  uint64_t bytes = 0;            // of the texts read anew
};

// Reads the text and key file of every document of `sources` into `index`
// and `phrases`. A document that cannot be read counts as one without words,
// and is counted in the summary; the caller warns.
void read_document_text(const TextSources& sources, TextIndex& index, KeyPhrases& phrases,
                        TextSummary& summary);

}  // namespace somlabel::labelsite
