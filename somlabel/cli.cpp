#include "somlabel/cli.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <span>
#include <system_error>
#include <thread>

#include "common/command_line.h"
#include "common/documents.h"
#include "common/exit_codes.h"
#include "common/frame.h"
#include "common/io.h"
#include "common/map_names.h"
#include "common/messages.h"
#include "common/numbers.h"
#include "common/settings.h"
#include "common/shard.h"
#include "convert/text_store.h"
#include "somlabel/cluster_run.h"
#include "somlabel/plan.h"
#include "somlabel/runner.h"
#include "somlabel/tools.h"
#include "somtrain/cli.h"
#include "somtrain/steps.h"
#include "somtrain/unit_file.h"

namespace somlabel::driver {
namespace {

constexpr const char* kUsage =
    "usage: somlabel DOCS OUT [MAP OPTIONS] [--retrain]\n"
    "       somlabel --slurm DOCS OUT [MAP OPTIONS] [--retrain] [--wait] [--slices N]\n"
    "                [--tasks T] [--sbatch ARG]...\n";

constexpr const char* kHelp =
    "Makes labelled, linked maps of the documents in DOCS and prints the path of their\n"
    "site's top page, index.html. Under OUT it trains the maps (somtrain), the\n"
    "extractor's model and a key file per document (keyphrases train, keyphrases\n"
    "docs), labels every map (labelcalc, MODE 2), writes its page (labelweb) and the\n"
    "site: the tree of maps with a search box, document and phrase indexes (labelsite).\n"
    "\n"
    "A rerun redoes only what changed: the maps when documents or map options did\n"
    "(from the maps stored by the last training, so that documents stay where they\n"
    "were; with other map options, or --retrain, anew),\n"
    "the key files of documents newer than them, the labels and pages of maps whose\n"
    "inputs changed, the site when a page did. The model is trained again when a\n"
    "tenth of the documents is newer than it (or delete OUT/model).\n"
    "\n"
    "Map options are somtrain's (somtrain --help): --xdim N, --ydim N, --expand N,\n"
    "--depth D, ...; --language and --jobs go to keyphrases too. They are kept in\n"
    "OUT/map-options: a rerun without map options uses them, new ones replace them.\n"
    "OUT/options is the option file of labelcalc, labelweb and labelsite; lines you add\n"
    "at its end are kept, and a key you set there wins over somlabel's.\n"
    "\n"
    "Documents are the files in DOCS and all its folders: HTML, PDF, Markdown and\n"
    "text in any common encoding, read as text into OUT/text (the first 4 MiB of\n"
    "each); names with a blank, hidden files and folders are left out, and files\n"
    "with no text are passed over (all named in OUT/logs/text.log). The pages link to\n"
    "the documents themselves. Each step's messages are in\n"
    "OUT/logs/STEP.log. Exit status: 0 success, 1 a step failed, 2 usage error.\n"
    "\n"
    "With --slurm the same run is a graph of batch jobs on a Slurm cluster whose\n"
    "nodes see DOCS and OUT; the files are those of a run on one machine. It prints\n"
    "the job ids and ends; the maps and labels are made anew, the key files and the\n"
    "model as above.\n"
    "  --wait        follow the jobs to their end; name a job that failed, with its log\n"
    "  --slices N    cut the documents in N slices, a task each [one per 50,000]\n"
    "  --tasks T     tasks of a job array at most [1000]\n"
    "  --sbatch ARG  pass ARG to every sbatch (--partition=..., --mem=..., ...);\n"
    "                JOB:ARG to the sbatch of JOB alone (model:--cpus-per-task=32)\n"
    "Scripts and logs of the jobs are in OUT/logs/slurm/.\n";

struct Request {
  std::string documents;
  std::string out;
  std::vector<std::string> map_options;
  bool map_options_given = false;
  bool retrain = false;  // --retrain: the maps anew, not from the stored ones; never stored
  bool slurm = false;
  ClusterOptions cluster;
};

int usage_error(const std::string& why) {
  say("%s", why.c_str());
  std::fputs(kUsage, stderr);
  return kExitUsage;
}

// somtrain's options of a training with `map_options`, by somtrain's own
// reader; false after its message.
bool training_options(const std::vector<std::string>& map_options, const std::string& documents,
                      const std::string& out, somtrain::Options& options) {
  std::vector<std::string> args = map_options;
  args.insert(args.end(), {documents, out});
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  const Result<Reason> read = somtrain::read_options(argv, options);
  if (read) return true;
  say("%s", read.message().c_str());
  say("the map options are somtrain's; see somtrain --help");
  return false;
}

// Lets somtrain's own reader judge the map options before any long work.
bool map_options_valid(const Request& request) {
  somtrain::Options options;
  return training_options(request.map_options, request.documents, request.out, options);
}

constexpr OptionSpec kOptionSpecs[] = {flag("--retrain"), flag("--help"),    flag("-h"),
                                       flag("--slurm"),   flag("--wait"),    valued("--slices"),
                                       valued("--tasks"), valued("--sbatch")};

// The cluster options given; false after a usage message.
bool cluster_options(const CommandLine& line, Request& request) {
  request.slurm = line.has("--slurm");
  request.cluster.wait = line.has("--wait");
  for (const GivenOption& option : line.options) {
    if (option.name == "--sbatch") request.cluster.sbatch.push_back(option.value);
    if (option.name != "--slices" && option.name != "--tasks") continue;
    const std::size_t most = option.name == "--slices" ? kMaxShards : kDefaultTasks;
    const auto number = parse_whole<std::size_t>(option.value, 1, most);
    if (!number) {
      usage_error(option.name + " wants a whole number from 1 to " + std::to_string(most));
      return false;
    }
    (option.name == "--slices" ? request.cluster.slices : request.cluster.tasks) = *number;
  }
  return true;
}

// -1 to go on, or the exit status to end with. Options somlabel does not
// know are map options, each with its value, kept as they were given.
int parse(int argc, char** argv, Request& request) {
  CommandLine line;
  const std::span<char* const> args(argv + 1, static_cast<std::size_t>(argc - 1));
  if (Result<Reason> parsed = parse_command_line(args, kOptionSpecs, line, UnknownOptions::keep);
      !parsed) {
    return usage_error(parsed.message());
  }
  if (line.has("--help") || line.has("-h")) {
    std::printf("%s%s", kUsage, kHelp);
    return kExitSuccess;
  }
  if (!cluster_options(line, request)) return kExitUsage;
  request.retrain = line.has("--retrain");
  for (const GivenOption& option : line.unknown) {
    if (option.joined) {
      request.map_options.push_back(option.name + "=" + option.value);
    } else {
      request.map_options.insert(request.map_options.end(), {option.name, option.value});
    }
  }
  if (line.operands.size() != 2) return usage_error("wants a document folder and an output folder");
  if (!request.slurm &&
      (request.cluster.wait || request.cluster.slices > 0 ||
       request.cluster.tasks != kDefaultTasks || !request.cluster.sbatch.empty())) {
    return usage_error("--wait, --slices, --tasks and --sbatch go with --slurm");
  }
  request.documents = line.operands[0];
  request.out = line.operands[1];
  request.map_options_given = !request.map_options.empty();
  return -1;
}

// The value of `key` among the map options ("--key value" or "--key=value").
std::string option_value(const std::vector<std::string>& options, const std::string& key) {
  std::string value;
  for (size_t i = 0; i < options.size(); ++i) {
    if (options[i] == key && i + 1 < options.size()) value = options[++i];
    if (options[i].starts_with(key + "=")) value = options[i].substr(key.size() + 1);
  }
  return value;
}

bool write_whole(const std::string& name, const std::string& text) {
  const Result<Reason> written = write_file_atomic(name, text, "file");
  tell(written);
  return written.ok();
}

bool add_option_lines(const Layout& layout) {
  std::string text;
  if (const Result<Reason> read = read_file(layout.option_file(), text); !read.ok()) {
    tell(read);
    return false;
  }
  const std::string completed = with_option_lines(text);
  return completed == text || write_whole(layout.option_file(), completed);
}

// The option file as labelcalc, labelweb and labelsite read it, through the
// same frame; false after its message.
bool read_settings(const Layout& layout, Settings& settings) {
  static constexpr Tool kReader{.help = "", .keys = {}};
  return somlabel::read_settings(kReader, layout.option_file(), settings).ok();
}

std::string seconds_text(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", seconds);
  return text;
}

// Runs the steps one after the other, keeping the figures of the run.
class Driver {
 public:
  explicit Driver(const Layout& layout) : layout_(layout) {}

