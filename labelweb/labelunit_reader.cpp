#include "labelweb/labelunit_reader.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "common/io.h"
#include "common/keyfile_line.h"
#include "common/map_keys.h"
#include "common/numbers.h"

namespace somlabel::labelweb {
namespace {

enum class Key {
  none,
  node_id,
  somabove,
  xdim,
  ydim,
  pos_x,
  pos_y,
  nr_vec_mapped,
  vec,
  nr_soms_mapped,
  url_mapped_soms,
  mode0_phrases,
  m0_label,
  nr_labels,
  label,
  mode1_phrases,
};

struct KeyName {
  std::string_view text;
  Key key;
};

// The most frequent key first: a unit has a "$VEC" line per document.
constexpr KeyName kKeyNames[] = {
    {keys::kVec, Key::vec},
    {keys::kNodeId, Key::node_id},
    {keys::kSomAbove, Key::somabove},
    {keys::kXdim, Key::xdim},
    {keys::kYdim, Key::ydim},
    {keys::kPosX, Key::pos_x},
    {keys::kPosY, Key::pos_y},
    {keys::kNrVecMapped, Key::nr_vec_mapped},
    {keys::kNrSomsMapped, Key::nr_soms_mapped},
    {keys::kUrlMappedSoms, Key::url_mapped_soms},
    {keys::kMode0Phrases, Key::mode0_phrases},
    {keys::kM0Label, Key::m0_label},
    {keys::kNrLabels, Key::nr_labels},
    {keys::kLabel, Key::label},
    {keys::kMode1Phrases, Key::mode1_phrases},
};

// The table unrolled at compile time: each comparison then has a constant
// length and needs no call.
template <size_t... I>
Key find_key_in_table(std::string_view word, std::index_sequence<I...>) {
  Key found = Key::none;
  (void)((word == kKeyNames[I].text ? (found = kKeyNames[I].key, true) : false) || ...);
  return found;
}

Key find_key(std::string_view word) {
  if (word.empty() || word[0] != '$') return Key::none;  // every key starts with "$"
  return find_key_in_table(word, std::make_index_sequence<std::size(kKeyNames)>());
}

// The key word's bounds in a line. Plain loops: the standard find_first_of
// searches the set of separators once per byte of the line.
bool is_key_separator(char c) { return c == ' ' || c == '\n'; }

size_t key_start(std::string_view line) {
  size_t pos = 0;
  while (pos < line.size() && is_key_separator(line[pos])) ++pos;
  return pos;
}

size_t key_word_end(std::string_view line, size_t pos) {
  while (pos < line.size() && !is_key_separator(line[pos])) ++pos;
  return pos;
}

// The line as the reader sees it: up to its first NUL byte.
std::string_view up_to_nul(std::string_view line) {
  const size_t nul = line.find('\0');
  return nul == std::string_view::npos ? line : line.substr(0, nul);
}

// Adds a phrase line to `list`; a line with fewer than three tab-separated
// fields is not stored.
void add_phrase_line(std::string_view line, UnitList<phrase>& list) {
  KeyLine fields;
  if (split_keyfile_line(line, fields) != KeyLineStatus::ok) return;
  phrase& entry = list.add();
  entry.phrase.assign(fields.phrase);
  entry.stemmed_phrase.assign(fields.stemmed_phrase);
  entry.score = fields.score;
}

// Labelunit files run to megabytes: read them in large blocks.
constexpr size_t kReadBlock = size_t{1} << 18;

class Reader {
 public:
  Reader(FILE* in, map& map, const UnitHandler& on_unit)
      : lines_(in, kReadBlock), map_(map), on_unit_(on_unit) {}

  ReadResult run() {
    std::string_view line;
    while (lines_.next(line)) handle_line(line);
    result_.failure = lines_.failure();
    // The last unit is complete only now: a "$SOMABOVE" line at the very end
    // of the file still reaches the page end. A file not read to its end
    // completes no more units.
    if (!is_begin_of_file_ && result_.failure.empty()) complete_unit();
    return result_;
  }

 private:
  // The line counts up to its first NUL byte. A key word holding one matches
  // no key and is dismissed either way, so only the values are searched for
  // it, and long lines of unknown keys not at all.
  void handle_line(std::string_view line) {
    const size_t pos = key_start(line);
    if (pos == line.size()) return;
    const size_t key_end = key_word_end(line, pos);
    const Key key = find_key(line.substr(pos, key_end - pos));
    if (key == Key::none) return;
    if (key_end == line.size() || line[key_end] != ' ') return;  // no values
    std::string_view rest = line.substr(key_end + 1);
    if (key == Key::m0_label) {
      // The phrase may hold spaces: the whole rest of the line is one label.
      rest = up_to_nul(rest);
      if (rest.find_first_not_of(' ') != std::string_view::npos) add_m0_label(rest);
      return;
    }
    if (key == Key::mode1_phrases) {
      // Reading the phrase lines reuses the line buffer: keep the values.
      values_copy_.assign(rest);
      rest = values_copy_;
    }
    // The values are separated by blanks; the last one keeps the line end.
    // One pass over short values, rather than a search for each separator.
    const char* const text = rest.data();
    const size_t size = rest.size();
    size_t i = 0;
    while (true) {
      while (i < size && text[i] == ' ') ++i;
      if (i == size || text[i] == '\0') return;
      const size_t start = i;
      while (i < size && text[i] != ' ' && text[i] != '\0') ++i;
      apply(key, rest.substr(start, i - start));
    }
  }

