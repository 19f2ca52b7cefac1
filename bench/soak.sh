#!/usr/bin/env bash
# Soak run (not part of the tests): the large benchmark hierarchy (workload
# "wide" of gen_corpus: three layers, 105 maps, 200,000 documents) labelled
# with labelcalc and published with labelweb RUNS times in a row in the same
# folder. Every run must end with status 0 and leave every file of the
# folder byte-identical to what the first run left, with the same messages:
# the tools are deterministic, and a run over the output of an earlier one
# changes nothing.
#
#   bench/soak.sh [BUILD_DIR]       (default: build)
#
# Environment: RUNS (default 10), SOAK_DOCUMENTS (default 200000),
# SOAK_DIR (default: a temporary folder, removed afterwards).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
RUNS=${RUNS:-10}
DOCUMENTS=${SOAK_DOCUMENTS:-200000}
GEN=$BUILD/bench/gen_corpus
for tool in "$GEN" "$BUILD/labelcalc/labelcalc" "$BUILD/labelweb/labelweb"; do
  [ -x "$tool" ] || { echo "soak: $tool is missing; build first (make build)" >&2; exit 1; }
done
export PATH="$BUILD/labelcalc:$BUILD/labelweb:$PATH"

if [ -n "${SOAK_DIR:-}" ]; then
  DIR=$SOAK_DIR
  rm -rf "$DIR"
else
  DIR=$(mktemp -d)
  trap 'rm -rf "$DIR"' EXIT
fi
echo "soak: generating the wide hierarchy with $DOCUMENTS documents in $DIR ..."
"$GEN" "$DIR" wide 20021001 "$DOCUMENTS"

# One digest over the names and bytes of every file under the folder.
digest() {
  (cd "$DIR" && find . -type f ! -name '.soak.*' -print0 | sort -z | xargs -0 sha256sum | sha256sum |
    cut -d' ' -f1)
}

first=
for run in $(seq "$RUNS"); do
  start=$(date +%s)
  (cd "$DIR" && labelcalc process options >.soak.labelcalc.out 2>.soak.labelcalc.err) || {
    echo "soak: run $run: labelcalc failed:" >&2; tail -5 "$DIR/.soak.labelcalc.err" >&2; exit 1; }
  (cd "$DIR" && labelweb process.web options >.soak.labelweb.out 2>.soak.labelweb.err) || {
    echo "soak: run $run: labelweb failed:" >&2; tail -5 "$DIR/.soak.labelweb.err" >&2; exit 1; }
  # The messages too (warnings about units of more than 10000 documents
  # among them) must be the same every time; the time lines differ.
  for stream in labelcalc.out labelcalc.err labelweb.out labelweb.err; do
    grep -av -e '^Start time : ' -e '^Ending time: ' "$DIR/.soak.$stream" >"$DIR/.soak.$stream.run$run" || true
    if [ "$run" -gt 1 ] && ! cmp -s "$DIR/.soak.$stream.run1" "$DIR/.soak.$stream.run$run"; then
      echo "soak: run $run: ${stream/./ standard } differs from run 1" >&2
      exit 1
    fi
  done
  sum=$(digest)
  echo "soak: run $run: $(( $(date +%s) - start )) s, digest $sum"
  if [ -z "$first" ]; then
    first=$sum
  elif [ "$sum" != "$first" ]; then
    echo "soak: run $run left other bytes than run 1" >&2
    exit 1
  fi
done
echo "soak: $RUNS runs, byte-identical output every time"