  // Runs one step; false after telling which step failed and why.
  bool run(const Command& command, std::string_view done, size_t maps = 0) {
    const std::string log = layout_.logs() + command.step + ".log";
    const std::string title = "somlabel: " + command.step;
    StepOutcome outcome = run_step(command, log, title, maps, status_);
    if (outcome.status != 0) return failed(command, outcome, log);
    show_new_messages(command.step, outcome, log);
    figures_ += "; " + command.step + " " + seconds_text(outcome.seconds);
    if (!done.empty()) figures_ += " (" + std::string(done) + ")";
    return true;
  }
  void kept(std::string_view step) { figures_ += "; " + std::string(step) + " kept"; }
  // A step somlabel did itself.
  void done(std::string_view step, double seconds, std::string_view what) {
    figures_ += "; " + std::string(step) + " " + seconds_text(seconds);
    if (!what.empty()) figures_ += " (" + std::string(what) + ")";
  }
  [[nodiscard]] const std::string& figures() const { return figures_; }

 private:
  bool failed(const Command& command, const StepOutcome& outcome, const std::string& log) {
    if (!outcome.error.empty()) {
      say("step %s failed: %s", command.step.c_str(), outcome.error.c_str());
      return false;
    }
    const std::string tool = std::filesystem::path(command.argv[0]).filename().string();
    say("step %s failed: %s ended with exit status %d%s", command.step.c_str(), tool.c_str(),
        outcome.status, outcome.last_messages.empty() ? "" : ":");
    for (const std::string& message : outcome.last_messages) {
      quote("  %s\n", message.c_str());
    }
    say("all of its messages are in %s", log.c_str());
    return false;
  }

