// The reference for the benchmark: recomputes every mode-1 block and every
// map key file that labelcalc wrote, once with the plain-scan phrase table
// (tests/phrase_table_oracle.h) and once with labelcalc's table, times both,
// and writes the plain-scan results beside labelcalc's files so that the
// runner can compare them with cmp.
//
//   oracle_labels OPTIONS PROCESSFILE [REPEAT [fixed]]
//
// Run it after labelcalc, in the same working directory. For every map M of
// the process file it reads M.labelunit and writes M.labelunit.oracle: the
// same lines, with the block after every "$NR_SOMS_MAPPED 0" line replaced by
// the plain-scan block of the unit's documents (its "$VEC" lines). It then
// writes the map key file the plain-scan table makes from M.labelunit as
// KEYPATH/base(M)KEYFILEENDING.oracle. Prints the time each table took and
// the number of blocks on which the two tables disagree. With REPEAT (default
// 1) each table merges every block that many times and the fastest counts.
// With "fixed" the unit blocks also go through the fixed-record table
// (bench/fixed_record_table.h), whose exchange sort of 2 kB records makes it
// too slow for corpora of many units.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/fixed_record_table.h"
#include "common/io.h"
#include "common/keyfile_line.h"
#include "common/map_keys.h"
#include "common/map_names.h"
#include "common/numbers.h"
#include "common/option_keys.h"
#include "common/settings.h"
#include "labelcalc/map_driver.h"
#include "labelcalc/phrase_table.h"
#include "tests/phrase_table_oracle.h"

namespace {

using Clock = std::chrono::steady_clock;
using somlabel::KeyLine;
using somlabel::KeyLineStatus;

// The lines of one block, held as the key files hold them: back to back in
// one buffer, so that walking them costs both tables the same little.
struct Line {
  std::string_view phrase;
  std::string_view stemmed;
  double score;
};

struct Lines {
  std::vector<std::string> texts;  // whole files; the views point into them
  std::vector<Line> lines;
};

struct Totals {
  double oracle_seconds = 0;
  double fast_seconds = 0;
  double fixed_seconds = 0;  // only with "fixed"
  long blocks = 0;
  long lines = 0;
  long differing = 0;
  long omitted = 0;
  long fills = 0;  // appends that filled the table and started a fold
};

std::string format_oracle_block(const std::vector<somlabel::phrase>& best) {
  std::string out = "$MODE1_PHRASES " + std::to_string(best.size()) + "\n";
  char number[512];
  for (const somlabel::phrase& p : best) {
    std::snprintf(number, sizeof number, "%f\n", p.score);
    out += p.phrase + "\t" + p.stemmed_phrase + "\t" + number;
  }
  return out;
}

int repeat = 1;
bool with_fixed_records = false;

// The lines through the plain-scan table; counts omitted lines and folds
// started by a full table.
std::string plain_scan(const std::vector<Line>& lines, int number_of_phrases, long& omitted,
                       long& fills) {
  // The plain-scan table takes whole strings, as a reader of fixed records would copy them.
  oracle::Table slow;
  for (const Line& line : lines) {
    if (slow.count == slow.capacity - 1) {
      somlabel::phrase candidate;
      candidate.stemmed_phrase = line.stemmed;
      if (oracle::phrase_exists(slow.phrases, candidate, slow.count) < 0) ++fills;
    }
    if (!slow.add(std::string(line.phrase), std::string(line.stemmed), line.score)) ++omitted;
  }
  return format_oracle_block(slow.best(number_of_phrases));
}

// The lines through the fixed-record table, formatted as the plain-scan block.
std::string fixed_record_scan(const std::vector<Line>& lines, int number_of_phrases) {
  fixed_records::Table table;
  for (const Line& line : lines) (void)table.add(line.phrase, line.stemmed, line.score);
  std::string out;
  const std::vector<const fixed_records::record*> best = table.best(number_of_phrases);
  out = "$MODE1_PHRASES " + std::to_string(best.size()) + "\n";
  char number[512];
  for (const fixed_records::record* p : best) {
    std::snprintf(number, sizeof number, "%f\n", p->score);
    out += std::string(p->phrase) + "\t" + p->stemmed_phrase + "\t" + number;
  }
  return out;
}

// The lines through labelcalc's table.
std::string indexed(const std::vector<Line>& lines, int number_of_phrases, long& omitted) {
  char* text = nullptr;
  size_t size = 0;
  FILE* memory = open_memstream(&text, &size);
  somlabel::labelcalc::PhraseTable fast;
  for (const Line& line : lines) {
    if (fast.add(line.phrase, line.stemmed, line.score) ==
        somlabel::labelcalc::PhraseTable::AddResult::omitted) {
      ++omitted;
    }
  }
  fast.write_block(memory, fast.finish(number_of_phrases));
  std::fclose(memory);
  std::string got(text, size);
  std::free(text);
  return got;
}

// Runs the lines through both tables (three with "fixed"); returns the
// plain-scan block.
std::string both_tables(const std::vector<Line>& lines, int number_of_phrases, Totals& totals,
                        bool fixed = false) {
  std::string expected, got, fixed_got;
  double oracle_seconds = 1e30, fast_seconds = 1e30, fixed_seconds = 1e30;
  long slow_omitted = 0, fast_omitted = 0, fills = 0;
  for (int round = 0; round < repeat; ++round) {
    slow_omitted = fast_omitted = fills = 0;
    const Clock::time_point t0 = Clock::now();
    expected = plain_scan(lines, number_of_phrases, slow_omitted, fills);
    const Clock::time_point t1 = Clock::now();
    got = indexed(lines, number_of_phrases, fast_omitted);
    const Clock::time_point t2 = Clock::now();
    oracle_seconds = std::min(oracle_seconds, std::chrono::duration<double>(t1 - t0).count());
    fast_seconds = std::min(fast_seconds, std::chrono::duration<double>(t2 - t1).count());
    if (fixed) {
      fixed_got = fixed_record_scan(lines, number_of_phrases);
      fixed_seconds =
          std::min(fixed_seconds, std::chrono::duration<double>(Clock::now() - t2).count());
    }
  }
  totals.oracle_seconds += oracle_seconds;
  totals.fast_seconds += fast_seconds;
  if (fixed) {
    totals.fixed_seconds += fixed_seconds;
    if (fixed_got != expected) ++totals.differing;
  }
  ++totals.blocks;
  totals.lines += static_cast<long>(lines.size());
  totals.omitted += slow_omitted;
  totals.fills += fills;
  if (got != expected || fast_omitted != slow_omitted) ++totals.differing;
  return expected;
}

// Splits `text` into key-file lines (the last one may lack its newline).
bool split_lines(std::string_view text, const std::string& name, std::vector<Line>& lines) {
  KeyLine fields;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size() - 1) + 1;
    if (somlabel::split_keyfile_line(text.substr(0, end), fields) != KeyLineStatus::ok) {
      std::fprintf(stderr, "oracle_labels: bad line in %s\n", name.c_str());
      return false;
    }
    lines.push_back({fields.phrase, fields.stemmed_phrase, fields.score});
    text.remove_prefix(end);
  }
  return true;
}

