#include "somtrain/steps.h"

#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "common/checksum.h"
#include "common/documents.h"
#include "common/exit_codes.h"
#include "common/io.h"
#include "common/map_grid.h"
#include "common/result.h"
#include "somtrain/codebook_file.h"
#include "somtrain/corpus.h"
#include "somtrain/grid_file.h"
#include "somtrain/hierarchy.h"
#include "somtrain/sample.h"
#include "somtrain/tfidf.h"
#include "somtrain/unit_file.h"

namespace somlabel::somtrain {
namespace {

namespace fs = std::filesystem;

// Vectors handed to map_vectors at a time while documents stream past a map.
constexpr std::size_t kAssignBatch = 4096;

std::string state_dir(const Options& o) {
  return o.work_dir + '/' + std::string(kStateFolder) + '/';
}

std::string slice_name(std::string_view what, somlabel::Shard shard) {
  return std::string(what) + '-' + std::to_string(shard.index) + "-of-" +
         std::to_string(shard.count);
}

bool refuse(const std::string& name, const std::string& why) {
  std::fprintf(stderr, "somtrain: %s: %s\n", name.c_str(), why.c_str());
  return false;
}

bool make_directory(const std::string& name) {
  std::error_code ec;
  fs::create_directories(name, ec);
  return !ec || refuse(name, "cannot create directory: " + ec.message());
}

// A file written under NAME.tmp and renamed to NAME once it is complete.
class StateFile {
 public:
  [[nodiscard]] bool open(const std::string& name) {
    name_ = name;
    if (file_.open(name + ".tmp", "wb")) return true;
    return refuse(name + ".tmp", "cannot create: " + somlabel::errno_text());
  }
  [[nodiscard]] FILE* get() const { return file_.get(); }
  void put(std::string_view text) { somlabel::put(file_.get(), text); }
  [[nodiscard]] bool commit() {
    if (const somlabel::Result<Reason> closed = file_.close(); !closed) {
      tell(closed);
      return false;
    }
    if (std::rename((name_ + ".tmp").c_str(), name_.c_str()) == 0) return true;
    return refuse(name_, "cannot rename into place: " + somlabel::errno_text());
  }

 private:
  std::string name_;
  somlabel::File file_;
};

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

template <typename Number>
bool parse_number(std::string_view text, Number& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return !text.empty() && ec == std::errc() && ptr == end;
}

std::string_view chomp(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  return line;
}

// Reads a state file line by line; names the file in every complaint.
class StateReader {
 public:
  [[nodiscard]] bool open(const std::string& name) {
    name_ = name;
    if (!file_.open(name, "rb")) return refuse(name, "cannot read: " + somlabel::errno_text());
    reader_ = std::make_unique<somlabel::LineReader>(file_.get());
    return true;
  }
  // False at the end, and after a read error (then failed() is true).
  [[nodiscard]] bool next(std::string_view& line) {
    if (reader_->next(line)) {
      ++line_number_;
      line = chomp(line);
      return true;
    }
    if (!reader_->failure().empty()) failed_ = !refuse(name_, "cannot read: " + reader_->failure());
    return false;
  }
  [[nodiscard]] bool failed() const { return failed_; }
  [[nodiscard]] bool damaged(const std::string& what) const {
    return refuse(name_ + ':' + std::to_string(line_number_),
                  what + "; start again from the step that wrote it");
  }