  void apply(Key key, std::string_view value) {
    switch (key) {
      case Key::node_id: set_layer(value); break;
      case Key::somabove: map_.somabove.assign(value); break;
      case Key::xdim: map_.xdim = to_int(value); break;
      case Key::ydim: map_.ydim = to_int(value); break;
      case Key::pos_x:
        start_unit();
        unit_.pos_x_str.assign(value);
        unit_.pos_x = to_int(value);
        break;
      case Key::pos_y:
        unit_.pos_y_str.assign(value);
        unit_.pos_y = to_int(value);
        break;
      case Key::nr_vec_mapped: unit_.nr_mapped_vecs = to_int(value); break;
      case Key::vec: add_document(value); break;
      case Key::nr_soms_mapped: unit_.nr_soms_mapped = to_int(value); break;
      case Key::url_mapped_soms: unit_.url_mapped_soms.assign(value); break;
      case Key::mode0_phrases: unit_.nr_mode0_labels = to_int(value); break;
      case Key::nr_labels: unit_.nr_torvel_labels = to_int(value); break;
      case Key::label: add_unit_file_label(value); break;
      case Key::mode1_phrases: read_mode1_phrases(to_int(value)); break;
      case Key::m0_label:
      case Key::none: break;
    }
  }

  // The first "$NODE_ID" with a second "_"-separated field decides the layer.
  void set_layer(std::string_view value) {
    if (map_.layer != -1) return;
    int field = 0;
    size_t pos = 0;
    while (pos < value.size()) {
      if (value[pos] == '_') {
        ++pos;
        continue;
      }
      const size_t end = std::min(value.find('_', pos), value.size());
      if (++field == 2) {
        map_.layer = to_int(value.substr(pos, end - pos));
        return;
      }
      pos = end;
    }
  }

  void start_unit() {
    if (is_begin_of_file_) {
      is_begin_of_file_ = false;
    } else {
      complete_unit();
    }
    unit_.nr_mode0_labels = 0;
    unit_.nr_mode1_labels = 0;
    unit_.nr_torvel_labels = 0;
    unit_.filelist.clear();
    unit_.m0_labels.clear();
    unit_.m1_labels.clear();
    unit_.torvel_labels.clear();
  }

  void complete_unit() {
    // "$MODE0_PHRASES" states the phrases asked for; the lines read are the labels.
    unit_.nr_mode0_labels = std::min(unit_.nr_mode0_labels, unit_.m0_labels.size());
    ++result_.units;
    on_unit_(unit_, map_);
  }

  void add_document(std::string_view value) {
    if (unit_.filelist.size() >= kMaxDocuments) return;
    if (!value.empty() && value.back() == '\n') value.remove_suffix(1);
    unit_.filelist.add().assign(value);
  }

  void add_unit_file_label(std::string_view value) {
    if (unit_.torvel_labels.size() >= kMaxLabels) return;
    unit_.torvel_labels.add().phrase.assign(value);
  }

  void add_m0_label(std::string_view fields) {
    if (unit_.m0_labels.size() < kMaxLabels) add_phrase_line(fields, unit_.m0_labels);
  }

  // Reads the announced phrase lines, at most kMaxLabels; lines beyond them
  // are read as ordinary lines afterwards. Stops early at the end of the input.
  void read_mode1_phrases(int count) {
    unit_.nr_mode1_labels = std::min(count, kMaxLabels);
    unit_.m1_labels.clear();
    std::string_view line;
    for (int i = 0; i < unit_.nr_mode1_labels; ++i) {
      if (!lines_.next(line)) return;
      add_phrase_line(up_to_nul(line), unit_.m1_labels);
    }
  }

  LineReader lines_;
  map& map_;
  const UnitHandler& on_unit_;
  unit unit_;
  bool is_begin_of_file_ = true;
  std::string values_copy_;
  ReadResult result_;
};

}  // namespace

ReadResult read_labelunit(FILE* in, map& map, const UnitHandler& on_unit) {
  return Reader(in, map, on_unit).run();
}

}  // namespace somlabel::labelweb
