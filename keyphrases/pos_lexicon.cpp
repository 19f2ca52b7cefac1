#include "keyphrases/pos_lexicon.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "keyphrases/pos_lexicon_data.h"

namespace somlabel::keyphrases {
namespace {

namespace data = pos_lexicon_data;

constexpr std::uint32_t kNotFound = UINT32_MAX;
// A reading WordNet lists but its tagged corpus never used still counts this
// much, so rare readings stay possible.
constexpr double kUnseenReading = 0.5;

std::string_view entry(const char* text, const std::uint32_t* offsets, std::uint32_t i) {
  return text + offsets[i];
}

// First index whose entry is not less than `word`.
std::uint32_t lower_bound(const char* text, const std::uint32_t* offsets, std::uint32_t n,
                          std::string_view word) {
  std::uint32_t lo = 0, hi = n;
  while (lo < hi) {
    std::uint32_t mid = lo + (hi - lo) / 2;
    if (entry(text, offsets, mid) < word)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

std::uint32_t find_lemma(std::string_view word) {
  std::uint32_t i = lower_bound(data::kLemmaText, data::kLemmaOffset, data::kLemmaCount, word);
  return i < data::kLemmaCount && entry(data::kLemmaText, data::kLemmaOffset, i) == word
             ? i
             : kNotFound;
}

double tagged_count(std::uint8_t weight) {
  return std::exp2((weight - 1) / 8.0) - 1 + kUnseenReading;
}

struct Collected {
  double count[kNumPartsOfSpeech] = {};
  VerbForm verb_form = VerbForm::none;

  // Keeps the most used lemma per part of speech.
  void add(std::uint32_t lemma, int pos, VerbForm form) {
    std::uint8_t w = data::kLemmaWeight[lemma][pos];
    if (w == 0) return;
    double c = tagged_count(w);
    if (c <= count[pos]) return;
    count[pos] = c;
    if (pos == kVerb) verb_form = form;
  }
};

struct Suffix {
  std::string_view ending, replacement;
  int pos;
  VerbForm form;
};

// WordNet's detachment rules (its morphy), with the verb form each yields.
constexpr Suffix kSuffixes[] = {
    {"s", "", kNoun, VerbForm::none},         {"ses", "s", kNoun, VerbForm::none},
    {"xes", "x", kNoun, VerbForm::none},      {"zes", "z", kNoun, VerbForm::none},
    {"ches", "ch", kNoun, VerbForm::none},    {"shes", "sh", kNoun, VerbForm::none},
    {"men", "man", kNoun, VerbForm::none},    {"ies", "y", kNoun, VerbForm::none},
    {"s", "", kVerb, VerbForm::third},        {"ies", "y", kVerb, VerbForm::third},
    {"es", "e", kVerb, VerbForm::third},      {"es", "", kVerb, VerbForm::third},
    {"ed", "e", kVerb, VerbForm::participle}, {"ed", "", kVerb, VerbForm::participle},
    {"ing", "e", kVerb, VerbForm::gerund},    {"ing", "", kVerb, VerbForm::gerund},
    {"er", "", kAdjective, VerbForm::none},   {"est", "", kAdjective, VerbForm::none},
    {"er", "e", kAdjective, VerbForm::none},  {"est", "e", kAdjective, VerbForm::none},
};

bool ends_with(std::string_view s, std::string_view end) {
  return s.size() > end.size() && s.substr(s.size() - end.size()) == end;
}

void add_exceptions(std::string_view word, Collected& out) {
  std::uint32_t i =
      lower_bound(data::kExceptionText, data::kExceptionOffset, data::kExceptionCount, word);
  for (;
       i < data::kExceptionCount && entry(data::kExceptionText, data::kExceptionOffset, i) == word;
       ++i) {
    const auto& t = data::kExceptionTarget[i];
    out.add(t.lemma, t.pos, VerbForm::participle);
  }
}

}  // namespace

WordReadings english_readings(std::string_view lowered) {
  Collected found;
  if (std::uint32_t lemma = find_lemma(lowered); lemma != kNotFound)
    for (int pos = 0; pos < kNumPartsOfSpeech; ++pos) found.add(lemma, pos, VerbForm::base);
  add_exceptions(lowered, found);
  std::string base;
  for (const Suffix& s : kSuffixes) {
    if (!ends_with(lowered, s.ending)) continue;
    base.assign(lowered.substr(0, lowered.size() - s.ending.size()));
    base += s.replacement;
    if (std::uint32_t lemma = find_lemma(base); lemma != kNotFound) found.add(lemma, s.pos, s.form);
  }
  WordReadings out;
  double total = 0;
  for (double c : found.count) total += c;
  if (total <= 0) return out;
  for (int pos = 0; pos < kNumPartsOfSpeech; ++pos) out.share[pos] = found.count[pos] / total;
  out.verb_form = found.verb_form;
  return out;
}

}  // namespace somlabel::keyphrases
