#!/usr/bin/env bash
# Times labelcalc, labelweb and labelsite on generated corpora, each next to its floor
# in the same run, checks that every output is byte-identical to the
# plain-scan reference, and prints one table.
#
#   bench/run.sh [BUILD_DIR]        (default: build; `make bench` passes it)
#
# Environment: REPEAT (default 3; each time is the fastest of REPEAT runs,
# tool and floor taking turns), BENCH_DATA (default bench/output; about 1 GB
# for the 200,000-document corpus, generated once and kept).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
DATA=${BENCH_DATA:-$ROOT/bench/output}
REPEAT=${REPEAT:-3}
GEN=$BUILD/bench/gen_corpus
ORACLE=$BUILD/bench/oracle_labels
LABELCALC=$BUILD/labelcalc/labelcalc
LABELWEB=$BUILD/labelweb/labelweb
LABELSITE=$BUILD/labelsite/labelsite
KEYPHRASES=$BUILD/keyphrases/keyphrases
for tool in "$GEN" "$ORACLE" "$LABELCALC" "$LABELWEB" "$LABELSITE" "$KEYPHRASES"; do
  [ -x "$tool" ] || { echo "bench: $tool is missing; build first (make build)" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "bench: /usr/bin/time is missing (Debian package 'time')" >&2; exit 1; }
mkdir -p "$DATA"
SCRATCH=$(mktemp -d)
trap 'rm -rf "$SCRATCH"' EXIT
FAILED=0
export PATH="$BUILD/keyphrases:$PATH"  # KEA_PROGRAM keyphrases in mode 0

# corpus NAME WORKLOAD [DOCUMENTS]: generates $DATA/NAME once per generator binary.
corpus() {
  local dir=$DATA/$1 stamp
  stamp=$(cksum < "$GEN")
  if [ "$(cat "$dir/.stamp" 2>/dev/null)" != "$stamp" ]; then
    rm -rf "$dir"
    echo "bench: generating $1 ..." >&2
    "$GEN" "$dir" "$2" 20021001 "${3:-200000}"
    echo "$stamp" > "$dir/.stamp"
  fi
}

# once OUT CMD...: runs CMD once (output to /dev/null); appends "microseconds
# maxrss_kb cpu_seconds" to OUT (CPU: user and system, children included).
once() {
  local out=$1; shift
  local start end
  # No writeback in flight: a tool that truncates the files of its last run
  # would otherwise wait for it.
  sync
  start=$(date +%s%N)
  /usr/bin/time -f "%M %U %S" -o "$SCRATCH/rss" "$@" > /dev/null 2> "$SCRATCH/stderr" || {
    echo "bench: failed: $*" >&2; tail -5 "$SCRATCH/stderr" >&2; exit 1; }
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000 )) $(tail -1 "$SCRATCH/rss" | awk '{ print $1, $2 + $3 }')" >> "$out"
}

# best FILE: "seconds maxrss_kb cpu_seconds": the shortest time, the largest
# RSS and the least CPU seen.
best() {
  awk 'NR == 1 || $1 < t { t = $1 } NR == 1 || $3 < c { c = $3 } $2 > m { m = $2 }
       END { printf "%.3f %d %.2f\n", t / 1e6, m, c }' "$1"
}

