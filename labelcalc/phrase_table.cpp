#include "labelcalc/phrase_table.h"

#include <algorithm>
#include <cmath>

#include "common/io.h"
#include "common/keyfile_line.h"
#include "common/map_keys.h"

namespace somlabel {
namespace {

// A stemmed phrase with more blanks than this is not split into word spans
// (their number grows with the square of the blanks); such entries are
// checked one by one instead.
constexpr int kMaxIndexedBlanks = 16;

bool is_long_form(std::string_view text) {
  return std::count(text.begin(), text.end(), ' ') > kMaxIndexedBlanks;
}

// Calls `visit` with every proper part of `text` that starts at the text's
// start or after a blank and ends at its end or before a blank.
template <typename Visit>
void for_each_word_span(std::string_view text, Visit visit) {
  for (size_t begin = 0; begin <= text.size();) {
    for (size_t end = text.find(' ', begin);; end = text.find(' ', end + 1)) {
      const size_t stop = end == std::string_view::npos ? text.size() : end;
      if (stop > begin && stop - begin < text.size()) visit(text.substr(begin, stop - begin));
      if (end == std::string_view::npos) break;
    }
    const size_t blank = text.find(' ', begin);
    if (blank == std::string_view::npos) break;
    begin = blank + 1;
  }
}

}  // namespace

int compare_phrases(std::string_view long_text, std::string_view short_text) {
  const size_t at = long_text.find(short_text);
  if (at == std::string_view::npos) return 0;
  const size_t behind = at + short_text.size();
  if (behind < long_text.size() && long_text[behind] != ' ') return 0;
  if (at == 0) return 1;
  return long_text[at - 1] == ' ' ? 1 : 0;
}

PhraseTable::PhraseTable(int capacity) : capacity_(capacity) {
  // Indexes hold views into the slots' strings: the slots never move.
  slots_.reserve(static_cast<size_t>(capacity_) + 1);
  order_.reserve(static_cast<size_t>(capacity_) + 1);
}

int PhraseTable::phrase_exists(std::string_view stemmed) const {
  const auto found = by_stem_.find(stemmed);
  if (found == by_stem_.end()) return -1;
  const auto position = std::find(order_.begin(), order_.end(), found->second);
  return static_cast<int>(position - order_.begin());
}

PhraseTable::AddResult PhraseTable::add(std::string_view phrase, std::string_view stemmed,
                                        double score) {
  const auto found = by_stem_.find(stemmed);
  if (found != by_stem_.end()) {
    slots_[found->second].record.score += score;
    return AddResult::merged;
  }
  if (count() >= capacity_) return AddResult::omitted;
  order_.push_back(new_slot(phrase, stemmed, score));
  if (count() == capacity_) filter_phrases();
  return AddResult::appended;
}

int PhraseTable::new_slot(std::string_view phrase, std::string_view stemmed, double score) {
  int slot;
  if (!free_slots_.empty()) {
    slot = free_slots_.back();
    free_slots_.pop_back();
  } else {
    slot = static_cast<int>(slots_.size());
    slots_.emplace_back();
  }
  Slot& s = slots_[slot];
  s.record.phrase.assign(phrase);
  s.record.stemmed_phrase.assign(stemmed);
  s.record.score = score;
  s.alive = true;
  s.fresh = true;
  s.long_form = is_long_form(stemmed);
  by_stem_.emplace(s.record.stemmed_phrase, slot);
  index_spans(slot);
  return slot;
}

void PhraseTable::index_spans(int slot) {
  const Slot& s = slots_[slot];
  if (s.long_form) {
    long_slots_.push_back(slot);
    return;
  }
  for_each_word_span(s.record.stemmed_phrase,
                     [&](std::string_view span) { {
    auto found = by_span_.find(span);
    if (found == by_span_.end()) found = by_span_.emplace(std::string(span), std::vector<int>{}).first;
    // A span can stand twice in one phrase ("ba" in "bx ba ba"); list the slot once.
    if (found->second.empty() || found->second.back() != slot) found->second.push_back(slot);
  } });
}

void PhraseTable::unindex_spans(int slot) {
  const Slot& s = slots_[slot];
  if (s.long_form) {
    std::erase(long_slots_, slot);
    return;
  }
  for_each_word_span(s.record.stemmed_phrase, [&](std::string_view span) {
    const auto found = by_span_.find(span);
    if (found == by_span_.end()) return;
    std::erase(found->second, slot);
    if (found->second.empty()) by_span_.erase(found);
  });
}

void PhraseTable::containing_slots(std::string_view text, std::vector<int>& out) const {
  out.clear();
  const auto found = by_span_.find(text);
  if (found != by_span_.end()) out = found->second;
  out.insert(out.end(), long_slots_.begin(), long_slots_.end());
}

int PhraseTable::filter_phrases() {
  // After a pass no entry is a whole-word part of another, and entries only
  // leave the table, so only entries that arrived since the last pass, and
  // the older entries that they contain, can be folded now.
  std::vector<char> check(slots_.size(), 0);
  for (int slot : order_) {
    Slot& s = slots_[slot];
    if (!s.fresh) continue;
    check[slot] = 1;
    if (s.long_form) {
      for (int other : order_) {
        const std::string& text = slots_[other].record.stemmed_phrase;
        if (text.size() < s.record.stemmed_phrase.size() &&
            compare_phrases(s.record.stemmed_phrase, text) == 1) {
          check[other] = 1;
        }
      }
      continue;
    }
    for_each_word_span(s.record.stemmed_phrase, [&](std::string_view span) {
      const auto found = by_stem_.find(span);
      if (found != by_stem_.end()) check[found->second] = 1;
    });
  }

  // One pass in table order, exactly as a scan would fold: the whole score of
  // a folded entry, as it stands at that moment, goes to every entry that
  // still contains it.
  std::vector<int> kept;
  kept.reserve(order_.size());
  for (int slot : order_) {
    Slot& s = slots_[slot];
    s.fresh = false;
    if (!check[slot]) {
      kept.push_back(slot);
      continue;
    }
    const std::string_view text = s.record.stemmed_phrase;
    containing_slots(text, scratch_);
    bool hit = false;
    for (int target : scratch_) {
      Slot& t = slots_[target];
      if (!t.alive || target == slot || text.size() >= t.record.stemmed_phrase.size()) continue;
      if (compare_phrases(t.record.stemmed_phrase, text) != 1) continue;
      t.record.score += s.record.score;
      hit = true;
    }
    if (!hit) {
      kept.push_back(slot);
      continue;
    }
    s.alive = false;
    unindex_spans(slot);
    by_stem_.erase(text);
    free_slots_.push_back(slot);
  }
  order_ = std::move(kept);
  return count();
}

void PhraseTable::sort_array() {
  const auto by_score = [&](int a, int b) { return slots_[a].record.score < slots_[b].record.score; };
  const bool has_nan = std::any_of(order_.begin(), order_.end(),
                                   [&](int slot) { return std::isnan(slots_[slot].record.score); });
  if (!has_nan) {
    std::stable_sort(order_.begin(), order_.end(), by_score);
    return;
  }
  // Without a total order only the exchange sort itself gives its result.
  const int n = count();
  for (int i = 0; i < n; ++i) {
    for (int j = n - 1; j > i; --j) {
      if (slots_[order_[j - 1]].record.score > slots_[order_[j]].record.score) {
        std::swap(order_[j - 1], order_[j]);
      }
    }
  }
}

int PhraseTable::finish(int number_of_phrases) {
  filter_phrases();
  sort_array();
  const int n = count();
  if (n <= number_of_phrases) return n;
  // Place p is entry n - p: place 1 is the best.
  int k = number_of_phrases;
  while (k < n && entry(n - k - 1).score == entry(n - k).score) ++k;
  return k;
}

void PhraseTable::write_block(FILE* out, int k) const {
  std::fprintf(out, "%.*s %d\n", static_cast<int>(keys::kMode1Phrases.size()),
               keys::kMode1Phrases.data(), k);
  for (int i = count() - 1; i >= count() - k; --i) {
    const phrase& p = entry(i);
    write_phrase_line(out, p.phrase, p.stemmed_phrase, p.score);
  }
}

}  // namespace somlabel