  // A tool's warnings, less those an earlier step gave about the same file
  // (each tool passes over the same binary documents).
  void show_new_messages(const std::string& step, const StepOutcome& outcome,
                         const std::string& log) {
    std::vector<std::string> fresh;
    for (const std::string& message : outcome.first_messages) {
      const size_t colon = message.find(": ");
      if (shown_.insert(colon == std::string::npos ? message : message.substr(colon + 2)).second) {
        fresh.push_back(message);
      }
    }
    if (fresh.empty()) return;
    say("%s: %zu warning%s (all in %s):", step.c_str(), outcome.messages,
        outcome.messages == 1 ? "" : "s", log.c_str());
    for (const std::string& message : fresh) quote("  %s\n", message.c_str());
    if (outcome.messages > outcome.first_messages.size()) quote("  ...\n");
  }

  const Layout& layout_;
  StatusLine status_;
  std::set<std::string> shown_;
  std::string figures_;
};

// "1 map", "3 maps".
std::string counted(size_t count, std::string_view noun) {
  return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

std::string count_text(size_t count, size_t of, std::string_view what) {
  return std::to_string(count) + " of " + std::to_string(of) + " " + std::string(what);
}

// The process file for the maps marked in `due`, or the full one when all are.
bool process_file_for(const Layout& layout, const std::vector<MapNode>& maps,
                      const std::vector<bool>& due, std::string_view ending,
                      const std::string& full, const std::string& part, std::string& name) {
  if (std::find(due.begin(), due.end(), false) == due.end()) {
    name = full;
    return true;
  }
  std::string text;
  for (size_t m = 0; m < maps.size(); ++m) {
    if (due[m]) text.append(maps[m].line).append(ending) += '\n';
  }
  name = layout.logs() + part;
  return write_whole(name, text);
}

bool train_maps_step(Driver& driver, const Layout& layout, const Tools& tools,
                     const std::vector<std::string>& documents,
                     const std::vector<std::string>& map_options, bool retrain) {
  // The maps do not depend on the threads that train them.
  std::vector<std::string> kept;
  for (size_t i = 0; i < map_options.size(); ++i) {
    if (map_options[i] == "--jobs")
      ++i;
    else if (!map_options[i].starts_with("--jobs="))
      kept.push_back(map_options[i]);
  }
  if (!retrain && !maps_stale(layout, tools, documents, kept)) {
    driver.kept("maps");
    return true;
  }
  std::string text;
  for (const std::string& option : kept) text += option + "\n";
  std::vector<std::string> options = map_options;
  if (retrain) options.emplace_back("--retrain");
  return driver.run(train_maps(layout, tools, options), "") &&
         write_whole(layout.map_options(), text);
}

// `texts`: how many of the documents are text, the binary ones passed over.
bool key_steps(Driver& driver, const Layout& layout, const Tools& tools,
               const ExtractorOptions& options, bool language_changed, const Settings& settings,
               const std::vector<std::string>& documents, size_t& texts) {
  if (language_changed || model_stale(layout, tools, documents)) {
    if (!driver.run(train_model(layout, tools, options), "")) return false;
  } else {
    driver.kept("model");
  }
  const std::string key_dir = from_out(layout.out, settings.keypath);
  const KeyFilesDue due = key_files_due(layout, documents, key_dir, settings.keyfileending);
  texts = documents.size() - due.binary;
  if (due.count == 0) {
    driver.kept("keys");
    return true;
  }
  const Command command =
      write_key_files(layout, tools, options, key_dir, settings.keyfileending, !due.model_newer);
  return driver.run(command, count_text(due.count, texts, "documents"));
}

// labelcalc leaves the extractor's key file of every unit in its working
// folder; once it is done they serve nothing. Only files go, and only from a
// folder inside OUT: the option file may name any folder.
void empty_extractor_folder(const Layout& layout, const Settings& settings) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path folder = fs::canonical(from_out(layout.out, settings.kea_tmp_path), ec);
  const std::string inside = layout.out + "/";
  if (ec || !folder.string().starts_with(inside)) return;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
    if (entry.is_regular_file(ec)) fs::remove(entry.path(), ec);
  }
}

bool map_steps(Driver& driver, const Layout& layout, const Tools& tools, const Settings& settings,
               const std::string& language, const std::vector<std::string>& old_maps,
               std::vector<MapNode>& maps) {
  if (!read_maps(layout, settings, maps) || !remove_leftovers(layout, settings, old_maps, maps)) {
    return false;
  }
  const std::vector<bool> label = maps_to_label(layout, tools, settings, maps);
  const size_t to_label = static_cast<size_t>(std::count(label.begin(), label.end(), true));
  std::string process;
  if (to_label == 0) {
    driver.kept("labels");
  } else if (!drop_somabove_lines(settings, maps, label, layout.out) ||
             !process_file_for(layout, maps, label, "", layout.process(), "labels.process",
                               process) ||
             !driver.run(label_maps(layout, tools, process),
                         count_text(to_label, maps.size(), "maps"), to_label)) {
    return false;
  }
  if (to_label > 0) empty_extractor_folder(layout, settings);
  const std::vector<bool> pages = pages_to_write(layout, tools, settings, maps);
  const size_t to_write = static_cast<size_t>(std::count(pages.begin(), pages.end(), true));
  if (to_write == 0) {
    driver.kept("pages");
  } else if (!process_file_for(layout, maps, pages, kLabelunitEnding, layout.process_web(),
                               "pages.process", process) ||
             !driver.run(write_pages(layout, tools, process),
                         count_text(to_write, maps.size(), "maps"), to_write)) {
    return false;
  }
  if (!site_stale(layout, tools, settings, maps, to_label + to_write > 0)) {
    driver.kept("site");
    return true;
  }
  return driver.run(write_site(layout, tools, language), "");
}

bool prepare(const Request& request, Layout& layout) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(request.documents, ec)) {
    const std::error_code reason = ec ? ec : std::make_error_code(std::errc::not_a_directory);
    say("%s is not a folder of documents: %s", request.documents.c_str(), reason.message().c_str());
    return false;
  }
  fs::create_directories(fs::path(request.out) / "logs", ec);
  if (ec) {
    say("cannot create %s/logs: %s", request.out.c_str(), ec.message().c_str());
    return false;
  }
  layout.documents = fs::canonical(request.documents, ec).string();
  layout.out = fs::canonical(request.out, ec).string();
  if (layout.documents == layout.out) {
    say("%s: the output folder must not be the document folder", request.out.c_str());
    return false;
  }
  return true;
}

