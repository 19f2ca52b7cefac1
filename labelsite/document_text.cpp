#include "labelsite/document_text.h"

#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <numeric>
#include <string_view>
#include <thread>
#include <tuple>
#include <unordered_map>

#include "common/io.h"
#include "common/keyfile_line.h"
#include "labelsite/site_index.h"
#include "common/messages.h"
#include "labelsite/text_cache.h"
#include "text/stemmer.h"
#include "text/tokenizer.h"

namespace somlabel::labelsite {
namespace {

// Documents handed to a thread at a time, and blocks read ahead of the one
// being put into the index, per thread: this bounds the memory of a pass.
constexpr uint32_t kBlock = 64;
constexpr size_t kBlocksAhead = 4;

// Words a thread remembers with their terms, before it starts afresh.
constexpr size_t kRememberedWords = size_t{1} << 20;

// Words of one document counted in one go; beyond, they are counted first.
constexpr size_t kPendingWords = size_t{1} << 20;

using TextMap = std::unordered_map<std::string, uint32_t, TextHash, std::equal_to<>>;

// The terms (stems), the words as written (lower-cased) with their terms, and
// the key-file lines met so far, numbered as met. Shared by the threads; each
// asks only for what it has not met itself.
class Vocabulary {
 public:
  // The number of the word `form`, whose stem is `stem`.
  uint32_t word(std::string_view form, std::string_view stem) {
    const std::lock_guard lock(mutex_);
    const auto found = forms_.find(form);
    if (found != forms_.end()) return found->second;
    const auto number = static_cast<uint32_t>(strings_.forms.size());
    strings_.forms.emplace_back(form, stem_locked(stem));
    forms_.emplace(std::string(form), number);
    return number;
  }
  uint32_t key_line(std::string_view phrase, std::string_view stemmed) {
    std::string key(phrase);
    key.append("\t").append(stemmed);
    const std::lock_guard lock(mutex_);
    const auto [at, added] = lines_.try_emplace(std::move(key), strings_.key_lines.size());
    if (added) strings_.key_lines.emplace_back(phrase, stemmed);
    return at->second;
  }
  // The term of the word numbered `form`.
  uint32_t term(uint32_t form) {
    const std::lock_guard lock(mutex_);
    return strings_.forms[form].second;
  }
  // Once the threads are done.
  [[nodiscard]] const CacheVocabulary& strings() const { return strings_; }

 private:
  uint32_t stem_locked(std::string_view stem) {
    const auto found = stems_.find(stem);
    if (found != stems_.end()) return found->second;
    const auto term = static_cast<uint32_t>(strings_.stems.size());
    strings_.stems.emplace_back(stem);
    stems_.emplace(std::string(stem), term);
    return term;
  }

  std::mutex mutex_;
  CacheVocabulary strings_;
  TextMap stems_;
  TextMap forms_;
  TextMap lines_;
};

// The cache's numbers as the vocabulary's.
struct CacheNumbers {
  std::vector<uint32_t> words;
  std::vector<uint32_t> key_lines;
};

CacheNumbers take_vocabulary(const TextCache& cache, Vocabulary& vocabulary) {
  const CacheVocabulary& strings = cache.vocabulary();
  CacheNumbers numbers;
  for (const auto& [form, term] : strings.forms) {
    numbers.words.push_back(vocabulary.word(form, strings.stems[term]));
  }
  for (const auto& [phrase, stemmed] : strings.key_lines) {
    numbers.key_lines.push_back(vocabulary.key_line(phrase, stemmed));
  }
  return numbers;
}

// Why the file at `path` cannot be read as a text.
std::string unreadable_reason(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return errno_text();
  if (!S_ISREG(info.st_mode)) return kNotRegular;
  File in;
  return in.open(path, "r") ? std::string("changed while it was read") : errno_text();
}

// What one thread found in one document.
struct Found {
  DocumentWords words;
  bool read = false;    // its text read anew
  bool cached = false;  // its words from the cache
  std::string failure;  // why its text could not be read
  uint64_t bytes = 0;
};

// Reads documents on one thread.
class DocumentReader {
 public:
  DocumentReader(const TextSources& sources, Vocabulary& vocabulary, const TextCache& cache,
                 const CacheNumbers& numbers)
      : sources_(sources),
        vocabulary_(vocabulary),
        cache_(cache),
        numbers_(numbers),
        stemmer_(sources.language) {}

