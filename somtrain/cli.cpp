#include "somtrain/cli.h"

#include <cerrno>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <span>
#include <string_view>
#include <system_error>
#include <thread>

#include "common/checksum.h"
#include "common/command_line.h"
#include "common/documents.h"
#include "common/exit_codes.h"
#include "common/io.h"
#include "common/messages.h"
#include "common/numbers.h"
#include "somtrain/counts_cache.h"
#include "somtrain/steps.h"
#include "somtrain/unit_file.h"

namespace somlabel::somtrain {
namespace {

using somlabel::Result;

constexpr int kMaxSide = 100;  // a map side; 100 x 100 units at most

constexpr const char* kUsage = "usage: somtrain [OPTIONS] DOCUMENTS WORKDIR\n";

constexpr const char* kHelp =
    "Trains a hierarchy of self-organizing maps on the plain-text files in\n"
    "DOCUMENTS and writes, under WORKDIR, what labelcalc and labelweb read:\n"
    "  WORKDIR/options                   option file (OUTPUTPATH, KEYPATH, SOURCEPATH, ...)\n"
    "  WORKDIR/process, process.web      the maps, sub-maps before the maps above them\n"
    "  WORKDIR/OUTPUTPATH/NAME*.unit     one unit file per map, and beside it\n"
    "  WORKDIR/OUTPUTPATH/NAME*.unit.grid  its grid file (distances between units)\n"
    "  WORKDIR/OUTPUTPATH/key/, tmp_kea/ (created empty) for key files and the extractor\n"
    "Lines you add to WORKDIR/options below its last line are kept when somtrain\n"
    "writes it again. Then, to label the maps and write their pages:\n"
    "  keyphrases train -l DOCUMENTS -m MODEL          (the model the next step needs)\n"
    "  keyphrases docs --source DOCUMENTS --keys WORKDIR/output/key -m MODEL -n 30 \\\n"
    "                  --for-labels\n"
    "  cd WORKDIR && labelcalc process options && labelweb process.web options\n"
    "or all of it in one command: somlabel DOCUMENTS WORKDIR [OPTIONS]\n"
    "\n"
    "Options (defaults in brackets):\n"
    "  --expand N                  a unit with more than N documents gets a sub-map [20]\n"
    "  --xdim N, --ydim N          size of the top map [about one unit for every N\n"
    "                              documents, 2 x 2 to 8 x 6]\n"
    "  --sub-xdim N, --sub-ydim N  size of every sub-map [the same, from 2 x 1]\n"
    "  --depth D                   layers at most, the top map being layer 1 [10]\n"
    "  --epochs N                  batch training epochs per map [30]\n"
    "  --sigma-start R, --sigma-end R  neighbourhood radius in the first and last\n"
    "                              epoch [half the longer side; 0.5]\n"
    "  --seed S                    random seed; the same seed gives the same files [1]\n"
    "  --labels N                  \"$LABEL\" terms per unit [5]\n"
    "  --name NAME                 map names NAME.unit, NAME_X_Y.unit, ... [map]\n"
    "                              (letters, digits and '-')\n"
    "  --output-path DIR/          OUTPUTPATH, relative to WORKDIR [output/]\n"
    "  --min-df N                  a term must occur in N documents at least [2]\n"
    "  --max-df F                  ... and in no more than this share of them [0.5]\n"
    "  --max-terms N               vocabulary size at most [5000]\n"
    "  --language LANG             english, german, french, spanish [english]\n"
    "  --jobs J                    threads; the output does not depend on it [all cores]\n"
    "  --sample N                  train each map on at most N of its documents, a\n"
    "                              sample drawn with the seed; all are mapped [all]\n"
    "  --originals DIR             the documents the pages link to, where DOCUMENTS\n"
    "                              holds their text (somlabel's OUT/text) [DOCUMENTS]\n"
    "  --retrain                   train every map anew, not from the maps stored in\n"
    "                              WORKDIR by an earlier training (see below)\n"
    "  --progress                  progress on standard error even when it is no terminal\n"
    "  --help                      this text\n"
    "\n"
    "A rerun starts from the maps stored by the last training with the same options\n"
    "(NAME*.unit.codebook): new documents are put on their best units and the maps\n"
    "refined, so that documents stay where they were; a map whose documents grew by\n"
    "more than half or shrank by more than a third is trained anew, with the maps\n"
    "below it.\n"
    "\n"
    "In steps, for the tasks of a batch job (the same options in every step; what\n"
    "the steps hand on lies in WORKDIR/.somtrain/). Together they write the same\n"
    "files as one run:\n"
    "  --step count --shard I/N    stem counts of slice I of N of the documents\n"
    "  --step vocabulary --slices N   the terms, once all N slices are counted\n"
    "  --step map --map NAME --slices N   one map: the top map (NAME map.unit) or the\n"
    "                              sub-map of an expanded unit (map_X_Y.unit, ...)\n"
    "                              once the map above is done; with N > 1 the top map\n"
    "                              is only trained, then:\n"
    "  --step assign --shard I/N   its documents of slice I put on its units\n"
    "  --step finish --slices N    its unit file, once all N slices are assigned\n"
    "  --step map --layer L --shard I/M   slice I of M of the maps of layer L\n"
    "  --step process              option file and process files, once all maps are\n"
    "                              done\n"
    "Documents are the regular files in DOCUMENTS and all its folders, named by\n"
    "their path below it, that hold words; names with a blank, hidden files and\n"
    "folders and WORKDIR are left out, binary files passed over with a warning, and\n"
    "only the first 4 MiB of a document are read. Exit status:\n"
    "0 success, 1 failure, 2 usage error.\n";

constexpr OptionSpec kOptionSpecs[] = {valued("--xdim"),
                                       valued("--ydim"),
                                       valued("--sub-xdim"),
                                       valued("--sub-ydim"),
                                       valued("--expand"),
                                       valued("--depth"),
                                       valued("--epochs"),
                                       valued("--labels"),
                                       valued("--min-df"),
                                       valued("--max-df"),
                                       valued("--max-terms"),
                                       valued("--jobs"),
                                       valued("--originals"),
                                       valued("--seed"),
                                       valued("--sigma-start"),
                                       valued("--sigma-end"),
                                       valued("--name"),
                                       valued("--output-path"),
                                       valued("--sample"),
                                       valued("--language"),
                                       valued("--step"),
                                       valued("--shard"),
                                       valued("--slices"),
                                       valued("--map"),
                                       valued("--layer"),
                                       flag("--progress"),
                                       flag("--retrain"),
                                       flag("--help"),
                                       flag("-h")};

// A whole number within [min, max] for `key`, or the reason it is refused.
std::string read_count(const std::string& key, const std::string& value, long min, long max,
                       int& target) {
  const auto n = somlabel::parse_whole<long>(value, min, max);
  if (!n) {
    return key + " wants a whole number from " + std::to_string(min) + " to " + std::to_string(max);
  }
  target = static_cast<int>(*n);
  return {};
}

// A number within [0, 1e6).
std::optional<double> read_nonnegative(const std::string& text) {
  const auto value = somlabel::parse_decimal(text);
  if (!value || *value < 0.0 || *value >= 1e6) return std::nullopt;
  return value;
}

bool valid_name(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    const bool ok =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
    if (!ok) return false;
  }
  return true;
}

bool has_blank(std::string_view text) {
  return text.find_first_of(" \t\n\r\v\f") != std::string_view::npos;
}

std::string apply_step_option(const std::string& key, const std::string& value, Options& o) {
  if (!o.step) o.step = StepRequest{};
  StepRequest& request = *o.step;
  if (key == "--step") {
    if (parse_step(value, request.step)) return {};
    return key + " wants count, vocabulary, map, assign, finish or process";
  }
  if (key == "--shard") {
    const auto shard = somlabel::parse_shard(value);
    if (!shard) return key + " wants I/N, 1 <= I <= N";
    request.shard = *shard;
  } else if (key == "--slices") {
    const auto n = somlabel::parse_whole<std::size_t>(value, 1, somlabel::kMaxShards);
    if (!n) return key + " wants a whole number from 1";
    request.slices = *n;
  } else if (key == "--layer") {
    return read_count(key, value, 1, 10, request.layer);
  } else {
    request.map = value;
  }
  return {};
}

// What each step needs besides the options of the training.
std::string check_step(const Options& o, const std::vector<std::string>& given) {
  auto has = [&](const char* key) {
    return std::find(given.begin(), given.end(), key) != given.end();
  };
  if (!has("--step")) return "--shard, --slices, --map and --layer go with --step";
  switch (o.step->step) {
    case Step::count:
    case Step::assign: return has("--shard") ? "" : "this step wants --shard I/N";
    case Step::map:
      if (has("--map") == has("--layer")) return "--step map wants --map NAME or --layer L";
      return has("--layer") && !has("--shard") ? "--layer wants --shard I/N" : "";
    default: return "";
  }
}

// One "--key value" option. Returns an empty string when it was applied,
// otherwise the reason it was refused.
std::string apply_option(const std::string& key, const std::string& value, Options& o) {
  auto side = [&](int& target) { return read_count(key, value, 1, kMaxSide, target); };
  auto count = [&](int& target, long min, long max) {
    return read_count(key, value, min, max, target);
  };
  HierarchySettings& h = o.hierarchy;
  if (key == "--xdim") return side(h.top.xdim);
  if (key == "--ydim") return side(h.top.ydim);
  if (key == "--sub-xdim") return side(h.sub.xdim);
  if (key == "--sub-ydim") return side(h.sub.ydim);
  if (key == "--expand") return count(h.expand, 0, 1000000000);
  if (key == "--depth") return count(h.depth, 1, 10);
  if (key == "--epochs") return count(h.schedule.epochs, 1, 10000);
  if (key == "--labels") return count(h.labels, 0, 200);
  if (key == "--min-df") return count(o.vocabulary.min_df, 1, 1000000000);
  if (key == "--max-terms") return count(o.vocabulary.max_terms, 1, 10000000);
  if (key == "--jobs") return count(h.jobs, 1, 1024);
  if (key == "--originals") return o.originals = value, std::string();
  if (key == "--seed") {
    const auto seed = somlabel::parse_whole<unsigned long long>(value);
    if (!seed) return key + " wants a whole number";
    h.seed = *seed;
    return {};
  }
  if (key == "--sigma-start" || key == "--sigma-end") {
    const auto r = read_nonnegative(value);
    if (!r || (key == "--sigma-end" && *r <= 0.0)) return key + " wants a positive number";
    (key == "--sigma-start" ? h.schedule.sigma_start : h.schedule.sigma_end) = *r;
    return {};
  }
  if (key == "--max-df") {
    const auto share = read_nonnegative(value);
    if (!share || *share <= 0.0 || *share > 1.0) return key + " wants a number above 0, at most 1";
    o.vocabulary.max_df_share = *share;
    return {};
  }
  if (key == "--name") {
    if (!valid_name(value)) return key + " wants letters, digits and '-' only";
    h.name = value;
    return {};
  }
  if (key == "--output-path") {
    if (value.empty() || value.back() != '/' || has_blank(value) || value.front() == '/') {
      return key + " wants a relative directory ending in '/', without blanks";
    }
    o.output_path = value;
    return {};
  }
  if (key == "--sample") {
    const auto sample = somlabel::parse_whole<std::size_t>(value);
    if (!sample) return key + " wants a whole number";
    h.sample = *sample;
    return {};
  }
  if (key == "--step" || key == "--shard" || key == "--slices" || key == "--map" ||
      key == "--layer") {
    return apply_step_option(key, value, o);
  }
  if (key == "--language") {
    auto language = text::parse_language(value);
    if (!language) return key + ": unknown language '" + value + "'";
    o.language = *language;
    return {};
  }
  return "unknown option " + key;
}

bool flushed() {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  say("cannot write standard output: %s", somlabel::errno_text().c_str());
  return false;
}

// The counts file an earlier run left in WORKDIR, if there is one of this
// language. One that cannot be used is named in a warning, and every
// document read again.
void read_counts(const Options& o, CountsCache& cache) {
  const std::string name = o.work_dir + '/' + std::string(kCountsCacheName);
  somlabel::File file;
  if (!file.open(name, "rb")) {
    if (errno != ENOENT) {
      warn("cannot read %s: %s; every document is read", name.c_str(),
           somlabel::errno_text().c_str());
    }
    return;
  }
  std::string bytes;
  char buffer[1 << 16];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;)
    bytes.append(buffer, got);
  Result<Reason> parsed = std::ferror(file.get()) != 0
                              ? Result<Reason>(Reason{"cannot read: " + somlabel::errno_text()})
                              : cache.parse(std::move(bytes));
  if (parsed && cache.language() != text::language_name(o.language)) {
    (void)cache.parse({});
    return;  // counted for another language's stopwords: all are counted anew
  }
  if (!parsed) {
    warn("%s: %s; every document is read", name.c_str(), parsed.message().c_str());
  }
}

