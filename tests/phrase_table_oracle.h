// The phrase-table operations written as plain scans over an array, exactly
// as the labeller's results are defined. The fast table must agree with this
// on every input.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "common/records.h"

namespace oracle {

using somlabel::phrase;

inline int phrase_exists(const std::vector<phrase>& extracted_phrases, const phrase& current_phrase,
                         int dim) {
  for (int i = 0; i < dim; ++i) {
    if (extracted_phrases[i].stemmed_phrase == current_phrase.stemmed_phrase) return i;
  }
  return -1;
}

inline int compare_phrases(const phrase& phrase1, const phrase& phrase2) {
  const std::string& l = phrase1.stemmed_phrase;
  const std::string& s = phrase2.stemmed_phrase;
  const size_t at = l.find(s);
  if (at == std::string::npos) return 0;
  const size_t behind = at + s.size();
  if (behind != l.size() && l[behind] != ' ') return 0;
  if (at == 0) return 1;
  return l[at - 1] == ' ' ? 1 : 0;
}

inline int sum_phrases(std::vector<phrase>& phrases, int phrasecount,
                       const phrase& current_phrase) {
  int hit = 0;
  for (int j = 0; j < phrasecount; ++j) {
    if (current_phrase.stemmed_phrase.size() < phrases[j].stemmed_phrase.size() &&
        compare_phrases(phrases[j], current_phrase) == 1) {
      phrases[j].score += current_phrase.score;
      hit = 1;
    }
  }
  return hit;
}

inline void dispose_phrase(std::vector<phrase>& phrases, int position, int phrasecount) {
  for (int i = position; i < phrasecount - 1; ++i) phrases[i] = phrases[i + 1];
}

inline int filter_phrases(std::vector<phrase>& phrases, int phrasecount) {
  int i = 0;
  while (i < phrasecount) {
    const phrase candidate = phrases[i];
    if (sum_phrases(phrases, phrasecount, candidate) == 1) {
      dispose_phrase(phrases, i, phrasecount);
      --phrasecount;
    } else {
      ++i;
    }
  }
  return phrasecount;
}

inline void sort_array(std::vector<phrase>& phrases, int phrasecount) {
  for (int i = 0; i < phrasecount; ++i) {
    for (int j = phrasecount - 1; j > i; --j) {
      if (phrases[j - 1].score > phrases[j].score) std::swap(phrases[j - 1], phrases[j]);
    }
  }
}

// A whole merge as the mode-1 step and the map key file do it: returns the
// lines of the block, header first.
struct Table {
  explicit Table(int capacity = somlabel::kMaxPhrases) : phrases(capacity), capacity(capacity) {}

  // False when the phrase was omitted because the table stayed full.
  bool add(const std::string& surface, const std::string& stemmed, double score) {
    phrase candidate;
    candidate.phrase = surface;
    candidate.stemmed_phrase = stemmed;
    candidate.score = score;
    const int whereis = phrase_exists(phrases, candidate, count);
    if (whereis >= 0) {
      phrases[whereis].score += score;
      return true;
    }
    if (count >= capacity) return false;
    phrases[count++] = candidate;
    if (count == capacity) count = filter_phrases(phrases, count);
    return true;
  }

  std::vector<phrase> best(int number_of_phrases) {
    count = filter_phrases(phrases, count);
    sort_array(phrases, count);
    int k = count;
    if (count > number_of_phrases) {
      k = number_of_phrases;
      while (k < count && phrases[count - k - 1].score == phrases[count - k].score) ++k;
    }
    std::vector<phrase> out;
    for (int i = count - 1; i >= count - k; --i) out.push_back(phrases[i]);
    return out;
  }

  std::vector<phrase> phrases;
  int capacity;
  int count = 0;
};

}  // namespace oracle
