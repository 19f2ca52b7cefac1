#include "somlabel/cluster.h"

#include <algorithm>
#include <string_view>

#include "common/option_keys.h"

namespace somlabel::driver {
namespace {

// Words of a command that stand for what only the task knows.
constexpr std::string_view kTaskWord = "{task}";  // its number in the array
constexpr std::string_view kCpusWord = "{cpus}";  // the processors Slurm gave it

// The steps' own files below OUT, removed when the run is through.
constexpr std::string_view kTrainingState = ".somtrain";
constexpr std::string_view kTaskFolders = ".slurm";

// One argument as a shell word, its placeholders left for the shell to expand.
std::string word(const std::string& arg) {
  struct Expansion {
    std::string_view placeholder, shell;
  };
  static constexpr Expansion kExpansions[] = {{kTaskWord, "\"$SLURM_ARRAY_TASK_ID\""},
                                              {kCpusWord, "\"${SLURM_CPUS_PER_TASK:-1}\""}};
  std::string out;
  std::size_t start = 0;
  while (true) {
    std::size_t at = std::string::npos;
    const Expansion* next = nullptr;
    for (const Expansion& expansion : kExpansions) {
      const std::size_t found = arg.find(expansion.placeholder, start);
      if (found < at) at = found, next = &expansion;
    }
    const std::string piece = arg.substr(start, at == std::string::npos ? at : at - start);
    if (!piece.empty() || (next == nullptr && out.empty())) out += shell_quoted(piece);
    if (next == nullptr) return out;
    out += next->shell;
    start = at + next->placeholder.size();
  }
}

// The command as words of a shell line, without its line end.
std::string command_words(const Command& command) {
  std::string line;
  if (!command.path_prefix.empty())
    line = "PATH=" + shell_quoted(command.path_prefix) + ":\"$PATH\" ";
  for (std::size_t i = 0; i < command.argv.size(); ++i) {
    if (i > 0) line += ' ';
    line += word(command.argv[i]);
  }
  return line;
}

std::string command_line(const Command& command) { return command_words(command) + '\n'; }

std::string script_head(const Layout& layout, std::string_view what) {
  return "#!/bin/bash\n# somlabel --slurm: " + std::string(what) + "\nset -euo pipefail\ncd " +
         shell_quoted(layout.out) + "\n";
}

// The lines of a file that fall to this task, cut as keyphrases and somtrain
// cut their slices.
std::string slice_function(std::size_t tasks) {
  return "slice() {\n"
         "  [ -f \"$1\" ] || return 0\n"
         "  local total first last\n"
         "  total=$(wc -l <\"$1\")\n"
         "  first=$(( (SLURM_ARRAY_TASK_ID - 1) * total / " +
         std::to_string(tasks) +
         " ))\n"
         "  last=$(( SLURM_ARRAY_TASK_ID * total / " +
         std::to_string(tasks) +
         " ))\n"
         "  if [ \"$last\" -gt \"$first\" ]; then sed -n \"$((first + 1)),${last}p\" \"$1\"; fi\n"
         "}\n";
}

Command somtrain_step(const Layout& layout, const Tools& tools, const ClusterPlan& plan,
                      const std::vector<std::string>& step) {
  Command command{"maps", {tools.somtrain}, layout.out, ""};
  command.argv.insert(command.argv.end(), plan.map_options.begin(), plan.map_options.end());
  if (plan.retrain) command.argv.emplace_back("--retrain");
  command.argv.insert(command.argv.end(), {"--jobs", std::string(kCpusWord)});
  command.argv.insert(command.argv.end(), step.begin(), step.end());
  command.argv.insert(command.argv.end(),
                      {"--originals", layout.documents, layout.texts(), layout.out});
  return command;
}

std::string slice_of(std::size_t count) {
  return std::string(kTaskWord) + "/" + std::to_string(count);
}

class Graph {
 public:
  // Adds a job; returns its index.
  std::size_t add(std::string name, std::size_t tasks, std::vector<std::size_t> after,
                  std::string script) {
    after.erase(std::remove(after.begin(), after.end(), kNone), after.end());
    std::sort(after.begin(), after.end());
    after.erase(std::unique(after.begin(), after.end()), after.end());
    jobs_.push_back(Job{std::move(name), tasks, std::move(after), std::move(script)});
    return jobs_.size() - 1;
  }
  std::vector<Job> take() { return std::move(jobs_); }
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