 private:
  std::string name_;
  somlabel::File file_;
  std::unique_ptr<somlabel::LineReader> reader_;
  std::size_t line_number_ = 0;
  bool failed_ = false;
};

// ---- document counts ------------------------------------------------------

void append_counts(std::string& out, const StemCounts& counts) {
  for (const auto& [stem, count] : counts) {
    out += ' ';
    out += stem;
    out += ' ';
    out += std::to_string(count);
  }
}

// How many documents of a slice were listed, and how many of them counted
// (the others are not text): the head of its stems file.
struct SliceSize {
  std::size_t counted = 0;
  std::size_t listed = 0;
};

bool write_stems(const std::string& name, const StemTable& table, SliceSize size,
                 text::Language language) {
  std::vector<const StemTable::value_type*> entries;
  for (const auto& entry : table) entries.push_back(&entry);
  std::sort(entries.begin(), entries.end(), [](auto a, auto b) { return a->first < b->first; });
  StateFile file;
  if (!file.open(name)) return false;
  file.put("documents " + std::to_string(size.counted) + " listed " + std::to_string(size.listed) +
           " language " + std::string(text::language_name(language)) + '\n');
  for (const auto* entry : entries) {
    std::string line =
        entry->first + '\t' + std::to_string(entry->second.document_frequency) + '\t';
    for (const auto& [form, count] : entry->second.forms)
      line += form + ' ' + std::to_string(count) + ' ';
    line.back() = '\n';
    file.put(line);
  }
  return file.commit();
}

bool list_for_steps(const Options& o, std::vector<std::string>& names, bool report) {
  std::vector<somlabel::PassedOver> skipped;
  if (!told(somlabel::list_documents(o.documents, names, skipped, o.work_dir))) {
    return false;
  }
  for (const somlabel::PassedOver& file : skipped) {
    if (report) refuse(o.documents + '/' + file.name, "passed over: " + file.reason);
  }
  return true;
}

bool count_step(const Options& o, somlabel::Shard shard) {
  std::vector<std::string> names;
  if (!list_for_steps(o, names, false) || !make_directory(state_dir(o))) return false;
  const somlabel::ShardRange range = somlabel::shard_range(shard, names.size());
  text::Stemmer stemmer(o.language);
  StemTable table;
  StateFile counts;
  if (!counts.open(state_dir(o) + slice_name("counts", shard))) return false;
  SliceSize size{0, range.end - range.begin};
  for (std::size_t d = range.begin; d < range.end; ++d) {
    somlabel::DocumentRead document;
    const std::string path = o.documents + '/' + names[d];
    const somlabel::Result<Reason> read = somlabel::read_document(path, document);
    tell(read);
    if (!read) return false;
    // Passed over and cut as a run at once does.
    if (!document.passed_over.empty()) {
      refuse(path, "passed over: " + std::string(document.passed_over));
      continue;
    }
    if (document.cut) std::fprintf(stderr, "somtrain: %s\n", somlabel::cut_message(path).c_str());
    std::string line = names[d] + '\t';
    append_counts(line, count_stems(document.text, o.language, stemmer, table));
    line += '\n';
    counts.put(line);
    ++size.counted;
  }
  if (!counts.commit() ||
      !write_stems(state_dir(o) + slice_name("stems", shard), table, size, o.language)) {
    return false;
  }
  std::printf("somtrain: counted slice %zu of %zu: %zu documents\n", shard.index, shard.count,
              size.counted);
  return true;
}

// ---- vocabulary -----------------------------------------------------------

// The head of a slice's stems file; the reader stays at the first stem line.
bool read_slice_size(StateReader& in, const Options& o, SliceSize& size) {
  std::string_view line;
  const std::string language = std::string(text::language_name(o.language));
  const auto words = in.next(line) ? split(line, ' ') : std::vector<std::string_view>{};
  if (words.size() != 6 || words[0] != "documents" || !parse_number(words[1], size.counted) ||
      words[2] != "listed" || !parse_number(words[3], size.listed) || words[4] != "language" ||
      words[5] != language) {
    return in.failed() ? false
                       : in.damaged("not the counts of this training (language " + language + ")");
  }
  return true;
}

bool slice_sizes(const Options& o, std::size_t slices, std::vector<SliceSize>& sizes) {
  for (std::size_t i = 1; i <= slices; ++i) {
    StateReader in;
    sizes.emplace_back();
    if (!in.open(state_dir(o) + slice_name("stems", {i, slices})) ||
        !read_slice_size(in, o, sizes.back())) {
      return false;
    }
  }
  return true;
}

bool read_stems(const std::string& name, const Options& o, StemTable& table, SliceSize& total) {
  StateReader in;
  std::string_view line;
  SliceSize size;
  if (!in.open(name) || !read_slice_size(in, o, size)) return false;
  total.counted += size.counted;
  total.listed += size.listed;
  while (in.next(line)) {
    const auto fields = split(line, '\t');
    int frequency = 0;
    if (fields.size() != 3 || !parse_number(fields[1], frequency))
      return in.damaged("not a stem line");
    StemStats& stats = table[std::string(fields[0])];
    stats.document_frequency += frequency;
    const auto forms = split(fields[2], ' ');
    for (std::size_t i = 0; i + 1 < forms.size(); i += 2) {
      long occurrences = 0;
      if (!parse_number(forms[i + 1], occurrences)) return in.damaged("not a stem line");
      stats.forms[std::string(forms[i])] += occurrences;
    }
  }
  return !in.failed();
}

bool vocabulary_step(const Options& o, std::size_t slices) {
  std::vector<std::string> names;
  if (!list_for_steps(o, names, true)) return false;
  StemTable table;
  SliceSize total;
  for (std::size_t i = 1; i <= slices; ++i) {
    if (!read_stems(state_dir(o) + slice_name("stems", {i, slices}), o, table, total)) return false;
  }
  if (total.listed != names.size()) {
    return refuse(o.documents, std::to_string(names.size()) + " documents, but the counts hold " +
                                   std::to_string(total.listed) + "; count them again");
  }
  if (total.counted == 0) return refuse(o.documents, "no documents");
  const std::size_t documents = total.counted;
  const Vocabulary vocabulary = choose_vocabulary(table, documents, o.vocabulary);
  StateFile file;
  if (!file.open(state_dir(o) + "vocabulary")) return false;
  file.put("documents " + std::to_string(documents) + '\n' + options_line(o) + '\n');
  for (std::size_t t = 0; t < vocabulary.stems.size(); ++t) {
    const std::string& stem = vocabulary.stems[t];
    file.put(stem + '\t' + vocabulary.labels[t] + '\t' +
             std::to_string(table.at(stem).document_frequency) + '\n');
  }
  if (!file.commit()) return false;
  std::printf("somtrain: %zu documents, %zu terms\n", documents, vocabulary.stems.size());
  return true;
}

// What later steps read of the vocabulary file.
struct TermTable {
  std::size_t documents = 0;
  std::vector<std::string> stems;
  std::vector<std::uint64_t> stem_hashes;
  std::vector<std::string> labels;
  DocumentFrequencies frequencies;  // over the whole collection
  std::unordered_map<std::string, std::uint32_t> index;
};

bool read_terms(const Options& o, TermTable& terms) {
  StateReader in;
  std::string_view line;
  if (!in.open(state_dir(o) + "vocabulary")) return false;
  if (!in.next(line) || !line.starts_with("documents ") ||
      !parse_number(line.substr(10), terms.documents)) {
    return in.failed() ? false : in.damaged("not a vocabulary");
  }
  if (!in.next(line) || line != options_line(o)) {
    return in.failed() ? false : in.damaged("made with other options than these");
  }
  terms.frequencies.documents = terms.documents;
  while (in.next(line)) {
    const auto fields = split(line, '\t');
    int frequency = 0;
    if (fields.size() != 3 || !parse_number(fields[2], frequency))
      return in.damaged("not a term line");
    terms.index.emplace(std::string(fields[0]), static_cast<std::uint32_t>(terms.labels.size()));
    terms.stems.emplace_back(fields[0]);
    terms.labels.emplace_back(fields[1]);
    terms.frequencies.per_term.push_back(frequency);
  }
  terms.stem_hashes = stem_hashes(terms.stems);
  return !in.failed();
}

// ---- maps -----------------------------------------------------------------

// Part of a file of document lines: `skip` lines, then `take` of them (all
// that are left when npos).
struct MemberPart {
  std::string file;
  std::size_t skip = 0;
  std::size_t take = std::string::npos;
  bool with_distance = false;  // lines NAME<TAB>DISTANCE<TAB>COUNTS instead of NAME<TAB>COUNTS
};

// One document as a map reads it.
struct Member {
  std::string_view name;
  std::string_view counts;  // " STEM COUNT STEM COUNT ...", as the counts line holds it
  double distance = 0.0;    // to its unit, in an assigned slice
  std::vector<TermCount> terms;
};

// Streams the documents of a map, part after part.
class MemberReader {
 public:
  MemberReader(std::vector<MemberPart> parts, const TermTable& terms)
      : parts_(std::move(parts)), terms_(terms) {}