  Found read(uint32_t document) {
    const std::string& name = sources_.names[document];
    Found found;
    DocumentWords& words = found.words;
    words.text = stamp_of(sources_.source_path + name);
    words.keys = stamp_of(sources_.key_path + name + sources_.key_ending);
    DocumentWords cached;
    const bool in_cache = cache_.find(name, cached);
    if (in_cache && words.text.modified >= 0 && cached.text == words.text) {
      found.cached = true;
      words.length = cached.length;
      for (const auto& [form, count] : cached.words) {
        words.words.emplace_back(numbers_.words[form], count);
      }
    } else {
      read_text(sources_.source_path + name, found);
    }
    if (in_cache && words.keys.modified >= 0 && cached.keys == words.keys) {
      for (const uint32_t line : cached.key_lines) {
        words.key_lines.push_back(numbers_.key_lines[line]);
      }
    } else if (words.keys.modified >= 0) {
      read_keys(sources_.key_path + name + sources_.key_ending, words);
    }
    return found;
  }

 private:
  void read_text(const std::string& path, Found& found) {
    DocumentWords& words = found.words;
    File in;
    if (words.text.modified < 0 || !in.open(path, "r")) {
      found.failure = path + ": " + unreadable_reason(path);
      words.text = {};
      return;
    }
    if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kTextSlice);
    char* const text = buffer_.get();
    pending_.clear();
    size_t kept = 0;  // bytes of a word cut at the end of the last slice
    for (;;) {
      const size_t got = std::fread(text + kept, 1, kTextSlice - kept, in.get());
      found.bytes += got;
      if (got == 0) break;
      // Blanks never stand inside a word: the text up to the last one is
      // whole words. A slice without a blank is taken whole.
      const std::string_view slice(text, kept + got);
      const size_t blank = slice.find_last_of(" \t\n\r");
      const size_t cut = blank == std::string_view::npos ? slice.size() : blank + 1;
      add_words(slice.substr(0, cut), words);
      kept = slice.size() - cut;
      std::memmove(text, text + cut, kept);
    }
    add_words(std::string_view(text, kept), words);
    count_pending(words);
    if (std::ferror(in.get()) != 0) {
      found.failure = path + ": " + errno_text();
      words = DocumentWords{};
      return;
    }
    found.read = true;
  }

  void add_words(std::string_view text, DocumentWords& words) {
    for (const text::Token& token : text::tokenize(text)) {
      if (token.text.size() > kMaxWordBytes) continue;
      pending_.push_back(word_of(token.text));
      ++words.length;
      if (pending_.size() >= kPendingWords) count_pending(words);
    }
  }

  // The number of a word as the text writes it.
  uint32_t word_of(std::string_view token) {
    const auto found = remembered_.find(token);
    if (found != remembered_.end()) return found->second;
    const std::string lowered = text::lower(token);
    const uint32_t word = vocabulary_.word(lowered, stemmer_.stem(lowered));
    if (remembered_.size() >= kRememberedWords) remembered_.clear();
    remembered_.emplace(std::string(token), word);
    return word;
  }

  // Merges the pending words into the document's counts.
  void count_pending(DocumentWords& words) {
    std::sort(pending_.begin(), pending_.end());
    std::vector<std::pair<uint32_t, uint32_t>> merged;
    merged.reserve(words.words.size() + pending_.size());
    auto old = words.words.begin();
    for (size_t i = 0; i < pending_.size();) {
      const uint32_t word = pending_[i];
      uint32_t count = 0;
      for (; i < pending_.size() && pending_[i] == word; ++i) ++count;
      for (; old != words.words.end() && old->first < word; ++old) merged.push_back(*old);
      if (old != words.words.end() && old->first == word) count += (old++)->second;
      merged.emplace_back(word, count);
    }
    merged.insert(merged.end(), old, words.words.end());
    words.words.swap(merged);
    pending_.clear();
  }

