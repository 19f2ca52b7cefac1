#include "somlabel/cluster_run.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/exit_codes.h"
#include "common/io.h"
#include "common/map_names.h"
#include "common/messages.h"
#include "somlabel/cluster.h"
#include "somlabel/plan.h"
#include "somlabel/runner.h"
#include "somlabel/slurm.h"

namespace somlabel::driver {
namespace {

// Lines of a job's log shown when it failed.
constexpr std::size_t kLogLines = 8;

std::string jobs_folder(const Layout& layout) { return layout.logs() + "slurm"; }
// One line a job, in the order they were submitted: "NAME ID TASKS" (0 tasks:
// a single job).
std::string jobs_list(const Layout& layout) { return jobs_folder(layout) + "/jobs"; }

// The ids that the last run on OUT submitted.
std::vector<std::string> earlier_ids(const Layout& layout) {
  std::ifstream in(jobs_list(layout));
  std::vector<std::string> ids;
  std::string name, id, tasks;
  while (in >> name >> id >> tasks) ids.push_back(id);
  return ids;
}

// Two runs at once on one OUT would write over each other's files.
bool earlier_run_ended(const Layout& layout) {
  const std::vector<std::string> ids = earlier_ids(layout);
  if (ids.empty()) return true;
  std::string list;
  for (const std::string& id : ids) list += (list.empty() ? "" : ",") + id;
  const Captured squeue = run_captured({"squeue", "--noheader", "--jobs=" + list, "--format=%i"});
  if (squeue.status == 0 && squeue.out.empty()) return true;
  if (squeue.status != 0 && squeue.err.find("Invalid job id") != std::string::npos) return true;
  if (squeue.status < 0) {
    say("cannot start squeue: %s", errno_text().c_str());
    return false;
  }
  say("jobs of an earlier run on %s are still queued (%s); wait for them or scancel them",
      layout.out.c_str(), list.c_str());
  return false;
}

bool remove(const std::string& name) {
  std::error_code ec;
  std::filesystem::remove(name, ec);
  if (!ec) return true;
  say("cannot remove %s: %s", name.c_str(), ec.message().c_str());
  return false;
}

// What an earlier run left goes before the jobs start, so that a run that
// fails half-way leaves no map, page or site that looks finished: the files
// of the earlier maps, the process files and the site's top page. The jobs
// write them all again.
bool clear_earlier_maps(const Prepared& prepared) {
  const Layout& layout = prepared.layout;
  const std::vector<std::string> old_lines = file_lines(layout.process());
  if (!old_lines.empty()) {
    const MapNode top{old_lines.back(), {}, {}, 0, 0, 0};
    if (!remove(site_index(layout, prepared.settings, {top}))) return false;
  }
  std::error_code ec;
  for (std::string_view state : {".somtrain", ".slurm"}) {
    std::filesystem::remove_all(layout.out + "/" + std::string(state), ec);
  }
  return remove_leftovers(layout, prepared.settings, old_lines, {}) && remove(layout.process()) &&
         remove(layout.process_web()) && remove(layout.map_options());
}

ClusterPlan plan_of(const Prepared& prepared, const ClusterOptions& options) {
  const Layout& layout = prepared.layout;
  ClusterPlan plan;
  plan.map_options = prepared.map_options;
  plan.retrain = prepared.retrain;
  plan.top_map = prepared.top_map;
  plan.layer_slots = prepared.layer_slots;
  plan.slices =
      options.slices > 0
          ? options.slices
          : std::max<std::size_t>(
                1, (prepared.documents.size() + kDocumentsPerSlice - 1) / kDocumentsPerSlice);
  plan.tasks = options.tasks;
  plan.language = prepared.language;
  plan.train_model = model_stale(layout, prepared.tools, prepared.documents);
  plan.key_dir = from_out(layout.out, prepared.settings.keypath);
  // A model trained anew makes every key file due.
  const KeyFilesDue due =
      key_files_due(layout, prepared.documents, plan.key_dir, prepared.settings.keyfileending);
  plan.key_files = plan.train_model || due.count > 0;
  plan.only_changed = !plan.train_model && !due.model_newer;
  plan.labelsite = prepared.tools.labelsite;
  return plan;
}

bool record_ids(const Layout& layout, const std::vector<Job>& jobs,
                const std::vector<std::string>& ids) {
  std::string text;
  for (std::size_t j = 0; j < jobs.size(); ++j) {
    text += jobs[j].name + " " + ids[j] + " " + std::to_string(jobs[j].tasks) + "\n";
  }
  File file;
  if (!file.create(jobs_list(layout))) {
    say("cannot create %s: %s", jobs_list(layout).c_str(), errno_text().c_str());
    return false;
  }
  put(file.get(), text);
  const Result<Reason> closed = file.close();
  tell(closed);
  return closed.ok();
}

std::vector<std::string> last_lines(const std::string& name, std::size_t count) {
  std::ifstream in(name);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
    if (lines.size() > count) lines.erase(lines.begin());
  }
  return lines;
}

// The job of a task id ("12_3" belongs to job 12), and the task's number.
std::size_t job_of(const std::vector<std::string>& ids, const std::string& task_id,
                   std::string& task) {
  const std::size_t underscore = task_id.find('_');
  task = underscore == std::string::npos ? "" : task_id.substr(underscore + 1);
  const std::string job = task_id.substr(0, underscore);
  return static_cast<std::size_t>(std::find(ids.begin(), ids.end(), job) - ids.begin());
}

// Names every task that failed with the end of its log, then the jobs that
// never ran because of it. False when any task did not end well.
bool report_ends(const Layout& layout, const std::vector<Job>& jobs,
                 const std::vector<std::string>& ids, const std::vector<TaskState>& tasks) {
  std::vector<std::string> never_ran;
  bool well = true;
  for (const TaskState& state : tasks) {
    if (ended_well(state)) continue;
    well = false;
    std::string task;
    const std::size_t j = job_of(ids, state.id, task);
    if (j >= jobs.size()) continue;
    if (state.reason == "DependencyNeverSatisfied") {
      if (std::find(never_ran.begin(), never_ran.end(), jobs[j].name) == never_ran.end()) {
        never_ran.push_back(jobs[j].name);
      }
      continue;
    }
    const std::string log = log_file(jobs_folder(layout), jobs[j], ids[j], task);
    say("job %s%s (%s) failed: %s%s", jobs[j].name.c_str(),
        task.empty() ? "" : (" task " + task).c_str(), state.id.c_str(), state.state.c_str(),
        state.reason.empty() || state.reason == "None" ? "" : (", " + state.reason).c_str());
    for (const std::string& line : last_lines(log, kLogLines)) quote("  %s\n", line.c_str());
    say("all of its messages are in %s", log.c_str());
  }
  if (!never_ran.empty()) {
    std::string names;
    for (const std::string& name : never_ran) names += (names.empty() ? "" : ", ") + name;
    say("the jobs that wait for it never ran: %s", names.c_str());
  }
  return well;
}

std::string progress_text(const std::vector<TaskState>& tasks) {
  std::size_t ended = 0, running = 0;
  for (const TaskState& task : tasks) {
    ended += has_ended(task);
    running += task.state == "RUNNING";
  }
  return "somlabel: slurm: " + std::to_string(ended) + " of " + std::to_string(tasks.size()) +
         " tasks ended, " + std::to_string(running) + " running";
}

}  // namespace