bool read_key_lines(const std::string& name, Lines& out) {
  somlabel::File file;
  if (!file.open(name, "r")) {
    std::fprintf(stderr, "oracle_labels: cannot open %s\n", name.c_str());
    return false;
  }
  std::string text;
  char buffer[1 << 14];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) text.append(buffer, n);
  out.texts.push_back(std::move(text));
  return split_lines(out.texts.back(), name, out.lines);
}

std::string first_token(std::string_view line, size_t& after) {
  size_t begin = line.find_first_not_of(' ');
  if (begin == std::string_view::npos) begin = line.size();
  size_t end = line.find(' ', begin);
  if (end == std::string_view::npos) end = line.size();
  after = end;
  return std::string(line.substr(begin, end - begin));
}

// M.labelunit -> M.labelunit.oracle with every leaf block recomputed.
bool redo_leaf_blocks(const std::string& map, const somlabel::Settings& settings, Totals& totals) {
  const std::string name = somlabel::labelunit_name(map);
  somlabel::File in, out;
  if (!in.open(name, "r") || !out.open(name + ".oracle", "w")) {
    std::fprintf(stderr, "oracle_labels: cannot open %s or its copy\n", name.c_str());
    return false;
  }
  somlabel::LineReader reader(in.get());
  std::string_view line;
  std::vector<std::string> documents;
  bool after_leaf_line = false;
  long skip = 0;
  while (reader.next(line)) {
    if (skip > 0) {
      --skip;
      continue;
    }
    size_t after = 0;
    const std::string key = first_token(line, after);
    if (after_leaf_line && key == somlabel::keys::kMode1Phrases && settings.mode != 0) {
      skip = somlabel::to_int(line.substr(after));
      Lines lines;
      lines.texts.reserve(documents.size());  // the views must not move
      for (const std::string& document : documents) {
        if (!read_key_lines(somlabel::key_file_name(settings, document), lines)) return false;
      }
      somlabel::put(out.get(), both_tables(lines.lines, settings.number_of_phrases, totals,
                                           with_fixed_records));
      after_leaf_line = false;
      continue;
    }
    somlabel::put(out.get(), line);
    after_leaf_line = line == "$NR_SOMS_MAPPED 0\n";
    if (key == somlabel::keys::kPosX) documents.clear();
    if (key == somlabel::keys::kVec) {
      std::string_view value = line.substr(after + 1);
      if (!value.empty() && value.back() == '\n') value.remove_suffix(1);
      documents.emplace_back(value);
    }
  }
  return out.close().ok();
}