  void read_keys(const std::string& path, DocumentWords& words) {
    File in;
    if (!in.open(path, "r")) {
      words.keys = {};
      return;
    }
    LineReader lines(in.get(), size_t{1} << 12, size_t{1} << 20);
    std::string_view line;
    for (size_t n = 0; n < kMaxKeyLines && lines.next(line); ++n) {
      KeyLine fields;
      if (split_keyfile_line(line, fields) != KeyLineStatus::ok) continue;
      std::string_view stemmed = fields.stemmed_phrase;
      while (!stemmed.empty() && (stemmed.back() == '\r' || stemmed.back() == ' ')) {
        stemmed.remove_suffix(1);
      }
      if (stemmed.empty() || fields.phrase.empty()) continue;
      words.key_lines.push_back(vocabulary_.key_line(fields.phrase, stemmed));
    }
    if (!lines.failure().empty()) words.keys = {};
  }

  const TextSources& sources_;
  Vocabulary& vocabulary_;
  const TextCache& cache_;
  const CacheNumbers& numbers_;
  text::Stemmer stemmer_;
  TextMap remembered_;
  std::unique_ptr<char[]> buffer_;  // kTextSlice bytes, made once
  std::vector<uint32_t> pending_;
};

// Blocks of documents read on threads and handed over in order.
class BlockQueue {
 public:
  explicit BlockQueue(size_t blocks, size_t ahead) : blocks_(blocks), ahead_(ahead) {}

  // The next block to read, or false when none is left or the pass stops.
  bool take(size_t& block) {
    std::unique_lock lock(mutex_);
    if (next_ >= blocks_ || stopped_) return false;
    block = next_++;
    space_.wait(lock, [&] { return block < handed_ + ahead_ || stopped_; });
    return !stopped_;
  }
  void done(size_t block, std::vector<Found> found) {
    {
      const std::lock_guard lock(mutex_);
      done_.emplace(block, std::move(found));
    }
    ready_.notify_all();
  }
  // Block number `block` once read; empty when the pass stopped.
  std::vector<Found> wait(size_t block) {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [&] { return done_.contains(block) || stopped_; });
    std::vector<Found> found;
    if (const auto at = done_.find(block); at != done_.end()) {
      found = std::move(at->second);
      done_.erase(at);
    }
    handed_ = block + 1;
    lock.unlock();
    space_.notify_all();
    return found;
  }
  void stop(std::exception_ptr thrown) {
    {
      const std::lock_guard lock(mutex_);
      if (!thrown_) thrown_ = std::move(thrown);
      stopped_ = true;
    }
    ready_.notify_all();
    space_.notify_all();
  }
  [[nodiscard]] std::exception_ptr thrown() {
    const std::lock_guard lock(mutex_);
    return thrown_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::condition_variable space_;
  const size_t blocks_;
  const size_t ahead_;
  size_t next_ = 0;
  size_t handed_ = 0;
  bool stopped_ = false;
  std::exception_ptr thrown_;
  std::map<size_t, std::vector<Found>> done_;
};

// Puts the blocks into the index in order, as the threads hand them over.
class Collector {
 public:
  Collector(const TextSources& sources, Vocabulary& vocabulary, TextIndex& index,
            TextSummary& summary, TextCacheWriter& cache)
      : sources_(sources),
        vocabulary_(vocabulary),
        index_(index),
        summary_(summary),
        cache_(cache) {
    index_.lengths.assign(sources.names.size(), 0);
    key_line_first.push_back(0);
  }

