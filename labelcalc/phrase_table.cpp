#include "labelcalc/phrase_table.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/format_texts.h"
#include "common/io.h"
#include "common/keyfile_line.h"
#include "common/map_keys.h"

namespace somlabel::labelcalc {
namespace {

// A stemmed phrase with more blanks than this is not split into word spans
// (their number grows with the square of the blanks); such entries are
// checked one by one instead.
constexpr int kMaxIndexedBlanks = 16;

// A fast 64-bit hash for short texts. Only lookups depend on it, never the
// results: every match is confirmed on the text itself.
uint32_t hash_text(std::string_view text) {
  const char* data = text.data();
  const size_t size = text.size();
  uint64_t h = 0x9e3779b97f4a7c15ULL ^ (size * 0xff51afd7ed558ccdULL);
  uint64_t word;
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::memcpy(&word, data + i, 8);
    h = (h ^ word) * 0xff51afd7ed558ccdULL;
    h ^= h >> 32;
  }
  if (i < size) {
    if (size >= 8) {
      std::memcpy(&word, data + size - 8, 8);  // the last eight bytes, overlapping
    } else {
      word = 0;
      for (size_t j = 0; j < size; ++j)
        word |= static_cast<uint64_t>(static_cast<unsigned char>(data[j])) << (8 * j);
    }
    h = (h ^ word) * 0xc4ceb9fe1a85ec53ULL;
  }
  h ^= h >> 29;
  h *= 0xbf58476d1ce4e5b9ULL;
  return static_cast<uint32_t>(h ^ (h >> 32));
}

// True when moving the entry at `from` (whose probe starts at `home`) into
// the hole at `hole` keeps it reachable: `home` does not lie cyclically in
// (hole, from].
bool may_fill_hole(size_t home, size_t hole, size_t from) {
  return hole <= from ? (home <= hole || home > from) : (home <= hole && home > from);
}

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

PhraseTable::PhraseTable(int capacity) : capacity_(std::max(capacity, 0)) {
  stem_cells_.resize(64);
  span_cells_.resize(256);
}

int PhraseTable::phrase_exists(std::string_view stemmed) const {
  const int slot = find_stem(stemmed, hash_text(stemmed));
  if (slot < 0) return -1;
  const auto position = std::find(order_.begin(), order_.end(), slot);
  return static_cast<int>(position - order_.begin());
}

PhraseTable::AddResult PhraseTable::add(std::string_view phrase, std::string_view stemmed,
                                        double score) {
  const uint32_t hash = hash_text(stemmed);
  const int found = find_stem(stemmed, hash);
  if (found >= 0) {
    slots_[found].record.score += score;
    return AddResult::merged;
  }
  if (count() >= capacity_) return AddResult::omitted;
  order_.push_back(new_slot(phrase, stemmed, hash, score));
  if (count() == capacity_) filter_phrases();
  return AddResult::appended;
}

int PhraseTable::new_slot(std::string_view phrase, std::string_view stemmed, uint32_t hash,
                          double score) {
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
  s.stem_hash = hash;
  insert_stem(slot);
  index_spans(slot);
  return slot;
}

int PhraseTable::find_stem(std::string_view text, uint32_t hash) const {
  const size_t mask = stem_cells_.size() - 1;
  for (size_t i = hash & mask; stem_cells_[i].slot >= 0; i = (i + 1) & mask) {
    const Cell& cell = stem_cells_[i];
    if (cell.hash == hash && slots_[static_cast<size_t>(cell.slot)].record.stemmed_phrase == text) {
      return cell.slot;
    }
  }
  return -1;
}

void PhraseTable::insert_stem(int slot) {
  // At most a quarter of the cells are in use, so probes stay short.
  if (4 * (stem_count_ + 1) > stem_cells_.size()) grow(stem_cells_);
  const uint32_t hash = slots_[static_cast<size_t>(slot)].stem_hash;
  const size_t mask = stem_cells_.size() - 1;
  size_t i = hash & mask;
  while (stem_cells_[i].slot >= 0) i = (i + 1) & mask;
  stem_cells_[i] = {hash, slot};
  ++stem_count_;
}

void PhraseTable::erase_stem(int slot) {
  const uint32_t hash = slots_[static_cast<size_t>(slot)].stem_hash;
  const size_t mask = stem_cells_.size() - 1;
  size_t hole = hash & mask;
  while (stem_cells_[hole].slot != slot) hole = (hole + 1) & mask;
  for (size_t next = (hole + 1) & mask; stem_cells_[next].slot >= 0; next = (next + 1) & mask) {
    if (may_fill_hole(stem_cells_[next].hash & mask, hole, next)) {
      stem_cells_[hole] = stem_cells_[next];
      hole = next;
    }
  }
  stem_cells_[hole] = Cell{};
  --stem_count_;
}

void PhraseTable::insert_span(uint32_t hash, int slot) {
  if (2 * (span_count_ + 1) > span_cells_.size()) grow(span_cells_);
  const size_t mask = span_cells_.size() - 1;
  size_t i = hash & mask;
  for (; span_cells_[i].slot >= 0; i = (i + 1) & mask) {
    // A span can stand twice in one phrase ("ba" in "bx ba ba"); list the slot once.
    if (span_cells_[i].hash == hash && span_cells_[i].slot == slot) return;
  }
  span_cells_[i] = {hash, slot};
  ++span_count_;
}

void PhraseTable::erase_span(uint32_t hash, int slot) {
  const size_t mask = span_cells_.size() - 1;
  size_t hole = hash & mask;
  for (;; hole = (hole + 1) & mask) {
    if (span_cells_[hole].slot < 0) return;  // already gone: the span stood twice
    if (span_cells_[hole].hash == hash && span_cells_[hole].slot == slot) break;
  }
  for (size_t next = (hole + 1) & mask; span_cells_[next].slot >= 0; next = (next + 1) & mask) {
    if (may_fill_hole(span_cells_[next].hash & mask, hole, next)) {
      span_cells_[hole] = span_cells_[next];
      hole = next;
    }
  }
  span_cells_[hole] = Cell{};
  --span_count_;
}

void PhraseTable::grow(std::vector<Cell>& cells) {
  std::vector<Cell> old(cells.size() * 2);
  old.swap(cells);
  const size_t mask = cells.size() - 1;
  for (const Cell& cell : old) {
    if (cell.slot < 0) continue;
    size_t i = cell.hash & mask;
    while (cells[i].slot >= 0) i = (i + 1) & mask;
    cells[i] = cell;
  }
}

void PhraseTable::index_spans(int slot) {
  const Slot& s = slots_[static_cast<size_t>(slot)];
  if (s.long_form) {
    long_slots_.push_back(slot);
    return;
  }
  for_each_word_span(s.record.stemmed_phrase,
                     [&](std::string_view span) { insert_span(hash_text(span), slot); });
}

void PhraseTable::unindex_spans(int slot) {
  const Slot& s = slots_[static_cast<size_t>(slot)];
  if (s.long_form) {
    std::erase(long_slots_, slot);
    return;
  }
  for_each_word_span(s.record.stemmed_phrase,
                     [&](std::string_view span) { erase_span(hash_text(span), slot); });
}

void PhraseTable::containing_slots(uint32_t hash, std::vector<int>& out) const {
  out.clear();
  const size_t mask = span_cells_.size() - 1;
  for (size_t i = hash & mask; span_cells_[i].slot >= 0; i = (i + 1) & mask) {
    if (span_cells_[i].hash == hash) out.push_back(span_cells_[i].slot);
  }
  out.insert(out.end(), long_slots_.begin(), long_slots_.end());
}

int PhraseTable::filter_phrases() {
  // After a pass no entry is a whole-word part of another, and entries only
  // leave the table, so only entries that arrived since the last pass, and
  // the older entries that they contain, can be folded now.
  std::vector<char>& check = check_;
  check.assign(slots_.size(), 0);
  // With no older entry (a table folded for the first time) every entry is
  // checked anyway, so the search for the older ones can be skipped.
  const bool all_fresh =
      std::all_of(order_.begin(), order_.end(), [&](int slot) { return slots_[slot].fresh; });
  for (int slot : order_) {
    Slot& s = slots_[slot];
    if (!s.fresh) continue;
    check[slot] = 1;
    if (all_fresh) continue;
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
      const int found = find_stem(span, hash_text(span));
      if (found >= 0) check[static_cast<size_t>(found)] = 1;
    });
  }

  // One pass in table order, exactly as a scan would fold: the whole score of
  // a folded entry, as it stands at that moment, goes to every entry that
  // still contains it.
  std::vector<int>& kept = kept_;
  kept.clear();
  for (int slot : order_) {
    Slot& s = slots_[slot];
    s.fresh = false;
    if (!check[slot]) {
      kept.push_back(slot);
      continue;
    }
    const std::string_view text = s.record.stemmed_phrase;
    containing_slots(s.stem_hash, scratch_);
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
    erase_stem(slot);
    free_slots_.push_back(slot);
  }
  order_.swap(kept);
  return count();
}

void PhraseTable::sort_array() {
  const auto by_score = [&](int a, int b) {
    return slots_[a].record.score < slots_[b].record.score;
  };
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

Result<Told> merge_key_line(PhraseTable& table, std::string_view line, std::string_view name,
                            TableKind kind) {
  KeyLine fields;
  const KeyLineStatus status = split_keyfile_line(line, fields);
  if (status != KeyLineStatus::ok) {
    print_keyfile_format_error(status, name);
    return Told{};
  }
  if (table.add(fields.phrase, fields.stemmed_phrase, fields.score) !=
      PhraseTable::AddResult::omitted) {
    return {};
  }
  if (kind == TableKind::map) std::fputs("phrase ", stdout);
  put(stdout, fields.phrase);
  std::printf(kind == TableKind::map ? texts::kMapTableFull : texts::kUnitTableFull, kMaxPhrases);
  return {};
}

}  // namespace somlabel::labelcalc