# race TOOLCMD... [-- FLOORCMD...]: REPEAT rounds, floor and tool in turn;
# sets T_TOOL, RSS_TOOL, C_TOOL (CPU), T_FLOOR and C_FLOOR (0 without a floor).
race() {
  local tool=() floor=() seen=0 arg
  for arg in "$@"; do
    if [ "$arg" = "--" ]; then seen=1; continue; fi
    if [ $seen = 0 ]; then tool+=("$arg"); else floor+=("$arg"); fi
  done
  rm -f "$SCRATCH/tool.runs" "$SCRATCH/floor.runs"
  for _ in $(seq "$REPEAT"); do
    if [ ${#floor[@]} -gt 0 ]; then once "$SCRATCH/floor.runs" "${floor[@]}"; fi
    once "$SCRATCH/tool.runs" "${tool[@]}"
  done
  read -r T_TOOL RSS_TOOL C_TOOL < <(best "$SCRATCH/tool.runs")
  T_FLOOR=0 C_FLOOR=0
  if [ ${#floor[@]} -gt 0 ]; then read -r T_FLOOR _ C_FLOOR < <(best "$SCRATCH/floor.runs"); fi
}

# row WORKLOAD WHAT TIME FLOORNAME FLOORTIME RSS [CPU FLOORCPU]: one line of
# the table (FLOORTIME 0: no floor; RSS in kB or -; CPU times in seconds).
row() {
  local ratio rss=$6 floor="$5 s" cpu="${7:--}" cpu_ratio
  ratio=$(awk -v a="$3" -v b="$5" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
  cpu_ratio=$(awk -v a="${7:-0}" -v b="${8:-0}" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
  [ "$rss" != "-" ] && rss=$(awk -v k="$rss" 'BEGIN { printf "%.1f MB", k / 1024 }')
  [ "$5" = 0 ] && floor="-"
  [ "$cpu" != "-" ] && [ -n "${8:-}" ] && cpu="$cpu/$8"
  printf "%-16s %-30s %9s s  %-32s %11s  %7s  %9s  %11s %6s\n" "$1" "$2" "$3" "$4" "$floor" "$ratio" \
    "$rss" "$cpu" "$cpu_ratio"
}

check() {  # description, command...
  local what=$1; shift
  if "$@" > "$SCRATCH/check" 2>&1; then
    echo "  identical: $what"
  else
    echo "  DIFFERENT: $what"; sed 's/^/    /' "$SCRATCH/check" | head -20; FAILED=1
  fi
}

# The floor of reading: every file named in the list, read once by cat.
cat_list() { echo xargs -d '\n' -a "$1" cat; }

# Compares every labelunit and map key file with the reference of oracle_labels.
compare_with_reference() {
  local dir=$1 map
  shift
  (cd "$dir" && "$ORACLE" options process "$@") > "$SCRATCH/oracle" || true
  local bad=0
  while IFS= read -r map; do
    cmp -s "$dir/output/$map.labelunit" "$dir/output/$map.labelunit.oracle" || { echo "    $map.labelunit"; bad=1; }
    cmp -s "$dir/output/key/$map.key" "$dir/output/key/$map.key.oracle" || { echo "    key/$map.key"; bad=1; }
  done < "$dir/process"
  [ $bad = 0 ] && grep -q "differing 0" "$SCRATCH/oracle"
}

# The tools run in the corpus directory (the option files use relative paths).
labelcalc_in() { echo env -C "$1" "$LABELCALC" process options; }
labelweb_in() { echo env -C "$1" "$LABELWEB" process.web options; }
labelsite_in() { echo env -C "$1" "$LABELSITE" process.web options; }

# Files labelcalc reads in a corpus: unit files, document key files,
# labelunit files (read back for the map key file) and the sub-maps' key files.
labelcalc_inputs() {
  local dir=$1
  (cd "$dir" && find output -maxdepth 1 -name '*.unit' -o -maxdepth 1 -name '*.labelunit'
   find output/key -name '*.key') | sed "s|^|$dir/|" > "$2"
}

echo "machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(uname -sr)"
echo "build:   $BUILD ($(grep -m1 CMAKE_BUILD_TYPE: "$BUILD/CMakeCache.txt" | cut -d= -f2))"
echo "each time: fastest of $REPEAT runs, warm page cache; ratio = time / floor"
echo "CPU s: user + system seconds of tool/floor (least of the runs; 10 ms steps), then their ratio"
echo "load:  $(cut -d' ' -f1-3 /proc/loadavg) (other work on the machine stretches the times)"
echo
printf "%-16s %-30s %11s  %-32s %11s  %7s  %9s  %11s %6s\n" workload measured time floor "floor time" \
  ratio "max RSS" "CPU s" ratio

# 1. wide: 200,000 documents in three layers, MODE 1, then labelweb.
corpus wide wide
W=$DATA/wide
$(labelcalc_in "$W") > /dev/null 2>&1
labelcalc_inputs "$W" "$SCRATCH/wide-inputs"
race $(labelcalc_in "$W") -- $(cat_list "$SCRATCH/wide-inputs")
row "1 wide" "labelcalc MODE 1" "$T_TOOL" "cat of its $(wc -l < "$SCRATCH/wide-inputs") input files" "$T_FLOOR" "$RSS_TOOL" "$C_TOOL" "$C_FLOOR"
ls "$W"/output/*.labelunit > "$SCRATCH/wide-labelunits"
# labelweb makes one page after the other; tool and floor both on one CPU.
race taskset -c 0 $(labelweb_in "$W") -- taskset -c 0 $(cat_list "$SCRATCH/wide-labelunits")
row "1 wide" "labelweb on one CPU" "$T_TOOL" "cat of the labelunit files" "$T_FLOOR" "$RSS_TOOL" "$C_TOOL" "$C_FLOOR"
T_WEB=$T_TOOL C_WEB=$C_TOOL
# Reading is not all a page writer must do: it also writes, and more than it
# reads. A second floor reads the labelunit files and writes their bytes out.
race taskset -c 0 $(labelweb_in "$W") -- taskset -c 0 bash -c 'xargs -d "\n" -a "$0" cat > "$1"' \
  "$SCRATCH/wide-labelunits" "$SCRATCH/copy"
row "1 wide" "labelweb on one CPU" "$T_WEB" "cat of them into a file" "$T_FLOOR" "-" "$C_WEB" "$C_FLOOR"
rm -f "$SCRATCH/copy"
# labelsite writes the site pages of the same maps beside labelweb's pages;
# its floor is labelweb. Once the maps are read it writes on three threads,
# so it runs once on all CPUs and once, like labelweb, on one.
race $(labelsite_in "$W") -- $(labelweb_in "$W")
row "1 wide" "labelsite" "$T_TOOL" "labelweb" "$T_FLOOR" "$RSS_TOOL" "$C_TOOL" "$C_FLOOR"
race taskset -c 0 $(labelsite_in "$W") -- taskset -c 0 $(labelweb_in "$W")
row "1 wide" "labelsite on one CPU" "$T_TOOL" "labelweb on one CPU" "$T_FLOOR" "$RSS_TOOL" "$C_TOOL" "$C_FLOOR"

# The same hierarchy with a tenth of the documents: memory must not grow.
corpus wide20k wide 20000
race $(labelcalc_in "$DATA/wide20k") --
row "1 wide, 20,000" "labelcalc MODE 1" "$T_TOOL" "-" 0 "$RSS_TOOL" "$C_TOOL"
race $(labelweb_in "$DATA/wide20k") --
row "1 wide, 20,000" "labelweb" "$T_TOOL" "-" 0 "$RSS_TOOL" "$C_TOOL"
$(labelweb_in "$DATA/wide20k") > /dev/null 2>&1
race $(labelsite_in "$DATA/wide20k") --
row "1 wide, 20,000" "labelsite" "$T_TOOL" "-" 0 "$RSS_TOOL" "$C_TOOL"

# 2. huge: one unit of 10,000 documents, 40 phrases each from 20,000.
corpus huge huge
H=$DATA/huge
$(labelcalc_in "$H") > /dev/null 2>&1
labelcalc_inputs "$H" "$SCRATCH/huge-inputs"
race $(labelcalc_in "$H") -- $(cat_list "$SCRATCH/huge-inputs")
row "2 huge unit" "labelcalc MODE 1" "$T_TOOL" "cat of its $(wc -l < "$SCRATCH/huge-inputs") input files" "$T_FLOOR" "$RSS_TOOL" "$C_TOOL" "$C_FLOOR"

# 3. mode 0: 10 x 10 units of 50 documents, MODE 2 with the extractor.
corpus mode0 mode0
M=$DATA/mode0
if [ ! -f "$M/output/model" ]; then
  mkdir -p "$M/train"
  for f in "$M"/output/files/*; do ln -sf "$f" "$M/train/$(basename "$f").txt"; done
  "$KEYPHRASES" train -l "$M/train" -m "$M/output/model" > /dev/null
fi
$(labelcalc_in "$M") > /dev/null 2>&1
# Floors: the extractor over all 100 unit texts in one run (extraction
# itself), and in 100 runs of one text each (what mode 0 asks for: start,
# model load and extraction per unit).
mkdir -p "$SCRATCH/units"
cp "$M"/output/key/m0.unit.*.txt "$SCRATCH/units/"
for f in "$SCRATCH"/units/*.txt; do mkdir -p "${f%.txt}.d"; cp "$f" "${f%.txt}.d/"; done
race $(labelcalc_in "$M") -- "$KEYPHRASES" -l "$SCRATCH/units" -m "$M/output/model" -n 15 -a
row "3 mode 0" "labelcalc MODE 2" "$T_TOOL" "one extractor run, 100 texts" "$T_FLOOR" "$RSS_TOOL" "$C_TOOL" "$C_FLOOR"
T_MODE2=$T_TOOL C_MODE2=$C_TOOL
race bash -c 'for d in "$1"/*.d; do "$0" -l "$d" -m "$2" -n 15 -a; done' \
  "$KEYPHRASES" "$SCRATCH/units" "$M/output/model" --
row "3 mode 0" "labelcalc MODE 2" "$T_MODE2" "100 extractor runs, 1 text each" "$T_TOOL" "-" "$C_MODE2" "$C_TOOL"
sed 's/^MODE 2$/MODE 1/' "$M/options" > "$M/options.mode1"
race env -C "$M" "$LABELCALC" process options.mode1 --
row "3 mode 0" "labelcalc MODE 1 alone" "$T_TOOL" "labelcalc MODE 2" "$T_MODE2" "$RSS_TOOL" "$C_TOOL" "$C_MODE2"
$(labelcalc_in "$M") > /dev/null 2>&1  # MODE 2 output again, for labelweb and the check
# Starting the extractor: process start and model load, one short text;
# 20 starts in one timing, so the timer's own start does not count.
mkdir -p "$SCRATCH/one"
echo "Start-up of the extractor." > "$SCRATCH/one/a.txt"
race bash -c 'for i in $(seq 20); do "$0" -l "$1" -m "$2" -n 15 -a; done' \
  "$KEYPHRASES" "$SCRATCH/one" "$M/output/model" -- bash -c 'for i in $(seq 20); do /bin/true; done'
per_start() { awk -v t="$1" 'BEGIN { printf "%.4f", t / 20 }'; }
row "3 mode 0" "extractor start (1 of 20)" "$(per_start "$T_TOOL")" "start of /bin/true (1 of 20)" \
  "$(per_start "$T_FLOOR")" "-" "$(per_start "$C_TOOL")" "$(per_start "$C_FLOOR")"
$(labelweb_in "$M") > /dev/null 2>&1
race $(labelweb_in "$M") -- cat "$M/output/m0.unit.labelunit"
row "3 mode 0" "labelweb" "$T_TOOL" "cat of the labelunit file" "$T_FLOOR" "$RSS_TOOL" "$C_TOOL" "$C_FLOOR"

# The site in headless Chromium: index.html opened from file:// until its
# search is ready, then a query typed until its results show (needs
# chromium-driver and python3-selenium, which scripts/setup installs).
echo
echo "labelsite's index.html in headless Chromium (fastest of 5):"
for dir in "$W" ${SITE_MILLION:+"$DATA/wide1m"}; do
  if [ "$dir" = "$DATA/wide1m" ]; then
    # SITE_MILLION=1: the same hierarchy with a million documents (about 5 GB).
    corpus wide1m wide 1000000
    for tool in labelcalc_in labelweb_in labelsite_in; do $($tool "$dir") > /dev/null 2>&1; done
    race $(labelsite_in "$dir") -- $(labelweb_in "$dir")
    row "1 wide, 10^6" "labelsite" "$T_TOOL" "labelweb" "$T_FLOOR" "$RSS_TOOL" "$C_TOOL" "$C_FLOOR"
  fi
  printf '  %-12s %s\n' "$(basename "$dir"):" \
    "$(/usr/bin/python3 "$ROOT/bench/site_open.py" "$dir/output/index.html" doc00012 5 2>&1)"
done

echo
echo
echo "plain-scan reference (tests/phrase_table_oracle.h) against labelcalc's table, same lines in memory:"
# The huge unit also goes through the fixed-record table, each table best of 5.
for name in wide huge mode0; do
  echo " $name:"
  args=()
  [ $name = huge ] && args=(5 fixed)
  check "$name: every labelunit file and map key file" compare_with_reference "$DATA/$name" "${args[@]}"
  sed 's/^/  /' "$SCRATCH/oracle"
done

exit $FAILED