  // The next document's name, counts line and distance, but not its terms;
  // false at the end or on a failure (failed() tells them apart).
  [[nodiscard]] bool next(Member& member) {
    while (true) {
      if (!in_ && !open_next()) return false;
      std::string_view line;
      const MemberPart& part = parts_[part_ - 1];
      if (left_ > 0 && in_->next(line)) {
        --left_;
        return parse(line, part.with_distance, member);
      }
      if (in_->failed()) return fail();
      if (left_ > 0 && part.take != std::string::npos)
        return fail(in_->damaged("fewer documents than counted"));
      in_.reset();
    }
  }
  [[nodiscard]] bool failed() const { return failed_; }

  // The terms of the document next() gave last, from its counts line; only
  // those who need them pay for the lookups.
  [[nodiscard]] bool read_terms(Member& member) {
    member.terms.clear();
    // Stems come in byte order, the order of term indices too.
    const auto words = split(member.counts, ' ');
    for (std::size_t i = 1; i + 1 < words.size(); i += 2) {
      std::uint32_t count = 0;
      if (!parse_number(words[i + 1], count)) return fail(in_->damaged("not a stem count"));
      auto found = terms_.index.find(std::string(words[i]));
      if (found != terms_.index.end()) member.terms.push_back({found->second, count});
    }
    return true;
  }

 private:
  bool open_next() {
    if (part_ >= parts_.size()) return false;
    const MemberPart& part = parts_[part_++];
    in_ = std::make_unique<StateReader>();
    if (!in_->open(part.file)) return fail();
    std::string_view line;
    for (std::size_t i = 0; i < part.skip; ++i) {
      if (!in_->next(line))
        return fail(in_->failed() ? false : in_->damaged("fewer documents than counted"));
    }
    left_ = part.take;
    return true;
  }

  bool parse(std::string_view line, bool with_distance, Member& member) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return fail(in_->damaged("not a document line"));
    member.name = line.substr(0, tab);
    std::string_view rest = line.substr(tab + 1);
    if (with_distance) {
      const std::size_t second = rest.find('\t');
      if (second == std::string_view::npos) return fail(in_->damaged("not a document line"));
      const std::string distance(rest.substr(0, second));
      char* end = nullptr;
      member.distance = std::strtod(distance.c_str(), &end);  // %a reads back exactly
      if (distance.empty() || *end != '\0') return fail(in_->damaged("not a distance"));
      rest = rest.substr(second + 1);
    }
    member.counts = rest;
    return true;
  }

  bool fail(bool = false) {
    failed_ = true;
    return false;
  }

