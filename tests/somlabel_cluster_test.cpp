// The job graph of somlabel --slurm and what the driver reads from Slurm,
// without a cluster: the order and waits of the jobs, the words of their
// scripts as bash reads them, and squeue's lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "somlabel/cluster.h"
#include "somlabel/slurm.h"

namespace somlabel::driver {
namespace {

Layout layout() { return {"/data/my docs", "/out/it's here"}; }
Tools tools() {
  return {"/bin/keyphrases", "/bin/somtrain", "/bin/labelcalc", "/bin/labelweb", "/bin/labelsite"};
}

ClusterPlan plan(std::size_t slices, std::vector<std::size_t> layer_slots, std::size_t tasks) {
  ClusterPlan plan;
  plan.map_options = {"--xdim", "2"};
  plan.top_map = "map.unit";
  plan.layer_slots = std::move(layer_slots);
  plan.slices = slices;
  plan.tasks = tasks;
  plan.key_dir = "/out/it's here/output/key/";
  plan.labelsite = "/bin/labelsite";
  return plan;
}

// Each job as "NAME[TASKS] after NAME NAME".
std::vector<std::string> shape(const std::vector<Job>& jobs) {
  std::vector<std::string> lines;
  for (const Job& job : jobs) {
    std::string line = job.name + "[" + std::to_string(job.tasks) + "]";
    if (!job.after.empty()) line += " after";
    for (std::size_t before : job.after) line += " " + jobs[before].name;
    lines.push_back(line);
  }
  return lines;
}

TEST(ClusterJobs, ThreeLayersInSlices) {
  Settings settings;
  const auto jobs = cluster_jobs(layout(), tools(), settings, plan(4, {1, 4, 16}, 10));
  const std::vector<std::string> expected = {
      "model[0]",
      "keys[4] after model",
      "count[4]",
      "vocabulary[0] after count",
      "map[0] after vocabulary",
      "assign[4] after map",
      "finish[0] after assign",
      "maps-2[4] after finish",
      "maps-3[10] after maps-2",  // 16 maps could be, 10 tasks at most
      "process[0] after maps-3",
      "labels-3[10] after model keys process",
      "labels-2[4] after model keys process labels-3",
      "labels-1[1] after model keys process labels-2",
      "pages[10] after labels-1",
      "site[0] after pages",
  };
  EXPECT_EQ(shape(jobs), expected);
}

TEST(ClusterJobs, OneSliceNoModelNoKeyFiles) {
  Settings settings;
  ClusterPlan one = plan(1, {1, 24}, 1000);
  one.train_model = false;
  one.key_files = false;
  const std::vector<std::string> expected = {"count[1]",
                                             "vocabulary[0] after count",
                                             "map[0] after vocabulary",
                                             "maps-2[24] after map",
                                             "process[0] after maps-2",
                                             "labels-2[24] after process",
                                             "labels-1[1] after process labels-2",
                                             "pages[25] after labels-1",
                                             "site[0] after pages"};
  EXPECT_EQ(shape(cluster_jobs(layout(), tools(), settings, one)), expected);
}

// Each job waits only for jobs submitted before it.
TEST(ClusterJobs, NoJobWaitsForALaterOne) {
  Settings settings;
  const auto jobs = cluster_jobs(layout(), tools(), settings, plan(3, {1, 6, 36, 216}, 50));
  for (std::size_t j = 0; j < jobs.size(); ++j) {
    for (std::size_t before : jobs[j].after) EXPECT_LT(before, j) << jobs[j].name;
  }
}

// What bash makes of a script's command words: each word of `printf` on a line.
std::string words_as_bash_reads_them(const std::string& line, const std::string& task) {
  const Captured bash = run_captured(
      {"bash", "-c",
       "SLURM_ARRAY_TASK_ID=" + task + "; SLURM_CPUS_PER_TASK=3; printf '%s\\n' " + line});
  EXPECT_EQ(bash.status, 0) << bash.err;
  return bash.out;
}

TEST(ClusterJobs, ScriptWordsKeepQuotesAndSpacesAndTakeTheTaskNumber) {
  Settings settings;
  const auto jobs = cluster_jobs(layout(), tools(), settings, plan(3, {1, 4}, 10));
  const Job& keys =
      *std::find_if(jobs.begin(), jobs.end(), [](const Job& j) { return j.name == "keys"; });
  const std::string script = keys.script;
  const std::string command = script.substr(script.find("'/bin/keyphrases'"));
  const std::string expected =
      "/bin/keyphrases\ndocs\n--source\n/out/it's here/text\n--keys\n/out/it's "
      "here/output/key/\n-m\n"
      "/out/it's here/model\n-n\n30\n--for-labels\n--ending\n.key\n--jobs\n3\n--shard\n2/3\n";
  EXPECT_EQ(words_as_bash_reads_them(command.substr(0, command.find('\n')), "2"), expected);
  EXPECT_NE(script.find("cd '/out/it'\\''s here'\n"), std::string::npos) << script;
}

TEST(SbatchArgs, EveryJobOrOneJobOrOneFamily) {
  const std::vector<std::string> args = {"--partition=batch", "model:--cpus-per-task=8",
                                         "labels:--mem=8G", "labels-1:--time=60"};
  auto for_job = [&](const std::string& name) { return sbatch_args_for({name, 0, {}, ""}, args); };
  using Args = std::vector<std::string>;
  EXPECT_EQ(for_job("model"), (Args{"--partition=batch", "--cpus-per-task=8"}));
  EXPECT_EQ(for_job("labels-2"), (Args{"--partition=batch", "--mem=8G"}));
  EXPECT_EQ(for_job("labels-1"), (Args{"--partition=batch", "--mem=8G", "--time=60"}));
  EXPECT_EQ(for_job("keys"), (Args{"--partition=batch"}));
  const std::vector<Job> jobs = {{"model", 0, {}, ""}, {"labels-2", 3, {}, ""}};
  EXPECT_FALSE(sbatch_args_valid(jobs, args));  // there is no labels-1
  EXPECT_TRUE(sbatch_args_valid(jobs, {"labels:--mem=1G", "-p", "x"}));
  EXPECT_FALSE(sbatch_args_valid(jobs, {"modle:--mem=1G"}));
}

TEST(ShellQuoted, OneWordWhateverItHolds) {
  for (const std::string text : {"", "plain", "two words", "it's", "'", "$HOME", "a\"b", "*"}) {
    EXPECT_EQ(words_as_bash_reads_them(shell_quoted(text), "1"), text + "\n") << text;
  }
}

TEST(ParseSqueue, TasksStatesAndReasons) {
  const auto tasks = parse_squeue(
      "12 COMPLETED None\n13_2 FAILED NonZeroExitCode\n14_1 CANCELLED DependencyNeverSatisfied\n"
      "15_3 PENDING Dependency\n\n16 RUNNING\n");
  ASSERT_EQ(tasks.size(), 5u);
  const std::map<std::string, std::pair<std::string, bool>> expected = {
      {"12", {"COMPLETED", true}},
      {"13_2", {"FAILED", true}},
      {"14_1", {"CANCELLED", true}},
      {"15_3", {"PENDING", false}},
      {"16", {"RUNNING", false}}};
  for (const TaskState& task : tasks) {
    ASSERT_TRUE(expected.count(task.id)) << task.id;
    EXPECT_EQ(task.state, expected.at(task.id).first);
    EXPECT_EQ(has_ended(task), expected.at(task.id).second) << task.id;
    EXPECT_EQ(ended_well(task), task.state == "COMPLETED");
  }
  EXPECT_EQ(tasks[2].reason, "DependencyNeverSatisfied");
  EXPECT_EQ(tasks[4].reason, "");
}

TEST(RunCaptured, KeepsBothStreamsAndTheStatus) {
  const Captured run = run_captured({"sh", "-c", "echo out; echo err >&2; exit 3"});
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.out, "out\n");
  EXPECT_EQ(run.err, "err\n");
  EXPECT_EQ(run_captured({"sh", "-c", "kill -9 $$"}).status, 128 + 9);
  EXPECT_EQ(run_captured({"no-such-program-anywhere"}).status, -1);
}

}  // namespace
}  // namespace somlabel::driver