 private:
  std::vector<Job> jobs_;
};

std::string map_options_text(const ClusterPlan& plan) {
  if (plan.map_options.empty()) return ": >" + shell_quoted("map-options") + "\n";
  std::string line = "printf '%s\\n'";
  for (const std::string& option : plan.map_options) line += ' ' + shell_quoted(option);
  return line + " >map-options\n";
}

// Trains the maps: counts, vocabulary, top map, layer after layer, process files.
std::size_t add_training(Graph& graph, const Layout& layout, const Tools& tools,
                         const ClusterPlan& plan) {
  auto step = [&](std::string_view what, const std::vector<std::string>& args) {
    return script_head(layout, what) + command_line(somtrain_step(layout, tools, plan, args));
  };
  const std::string slices = std::to_string(plan.slices);
  const std::size_t count = graph.add("count", plan.slices, {},
                                      step("stem counts of a slice of the documents",
                                           {"--step", "count", "--shard", slice_of(plan.slices)}));
  const std::size_t vocabulary =
      graph.add("vocabulary", 0, {count},
                step("the vocabulary", {"--step", "vocabulary", "--slices", slices}));
  std::size_t last =
      graph.add("map", 0, {vocabulary},
                step("the top map", {"--step", "map", "--map", plan.top_map, "--slices", slices}));
  if (plan.slices > 1) {
    last = graph.add("assign", plan.slices, {last},
                     step("a slice of the top map's documents put on its units",
                          {"--step", "assign", "--shard", slice_of(plan.slices)}));
    last = graph.add("finish", 0, {last},
                     step("the top map's unit file", {"--step", "finish", "--slices", slices}));
  }
  for (std::size_t layer = 2; layer <= plan.layer_slots.size(); ++layer) {
    const std::size_t tasks = std::min(plan.layer_slots[layer - 1], plan.tasks);
    last = graph.add(
        "maps-" + std::to_string(layer), tasks, {last},
        step("a slice of the maps of layer " + std::to_string(layer),
             {"--step", "map", "--layer", std::to_string(layer), "--shard", slice_of(tasks)}));
  }
  return graph.add(
      "process", 0, {last},
      step("process files and option file", {"--step", "process"}) + map_options_text(plan));
}

std::string label_script(const Layout& layout, const Tools& tools, std::size_t layer,
                         std::size_t tasks) {
  const std::string work = std::string(kTaskFolders) + "/labels-" + std::to_string(layer) + "-";
  // Its process file and option file are this task's; the rest of the command is the one of a run
  // on one machine.
  Command labelcalc = label_maps(layout, tools, "");
  labelcalc.argv.resize(1);
  return script_head(layout, "labelcalc on a slice of the maps of layer " + std::to_string(layer)) +
         slice_function(tasks) + "work=" + shell_quoted(work) + "\"$SLURM_ARRAY_TASK_ID\"\n" +
         "rm -rf \"$work\"\nmkdir -p \"$work/tmp_kea\"\n" + "slice " +
         shell_quoted(std::string(kTrainingState) + "/layer-" + std::to_string(layer)) +
         " >\"$work/process\"\n"
         "if [ -s \"$work/process\" ]; then\n"
         // The extractor's working directory of this task alone: the last line naming a key wins.
         "  { cat " +
         shell_quoted(layout.option_file()) + "; printf '" + std::string(option_keys::kTmpKeaPath) +
         " %s\\n' \"$work/tmp_kea/\"; } >\"$work/options\"\n"
         "  " +
         command_words(labelcalc) +
         " \"$work/process\" \"$work/options\"\n"
         "fi\n"
         // The extractor's key files go with the task's folder, as a run on one machine
         // empties the extractor's folder once labelcalc is done.
         "rm -rf \"$work\"\n";
}

std::string pages_script(const Layout& layout, const Tools& tools, std::size_t tasks) {
  Command labelweb = write_pages(layout, tools, "");
  return script_head(layout, "labelweb on a slice of the maps") + slice_function(tasks) +
         "work=" + shell_quoted(std::string(kTaskFolders) + "/pages-") +
         "\"$SLURM_ARRAY_TASK_ID\"\n" +
         "rm -rf \"$work\"\nmkdir -p \"$work\"\n"
         "slice " +
         shell_quoted(layout.process_web()) +
         " >\"$work/process.web\"\n"
         "if [ -s \"$work/process.web\" ]; then\n"
         "  " +
         shell_quoted(tools.labelweb) + " \"$work/process.web\" " +
         shell_quoted(layout.option_file()) +
         "\n"
         "fi\n"
         "rm -rf \"$work\"\n";
}

std::string site_script(const Layout& layout, const ClusterPlan& plan) {
  std::string script = script_head(layout, "the site pages, then the steps' own files go");
  if (!plan.labelsite.empty()) {
    script += shell_quoted(plan.labelsite) + " --cache " + shell_quoted(layout.site_cache());
    if (!plan.language.empty()) script += " --language " + shell_quoted(plan.language);
    script +=
        " " + shell_quoted(layout.process_web()) + " " + shell_quoted(layout.option_file()) + "\n";
  }
  return script + "rm -rf " + shell_quoted(std::string(kTrainingState)) + " " +
         shell_quoted(std::string(kTaskFolders)) + "\n";
}

std::size_t add_key_files(Graph& graph, const Layout& layout, const Tools& tools,
                          const Settings& settings, const ClusterPlan& plan, std::size_t& model) {
  const ExtractorOptions extractor{plan.language, std::string(kCpusWord)};
  model = Graph::kNone;
  if (plan.train_model) {
    model = graph.add("model", 0, {},
                      script_head(layout, "the extractor's model") +
                          command_line(train_model(layout, tools, extractor)));
  }
  if (!plan.key_files) return Graph::kNone;
  Command keys = write_key_files(layout, tools, extractor, plan.key_dir, settings.keyfileending,
                                 plan.only_changed);
  keys.argv.erase(std::remove(keys.argv.begin(), keys.argv.end(), "--progress"), keys.argv.end());
  keys.argv.insert(keys.argv.end(), {"--shard", slice_of(plan.slices)});
  return graph.add(
      "keys", plan.slices, {model},
      script_head(layout, "key files of a slice of the documents") + command_line(keys));
}

}  // namespace

std::string shell_quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::vector<Job> cluster_jobs(const Layout& layout, const Tools& tools, const Settings& settings,
                              const ClusterPlan& plan) {
  Graph graph;
  std::size_t model = Graph::kNone;
  const std::size_t keys = add_key_files(graph, layout, tools, settings, plan, model);
  std::size_t last = add_training(graph, layout, tools, plan);
  const std::size_t process = last;
  for (std::size_t layer = plan.layer_slots.size(); layer >= 1; --layer) {
    const std::size_t tasks = std::min(plan.layer_slots[layer - 1], plan.tasks);
    last = graph.add("labels-" + std::to_string(layer), tasks, {process, keys, model, last},
                     label_script(layout, tools, layer, tasks));
  }
  std::size_t maps = 0;
  for (std::size_t slots : plan.layer_slots) maps = std::min(maps + slots, plan.tasks);
  last = graph.add("pages", maps, {last}, pages_script(layout, tools, maps));
  graph.add("site", 0, {last}, site_script(layout, plan));
  return graph.take();
}

}  // namespace somlabel::driver