// The map key file of M, from M.labelunit, as KEYFILE.oracle.
bool redo_map_keyfile(const std::string& map, const somlabel::Settings& settings, Totals& totals) {
  const std::string name = somlabel::labelunit_name(map);
  somlabel::File in, out;
  if (!in.open(name, "r") ||
      !out.open(somlabel::key_file_name(settings, somlabel::base_name(map)) + ".oracle", "w")) {
    std::fprintf(stderr, "oracle_labels: cannot open %s or the key file copy\n", name.c_str());
    return false;
  }
  somlabel::LineReader reader(in.get());
  std::string_view line;
  std::string block_lines;  // the phrase lines of all blocks, back to back
  long inside = 0;
  while (reader.next(line)) {
    if (inside > 0) {
      --inside;
      block_lines.append(line);
      if (line.empty() || line.back() != '\n') block_lines += '\n';
      continue;
    }
    size_t after = 0;
    if (first_token(line, after) == somlabel::keys::kMode1Phrases) {
      size_t ignored = 0;
      inside = somlabel::to_int(first_token(line.substr(after), ignored));
    }
  }
  std::vector<Line> lines;
  if (!split_lines(block_lines, name, lines)) return false;
  somlabel::put(out.get(), both_tables(lines, settings.number_of_phrases, totals));
  return out.close().ok();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 5 || (argc == 5 && std::strcmp(argv[4], "fixed") != 0)) {
    std::fprintf(stderr, "usage: oracle_labels OPTIONS PROCESSFILE [REPEAT [fixed]]\n");
    return 2;
  }
  if (argc >= 4) repeat = std::max(1, std::atoi(argv[3]));
  with_fixed_records = argc == 5;
  somlabel::Settings settings;
  somlabel::File options, process;
  if (!options.open(argv[1], "r") || !process.open(argv[2], "r")) {
    std::fprintf(stderr, "oracle_labels: cannot read %s or %s\n", argv[1], argv[2]);
    return 1;
  }
  somlabel::LineReader option_lines(options.get());
  if (somlabel::read_option_file(option_lines, somlabel::kLabelcalcKeys, settings) !=
      somlabel::OptionResult::ok) {
    std::fprintf(stderr, "oracle_labels: cannot read %s or %s\n", argv[1], argv[2]);
    return 1;
  }
  Totals units, maps;
  somlabel::LineReader reader(process.get());
  std::string_view line;
  while (reader.next(line)) {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    const std::string map = settings.path + std::string(line);
    if (!redo_leaf_blocks(map, settings, units) || !redo_map_keyfile(map, settings, maps)) return 1;
  }
  for (const auto& [what, totals] :
       {std::pair<const char*, const Totals&>{"unit blocks", units}, {"map key files", maps}}) {
    std::printf(
        "%-13s %6ld blocks %8ld lines %7ld omitted %5ld folds   plain scan %8.3f s"
        "  indexed %7.3f s  ratio %6.1f",
        what, totals.blocks, totals.lines, totals.omitted, totals.fills, totals.oracle_seconds,
        totals.fast_seconds,
        totals.fast_seconds > 0 ? totals.oracle_seconds / totals.fast_seconds : 0.0);
    if (totals.fixed_seconds > 0) {
      std::printf("   fixed records %8.3f s  ratio %6.1f", totals.fixed_seconds,
                  totals.fast_seconds > 0 ? totals.fixed_seconds / totals.fast_seconds : 0.0);
    }
    std::printf("   differing %ld\n", totals.differing);
  }
  return units.differing + maps.differing == 0 ? 0 : 1;
}