  std::vector<MemberPart> parts_;
  const TermTable& terms_;
  std::size_t part_ = 0;
  std::size_t left_ = 0;
  std::unique_ptr<StateReader> in_;
  bool failed_ = false;
};

// Where a map lies in the hierarchy.
struct MapPlace {
  MapResult map;     // path, layer and grid (0 x 0 until it is trained); no units
  MapResult parent;  // the map above, for a sub-map
  int unit = -1;     // the parent's unit that the map expands; -1 for the top map
};

// A finished map: how its documents were assigned, and per unit how many it
// holds and whether a sub-map expands it.
struct DoneRecord {
  std::size_t slices = 1;
  Grid grid;
  std::vector<std::size_t> documents;
  std::vector<bool> expanded;
};

std::string map_state(const Options& o, const MapResult& map) {
  return state_dir(o) + map_file_name(o.hierarchy.name, map);
}

// Reads the done record of `map`, and the map's grid from it.
bool read_done(const Options& o, MapResult& map, DoneRecord& record) {
  StateReader in;
  std::string_view line;
  if (!in.open(map_state(o, map) + ".done")) return false;
  const auto head = in.next(line) ? split(line, ' ') : std::vector<std::string_view>{};
  if (head.size() != 3 || !parse_number(head[0], record.slices) || record.slices == 0 ||
      !parse_number(head[1], record.grid.xdim) || !parse_number(head[2], record.grid.ydim) ||
      record.grid.xdim < 1 || record.grid.ydim < 1) {
    return in.failed() ? false : in.damaged("not a finished map");
  }
  while (in.next(line)) {
    const auto fields = split(line, ' ');
    std::size_t documents = 0;
    if (fields.size() != 2 || !parse_number(fields[0], documents) ||
        (fields[1] != "0" && fields[1] != "1")) {
      return in.damaged("not a unit line");
    }
    record.documents.push_back(documents);
    record.expanded.push_back(fields[1] == "1");
  }
  if (in.failed()) return false;
  if (record.documents.size() != static_cast<std::size_t>(record.grid.units()))
    return in.damaged("units missing");
  map.grid = record.grid;
  return true;
}

// A map by its unit file name: the top map "BASE.unit", or
// "BASE_X_Y[_X_Y...].unit" below it; the maps above it must be finished.
bool parse_map_name(const Options& o, const std::string& name, MapPlace& place) {
  const HierarchySettings& h = o.hierarchy;
  const std::string suffix = ".unit";
  auto refused = [&] { return refuse(name, "not the name of a map of this hierarchy"); };
  if (!name.ends_with(suffix) || !name.starts_with(h.name)) return refused();
  const std::string path = name.substr(h.name.size(), name.size() - h.name.size() - suffix.size());
  place = MapPlace{MapResult{"", 1, {0, 0}, {}}, {}, -1};
  if (path.empty()) return true;
  if (path[0] != '_') return refused();
  const auto fields = split(std::string_view(path).substr(1), '_');
  if (fields.size() % 2 != 0) return refused();
  for (std::size_t i = 0; i < fields.size(); i += 2) {
    MapResult& map = place.map;
    int x = -1, y = -1;
    // Digits as the names are written: no sign, no leading zero.
    const bool plain = parse_number(fields[i], x) && parse_number(fields[i + 1], y) &&
                       std::to_string(x) == fields[i] && std::to_string(y) == fields[i + 1];
    if (!plain || map.layer >= h.depth) return refused();
    DoneRecord record;
    if (!read_done(o, map, record)) return false;
    if (x >= map.grid.xdim || y >= map.grid.ydim) return refused();
    place.parent = map;
    place.unit = y * map.grid.xdim + x;
    place.map = MapResult{sub_path(map, place.unit), map.layer + 1, {0, 0}, {}};
  }
  return true;
}

// Where the map step stores a map's codebook until the process step puts it
// beside the unit file.
std::string state_codebook(const Options& o, const MapResult& map) {
  return map_state(o, map) + std::string(kCodebookEnding);
}

std::string assigned_name(const Options& o, const MapResult& map, somlabel::Shard slice, int unit) {
  return map_state(o, map) + '/' + slice_name("assign", slice) + '/' + std::to_string(unit);
}

// The documents of a map in collection order, and how many: the counted
// slices for the top map, the assigned slices of the unit above for a sub-map.
bool member_parts(const Options& o, const MapPlace& place, std::size_t slices,
                  std::vector<MemberPart>& parts, std::size_t& members) {
  if (place.unit < 0) {
    for (std::size_t i = 1; i <= slices; ++i)
      parts.push_back({state_dir(o) + slice_name("counts", {i, slices})});
    return true;  // the caller knows the count from the vocabulary
  }
  DoneRecord record;
  MapResult parent = place.parent;
  if (!read_done(o, parent, record)) return false;
  const auto u = static_cast<std::size_t>(place.unit);
  if (!record.expanded[u]) {
    const Grid& grid = place.parent.grid;
    return refuse(map_file_name(o.hierarchy.name, place.map),
                  "unit (" + std::to_string(grid.x(place.unit)) + "," +
                      std::to_string(grid.y(place.unit)) + ") of " +
                      map_file_name(o.hierarchy.name, place.parent) + " has no sub-map");
  }
  members = record.documents[u];
  for (std::size_t i = 1; i <= record.slices; ++i) {
    parts.push_back({assigned_name(o, place.parent, {i, record.slices}, place.unit), 0,
                     std::string::npos, true});
  }
  return true;
}

// The counted slices that hold documents [range.begin, range.end) of all
// counted ones.
bool counted_range(const Options& o, std::size_t slices, somlabel::ShardRange range,
                   std::vector<MemberPart>& parts) {
  std::vector<SliceSize> sizes;
  if (!slice_sizes(o, slices, sizes)) return false;
  std::size_t first = 0;  // of the slice, among all counted documents
  for (std::size_t i = 1; i <= slices; first += sizes[i - 1].counted, ++i) {
    const std::size_t begin = std::max(range.begin, first);
    const std::size_t end = std::min(range.end, first + sizes[i - 1].counted);
    if (begin < end) {
      parts.push_back(
          {state_dir(o) + slice_name("counts", {i, slices}), begin - first, end - begin});
    }
  }
  return true;
}

// Document frequencies over a sub-map's documents (a first pass over them).
bool sub_map_frequencies(const std::vector<MemberPart>& parts, const TermTable& terms,
                         DocumentFrequencies& frequencies) {
  frequencies = DocumentFrequencies{std::vector<int>(terms.labels.size(), 0), 0};
  MemberReader reader(parts, terms);
  Member member;
  while (reader.next(member) && reader.read_terms(member)) frequencies.add(member.terms);
  return !reader.failed();
}
// Where the map step notes whether a map started from its stored map, which
// its sub-maps may do only if it did.
std::string start_state(const Options& o, const MapResult& map) {
  return map_state(o, map) + ".start";
}
constexpr std::string_view kStartedFromStored = "stored\n";

bool started_from_stored(const Options& o, const MapResult& map) {
  std::string text;
  return somlabel::read_file(start_state(o, map), text) && text == kStartedFromStored;
}

// Where the map step keeps a copy of the unit file of the earlier training a
// map started from, for the steps that place its documents: by then the unit
// file itself may be written anew.
std::string earlier_state(const Options& o, const MapResult& map) {
  return map_state(o, map) + ".earlier";
}

// Where the documents of `map` (its grid known) lay in the earlier training
// it started from; unknown when it was trained anew.
EarlierPlacement load_placement(const Options& o, const MapResult& map) {
  EarlierPlacement placement;
  std::string text;
  if (started_from_stored(o, map) && somlabel::read_file(earlier_state(o, map), text) &&
      !parse_placement(text, map.grid, placement)) {
    placement = {};
  }
  return placement;
}

// The unit each document lay on in `placement`, by name; -1 for a new one.
int earlier_unit(const EarlierPlacement& placement, std::string_view name) {
  const auto found = placement.unit_of.find(somlabel::checksum64(name));
  return found == placement.unit_of.end() ? -1 : found->second;
}

// Trains a map's weights on its documents, or on a seeded sample of them,
// and stores them (state_codebook) as they are used from then on.
bool train_codebook(const Options& o, MapPlace& place, const std::vector<MemberPart>& parts,
                    const TermTable& terms, const DocumentFrequencies& frequencies,
                    Codebook& codebook) {
  HierarchySettings h = o.hierarchy;
  h.options = somlabel::checksum64(options_line(o));
  SampleSelector sample(frequencies.documents, h.sample, sample_seed(h.seed, place.map.path));
  std::vector<SparseVector> training;
  std::vector<std::uint64_t> training_names;  // checksum64 of each one's name
  MemberReader reader(parts, terms);
  Member member;
  std::size_t seen = 0;
  std::uint64_t fingerprint = 0;
  while (reader.next(member)) {
    ++seen;
    if (!reader.read_terms(member)) return false;
    fingerprint += document_fingerprint(member.name, member.terms, terms.stem_hashes);
    if (!sample.take()) continue;
    training.push_back(tfidf_vector(member.terms, frequencies));
    training_names.push_back(somlabel::checksum64(member.name));
  }
  if (reader.failed()) return false;
  if (seen != frequencies.documents) {
    return refuse(parts.empty() ? state_dir(o) : parts.front().file,
                  std::to_string(seen) + " documents where " +
                      std::to_string(frequencies.documents) +
                      " were counted; start again from the count step");
  }
  const LocalTerms local = local_terms(frequencies);
  std::vector<std::string> stems;
  for (std::uint32_t term : local.terms) stems.push_back(terms.stems[term]);
  for (SparseVector& vector : training) to_local(vector, local);
  // The map of the last training, in OUTPUTPATH until the process step
  // replaces it; below a map trained anew it holds other documents.
  const bool may_keep = !o.retrain && (place.unit < 0 || started_from_stored(o, place.parent));
  const std::string unit_file = o.work_dir + '/' + o.output_path + map_file_name(h.name, place.map);
  const std::optional<StoredCodebook> earlier =
      may_keep ? read_earlier_map(unit_file) : std::nullopt;
  const StartingPoint start = starting_point(h, place.map.layer, seen, fingerprint, earlier);
  place.map.grid = start.grid;
  const bool placed = start.kept && earlier->placement.known;
  std::error_code ec;
  fs::remove(earlier_state(o, place.map), ec);
  if (placed) {
    fs::copy_file(unit_file, earlier_state(o, place.map) + ".tmp",
                  fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::rename(earlier_state(o, place.map) + ".tmp", earlier_state(o, place.map), ec);
    if (ec) return refuse(earlier_state(o, place.map), "cannot copy: " + ec.message());
  }
  StateFile how;
  if (!how.open(start_state(o, place.map))) return false;
  how.put(start.kept ? kStartedFromStored : "anew\n");
  if (!how.commit()) return false;
  if (start.kept) {
    codebook = restored_codebook(*earlier, stems);
    EarlierUnits training_earlier;
    for (std::size_t i = 0; placed && i < training_names.size(); ++i) {
      const auto found = earlier->placement.unit_of.find(training_names[i]);
      training_earlier.push_back(found == earlier->placement.unit_of.end() ? -1 : found->second);
    }
    if (start.refine)
      train(codebook, training, refining_schedule(h.schedule), h.jobs, training_earlier);
  } else {
    codebook =
        initial_codebook(place.map.grid, stems.size(), training, map_seed(h.seed, place.map.path));
    train(codebook, training, h.schedule, h.jobs);
  }
  round_to_stored(codebook);
  StoredCodebook stored = stored_codebook(codebook, stems);
  stored.documents = seen;
  stored.options = h.options;
  stored.members = fingerprint;
  // Put on the whole vocabulary, as the documents' vectors are: the same weights.
  codebook = restored_codebook(stored, terms.stems);
  StateFile file;
  return file.open(state_codebook(o, place.map)) &&
         (file.put(codebook_file_bytes(stored)), file.commit());
}

// The documents of one slice of a map, each put on its unit: per unit a file
// of their lines with their distances, written under assign-I-of-K.tmp/ and
// renamed when every unit's file is complete.
class SliceWriter {
 public:
  [[nodiscard]] bool open(const Options& o, const MapPlace& place, somlabel::Shard slice) {
    final_ = map_state(o, place.map) + '/' + slice_name("assign", slice);
    temporary_ = final_ + ".tmp";
    std::error_code ec;
    fs::remove_all(temporary_, ec);
    if (!make_directory(temporary_)) return false;
    const int units = place.map.grid.units();
    raise_file_limit(static_cast<rlim_t>(units) + 64);
    files_ = std::vector<somlabel::File>(static_cast<std::size_t>(units));
    for (int u = 0; u < units; ++u) {
      const std::string name = temporary_ + '/' + std::to_string(u);
      if (!files_[static_cast<std::size_t>(u)].open(name, "wb")) {
        return refuse(name, "cannot create: " + somlabel::errno_text());
      }
    }
    return true;
  }
  void add(int unit, const Member& member, double distance) {
    char text[64];
    std::snprintf(text, sizeof text, "\t%a\t", distance);
    FILE* out = files_[static_cast<std::size_t>(unit)].get();
    somlabel::put(out, member.name);
    somlabel::put(out, text);
    somlabel::put(out, member.counts);
    std::fputc('\n', out);
  }
  [[nodiscard]] bool commit() {
    for (std::size_t u = 0; u < files_.size(); ++u) {
      if (const somlabel::Result<Reason> closed = files_[u].close(); !closed) {
        tell(closed);
        return false;
      }
    }
    std::error_code ec;
    fs::remove_all(final_, ec);
    fs::rename(temporary_, final_, ec);
    return !ec || refuse(final_, "cannot rename into place: " + ec.message());
  }

 private:
  static void raise_file_limit(rlim_t wanted) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= wanted) return;
    limit.rlim_cur = std::min(wanted, limit.rlim_max);
    setrlimit(RLIMIT_NOFILE, &limit);
  }