// Reads and counts the documents on all cores; a document unchanged since
// the last run (the counts file in WORKDIR) is counted from there.
// `counted` is the counts file of this run, empty where the earlier one holds
// the same bytes.
Result<Told> read_corpus(const Options& o, Corpus& corpus, std::string& counted) {
  std::vector<std::string> names;
  std::vector<somlabel::PassedOver> skipped;
  std::vector<FileStamp> stamps;
  if (Result<Reason> listed =
          somlabel::list_documents(o.documents, names, skipped, o.work_dir, stamps);
      !listed) {
    return told(listed);
  }
  for (const somlabel::PassedOver& file : skipped) {
    say("%s", somlabel::passed_over_message(o.documents + '/' + file.name, file.reason).c_str());
  }
  CountsCache earlier;
  if (!o.retrain) read_counts(o, earlier);
  auto source = [&](std::size_t i, SourceText& text) {
    somlabel::DocumentRead document;
    const std::string path = o.documents + '/' + names[i];
    text.stamp = stamps[i];
    const CountedDocument* counted = earlier.find(names[i]);
    if (counted && counted->stamp == text.stamp) {
      text.counted = counted;
      text.cut = counted->cut;
      if (text.cut) text.message = somlabel::cut_message(path);
      return;
    }
    if (const Result<Reason> read = somlabel::read_document(path, document); !read) {
      text.failed = true;
      text.message = read.message();
    } else if (!document.passed_over.empty()) {
      text.is_document = false;
      text.message = somlabel::passed_over_message(path, document.passed_over);
    } else {
      if (document.cut) text.message = somlabel::cut_message(path);
      text.cut = document.cut;
      text.text = std::move(document.text);
    }
  };
  if (!build_corpus(names, source, o.vocabulary, o.language, o.hierarchy.jobs, corpus, &earlier,
                    &counted)) {
    return Told{};
  }
  if (counted == earlier.bytes()) counted.clear();
  if (corpus.documents.empty()) {
    return fail("%s: no documents", o.documents.c_str());
  }
  return {};
}

