// The phrase table: keyphrases merged by stemmed form, shorter phrases folded
// into the longer ones that contain them word for word, ordered by score.
//
// A unit's mode-1 list and a map's key file are both built in one table of
// kMaxPhrases entries. Results are exactly those of plain scans over an array
// (first match wins, one folding pass in table order, stable exchange sort);
// indexes only make them fast.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "common/records.h"
#include "common/result.h"

namespace somlabel::labelcalc {

// 1 when `short_text` is a whole-word part of `long_text`: its first
// occurrence in `long_text` starts the text or follows a blank, and ends the
// text or is followed by a blank. Only the first occurrence counts, so
// ("xmining mining", "mining") gives 0.
[[nodiscard]] int compare_phrases(std::string_view long_text, std::string_view short_text);

// The two tables word the notice for a phrase dropped from a full table
// differently.
enum class TableKind { unit, map };

class PhraseTable;

// Splits one key-file line and merges it into `table`, printing the notice
// when the phrase is dropped. A line without its fields prints the format
// error naming `name` and fails.
[[nodiscard]] Result<Told> merge_key_line(PhraseTable& table, std::string_view line,
                                          std::string_view name, TableKind kind);

class PhraseTable {
 public:
  explicit PhraseTable(int capacity = kMaxPhrases);

  // Index of the entry with exactly this stemmed phrase, or -1.
  [[nodiscard]] int phrase_exists(std::string_view stemmed) const;

  enum class AddResult { merged, appended, omitted };

  // Merges one key-file line: a known stemmed phrase gains the score (its
  // entry keeps the surface form it came with); a new one is appended while
  // there is room, and when that append fills the table it is folded at once.
  // `omitted` when the table is still full: the caller reports the phrase.
  [[nodiscard]] AddResult add(std::string_view phrase, std::string_view stemmed, double score);

  // One folding pass: in table order, every entry that is a whole-word part
  // of a longer entry adds its score to each such entry and leaves the table.
  // Returns the new count.
  int filter_phrases();

  // Stable ascending sort by score.
  void sort_array();

  // Final fold and sort, then the number of best entries to write: at least
  // `number_of_phrases` when there are that many, widened by ties with the
  // last one taken.
  [[nodiscard]] int finish(int number_of_phrases);

  // Writes "$MODE1_PHRASES k" and the k best lines, best first (call after
  // finish()).
  void write_block(FILE* out, int k) const;

  [[nodiscard]] int count() const { return static_cast<int>(order_.size()); }
  [[nodiscard]] const phrase& entry(int index) const { return slots_[order_[index]].record; }

 private:
  struct Slot {
    phrase record;
    uint32_t stem_hash = 0;
    bool alive = false;
    bool fresh = false;      // appended since the last fold
    bool long_form = false;  // too many blanks to index its word spans
  };
  // A slot number with the hash of its stemmed phrase (stem cells) or of one
  // of its word spans (span cells).
  // Cells keep the low 32 bits of the hash: they choose the home cell and
  // screen candidates, and every candidate is then checked on its text.
  struct Cell {
    uint32_t hash = 0;
    int32_t slot = -1;  // -1: empty cell
  };

  int new_slot(std::string_view phrase, std::string_view stemmed, uint32_t hash, double score);
  void index_spans(int slot);
  void unindex_spans(int slot);
  // Alive slots whose stemmed phrase may contain, at word boundaries, the
  // text whose hash_text is `hash` (a superset of that text's folding
  // targets; hash collisions included).
  void containing_slots(uint32_t hash, std::vector<int>& out) const;

  // Open addressing with linear probing; deletion shifts the cluster back,
  // so a probe ends at the first empty cell.
  [[nodiscard]] int find_stem(std::string_view text, uint32_t hash) const;
  void insert_stem(int slot);
  void erase_stem(int slot);
  void insert_span(uint32_t hash, int slot);
  void erase_span(uint32_t hash, int slot);
  static void grow(std::vector<Cell>& cells);

  int capacity_;
  std::vector<Slot> slots_;
  std::vector<int> order_;  // table order: slot numbers of the entries
  std::vector<int> free_slots_;
  // Both start small and double when half full, so a small table stays cheap.
  std::vector<Cell> stem_cells_;  // one per entry
  size_t stem_count_ = 0;
  std::vector<Cell> span_cells_;  // (span hash, slot) pairs, each at most once
  size_t span_count_ = 0;
  std::vector<int> long_slots_;
  std::vector<int> scratch_;
  std::vector<char> check_;
  std::vector<int> kept_;
};

}  // namespace somlabel::labelcalc
