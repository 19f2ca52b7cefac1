// The phrase table as the plain C reading of its definition builds it: one
// array of fixed records (two 1024-byte texts and a score each), strcmp and
// strstr, entries removed by moving every later record, an exchange sort
// that swaps whole records. The benchmark's second reference: the cost the
// indexed table removes, beside tests/phrase_table_oracle.h (the same scans
// over std::string records).
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fixed_records {

struct record {
  int wc_phrase;
  char phrase[1024];
  char stemmed_phrase[1024];
  double score;
};

inline int phrase_exists(const record* table, const record& candidate, int dim) {
  for (int i = 0; i < dim; ++i) {
    if (std::strcmp(table[i].stemmed_phrase, candidate.stemmed_phrase) == 0) return i;
  }
  return -1;
}

inline int compare_phrases(const record& longer, const record& shorter) {
  const char* at = std::strstr(longer.stemmed_phrase, shorter.stemmed_phrase);
  if (at == nullptr) return 0;
  const char behind = at[std::strlen(shorter.stemmed_phrase)];
  if (behind != '\0' && behind != ' ') return 0;
  if (at == longer.stemmed_phrase) return 1;
  return at[-1] == ' ' ? 1 : 0;
}

inline int sum_phrases(record* table, int count, const record& candidate) {
  int hit = 0;
  const size_t length = std::strlen(candidate.stemmed_phrase);
  for (int j = 0; j < count; ++j) {
    if (length < std::strlen(table[j].stemmed_phrase) &&
        compare_phrases(table[j], candidate) == 1) {
      table[j].score += candidate.score;
      hit = 1;
    }
  }
  return hit;
}

inline void dispose_phrase(record* table, int position, int count) {
  for (int i = position; i < count - 1; ++i) table[i] = table[i + 1];
}

inline int filter_phrases(record* table, int count) {
  int i = 0;
  while (i < count) {
    const record candidate = table[i];
    if (sum_phrases(table, count, candidate) == 1) {
      dispose_phrase(table, i, count);
      --count;
    } else {
      ++i;
    }
  }
  return count;
}

inline void sort_array(record* table, int count) {
  for (int i = 0; i < count; ++i) {
    for (int j = count - 1; j > i; --j) {
      if (table[j - 1].score > table[j].score) {
        const record swap = table[j - 1];
        table[j - 1] = table[j];
        table[j] = swap;
      }
    }
  }
}

// One merge as the mode-1 step does it. Texts longer than a record holds are
// cut, as a fixed record would cut them (the benchmark's phrases are short).
class Table {
 public:
  explicit Table(int capacity = 1000)
      : records_(std::make_unique<record[]>(static_cast<size_t>(capacity))), capacity_(capacity) {}

  // False when the phrase was omitted because the table stayed full.
  bool add(std::string_view surface, std::string_view stemmed, double score) {
    record candidate;
    copy_text(candidate.phrase, surface);
    copy_text(candidate.stemmed_phrase, stemmed);
    candidate.score = score;
    const int whereis = phrase_exists(records_.get(), candidate, count_);
    if (whereis >= 0) {
      records_[static_cast<size_t>(whereis)].score += score;
      return true;
    }
    if (count_ >= capacity_) return false;
    records_[static_cast<size_t>(count_++)] = candidate;
    if (count_ == capacity_) count_ = filter_phrases(records_.get(), count_);
    return true;
  }

  // The best entries, best first, widened by ties at the cut.
  std::vector<const record*> best(int number_of_phrases) {
    count_ = filter_phrases(records_.get(), count_);
    sort_array(records_.get(), count_);
    int k = count_;
    if (count_ > number_of_phrases) {
      k = number_of_phrases;
      while (k < count_ && records_[static_cast<size_t>(count_ - k - 1)].score ==
                               records_[static_cast<size_t>(count_ - k)].score) {
        ++k;
      }
    }
    std::vector<const record*> out;
    for (int i = count_ - 1; i >= count_ - k; --i) out.push_back(&records_[static_cast<size_t>(i)]);
    return out;
  }

 private:
  static void copy_text(char (&to)[1024], std::string_view from) {
    const size_t n = std::min(from.size(), sizeof to - 1);
    std::memcpy(to, from.data(), n);
    to[n] = '\0';
  }

  std::unique_ptr<record[]> records_;
  int capacity_;
  int count_ = 0;
};

}  // namespace fixed_records