// Writes the log of the text step and shows its first warnings.
bool log_texts(const Layout& layout, const convert::StoreReport& report) {
  std::vector<std::string> warnings;
  for (const PassedOver& file : report.passed_over) {
    warnings.push_back(passed_over_message(join_path(layout.documents, file.name), file.reason));
  }
  for (const std::string& name : report.cut) {
    warnings.push_back(cut_message(join_path(layout.documents, name)));
  }
  std::string log;
  for (const std::string& line : warnings) log.append(line) += '\n';
  for (const std::string& made : report.made) {
    log.append(join_path(layout.documents, made)) += '\n';
  }
  if (!write_whole(layout.logs() + "text.log", log)) return false;
  if (warnings.empty()) return true;
  say("text: %zu warning%s (all in %stext.log):", warnings.size(), warnings.size() == 1 ? "" : "s",
      layout.logs().c_str());
  constexpr size_t kShown = 10;
  for (size_t i = 0; i < std::min(warnings.size(), kShown); ++i) {
    quote("  %s\n", warnings[i].c_str());
  }
  if (warnings.size() > kShown) quote("  ...\n");
  return true;
}

// The text of every document in OUT/text, made where it is due; the names of
// the documents that have one in `documents`. False after its message.
bool text_step(const Layout& layout, const std::string& jobs, convert::StoreReport& store,
               double& seconds, std::vector<std::string>& documents) {
  const auto begun = std::chrono::steady_clock::now();
  const unsigned threads = jobs.empty() ? std::max(1u, std::thread::hardware_concurrency())
                                        : parse_whole<unsigned>(jobs, 1, 1024).value_or(1);
  StatusLine status;
  const auto progress = [&](size_t made, size_t due) {
    status.show("somlabel: text " + std::to_string(made) + " of " + std::to_string(due));
  };
  const Result<Reason> made =
      convert::update_text_store(layout.documents, layout.texts(), layout.out, threads, store,
                                 status.on() ? progress : std::function<void(size_t, size_t)>());
  status.clear();
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
  tell(made);
  if (!made || !log_texts(layout, store)) return false;
  documents = store.names;
  if (!documents.empty()) return true;
  say("%s holds no documents", layout.documents.c_str());
  return false;
}

