#!/usr/bin/env bash
# somlabel --slurm on a single-node Slurm cluster of the test's own
# (scripts/with-slurm): every file is the one somlabel writes on one machine,
# byte for byte; a task that fails stops every job that depends on it, leaves
# no page looking finished, and the driver names it with its log.
#   bash tests/cluster_slurm.sh BUILD_DIR
# Needs root and the packages of scripts/setup (slurmctld, slurmd,
# slurm-client, munge); fails, saying why, without them.
set -euo pipefail

build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
somlabel=$build/somlabel/somlabel
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
cd "$work"

passed=0
failed=0
check() {  # check NAME COMMAND...: passes when the command succeeds
  local name=$1
  shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $name" >&2; fi
}
contains() { grep -qF -- "$2" "$1" || { echo "  '$2' not in $1:" >&2; cat "$1" >&2; return 1; }; }

# Four topics, twelve documents each: enough for two layers of maps.
mkdir docs
for topic in "socket network address port connection" "thread mutex lock condition wait" \
             "file directory path open descriptor" "signal handler mask process kill"; do
  words=($topic)
  for i in $(seq 1 12); do
    for s in 1 2 3; do
      echo "The ${words[$(((i + s) % 5))]} ${words[$(((i * s) % 5))]} of the ${words[$((s % 5))]}" \
           "waits for a ${words[$(((i + 2 * s) % 5))]} ${words[0]}, word$i and word$s."
    done >"docs/${words[0]}$i"
  done
done
map_options=(--xdim 2 --ydim 2 --sub-xdim 2 --sub-ydim 2 --expand 5 --min-df 1 --seed 3)

"$somlabel" docs one "${map_options[@]}" >one.out 2>one.err || { cat one.err >&2; exit 1; }

cluster() {  # cluster COMMAND...: runs it beside a cluster of its own
  "$root/scripts/with-slurm" --cpus 4 "$@"
}
status=0
cluster "$somlabel" --slurm docs two "${map_options[@]}" --slices 3 --tasks 3 --wait \
  >two.out 2>two.err || status=$?
check "cluster run succeeds" test "$status" -eq 0
check "the driver prints its job ids" contains two.out "somlabel: job model "
check "it prints the site's top page" test "$(tail -n 1 two.out)" = "$work/two/output/index.html"
check "the single run made pages" test -s one/output/map.unit.labelunit.html
check "the single run made the site" test -s one/output/index.html
# labelsite's text cache holds the time stamps of the key files, which each run writes anew;
# the run on one machine keeps what it counted of each document for its next run in
# .somtrain/counted, where the cluster's tasks count their slices each time.
check "the same files, byte for byte" diff -r -x logs -x site-text.cache -x .somtrain one two
check "at least one sub-map, or the test shows less" test "$(wc -l <two/process)" -ge 2

# Documents added: both reruns start from their stored maps, with the same files.
echo "The socket address of a network port and the connection, word13 and word1." >docs/socket13
echo "The thread mutex lock and the condition wait, word13 and word2." >docs/thread13
"$somlabel" docs one "${map_options[@]}" >one.out 2>one.err || { cat one.err >&2; exit 1; }
status=0
cluster "$somlabel" --slurm docs two "${map_options[@]}" --slices 2 --tasks 3 --wait \
  >two.out 2>two.err || status=$?
check "cluster rerun succeeds" test "$status" -eq 0
check "reruns: the same files, byte for byte" diff -r -x logs -x site-text.cache -x .somtrain one two
check "the rerun kept the top map's grid" test -s two/output/map.unit.codebook
rm docs/socket13 docs/thread13

# A document named like the top map: the task that writes the top map's unit
# file fails; the model and the key files are done, nothing after the maps runs.
cp -r docs bad-docs
cp docs/socket1 bad-docs/map.unit
mkdir three
status=0
cluster bash -c "'$somlabel' --slurm bad-docs three ${map_options[*]} --slices 2 --tasks 2 --wait;"'
  echo "exit $?"; squeue --noheader --array --states=all --format="%j %T %r"' \
  >three.out 2>three.err || status=$?
check "the wrapped run ends" test "$status" -eq 0
check "the driver fails" contains three.out "exit 1"
check "it names the failed job" contains three.err "somlabel: job finish "
check "it shows the job's log" contains three.err "a document may not have the name of a map"
check "the top map failed" grep -q '^somlabel-finish FAILED' three.out
check "the key files were written" grep -q '^somlabel-keys COMPLETED' three.out
for job in maps-2 process labels-2 labels-1 pages site; do
  check "$job never ran" grep -q "^somlabel-$job CANCELLED DependencyNeverSatisfied" three.out
done
check "no unit file of the top map" test ! -e three/output/map.unit
check "no labelunit file" test -z "$(find three -name '*.labelunit')"
check "no page" test -z "$(find three -name '*.html')"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
