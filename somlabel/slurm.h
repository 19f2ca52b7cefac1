// Jobs handed to Slurm as they are: submitted with sbatch, followed with
// squeue. Slurm finds its cluster through its own configuration (SLURM_CONF
// or the system's).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "somlabel/cluster.h"

namespace somlabel::driver {

// Where a job's script and logs go: FOLDER/NAME.sh, FOLDER/NAME-JOBID.log,
// and FOLDER/NAME-JOBID_TASK.log for a task of an array.
[[nodiscard]] std::string script_file(const std::string& folder, const Job& job);
[[nodiscard]] std::string log_file(const std::string& folder, const Job& job, const std::string& id,
                                   const std::string& task);

// The arguments of `sbatch_args` that go to `job`'s sbatch: those that start
// with "-" go to every job; "NAME:ARG" gives ARG to the job NAME, and to every
// job NAME-L ("labels:--mem=8G" to each labels-L).
[[nodiscard]] std::vector<std::string> sbatch_args_for(const Job& job,
                                                       const std::vector<std::string>& sbatch_args);

// Whether every "NAME:ARG" of `sbatch_args` names one of `jobs`; false after
// a message naming the first that does not.
[[nodiscard]] bool sbatch_args_valid(const std::vector<Job>& jobs,
                                     const std::vector<std::string>& sbatch_args);

// Writes each job's script and submits it with sbatch, after the jobs it
// waits for (afterok; a job whose dependency failed is cancelled, not left
// waiting), with its sbatch_args_for. Fills `ids` in job order; false after a
// message naming the job, once the jobs submitted before it are cancelled
// again.
[[nodiscard]] bool submit_jobs(const std::vector<Job>& jobs, const std::string& folder,
                               const std::vector<std::string>& sbatch_args,
                               std::vector<std::string>& ids);

// One task as squeue last showed it: "12" for a single job, "12_3" for task
// 3 of array 12.
struct TaskState {
  std::string id;
  std::string state;   // PENDING, RUNNING, COMPLETED, FAILED, CANCELLED, TIMEOUT, ...
  std::string reason;  // DependencyNeverSatisfied for a task that never ran, ...
};

// Whether a task has ended, for good or not.
[[nodiscard]] bool has_ended(const TaskState& task);
[[nodiscard]] bool ended_well(const TaskState& task);

// Polls squeue until every task of the jobs `ids` has ended; `on_poll` sees
// the tasks after each poll. False after a message when squeue fails.
[[nodiscard]] bool wait_for_jobs(const std::vector<std::string>& ids, std::vector<TaskState>& tasks,
                                 const std::function<void(const std::vector<TaskState>&)>& on_poll);

// Which jobs of `ids` the tasks of squeue's output belong to: the job part of
// "12_3". Exposed for tests.
[[nodiscard]] std::vector<TaskState> parse_squeue(const std::string& output);

// Runs a program found on PATH with `args`, its standard input from /dev/null,
// and keeps what it writes. The exit status, 128 + the signal when killed, or
// -1 when it could not be started (errno set).
struct Captured {
  int status = -1;
  std::string out;
  std::string err;
};
[[nodiscard]] Captured run_captured(const std::vector<std::string>& argv);

}  // namespace somlabel::driver