  std::string final_, temporary_;
  std::vector<somlabel::File> files_;
};

// Puts the documents of `parts` on the units of a trained map.
bool assign_slice(const Options& o, const MapPlace& place, somlabel::Shard slice,
                  const std::vector<MemberPart>& parts, const TermTable& terms,
                  const DocumentFrequencies& frequencies, const Codebook& codebook) {
  SliceWriter writer;
  if (!writer.open(o, place, slice)) return false;
  const EarlierPlacement placement = load_placement(o, place.map);
  EarlierUnits earlier;
  MemberReader reader(parts, terms);
  // Lines of a batch are kept whole: a member's views end with the reader's next line.
  std::vector<std::string> names, counts;
  std::vector<SparseVector> vectors;
  auto flush = [&] {
    const std::vector<Match> bmu = match_vectors(codebook, vectors, o.hierarchy.jobs, earlier);
    for (std::size_t i = 0; i < vectors.size(); ++i) {
      const Member kept{names[i], counts[i], 0.0, {}};
      writer.add(bmu[i].unit, kept, bmu[i].distance);
    }
    names.clear();
    counts.clear();
    vectors.clear();
    earlier.clear();
  };
  Member member;
  while (reader.next(member) && reader.read_terms(member)) {
    names.emplace_back(member.name);
    counts.emplace_back(member.counts);
    vectors.push_back(tfidf_vector(member.terms, frequencies));
    if (placement.known) earlier.push_back(earlier_unit(placement, member.name));
    if (vectors.size() == kAssignBatch) flush();
  }
  if (reader.failed()) return false;
  flush();
  return writer.commit();
}