int run_on_cluster(const Prepared& prepared, const ClusterOptions& options) {
  const Layout& layout = prepared.layout;
  std::error_code ec;
  std::filesystem::create_directories(jobs_folder(layout), ec);
  if (ec) {
    say("cannot create %s: %s", jobs_folder(layout).c_str(), ec.message().c_str());
    return kExitFailure;
  }
  if (!earlier_run_ended(layout)) return kExitFailure;
  const ClusterPlan plan = plan_of(prepared, options);
  const std::vector<Job> jobs = cluster_jobs(layout, prepared.tools, prepared.settings, plan);
  if (!sbatch_args_valid(jobs, options.sbatch) || !clear_earlier_maps(prepared)) {
    return kExitFailure;
  }
  std::vector<std::string> ids;
  if (!submit_jobs(jobs, jobs_folder(layout), options.sbatch, ids) ||
      !record_ids(layout, jobs, ids)) {
    return kExitFailure;
  }
  for (std::size_t j = 0; j < jobs.size(); ++j)
    std::printf("somlabel: job %s %s\n", jobs[j].name.c_str(), ids[j].c_str());
  std::fflush(stdout);
  if (!options.wait) {
    say("%zu jobs submitted; their scripts and logs are in %s", jobs.size(),
        jobs_folder(layout).c_str());
    return kExitSuccess;
  }
  StatusLine status;
  std::vector<TaskState> tasks;
  const bool followed = wait_for_jobs(
      ids, tasks, [&](const std::vector<TaskState>& now) { status.show(progress_text(now)); });
  status.clear();
  if (!followed || !report_ends(layout, jobs, ids, tasks)) return kExitFailure;
  // Slurm's word alone is not taken for it: the site's top page is written last.
  const MapNode top{plan.top_map, {}, {}, 0, 0, 0};
  const std::string index = site_index(layout, prepared.settings, {top});
  if (modification_time(index) < 0) {
    say("every job ended well, but %s is missing", index.c_str());
    return kExitFailure;
  }
  std::printf("%s\n", index.c_str());
  return std::fflush(stdout) == 0 ? kExitSuccess : kExitFailure;
}

}  // namespace somlabel::driver