// A document named like a map would share its key file with the map's, and
// one named like a map's unit ("map.unit.0_1") with the unit's joined text
// that labelcalc leaves in the key directory (key files ending in ".txt").
Result<Told> check_names(const Options& o, const Corpus& corpus, const Hierarchy& hierarchy) {
  std::set<std::string> maps;
  for (const MapResult& map : hierarchy.maps) {
    const std::string name = map_file_name(o.hierarchy.name, map);
    maps.insert(name);
    for (int u = 0; u < map.grid.units(); ++u) {
      maps.insert(name + "." + std::to_string(map.grid.x(u)) + "_" + std::to_string(map.grid.y(u)));
    }
  }
  for (const Document& document : corpus.documents) {
    if (maps.count(document.name) != 0) {
      return fail(
          "%s/%s: a document may not have the name of a map or of its units; "
          "choose another --name",
          o.documents.c_str(), document.name.c_str());
    }
  }
  return {};
}

}  // namespace

Result<Reason> read_options(std::span<char* const> args, Options& options) {
  CommandLine line;
  if (Result<Reason> parsed = parse_command_line(args, kOptionSpecs, line); !parsed) return parsed;
  options.hierarchy.jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  std::vector<std::string> step_keys;
  for (const GivenOption& option : line.options) {
    if (option.name == "--progress" || option.name == "--retrain") {
      (option.name == "--progress" ? options.progress : options.retrain) = true;
      continue;
    }
    if (option.name == "--help" || option.name == "-h") continue;
    if (std::string refused = apply_option(option.name, option.value, options); !refused.empty())
      return Reason{refused};
    if (options.step) step_keys.push_back(option.name);
  }
  if (line.operands.size() != 2)
    return Reason{"wants a document directory and a working directory"};
  if (options.step) {
    if (std::string refused = check_step(options, step_keys); !refused.empty())
      return Reason{refused};
  }
  options.documents = line.operands[0];
  options.work_dir = line.operands[1];
  return {};
}

