// What the pass over the documents' text found in each document, kept from
// one run of labelsite to the next in one file (labelsite --cache), so that
// a run reads again only the documents and key files whose size or time
// stamp changed. The file holds, per document, its
// name, the stamps of its text and key file, its words as numbers with their
// counts and its key-file lines as numbers; then the terms (stems), the
// words as written with their terms, and the key-file lines those numbers
// stand for. A file of
// another version or language, or a damaged one, is read as an empty cache.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/io.h"

namespace somlabel::labelsite {

// A file as it was read: its size and time of change, or -1 when it was
// missing or no regular file.
struct FileStamp {
  int64_t modified = -1;  // nanoseconds
  int64_t size = -1;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

[[nodiscard]] FileStamp stamp_of(const std::string& path);

// One document as the pass found it. Numbers are those of the vocabulary
// the record is written with or read from.
struct DocumentWords {
  FileStamp text;
  FileStamp keys;
  uint32_t length = 0;                               // words indexed
  std::vector<std::pair<uint32_t, uint32_t>> words;  // word as written, count; ascending
  std::vector<uint32_t> key_lines;                   // in file order
};

// The strings the numbers of the records stand for.
struct CacheVocabulary {
  std::vector<std::string> stems;                              // per term
  std::vector<std::pair<std::string, uint32_t>> forms;         // word as written, term
  std::vector<std::pair<std::string, std::string>> key_lines;  // phrase, stemmed phrase
};

// A cache file read into memory. Read-only once loaded, so threads may look
// records up at once.
class TextCache {
 public:
  TextCache() = default;
  TextCache(const TextCache&) = delete;
  TextCache& operator=(const TextCache&) = delete;
  ~TextCache();

  // Reads `path`, written for `language`. A missing file gives an empty
  // cache; one that cannot be read, or is damaged, too, after a warning.
  void load(const std::string& path, std::string_view language);

  [[nodiscard]] const CacheVocabulary& vocabulary() const { return vocabulary_; }
  [[nodiscard]] size_t size() const { return records_.size(); }

  // The record of document `name` into `words`; false when there is none.
  [[nodiscard]] bool find(std::string_view name, DocumentWords& words) const;

 private:
  [[nodiscard]] bool parse(std::string_view language);
  void unmap();

  const char* data_ = nullptr;
  size_t size_ = 0;
  std::unordered_map<std::string_view, const char*> records_;  // by name: after the name
  CacheVocabulary vocabulary_;
};

// Writes a cache file. The records come with the numbers of a vocabulary
// as it grew while the threads met the words, which differ from run to run;
// they go to a first temporary file, and finish() writes them again with the
// numbers of the final vocabulary, so the same documents always give the
// same file. The file is renamed into place when it is finished: a run
// that stops half-way leaves the old one.
class TextCacheWriter {
 public:
  // False, with nothing written, when the temporary file cannot be created.
  [[nodiscard]] bool open(const std::string& path, std::string_view language);
  void add(std::string_view name, const DocumentWords& words);
  // Writes the records with word w as word_number[w] and key-file line l as
  // line_number[l], then `vocabulary`, and puts the file in place. Fails
  // with its message.
  [[nodiscard]] Result<Reason> finish(const CacheVocabulary& vocabulary,
                              const std::vector<uint32_t>& word_number,
                              const std::vector<uint32_t>& line_number);

 private:
  File file_;
  std::string path_;
  std::string language_;
  std::string buffer_;
};

}  // namespace somlabel::labelsite