  void add(uint32_t document, const Found& found) {
    const DocumentWords& words = found.words;
    index_.lengths[document] = words.length;
    // The words as written, counted by their terms.
    terms_.clear();
    for (const auto& [form, count] : words.words) {
      if (form >= form_terms_.size()) grow(form);
      terms_.emplace_back(form_terms_[form], count);
      form_used_[form] = true;
    }
    std::sort(terms_.begin(), terms_.end());
    for (size_t i = 0; i < terms_.size();) {
      const uint32_t term = terms_[i].first;
      uint32_t count = 0;
      for (; i < terms_.size() && terms_[i].first == term; ++i) count += terms_[i].second;
      if (term >= index_.postings.size()) index_.postings.resize(term + 1);
      index_.postings[term].append(document, count);
    }
    key_lines.insert(key_lines.end(), words.key_lines.begin(), words.key_lines.end());
    key_line_first.push_back(static_cast<uint32_t>(key_lines.size()));
    cache_.add(sources_.names[document], words);
    summary_.read += found.read ? 1 : 0;
    summary_.cached += found.cached ? 1 : 0;
    summary_.bytes += found.bytes;
    summary_.without_keys += words.keys.modified < 0 ? 1 : 0;
    if (!found.failure.empty() && summary_.unreadable++ == 0) {
      summary_.first_unreadable = found.failure;
    }
  }

  // Whether some document writes the word numbered so.
  std::vector<bool> form_used_;

  // The documents' key-file lines: those of document d are
  // key_lines[key_line_first[d] .. key_line_first[d + 1]).
  std::vector<uint32_t> key_lines;
  std::vector<uint32_t> key_line_first;

 private:
  // The terms of the words up to `form`, from the vocabulary.
  void grow(uint32_t form) {
    const size_t old = form_terms_.size();
    form_terms_.resize(form + 1);
    form_used_.resize(form + 1);
    for (size_t f = old; f <= form; ++f) {
      form_terms_[f] = vocabulary_.term(static_cast<uint32_t>(f));
    }
  }

  const TextSources& sources_;
  Vocabulary& vocabulary_;
  TextIndex& index_;
  TextSummary& summary_;
  TextCacheWriter& cache_;
  std::vector<uint32_t> form_terms_;  // per word as written: its term
  std::vector<std::pair<uint32_t, uint32_t>> terms_;
};

void read_all(const TextSources& sources, const TextCache& cache, Vocabulary& vocabulary,
              Collector& collector) {
  const CacheNumbers numbers = take_vocabulary(cache, vocabulary);
  const size_t count = sources.names.size();
  const size_t blocks = (count + kBlock - 1) / kBlock;
  const unsigned threads = std::max(1u, sources.threads);
  BlockQueue queue(blocks, kBlocksAhead * threads);
  std::vector<std::jthread> workers;
  for (unsigned t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      try {
        DocumentReader reader(sources, vocabulary, cache, numbers);
        for (size_t block; queue.take(block);) {
          std::vector<Found> found;
          const size_t end = std::min(count, (block + 1) * kBlock);
          for (size_t d = block * kBlock; d < end; ++d) {
            found.push_back(reader.read(static_cast<uint32_t>(d)));
          }
          queue.done(block, std::move(found));
        }
      } catch (...) {
        queue.stop(std::current_exception());
      }
    });
  }
  try {
    for (size_t block = 0; block < blocks; ++block) {
      const std::vector<Found> found = queue.wait(block);
      if (found.empty()) break;  // stopped
      for (size_t i = 0; i < found.size(); ++i) {
        collector.add(static_cast<uint32_t>(block * kBlock + i), found[i]);
      }
      if (block % 16 == 15) {
        show_status("reading the documents' text: " +
                    std::to_string(block * kBlock + found.size()) + " of " + std::to_string(count));
      }
    }
  } catch (...) {
    queue.stop(std::current_exception());
  }
  workers.clear();  // joined
  if (const std::exception_ptr thrown = queue.thrown()) std::rethrow_exception(thrown);
}

constexpr uint32_t kNone = UINT32_MAX;

