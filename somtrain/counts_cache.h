// What a training counted of each document, kept in WORKDIR for the next
// run: a document whose file has not changed since (same size, modification
// time and inode) is counted again from here, without being read. Its words
// are kept as the lower-cased forms that count (see build_corpus) with their
// occurrences, before stemming and the vocabulary, so that any vocabulary
// option can be built from them. Little-endian:
//
//   Header (32 bytes, below)
//   language   its name and a line end: the stopwords the forms were judged by
//   forms      `forms` words in ascending byte order, each ending in '\n'
//   documents  `documents` of them in ascending name order: the name and a
//              line end, then unsigned LEB128 numbers: size, modification time
//              in nanoseconds, inode, cut (1 when only its start was read),
//              the number of its forms K, and K pairs: the distance of the
//              form's index to the one before (the first: to 0) and its
//              occurrences, by ascending index
//
// checksum covers every byte after the header (common/checksum.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/documents.h"
#include "common/result.h"

namespace somlabel::somtrain {

namespace counts_format {

inline constexpr char kMagic[8] = {'S', 'O', 'M', 'C', 'N', 'T', 'S', '\n'};
inline constexpr std::uint32_t kVersion = 1;

struct Header {
  char magic[8];
  std::uint32_t version;
  std::uint32_t forms;      // words in the forms section
  std::uint64_t documents;  // documents in the documents section
  std::uint64_t checksum;
};
static_assert(sizeof(Header) == 32);

}  // namespace counts_format

// The file's name in WORKDIR.
inline constexpr std::string_view kCountsCacheName = ".somtrain/counted";

// The file a document was counted from; a document whose file differs in any
// of size, modification time and inode is read again.
using FileStamp = somlabel::FileStamp;

// (form index, occurrences) pairs of one document, by ascending form index.
using FormCounts = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

// One document of a counts file, pointing into the file's bytes.
struct CountedDocument {
  std::string_view name;
  FileStamp stamp;
  bool cut = false;
  std::string_view pairs;  // its encoded pairs; CountsCache::decode reads them
};

// A counts file as read. Owns its bytes; not copied.
class CountsCache {
 public:
  CountsCache() = default;
  CountsCache(const CountsCache&) = delete;
  CountsCache& operator=(const CountsCache&) = delete;

  // Takes `bytes` and checks magic, version, checksum, the order of forms and
  // names and every form index. Fails with a message (without the file's
  // name), and the cache is then empty.
  [[nodiscard]] somlabel::Result<somlabel::Reason> parse(std::string bytes);

  [[nodiscard]] std::string_view bytes() const { return bytes_; }
  [[nodiscard]] std::string_view language() const { return language_; }
  [[nodiscard]] const std::vector<std::string_view>& forms() const { return forms_; }
  [[nodiscard]] const std::vector<CountedDocument>& documents() const { return documents_; }
  // The document `name` as counted, or none.
  [[nodiscard]] const CountedDocument* find(std::string_view name) const;
  // The pairs of a document of this cache.
  [[nodiscard]] static FormCounts decode(std::string_view pairs);

 private:
  void clear();
  somlabel::Result<somlabel::Reason> fail(const std::string& why);

  std::string bytes_;
  std::string_view language_;
  std::vector<std::string_view> forms_;
  std::vector<CountedDocument> documents_;
};

// Builds a counts file: the language and forms first, then the documents in
// ascending name order.
class CountsCacheWriter {
 public:
  CountsCacheWriter(std::string_view language, const std::vector<std::string>& forms);
  void add(std::string_view name, FileStamp stamp, bool cut, const FormCounts& pairs);
  // The whole file.
  [[nodiscard]] std::string bytes() const;

 private:
  std::string body_;
  std::uint32_t forms_ = 0;
  std::uint64_t documents_ = 0;
};

}  // namespace somlabel::somtrain
