#!/usr/bin/env bash
# The whole chain on a generated collection of 200,000 documents (gen_corpus
# texts), three times, each time into its own OUT:
#   1. somlabel DOCS OUT on this machine;
#   2. somlabel --slurm DOCS OUT --wait beside a single-node Slurm cluster of
#      its own (scripts/with-slurm; root);
#   3. the job scripts of run 2 once more, one task after the other without
#      Slurm, each under /usr/bin/time: the cost of every task.
# Prints the times of 1 and 2, a table of the tasks of 3, and fails when an
# OUT differs from that of run 1 (logs aside).
#
#   bench/cluster.sh [BUILD_DIR]
#
# Environment: DOCUMENTS (200000), SLICES (4), TASKS (8), CPUS (the node's
# processors; default the machine's), MAP_OPTIONS (somtrain's; default none),
# BENCH_DATA (bench/output; the collection takes about 800 MB and is kept).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
data=${BENCH_DATA:-$root/bench/output}
documents=${DOCUMENTS:-200000}
slices=${SLICES:-4}
tasks=${TASKS:-8}
cpus=${CPUS:-$(nproc)}
read -r -a map_options <<<"${MAP_OPTIONS:-}"
gen=$build/bench/gen_corpus
somlabel=$build/somlabel/somlabel
for tool in "$gen" "$somlabel"; do
  [ -x "$tool" ] || { echo "bench: $tool is missing; build first (make build)" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "bench: /usr/bin/time is missing (Debian package 'time')" >&2; exit 1; }

mkdir -p "$data"
collection=$data/texts-$documents
stamp=$(cksum <"$gen")
if [ "$(cat "$collection/.stamp" 2>/dev/null)" != "$stamp" ]; then
  rm -rf "$collection"
  echo "bench: generating $documents documents ..." >&2
  "$gen" "$collection" texts 20021001 "$documents"
  echo "$stamp" >"$collection/.stamp"
fi
docs=$collection/documents
runs=$data/cluster-runs
rm -rf "$runs"
mkdir -p "$runs"

seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", (b - a) / 1e9 }'; }

echo "bench: machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)" >&2
echo "bench: 1. somlabel on this machine ..." >&2
start=$(date +%s%N)
"$somlabel" "$docs" "$runs/one" "${map_options[@]}" >"$runs/one.out" 2>"$runs/one.err" ||
  { cat "$runs/one.err" >&2; exit 1; }
single=$(seconds "$start" "$(date +%s%N)")

echo "bench: 2. somlabel --slurm, $slices slices, $tasks tasks at most, a node of $cpus CPUs ..." >&2
start=$(date +%s%N)
"$root/scripts/with-slurm" --cpus "$cpus" "$somlabel" --slurm "$docs" "$runs/two" "${map_options[@]}" \
  --slices "$slices" --tasks "$tasks" --wait >"$runs/two.out" 2>"$runs/two.err" ||
  { cat "$runs/two.err" >&2; exit 1; }
cluster=$(seconds "$start" "$(date +%s%N)")
diff -r -q -x logs "$runs/one" "$runs/two" >&2 || { echo "bench: the cluster's files differ" >&2; exit 1; }

echo "bench: 3. the job scripts one task after the other, each timed ..." >&2
# Another OUT: the scripts name theirs, so they are run on a copy of run 2's
# under its name, after run 2's own files are moved aside.
mv "$runs/two" "$runs/two.done"
mkdir -p "$runs/two/logs" "$runs/two/output"
cp -r "$runs/two.done/logs/slurm" "$runs/two/logs/"
cp "$runs/two.done/options" "$runs/two/"
costs=$runs/costs
: >"$costs"
while read -r name id count; do
  for ((task = 1; task <= (count > 0 ? count : 1); task++)); do
    SLURM_ARRAY_TASK_ID=$task /usr/bin/time -f "%e %M" -o "$runs/time" \
      bash "$runs/two/logs/slurm/$name.sh" >"$runs/task.log" 2>&1 ||
      { echo "bench: $name task $task failed:" >&2; tail -5 "$runs/task.log" >&2; exit 1; }
    echo "$name $task $(cat "$runs/time")" >>"$costs"
  done
done <"$runs/two.done/logs/slurm/jobs"
diff -r -q -x logs "$runs/one" "$runs/two" >&2 || { echo "bench: the scripts' files differ" >&2; exit 1; }

echo
echo "| run | wall time |"
echo "|---|---|"
echo "| somlabel on one machine | $single s |"
echo "| somlabel --slurm --wait, single-node cluster ($cpus CPUs) | $cluster s |"
echo
echo "| job | tasks | seconds, longest task | seconds, all tasks | peak memory of a task |"
echo "|---|---|---|---|---|"
awk '{ if (!($1 in n)) order[++jobs] = $1; n[$1]++; sum[$1] += $3
       if ($3 > long[$1]) long[$1] = $3; if ($4 > rss[$1]) rss[$1] = $4 }
     END { for (j = 1; j <= jobs; j++) { k = order[j]
             printf "| %s | %d | %.2f | %.2f | %.1f MB |\n", k, n[k], long[k], sum[k], rss[k] / 1024 } }' "$costs"