// The closing line on what was passed over or cut, when anything was.
void summarise_texts(const Layout& layout, const convert::StoreReport& report) {
  const std::string summary = convert::store_summary(report);
  if (summary.empty()) return;
  say("%s; the list is in %stext.log", summary.c_str(), layout.logs().c_str());
}

// How many maps each layer could have: one on top, then every unit of the
// layer above expanded, and never more than the documents allow (each map
// below the top holds more than --expand of them, no document two). Only
// the tasks of the job arrays follow from it, not what they make.
std::vector<std::size_t> layer_slots(const somtrain::HierarchySettings& hierarchy,
                                     std::size_t documents) {
  constexpr std::size_t kMany = std::size_t{1} << 30;  // past any array job; no more is needed
  const auto expand = static_cast<std::size_t>(std::max(hierarchy.expand, 0));
  const std::size_t most = std::max<std::size_t>(1, documents / (expand + 1));
  const auto units = [&](somtrain::Grid given, std::size_t held, bool top) {
    return static_cast<std::size_t>(
        somtrain::fitted_grid(given, held, hierarchy.expand, top).units());
  };
  std::vector<std::size_t> slots = {1};
  std::size_t below = units(hierarchy.top, documents, true);
  for (int layer = 2; layer <= hierarchy.depth; ++layer) {
    slots.push_back(std::min(below, most));
    below = std::min(below * units(hierarchy.sub, kMany, false), kMany);
  }
  return slots;
}

// The option file is written before the jobs, as the maps' training will
// write it again: the key files' directory and ending come from it.
int run_on_slurm(const Request& request, Prepared prepared) {
  somtrain::Options training;
  const Layout& layout = prepared.layout;
  if (!training_options(prepared.map_options, layout.texts(), layout.out, training)) {
    return kExitUsage;
  }
  training.originals = layout.documents;
  if (!somtrain::write_training_options(training) || !add_option_lines(layout) ||
      !read_settings(layout, prepared.settings)) {
    return kExitFailure;
  }
  prepared.language = option_value(prepared.map_options, "--language");
  prepared.top_map =
      somtrain::map_file_name(training.hierarchy.name, {"", 1, training.hierarchy.top, {}});
  prepared.layer_slots = layer_slots(training.hierarchy, prepared.documents.size());
  return run_on_cluster(prepared, request.cluster);
}