// Numbers the terms by their stems, drops those no document holds, and
// keeps the words as written that some document writes, in byte order.
// Returns each such word's new number (or kNone).
std::vector<uint32_t> finish_terms(const CacheVocabulary& strings, const Collector& collector,
                                   TextIndex& index) {
  std::vector<uint32_t> live;
  for (uint32_t term = 0; term < index.postings.size(); ++term) {
    if (index.postings[term].size() > 0) live.push_back(term);
  }
  std::sort(live.begin(), live.end(),
            [&](uint32_t a, uint32_t b) { return strings.stems[a] < strings.stems[b]; });
  std::vector<uint32_t> renumbered(strings.stems.size(), kNone);
  std::vector<PostingList> postings(live.size());
  index.stems.clear();
  for (uint32_t i = 0; i < live.size(); ++i) {
    renumbered[live[i]] = i;
    postings[i] = std::move(index.postings[live[i]]);
    index.stems.push_back(strings.stems[live[i]]);
  }
  index.postings = std::move(postings);
  std::vector<uint32_t> used;
  for (uint32_t form = 0; form < collector.form_used_.size(); ++form) {
    if (collector.form_used_[form]) used.push_back(form);
  }
  std::sort(used.begin(), used.end(), [&](uint32_t a, uint32_t b) {
    return strings.forms[a].first < strings.forms[b].first;
  });
  std::vector<uint32_t> word_number(strings.forms.size(), kNone);
  index.forms.clear();
  for (const uint32_t form : used) {
    word_number[form] = static_cast<uint32_t>(index.forms.size());
    index.forms.emplace_back(strings.forms[form].first, renumbered[strings.forms[form].second]);
  }
  return word_number;
}

// Writes the cache with the final numbers: the words', and the key-file
// lines in use by stemmed phrase and spelling.
void finish_cache(TextCacheWriter& writer, const CacheVocabulary& strings,
                  const Collector& collector, const TextIndex& index,
                  const std::vector<uint32_t>& word_number) {
  std::vector<uint32_t> used = collector.key_lines;
  std::sort(used.begin(), used.end());
  used.erase(std::unique(used.begin(), used.end()), used.end());
  const auto& lines = strings.key_lines;
  std::sort(used.begin(), used.end(), [&](uint32_t a, uint32_t b) {
    return std::tie(lines[a].second, lines[a].first) < std::tie(lines[b].second, lines[b].first);
  });
  CacheVocabulary final_strings{index.stems, index.forms, {}};
  std::vector<uint32_t> line_number(lines.size(), kNone);
  for (const uint32_t line : used) {
    line_number[line] = static_cast<uint32_t>(final_strings.key_lines.size());
    final_strings.key_lines.push_back(lines[line]);
  }
  if (const Result<Reason> written = writer.finish(final_strings, word_number, line_number); !written) {
    warn("%s; the next run reads every document again", written.message().c_str());
  }
}

// The phrases of a key-file line: its own and, where its spelling has as
// many words as its stemmed form, those its last words make. A candidate of
// the extractor is adjectives and nouns ending in a noun, so these are such
// phrases too ("global optimisation algorithms": "optimisation algorithms",
// "algorithms"), and they let documents that share only a part of their
// phrases share a label. Each is a (stemmed, spelling) pair.
std::vector<std::pair<std::string, std::string>> phrases_of(std::string_view spelling,
                                                            std::string_view stemmed) {
  std::vector<std::pair<std::string, std::string>> out{
      {std::string(stemmed), std::string(spelling)}};
  const std::vector<std::string_view> stems = words_of(stemmed);
  const std::vector<std::string_view> words = words_of(spelling);
  if (stems.size() != words.size()) return out;
  for (size_t from = 1; from < stems.size(); ++from) {
    const auto join = [from](const std::vector<std::string_view>& parts) {
      std::string text(parts[from]);
      for (size_t i = from + 1; i < parts.size(); ++i) text.append(" ").append(parts[i]);
      return text;
    };
    out.emplace_back(join(stems), join(words));
  }
  return out;
}

