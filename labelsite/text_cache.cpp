#include "labelsite/text_cache.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "common/messages.h"

namespace somlabel::labelsite {
namespace {

// The file's first line; the version is part of it.
constexpr std::string_view kMagic = "somlabel site text 1\n";
constexpr std::string_view kEnd = "end\n";

void put_varint(std::string& out, uint64_t value) {
  while (value >= 0x80) {
    out.push_back(static_cast<char>((value & 0x7f) | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<char>(value));
}

void put_text(std::string& out, std::string_view text) {
  put_varint(out, text.size());
  out.append(text);
}

// A stamp's values are -1 or more: stored plus one.
void put_stamp(std::string& out, const FileStamp& stamp) {
  put_varint(out, static_cast<uint64_t>(stamp.modified + 1));
  put_varint(out, static_cast<uint64_t>(stamp.size + 1));
}

// Reads what put_* wrote; once anything is out of bounds, every read fails.
class Input {
 public:
  Input(const char* at, const char* end) : at_(at), end_(end) {}

  bool varint(uint64_t& value) {
    value = 0;
    for (int shift = 0; shift < 64 && at_ < end_; shift += 7) {
      const auto byte = static_cast<unsigned char>(*at_++);
      value |= static_cast<uint64_t>(byte & 0x7f) << shift;
      if ((byte & 0x80) == 0) return true;
    }
    return fail();
  }
  bool number(uint32_t& value) {
    uint64_t wide;
    if (!varint(wide) || wide > UINT32_MAX) return fail();
    value = static_cast<uint32_t>(wide);
    return true;
  }
  bool text(std::string_view& value) {
    uint64_t size;
    if (!varint(size) || size > static_cast<uint64_t>(end_ - at_)) return fail();
    value = std::string_view(at_, size);
    at_ += size;
    return true;
  }
  bool stamp(FileStamp& stamp) {
    uint64_t modified, size;
    if (!varint(modified) || !varint(size) || modified > INT64_MAX || size > INT64_MAX)
      return fail();
    stamp = {static_cast<int64_t>(modified) - 1, static_cast<int64_t>(size) - 1};
    return true;
  }
  bool literal(std::string_view expected) {
    if (static_cast<size_t>(end_ - at_) < expected.size() ||
        std::string_view(at_, expected.size()) != expected) {
      return fail();
    }
    at_ += expected.size();
    return true;
  }
  [[nodiscard]] const char* at() const { return at_; }
  [[nodiscard]] bool at_end() const { return at_ == end_; }

 private:
  bool fail() {
    at_ = end_;
    return false;
  }
  const char* at_;
  const char* end_;
};

// The record after its name: stamps, length, words, key-file lines.
bool read_record(Input& in, DocumentWords& words) {
  uint32_t forms, lines;
  if (!in.stamp(words.text) || !in.stamp(words.keys) || !in.number(words.length) ||
      !in.number(forms)) {
    return false;
  }
  words.words.clear();
  for (uint32_t i = 0; i < forms; ++i) {
    auto& [form, count] = words.words.emplace_back();
    if (!in.number(form) || !in.number(count)) return false;
  }
  if (!in.number(lines)) return false;
  words.key_lines.resize(lines);
  for (uint32_t& line : words.key_lines) {
    if (!in.number(line)) return false;
  }
  return true;
}

bool read_vocabulary(Input& in, CacheVocabulary& vocabulary) {
  uint32_t count;
  std::string_view text, more;
  if (!in.number(count)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    if (!in.text(text)) return false;
    vocabulary.stems.emplace_back(text);
  }
  if (!in.number(count)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t term;
    if (!in.text(text) || !in.number(term) || term >= vocabulary.stems.size()) return false;
    vocabulary.forms.emplace_back(text, term);
  }
  if (!in.number(count)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    if (!in.text(text) || !in.text(more)) return false;
    vocabulary.key_lines.emplace_back(text, more);
  }
  return true;
}

}  // namespace

FileStamp stamp_of(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  return {static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
          static_cast<int64_t>(info.st_size)};
}

TextCache::~TextCache() { unmap(); }

void TextCache::unmap() {
  if (data_ != nullptr) munmap(const_cast<char*>(data_), size_);
  data_ = nullptr;
  size_ = 0;
  records_.clear();
  vocabulary_ = {};
}

void TextCache::load(const std::string& path, std::string_view language) {
  unmap();
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (descriptor < 0) {
    if (errno != ENOENT) warn("cannot read %s: %s", path.c_str(), errno_text().c_str());
    return;
  }
  struct stat info;
  if (fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    void* mapped =
        mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE, descriptor, 0);
    if (mapped != MAP_FAILED) {
      data_ = static_cast<const char*>(mapped);
      size_ = static_cast<size_t>(info.st_size);
    }
  }
  close(descriptor);
  if (data_ != nullptr && parse(language)) return;
  unmap();
  warn("the text cache %s is damaged or of another kind; every document is read again",
      path.c_str());
}

bool TextCache::parse(std::string_view language) {
  Input in(data_, data_ + size_);
  std::string_view stored;
  if (!in.literal(kMagic) || !in.text(stored) || stored != language) return false;
  DocumentWords words;
  for (;;) {
    std::string_view name;
    if (!in.text(name)) return false;
    if (name.empty()) break;
    records_[name] = in.at();
    if (!read_record(in, words)) return false;
  }
  if (!read_vocabulary(in, vocabulary_) || !in.literal(kEnd) || !in.at_end()) return false;
  // Every number of a record must stand for something.
  for (const auto& [name, record] : records_) {
    Input again(record, data_ + size_);
    if (!read_record(again, words)) return false;
    for (const auto& [form, count] : words.words) {
      if (form >= vocabulary_.forms.size()) return false;
    }
    for (const uint32_t line : words.key_lines) {
      if (line >= vocabulary_.key_lines.size()) return false;
    }
  }
  return true;
}

bool TextCache::find(std::string_view name, DocumentWords& words) const {
  const auto found = records_.find(name);
  if (found == records_.end()) return false;
  Input in(found->second, data_ + size_);
  return read_record(in, words);
}

namespace {

void append_record(std::string& out, std::string_view name, const DocumentWords& words) {
  put_text(out, name);
  put_stamp(out, words.text);
  put_stamp(out, words.keys);
  put_varint(out, words.length);
  put_varint(out, words.words.size());
  for (const auto& [form, count] : words.words) {
    put_varint(out, form);
    put_varint(out, count);
  }
  put_varint(out, words.key_lines.size());
  for (const uint32_t line : words.key_lines) put_varint(out, line);
}

void append_vocabulary(std::string& out, const CacheVocabulary& vocabulary) {
  put_text(out, "");
  put_varint(out, vocabulary.stems.size());
  for (const std::string& stem : vocabulary.stems) put_text(out, stem);
  put_varint(out, vocabulary.forms.size());
  for (const auto& [form, term] : vocabulary.forms) {
    put_text(out, form);
    put_varint(out, term);
  }
  put_varint(out, vocabulary.key_lines.size());
  for (const auto& [phrase, stemmed] : vocabulary.key_lines) {
    put_text(out, phrase);
    put_text(out, stemmed);
  }
  out.append(kEnd);
}

// Writes out what has gathered in `buffer` once it is large, or `always`.
void flush(FILE* file, std::string& buffer, bool always) {
  if (!always && buffer.size() < (size_t{1} << 20)) return;
  put(file, buffer);
  buffer.clear();
}

}  // namespace

bool TextCacheWriter::open(const std::string& path, std::string_view language) {
  path_ = path;
  language_ = language;
  if (!file_.create(path + ".records")) {
    warn("cannot write the text cache %s.records: %s; the next run reads every "
        "document again",
        path.c_str(), errno_text().c_str());
    return false;
  }
  return true;
}

void TextCacheWriter::add(std::string_view name, const DocumentWords& words) {
  if (!file_.is_open()) return;
  append_record(buffer_, name, words);
  flush(file_.get(), buffer_, false);
}

Result<Reason> TextCacheWriter::finish(const CacheVocabulary& vocabulary,
                               const std::vector<uint32_t>& word_number,
                               const std::vector<uint32_t>& line_number) {
  if (!file_.is_open()) return Result<Reason>();
  flush(file_.get(), buffer_, true);
  if (Result<Reason> closed = file_.close(); !closed) return closed;
  const std::string records = path_ + ".records";
  File in;
  if (!in.open(records, "r")) return Reason{errno_message("cannot read", records)};
  const std::string temporary = path_ + ".tmp";
  File out;
  if (!out.create(temporary)) return Reason{errno_message("cannot write", temporary)};
  buffer_.assign(kMagic);
  put_text(buffer_, language_);
  // The records, read a block at a time: a record cut at the end of a block
  // is read again once the next block is there.
  std::string block;
  size_t at = 0;
  for (bool more = true;;) {
    Input input(block.data() + at, block.data() + block.size());
    std::string_view name;
    DocumentWords words;
    if (input.text(name) && read_record(input, words)) {
      for (auto& [form, count] : words.words) form = word_number[form];
      std::sort(words.words.begin(), words.words.end());
      for (uint32_t& line : words.key_lines) line = line_number[line];
      append_record(buffer_, name, words);
      flush(out.get(), buffer_, false);
      at = static_cast<size_t>(input.at() - block.data());
      continue;
    }
    if (!more) break;
    block.erase(0, at);
    at = 0;
    const size_t kept = block.size();
    block.resize(kept + (size_t{1} << 20));
    const size_t got = std::fread(block.data() + kept, 1, block.size() - kept, in.get());
    block.resize(kept + got);
    more = got > 0;
  }
  if (at != block.size() || std::ferror(in.get()) != 0) {
    return Reason{"cannot read " + records + ": " + errno_text()};
  }
  (void)in.close();
  std::remove(records.c_str());
  append_vocabulary(buffer_, vocabulary);
  flush(out.get(), buffer_, true);
  if (Result<Reason> closed = out.close(); !closed) return closed;
  if (std::rename(temporary.c_str(), path_.c_str()) != 0) {
    return Reason{errno_message("cannot write", path_)};
  }
  return Result<Reason>();
}

}  // namespace somlabel::labelsite