int run(Request request) {
  std::error_code ec;
  // An OUT made for a folder without documents goes again.
  const bool out_existed = std::filesystem::exists(request.out, ec);
  Layout layout;
  std::vector<std::string> documents;
  Tools tools;
  if (!prepare(request, layout) || !find_tools(own_directory(), tools)) {
    return kExitFailure;
  }
  const std::vector<std::string> stored_options = stored_map_options(layout);
  if (!request.map_options_given) request.map_options = stored_options;
  convert::StoreReport texts_report;
  double text_seconds = 0;
  if (!text_step(layout, option_value(request.map_options, "--jobs"), texts_report, text_seconds,
                 documents)) {
    if (documents.empty() && !out_existed) std::filesystem::remove_all(layout.out, ec);
    return kExitFailure;
  }
  if (request.slurm) {
    summarise_texts(layout, texts_report);
    return run_on_slurm(
        request,
        Prepared{layout, tools, {}, documents, request.map_options, {}, {}, {}, request.retrain});
  }
  const ExtractorOptions extractor{option_value(request.map_options, "--language"),
                                   option_value(request.map_options, "--jobs")};
  const bool language_changed = option_value(stored_options, "--language") != extractor.language;
  const auto begun = std::chrono::steady_clock::now();
  Driver driver(layout);
  if (texts_report.changed) {
    std::string what;
    if (!texts_report.made.empty()) what = counted(texts_report.made.size(), "text") + " made";
    if (texts_report.removed > 0) {
      what += (what.empty() ? "" : ", ") + std::to_string(texts_report.removed) + " removed";
    }
    driver.done("text", text_seconds, what);
  } else {
    driver.kept("text");
  }
  Settings settings;
  std::vector<MapNode> maps;
  size_t texts = 0;
  const std::vector<std::string> old_maps = file_lines(layout.process());
  if (!train_maps_step(driver, layout, tools, documents, request.map_options, request.retrain) ||
      !add_option_lines(layout) || !read_settings(layout, settings) ||
      !key_steps(driver, layout, tools, extractor, language_changed, settings, documents, texts) ||
      !map_steps(driver, layout, tools, settings, extractor.language, old_maps, maps)) {
    return kExitFailure;
  }
  if (maps.empty()) {
    say("%s names no map", layout.process().c_str());
    return kExitFailure;
  }
  size_t units = 0;
  for (const MapNode& map : maps) units += map.units;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
  summarise_texts(layout, texts_report);
  say("%s, %s, %s%s; %s in all", counted(texts, "document").c_str(),
      counted(maps.size(), "map").c_str(), counted(units, "unit").c_str(), driver.figures().c_str(),
      seconds_text(seconds).c_str());
  std::printf("%s\n", site_index(layout, settings, maps).c_str());
  return std::fflush(stdout) == 0 ? kExitSuccess : kExitFailure;
}

}  // namespace

std::string with_option_lines(std::string_view text) {
  const size_t marker = text.find(somtrain::kOptionFileMarker);
  std::string_view below = marker == std::string_view::npos
                               ? text
                               : text.substr(marker + somtrain::kOptionFileMarker.size());
  std::set<std::string, std::less<>> named;
  while (!below.empty()) {
    const size_t end = std::min(below.find('\n'), below.size());
    const std::string_view line = below.substr(0, end);
    const size_t start = std::min(line.find_first_not_of(' '), line.size());
    named.emplace(line.substr(start, line.find(' ', start) - start));
    below.remove_prefix(std::min(end + 1, below.size()));
  }
  std::string added;
  for (const OptionLine& line : kOptionLines) {
    if (named.count(line.key) == 0) added.append(line.key).append(" ").append(line.value) += '\n';
  }
  std::string completed(text);
  if (!added.empty() && !completed.empty() && completed.back() != '\n') completed += '\n';
  return completed + added;
}

int run_cli(int argc, char** argv) {
  // Whole lines go out at once, so that where standard output and error share
  // a log, a message follows the line it belongs to.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  Request request;
  if (const int status = parse(argc, argv, request); status >= 0) return status;
  if (request.map_options_given && !map_options_valid(request)) return kExitUsage;
  return run(std::move(request));
}

}  // namespace somlabel::driver