// The phrases of the key-file lines in use, by stemmed form, each shown as
// the spelling most documents use (of equals, the first in byte order).
void finish_phrases(const CacheVocabulary& strings, const Collector& collector,
                    KeyPhrases& phrases) {
  std::vector<uint32_t> uses(strings.key_lines.size(), 0);
  for (const uint32_t line : collector.key_lines) ++uses[line];
  // Each line's phrases, as numbers of (stemmed, spelling) pairs.
  std::vector<std::vector<uint32_t>> pairs_of_line(strings.key_lines.size());
  std::vector<std::pair<std::string, std::string>> pairs;
  std::vector<uint32_t> pair_uses;
  TextMap pair_number;
  for (uint32_t line = 0; line < uses.size(); ++line) {
    if (uses[line] == 0) continue;
    for (auto& pair : phrases_of(strings.key_lines[line].first, strings.key_lines[line].second)) {
      const auto [at, added] =
          pair_number.try_emplace(pair.first + '\t' + pair.second, pairs.size());
      if (added) {
        pairs.push_back(std::move(pair));
        pair_uses.push_back(0);
      }
      pair_uses[at->second] += uses[line];
      pairs_of_line[line].push_back(at->second);
    }
  }
  std::vector<uint32_t> order(pairs.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    if (pairs[a].first != pairs[b].first) return pairs[a].first < pairs[b].first;
    if (pair_uses[a] != pair_uses[b]) return pair_uses[a] > pair_uses[b];
    return pairs[a].second < pairs[b].second;
  });
  std::vector<uint32_t> phrase_of(pairs.size(), 0);
  phrases = KeyPhrases{};
  for (const uint32_t pair : order) {
    if (phrases.stemmed.empty() || phrases.stemmed.back() != pairs[pair].first) {
      phrases.stemmed.push_back(pairs[pair].first);
      phrases.surface.push_back(pairs[pair].second);
    }
    phrase_of[pair] = static_cast<uint32_t>(phrases.stemmed.size() - 1);
  }
  phrases.first.push_back(0);
  for (size_t d = 0; d + 1 < collector.key_line_first.size(); ++d) {
    // (phrase, 1 - named): a phrase the document names comes first of its equals.
    std::vector<std::pair<uint32_t, uint8_t>> own;
    for (uint32_t i = collector.key_line_first[d]; i < collector.key_line_first[d + 1]; ++i) {
      const std::vector<uint32_t>& line_pairs = pairs_of_line[collector.key_lines[i]];
      for (size_t k = 0; k < line_pairs.size(); ++k) {
        own.emplace_back(phrase_of[line_pairs[k]], k == 0 ? 0 : 1);
      }
    }
    std::sort(own.begin(), own.end());
    for (size_t k = 0; k < own.size(); ++k) {
      if (k > 0 && own[k].first == own[k - 1].first) continue;
      phrases.phrases.push_back(own[k].first);
      phrases.named.push_back(own[k].second == 0 ? 1 : 0);
    }
    phrases.first.push_back(static_cast<uint32_t>(phrases.phrases.size()));
  }
}

}  // namespace

void read_document_text(const TextSources& sources, TextIndex& index, KeyPhrases& phrases,
                        TextSummary& summary) {
  const std::string language(text::language_name(sources.language));
  summary = TextSummary{};
  summary.documents = sources.names.size();
  index = TextIndex{};
  TextCache cache;
  TextCacheWriter writer;
  if (!sources.cache.empty()) {
    cache.load(sources.cache, language);
    (void)writer.open(sources.cache, language);
  }
  Vocabulary vocabulary;
  Collector collector(sources, vocabulary, index, summary, writer);
  read_all(sources, cache, vocabulary, collector);
  const CacheVocabulary& strings = vocabulary.strings();
  const std::vector<uint32_t> word_number = finish_terms(strings, collector, index);
  if (!sources.cache.empty()) finish_cache(writer, strings, collector, index, word_number);
  finish_phrases(strings, collector, phrases);
}

}  // namespace somlabel::labelsite
