#!/usr/bin/env bash
# How well the labels describe their units, on collections of different kinds.
#
#   bench/labels.sh BUILD_DIR [NAME...]     (default: manpages abstracts news papers science debian)
#
# Builds the collections (bench/collections.sh, kept in bench/output/collections/), runs
# `somlabel DOCS OUT` with default options on each into bench/output/labels/NAME/ (a rerun
# redoes only what changed, as somlabel does) and prints bench/label_summary.py's table
# over all of them; LABEL_UNITS=K also prints the labels of K units of each. Each run's
# time goes to standard error.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:?usage: bench/labels.sh BUILD_DIR [NAME...]}" && pwd)
shift
NAMES=${*:-manpages abstracts news papers science debian}
COLLECTIONS=${COLLECTIONS:-$ROOT/bench/output/collections}
RUNS=${LABEL_RUNS:-$ROOT/bench/output/labels}
SOMLABEL=$BUILD/somlabel/somlabel
[ -x "$SOMLABEL" ] || { echo "bench: build $SOMLABEL first" >&2; exit 1; }

# shellcheck disable=SC2086
"$ROOT/bench/collections.sh" "$COLLECTIONS" $NAMES
mkdir -p "$RUNS"
runs=() names=()
for name in $NAMES; do
  echo "bench: somlabel on $name (load average $(cut -d' ' -f1-3 /proc/loadavg))" >&2
  /usr/bin/time -f "bench: $name: %e s, %U+%S s CPU, %M KB" \
    "$SOMLABEL" "$COLLECTIONS/$name/docs" "$RUNS/$name" >/dev/null
  runs+=("$RUNS/$name")
  names+=(--name "$name")
done
/usr/bin/python3 "$ROOT/bench/label_summary.py" --markdown --units "${LABEL_UNITS:-0}" \
  "${names[@]}" "${runs[@]}"