// The codebook of a map that train_codebook stored, and the map's grid.
bool load_codebook(const std::string& name, const TermTable& terms, MapResult& map,
                   Codebook& codebook) {
  std::string bytes;
  StoredCodebook stored;
  if (!told(somlabel::read_file(name, bytes))) return false;
  if (const somlabel::Result<Reason> parsed = parse_codebook_file(bytes, stored); !parsed)
    return refuse(name, parsed.message() + "; train the map again");
  codebook = restored_codebook(stored, terms.stems);
  map.grid = stored.grid;
  return true;
}

// A document named like a map would share its key file with the map's, and
// one named like a map's unit ("map.unit.0_1") with the unit's joined text.
bool check_map_names(const Options& o, const MapResult& map) {
  const std::string name = map_file_name(o.hierarchy.name, map);
  std::vector<std::string> names = {name};
  for (int u = 0; u < map.grid.units(); ++u) {
    names.push_back(name + "." + std::to_string(map.grid.x(u)) + "_" +
                    std::to_string(map.grid.y(u)));
  }
  for (const std::string& file : names) {
    struct stat info {};
    const std::string document = o.documents + '/' + file;
    if (::stat(document.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    return refuse(document,
                  "a document may not have the name of a map or of its units; choose "
                  "another --name");
  }
  return true;
}

// Writes a map's unit file from its assigned slices, then its done record.
bool finish_map(const Options& o, const MapPlace& place, std::size_t slices, const TermTable& terms,
                const Codebook& codebook, std::size_t members) {
  const HierarchySettings& h = o.hierarchy;
  const MapResult& map = place.map;
  const std::string file_name = map_file_name(h.name, map);
  const std::string output = o.work_dir + '/' + o.output_path;
  if (!check_map_names(o, map) || !make_directory(output)) return false;
  StateFile unit_file;
  if (!unit_file.open(output + file_name)) return false;
  unit_file.put(unit_file_head(map.grid));
  std::string done = std::to_string(slices) + ' ' + std::to_string(map.grid.xdim) + ' ' +
                     std::to_string(map.grid.ydim) + '\n';
  std::vector<GridUnit> grid_units;
  MapResult earlier = map;
  if (const EarlierPlacement placement = load_placement(o, map); placement.known)
    earlier.had_sub_map = placement.expanded;
  for (int u = 0; u < map.grid.units(); ++u) {
    UnitBlock block{map.grid.x(u), map.grid.y(u), node_id(h.name, map, u), 0.0, 0, {}, {}, {}};
    std::vector<MemberPart> parts;
    for (std::size_t i = 1; i <= slices; ++i) {
      parts.push_back({assigned_name(o, map, {i, slices}, u), 0, std::string::npos, true});
    }
    MemberReader reader(parts, terms);
    Member member;
    while (reader.next(member)) {
      block.quantization_error += member.distance;  // in collection order, as one run sums them
      ++block.documents;
      block.names += ' ';
      block.names += member.name;
    }
    if (reader.failed()) return false;
    const bool expanded = expands(h, map, block.documents, members, before(earlier, u));
    if (expanded) {
      block.sub_map_address =
          unit_address(o.output_path, h.name, {sub_path(map, u), map.layer + 1, {}, {}});
    }
    if (block.documents > 0) block.labels = unit_labels(codebook, u, terms.labels, h.labels);
    std::string text;
    append_unit_block(text, block);
    unit_file.put(text);
    done += std::to_string(block.documents) + (expanded ? " 1\n" : " 0\n");
    grid_units.push_back(neighbour_distances(codebook, u));
    grid_units.back().quantization_error = block.quantization_error;
    grid_units.back().documents = block.documents;
  }
  StateFile grid_file, record;
  return unit_file.commit() && grid_file.open(output + file_name + std::string(kGridEnding)) &&
         (grid_file.put(grid_file_text(map.grid, grid_units)), grid_file.commit()) &&
         record.open(map_state(o, map) + ".done") && (record.put(done), record.commit());
}

// Trains one map; with slices > 1 the top map is only trained, and its
// documents are assigned by the assign step.
bool train_map_step(const Options& o, MapPlace place, std::size_t slices, const TermTable& terms) {
  std::vector<MemberPart> parts;
  std::size_t members = terms.documents;
  if (!member_parts(o, place, slices, parts, members)) return false;
  DocumentFrequencies frequencies = terms.frequencies;
  if (place.unit >= 0 && !sub_map_frequencies(parts, terms, frequencies)) return false;
  if (frequencies.documents != members) {
    return refuse(map_state(o, place.map),
                  "the documents above it changed; train the map above again");
  }
  Codebook codebook;
  if (!train_codebook(o, place, parts, terms, frequencies, codebook)) return false;
  const std::string name = map_file_name(o.hierarchy.name, place.map);
  if (place.unit < 0 && slices > 1) {
    std::printf("somtrain: trained %s (%zu documents), to be assigned in %zu slices\n",
                name.c_str(), members, slices);
    return true;
  }
  if (!assign_slice(o, place, {1, 1}, parts, terms, frequencies, codebook) ||
      !finish_map(o, place, 1, terms, codebook, members)) {
    return false;
  }
  std::printf("somtrain: trained %s (%zu documents)\n", name.c_str(), members);
  return true;
}

// The maps of `layer` in process order, found through the done records of
// the layers above it.
bool layer_maps(const Options& o, int layer, std::vector<MapPlace>& places) {
  places = {MapPlace{MapResult{"", 1, {0, 0}, {}}, {}, -1}};
  for (int l = 1; l < layer; ++l) {
    std::vector<MapPlace> below;
    for (MapPlace& place : places) {
      DoneRecord record;
      if (!read_done(o, place.map, record)) return false;
      for (int u = 0; u < place.map.grid.units(); ++u) {
        if (!record.expanded[static_cast<std::size_t>(u)]) continue;
        below.push_back({MapResult{sub_path(place.map, u), l + 1, {0, 0}, {}}, place.map, u});
      }
    }
    places = std::move(below);
  }
  return true;
}

bool map_step(const Options& o, const StepRequest& request) {
  TermTable terms;
  if (!read_terms(o, terms)) return false;
  std::vector<MapPlace> places;
  if (request.layer > 0) {
    if (!layer_maps(o, request.layer, places)) return false;
    const somlabel::ShardRange range = somlabel::shard_range(request.shard, places.size());
    places = std::vector<MapPlace>(places.begin() + static_cast<std::ptrdiff_t>(range.begin),
                                   places.begin() + static_cast<std::ptrdiff_t>(range.end));
  } else {
    places.resize(1);
    if (!parse_map_name(o, request.map, places[0])) return false;
  }
  for (const MapPlace& place : places) {
    if (!train_map_step(o, place, request.slices, terms)) return false;
  }
  return true;
}

bool top_map(const Options& o, const StepRequest& request, MapPlace& place) {
  if (!parse_map_name(o, request.map.empty() ? o.hierarchy.name + ".unit" : request.map, place))
    return false;
  return place.unit < 0 || refuse(request.map, "only the top map is assigned in slices");
}

// What the steps after the top map's training start from: the terms, the top
// map's place and its trained codebook.
bool load_trained_top_map(const Options& o, const StepRequest& request, TermTable& terms,
                          MapPlace& place, Codebook& codebook) {
  return read_terms(o, terms) && top_map(o, request, place) &&
         load_codebook(state_codebook(o, place.map), terms, place.map, codebook);
}

bool assign_step(const Options& o, const StepRequest& request) {
  TermTable terms;
  MapPlace place;
  Codebook codebook;
  if (!load_trained_top_map(o, request, terms, place, codebook)) return false;
  const somlabel::ShardRange range = somlabel::shard_range(request.shard, terms.documents);
  std::vector<MemberPart> parts;
  if (!counted_range(o, request.shard.count, range, parts) ||
      !assign_slice(o, place, request.shard, parts, terms, terms.frequencies, codebook)) {
    return false;
  }
  std::printf("somtrain: assigned slice %zu of %zu of %s: %zu documents\n", request.shard.index,
              request.shard.count, map_file_name(o.hierarchy.name, place.map).c_str(),
              range.end - range.begin);
  return true;
}

bool finish_step(const Options& o, const StepRequest& request) {
  TermTable terms;
  MapPlace place;
  Codebook codebook;
  if (!load_trained_top_map(o, request, terms, place, codebook) ||
      !finish_map(o, place, request.slices, terms, codebook, terms.documents)) {
    return false;
  }
  std::printf("somtrain: trained %s (%zu documents)\n",
              map_file_name(o.hierarchy.name, place.map).c_str(), terms.documents);
  return true;
}

// The hierarchy's shape, from the done records: what the process files need.
bool finished_hierarchy(const Options& o, Hierarchy& hierarchy,
                        std::vector<std::vector<std::string>>& layers) {
  std::vector<MapPlace> places;
  for (int layer = 1;; ++layer) {
    if (!layer_maps(o, layer, places)) return false;
    if (places.empty()) return true;
    layers.emplace_back();
    for (MapPlace& place : places) {
      DoneRecord record;
      if (!read_done(o, place.map, record)) return false;
      if (place.unit >= 0) {
        for (MapResult& parent : hierarchy.maps) {
          if (parent.path == place.parent.path) {
            parent.units[static_cast<std::size_t>(place.unit)].sub_map =
                static_cast<int>(hierarchy.maps.size());
          }
        }
      }
      MapResult map = place.map;
      map.units.resize(static_cast<std::size_t>(map.grid.units()));
      hierarchy.maps.push_back(std::move(map));
      layers.back().push_back(map_file_name(o.hierarchy.name, place.map));
    }
  }
}

bool process_step(const Options& o) {
  Hierarchy hierarchy;
  std::vector<std::vector<std::string>> layers;
  OutputLayout layout;
  if (!finished_hierarchy(o, hierarchy, layers) || !output_layout(o, layout) ||
      !write_process_files(o.work_dir, layout, hierarchy, o.hierarchy.name)) {
    return false;
  }
  for (const MapResult& map : hierarchy.maps) {
    const std::string name = map_file_name(o.hierarchy.name, map) + std::string(kCodebookEnding);
    const std::string to = o.work_dir + '/' + o.output_path + name;
    if (std::rename(state_codebook(o, map).c_str(), to.c_str()) != 0 && errno != ENOENT)
      return refuse(to, "cannot rename into place: " + somlabel::errno_text());
  }
  for (std::size_t l = 0; l < layers.size(); ++l) {
    StateFile file;
    if (!file.open(state_dir(o) + "layer-" + std::to_string(l + 1))) return false;
    for (const std::string& name : layers[l]) file.put(name + '\n');
    if (!file.commit()) return false;
  }
  std::printf("somtrain: %zu maps in %zu layers\n", hierarchy.maps.size(), layers.size());
  return true;
}

}  // namespace

bool parse_step(std::string_view name, Step& step) {
  static constexpr std::pair<std::string_view, Step> kSteps[] = {
      {"count", Step::count},   {"vocabulary", Step::vocabulary}, {"map", Step::map},
      {"assign", Step::assign}, {"finish", Step::finish},         {"process", Step::process}};
  for (const auto& [text, value] : kSteps) {
    if (text == name) {
      step = value;
      return true;
    }
  }
  return false;
}

bool write_training_options(const Options& options) {
  OutputLayout layout;
  return output_layout(options, layout) &&
         write_option_file(options.work_dir + "/options", option_file_text(layout));
}

bool run_step(const Options& options) {
  const StepRequest& request = *options.step;
  switch (request.step) {
    case Step::count: return count_step(options, request.shard);
    case Step::vocabulary: return vocabulary_step(options, request.slices);
    case Step::map: return map_step(options, request);
    case Step::assign: return assign_step(options, request);
    case Step::finish: return finish_step(options, request);
    case Step::process: return process_step(options);
  }
  return false;
}

}  // namespace somlabel::somtrain