int parse_options(int argc, char** argv, Options& options) {
  const std::span<char* const> args(argv + 1, static_cast<std::size_t>(argc - 1));
  CommandLine line;
  if (parse_command_line(args, kOptionSpecs, line).ok() && (line.has("--help") || line.has("-h"))) {
    std::fputs(kUsage, stdout);
    std::fputs(kHelp, stdout);
    return somlabel::kExitSuccess;
  }
  if (Result<Reason> read = read_options(args, options); !read) {
    say("%s", read.message().c_str());
    std::fputs(kUsage, stderr);
    return somlabel::kExitUsage;
  }
  return -1;
}

int run(const Options& o) {
  if (o.step) return run_step(o) && flushed() ? somlabel::kExitSuccess : somlabel::kExitFailure;
  const auto start = std::chrono::steady_clock::now();
  OutputLayout layout;
  if (!output_layout(o, layout)) return somlabel::kExitFailure;

  Corpus corpus;
  std::string counted;
  if (!read_corpus(o, corpus, counted)) return somlabel::kExitFailure;
  // One line, overwritten as the maps are trained.
  enable_status(o.progress);
  show_status(std::to_string(corpus.documents.size()) + " documents, " +
              std::to_string(corpus.stems.size()) + " terms");
  std::size_t trained = 0;
  HierarchySettings settings = o.hierarchy;
  settings.options = somlabel::checksum64(options_line(o));
  auto stored = [&](const std::string& path) {
    const MapResult map{path, 0, {}, {}};
    return read_earlier_map(o.work_dir + '/' + o.output_path +
                            map_file_name(o.hierarchy.name, map));
  };
  auto trained_one = [&](const MapResult& map) {
    std::size_t documents = 0;
    for (const UnitResult& unit : map.units) documents += unit.documents.size();
    show_status(std::to_string(++trained) + " maps trained, the last " +
                map_file_name(o.hierarchy.name, map) + " (" + std::to_string(documents) +
                " documents)");
  };
  const Hierarchy hierarchy =
      grow_hierarchy(corpus, settings, trained_one, o.retrain ? StoredMap() : StoredMap(stored));
  clear_status();
  if (!check_names(o, corpus, hierarchy)) return somlabel::kExitFailure;
  if (!write_outputs(o.work_dir, layout, corpus, hierarchy, o.hierarchy.name))
    return somlabel::kExitFailure;
  // Without it the next run reads every document again, nothing worse.
  std::error_code ec;
  std::filesystem::create_directories(o.work_dir + '/' + std::string(kStateFolder), ec);
  if (const Result<Reason> written =
          counted.empty()
              ? Result<Reason>()
              : somlabel::write_file_atomic(o.work_dir + '/' + std::string(kCountsCacheName),
                                            counted, "counts file");
      !written) {
    warn("%s", written.message().c_str());
  }

  std::size_t units = 0;
  for (const MapResult& map : hierarchy.maps) units += map.units.size();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("somtrain: %zu documents, %zu maps, %zu units in %s/%s (%.1f s)\n",
              corpus.documents.size(), hierarchy.maps.size(), units, o.work_dir.c_str(),
              o.output_path.c_str(), seconds);
  return flushed() ? somlabel::kExitSuccess : somlabel::kExitFailure;
}

int run_cli(int argc, char** argv) {
  // Whole lines go out at once, so that where standard output and error share
  // a log, a message follows the line it belongs to.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  Options options;
  if (const int status = parse_options(argc, argv, options); status >= 0) return status;
  return run(options);
}

}  // namespace somlabel::somtrain
