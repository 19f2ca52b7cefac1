#!/usr/bin/env bash
# somlabel on the demo's manual pages next to the same steps run one by one,
# as the README lists the single tools: somtrain, keyphrases train and docs,
# labelcalc, labelweb, labelsite. Both start from nothing each time and take
# turns; each time is the fastest of REPEAT runs. Their files are compared
# byte for byte, and a rerun of somlabel with nothing changed is timed too.
#
#   bench/somlabel_chain.sh [BUILD_DIR]
#
# Environment: REPEAT (default 3), BENCH_DATA (default bench/output; the
# rendered pages are kept there).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
DATA=${BENCH_DATA:-$ROOT/bench/output}
REPEAT=${REPEAT:-3}
for tool in somlabel somtrain keyphrases labelcalc labelweb labelsite; do
  [ -x "$BUILD/$tool/$tool" ] || { echo "bench: $BUILD/$tool/$tool is missing" >&2; exit 1; }
done
mkdir -p "$DATA"
DOCS=$DATA/manpages
if [ ! -s "$DATA/manpages.count" ]; then
  echo "bench: rendering the manual pages ..." >&2
  rm -rf "$DOCS"
  "$ROOT/demo/corpus.sh" "$DOCS" 0 >"$DATA/manpages.count"
fi
SCRATCH=$(mktemp -d)
trap 'rm -rf "$SCRATCH"' EXIT

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { print b - a }'; }
fastest() { printf '%s\n' "$@" | sort -g | head -n 1; }

by_hand() {
  local work=$SCRATCH/hand
  rm -rf "$work"
  "$BUILD/somtrain/somtrain" "$DOCS" "$work" >/dev/null
  "$BUILD/keyphrases/keyphrases" train -l "$DOCS" -m "$work/model"
  "$BUILD/keyphrases/keyphrases" docs --source "$DOCS" --keys "$work/output/key" \
    -m "$work/model" -n 30 --for-labels --ending .txt
  printf 'MODE 2\nNUMBEROFPHRASES 5\nKEAFILEEXTENSION .txt\nKEA_PROGRAM keyphrases\nKEA_MODEL model\n' \
    >>"$work/options"
  (cd "$work" && PATH="$BUILD/keyphrases:$PATH" "$BUILD/labelcalc/labelcalc" process options &&
    "$BUILD/labelweb/labelweb" process.web options &&
    "$BUILD/labelsite/labelsite" process.web options) >/dev/null
}

with_somlabel() {
  rm -rf "$SCRATCH/one"
  "$BUILD/somlabel/somlabel" "$DOCS" "$SCRATCH/one" >/dev/null 2>&1
}

hand_times=() one_times=() rerun_times=()
for _ in $(seq "$REPEAT"); do
  start=$(now); by_hand 2>/dev/null; hand_times+=("$(elapsed "$start" "$(now)")")
  start=$(now); with_somlabel; one_times+=("$(elapsed "$start" "$(now)")")
  start=$(now); "$BUILD/somlabel/somlabel" "$DOCS" "$SCRATCH/one" >/dev/null 2>&1
  rerun_times+=("$(elapsed "$start" "$(now)")")
done
diff -r "$SCRATCH/hand/output" "$SCRATCH/one/output" >/dev/null ||
  { echo "bench: somlabel's files differ from those of the steps by hand" >&2; exit 1; }
hand=$(fastest "${hand_times[@]}")
one=$(fastest "${one_times[@]}")
rerun=$(fastest "${rerun_times[@]}")
printf 'corpus: %s manual pages; fastest of %s runs, seconds\n' "$(cat "$DATA/manpages.count")" "$REPEAT"
printf '%-34s %8.2f\n' "the steps one by one" "$hand" "somlabel" "$one" \
  "somlabel again, nothing changed" "$rerun"
printf '%-34s %8.3f\n' "somlabel / steps" "$(awk -v a="$one" -v b="$hand" 'BEGIN { print a / b }')"
echo "files: identical"
