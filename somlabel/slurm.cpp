#include "somlabel/slurm.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "common/io.h"
#include "common/messages.h"
#include "somlabel/runner.h"

namespace somlabel::driver {
namespace {

// Seconds between two looks at the queue: often at first, since small runs
// end in seconds, then seldom enough not to burden the controller.
constexpr auto kFirstPolls = std::chrono::milliseconds(500);
constexpr auto kLaterPolls = std::chrono::seconds(5);
constexpr auto kOftenFor = std::chrono::seconds(60);
// A job squeue has never shown this long after it was submitted is lost.
constexpr auto kUnseenFor = std::chrono::seconds(120);

bool write_script(const std::string& name, const std::string& script) {
  const Result<Reason> written = write_file_atomic(name, script, "job script");
  tell(written);
  return written.ok();
}

std::vector<std::string> sbatch_command(const Job& job, const std::string& folder,
                                        const std::vector<std::string>& ids,
                                        const std::vector<std::string>& sbatch_args) {
  std::vector<std::string> argv = {
      "sbatch", "--parsable", "--job-name=somlabel-" + job.name,
      "--output=" + folder + "/" + job.name + (job.tasks > 0 ? "-%A_%a.log" : "-%j.log")};
  if (job.tasks > 0) argv.push_back("--array=1-" + std::to_string(job.tasks));
  if (!job.after.empty()) {
    std::string dependency = "--dependency=afterok";
    for (std::size_t before : job.after) dependency += ":" + ids[before];
    argv.insert(argv.end(), {dependency, "--kill-on-invalid-dep=yes"});
  }
  const std::vector<std::string> own = sbatch_args_for(job, sbatch_args);
  argv.insert(argv.end(), own.begin(), own.end());
  argv.push_back(script_file(folder, job));
  return argv;
}

void cancel(const std::vector<std::string>& ids) {
  if (ids.empty()) return;
  std::vector<std::string> argv = {"scancel"};
  argv.insert(argv.end(), ids.begin(), ids.end());
  (void)run_captured(argv);
}

// Whether squeue has shown a task of every job: a job it has not shown yet
// has not ended either.
bool all_seen(const std::vector<std::string>& ids, const std::vector<TaskState>& tasks) {
  return std::all_of(ids.begin(), ids.end(), [&](const std::string& id) {
    return std::any_of(tasks.begin(), tasks.end(), [&](const TaskState& task) {
      return task.id.compare(0, task.id.find('_'), id) == 0;
    });
  });
}

}  // namespace

std::vector<std::string> sbatch_args_for(const Job& job,
                                         const std::vector<std::string>& sbatch_args) {
  std::vector<std::string> own;
  const std::string family = job.name.substr(0, job.name.find('-'));
  for (const std::string& arg : sbatch_args) {
    const std::size_t colon = arg.find(':');
    if (arg.starts_with('-') || colon == std::string::npos) {
      own.push_back(arg);
      continue;
    }
    const std::string name = arg.substr(0, colon);
    if (name == job.name || name == family) own.push_back(arg.substr(colon + 1));
  }
  return own;
}

bool sbatch_args_valid(const std::vector<Job>& jobs, const std::vector<std::string>& sbatch_args) {
  for (const std::string& arg : sbatch_args) {
    const std::size_t colon = arg.find(':');
    if (arg.starts_with('-') || colon == std::string::npos) continue;
    const std::string name = arg.substr(0, colon);
    const bool known = std::any_of(jobs.begin(), jobs.end(), [&](const Job& job) {
      return job.name == name || job.name.substr(0, job.name.find('-')) == name;
    });
    if (!known) {
      say("--sbatch %s: no job is called %s", arg.c_str(), name.c_str());
      return false;
    }
  }
  return true;
}

std::string script_file(const std::string& folder, const Job& job) {
  return folder + "/" + job.name + ".sh";
}

std::string log_file(const std::string& folder, const Job& job, const std::string& id,
                     const std::string& task) {
  return folder + "/" + job.name + "-" + id + (job.tasks > 0 ? "_" + task : "") + ".log";
}

Captured run_captured(const std::vector<std::string>& argv) {
  Captured captured;
  std::string error;
  captured.status = run_piped({"", argv, "", ""},
                              {[&](std::string_view bytes) { captured.out += bytes; },
                               [&](std::string_view bytes) { captured.err += bytes; },
                               {}},
                              error);
  return captured;
}

bool submit_jobs(const std::vector<Job>& jobs, const std::string& folder,
                 const std::vector<std::string>& sbatch_args, std::vector<std::string>& ids) {
  ids.clear();
  for (const Job& job : jobs) {
    if (!write_script(script_file(folder, job), job.script)) return cancel(ids), false;
    const Captured sbatch = run_captured(sbatch_command(job, folder, ids, sbatch_args));
    // "ID" or "ID;CLUSTER"
    const std::string id = trimmed(sbatch.out.substr(0, sbatch.out.find(';')));
    if (sbatch.status != 0 || id.empty() ||
        !std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      say("sbatch refused the job %s%s%s", job.name.c_str(),
          sbatch.status < 0 ? ": cannot start sbatch: " : ": ",
          sbatch.status < 0 ? errno_text().c_str() : trimmed(sbatch.err).c_str());
      cancel(ids);
      return false;
    }
    ids.push_back(id);
  }
  return true;
}

std::vector<TaskState> parse_squeue(const std::string& output) {
  std::vector<TaskState> tasks;
  std::size_t start = 0;
  while (start < output.size()) {
    const std::size_t end = std::min(output.find('\n', start), output.size());
    const std::string line = output.substr(start, end - start);
    start = end + 1;
    const std::size_t first = line.find(' '), second = line.find(' ', first + 1);
    if (first == std::string::npos || first == 0) continue;
    tasks.push_back(
        {line.substr(0, first),
         line.substr(first + 1, second == std::string::npos ? second : second - first - 1),
         second == std::string::npos ? "" : line.substr(second + 1)});
  }
  return tasks;
}

bool has_ended(const TaskState& task) {
  static const char* const kEnded[] = {"COMPLETED", "FAILED",    "CANCELLED",
                                       "TIMEOUT",   "NODE_FAIL", "OUT_OF_MEMORY",
                                       "PREEMPTED", "BOOT_FAIL", "DEADLINE"};
  return std::find(std::begin(kEnded), std::end(kEnded), task.state) != std::end(kEnded);
}

bool ended_well(const TaskState& task) { return task.state == "COMPLETED"; }

bool wait_for_jobs(const std::vector<std::string>& ids, std::vector<TaskState>& tasks,
                   const std::function<void(const std::vector<TaskState>&)>& on_poll) {
  std::string list;
  for (const std::string& id : ids) list += (list.empty() ? "" : ",") + id;
  const auto begun = std::chrono::steady_clock::now();
  while (true) {
    const Captured squeue = run_captured(
        {"squeue", "--noheader", "--array", "--states=all", "--jobs=" + list, "--format=%i %T %r"});
    // Jobs that ended long ago drop out of the queue; squeue refuses a list
    // of which it knows none.
    if (squeue.status != 0 && squeue.err.find("Invalid job id") == std::string::npos) {
      say("squeue failed: %s",
          squeue.status < 0 ? errno_text().c_str() : trimmed(squeue.err).c_str());
      return false;
    }
    std::vector<TaskState> now = parse_squeue(squeue.out);
    for (TaskState& seen : now) {
      auto known = std::find_if(tasks.begin(), tasks.end(),
                                [&](const TaskState& t) { return t.id == seen.id; });
      if (known == tasks.end()) {
        tasks.push_back(seen);
      } else {
        *known = seen;
      }
    }
    if (on_poll) on_poll(tasks);
    if (all_seen(ids, tasks) && std::all_of(now.begin(), now.end(), has_ended)) return true;
    if (!all_seen(ids, tasks) && std::chrono::steady_clock::now() - begun > kUnseenFor) {
      say("squeue does not show all of the jobs %s", list.c_str());
      return false;
    }
    const bool early = std::chrono::steady_clock::now() - begun < kOftenFor;
    std::this_thread::sleep_for(
        early ? std::chrono::duration_cast<std::chrono::milliseconds>(kFirstPolls)
              : std::chrono::duration_cast<std::chrono::milliseconds>(kLaterPolls));
  }
}

}  // namespace somlabel::driver
