#!/usr/bin/env bash
# Maps that fit the collection: what somtrain's default hierarchy looks like on
# collections with known categories, and whether documents stay put when the
# collection grows.
#
#   bench/maps.sh [BUILD_DIR]
#
# 1. Shape and purity: somtrain at default options on each collection of
#    bench/collections.sh that has categories, beside the fixed shape of
#    before (6 x 4 over 3 x 3, two layers) and that shape three layers deep;
#    leaf units that hold documents (how many, median and quartiles of their
#    sizes), the share of documents in their leaf unit's most common category
#    (purity), and the same with the categories shuffled (bench/map_metrics.py).
# 2. Stability, on STABLE (default: debian): a training on 90% of the
#    collection (drawn with a fixed seed), then reruns in a copy of its
#    folder after adding 1% and 10% more documents and after removing 1%:
#    the share of the earlier documents on the same leaf unit, on the same or
#    a neighbouring one, and the adjusted Rand index of the leaf units; beside
#    them a training from scratch of the same 1% larger collection
#    (--retrain) and one with another seed. CPU seconds of each run.
#
# Environment: COLLECTIONS (default: manpages abstracts news science debian;
# SHAPES= leaves part 1 out),
# STABLE (the collections for part 2), JOBS (somtrain --jobs, default 2),
# BENCH_DATA (bench/output). Prints tables in the form of bench/README.md.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
data=${BENCH_DATA:-$root/bench/output}
read -r -a names <<<"${COLLECTIONS:-manpages abstracts news science debian}"
read -r -a stable <<<"${STABLE:-debian}"
jobs=${JOBS:-2}
somtrain=$build/somtrain/somtrain
metrics=$root/bench/map_metrics.py
[ -x "$somtrain" ] || { echo "bench: $somtrain is missing; build first (make build)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "bench: /usr/bin/time is missing (Debian package 'time')" >&2; exit 1; }

"$root/bench/collections.sh" "$data/collections" "${names[@]}" "${stable[@]}" >&2
work=$data/maps
rm -rf "$work"
mkdir -p "$work"
echo "bench: machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)" >&2

# train OUT DOCS [OPTIONS]: somtrain, quiet; its CPU seconds (user + system) in OUT.cpu.
train() {
  local out=$1 docs=$2
  shift 2
  /usr/bin/time -f '%U %S %e %M' -o "$out.time" "$somtrain" --jobs "$jobs" "$@" "$docs" "$out" \
    >"$out.log" 2>&1 || { cat "$out.log" >&2; exit 1; }
  awk '{ printf "%.1f", $1 + $2 }' "$out.time" >"$out.cpu"
}
value() { tr ' ' '\n' <<<"$1" | sed -n "s/^$2=//p"; }

if [ -n "${SHAPES-1}" ]; then
echo "| collection (documents) | shape | maps | layers | leaf units | leaf size: median (quartiles), largest | purity | shuffled |"
echo "|---|---|---|---|---|---|---|---|"
for name in "${names[@]}"; do
  docs=$data/collections/$name/docs
  categories=$data/collections/$name/categories.tsv
  [ -f "$categories" ] || { echo "bench: $name has no categories; left out" >&2; continue; }
  for shape in default fixed fixed-3; do
    case $shape in
      default) options=() ;;
      fixed) options=(--xdim 6 --ydim 4 --sub-xdim 3 --sub-ydim 3 --depth 2) ;;
      fixed-3) options=(--xdim 6 --ydim 4 --sub-xdim 3 --sub-ydim 3 --depth 3) ;;
    esac
    train "$work/$name-$shape" "$docs" "${options[@]}"
    m=$(python3 "$metrics" shape "$work/$name-$shape" "$categories")
    echo "| $name ($(value "$m" documents)) | $shape | $(value "$m" maps) | $(value "$m" layers) |" \
      "$(value "$m" leaves) | $(value "$m" median) ($(value "$m" q1) to $(value "$m" q3)), $(value "$m" largest) |" \
      "$(value "$m" purity) | $(value "$m" shuffled) |"
  done
done

fi

echo
echo "| collection | change | documents before | same leaf unit | same or neighbouring | adjusted Rand | CPU s: rerun / from scratch |"
echo "|---|---|---|---|---|---|---|"
for name in "${stable[@]}"; do
  all=$work/$name.all
  (cd "$data/collections/$name/docs" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) >"$all"
  total=$(wc -l <"$all")
  shuf --random-source=<(yes 20021001) "$all" >"$work/$name.order"
  base=$((total * 9 / 10))
  one=$((base / 100))
  ten=$((base / 10))
  # folder NAME LINES...: a document folder of links to the documents listed in the files.
  folder() {
    local dir=$1
    shift
    cat "$@" | python3 -c '
import os, sys
src, dest = sys.argv[1:]
for doc in sys.stdin.read().splitlines():
    os.makedirs(os.path.dirname(os.path.join(dest, doc)), exist_ok=True)
    os.symlink(os.path.join(src, doc), os.path.join(dest, doc))
' "$data/collections/$name/docs" "$dir"
  }
  head -n "$base" "$work/$name.order" >"$work/$name.base"
  sed -n "$((base + 1)),$((base + one))p" "$work/$name.order" >"$work/$name.add1"
  sed -n "$((base + 1)),$((base + ten))p" "$work/$name.order" >"$work/$name.add10"
  head -n "$((base - one))" "$work/$name.order" >"$work/$name.keep"
  folder "$work/$name-docs-base" "$work/$name.base"
  folder "$work/$name-docs-add1" "$work/$name.base" "$work/$name.add1"
  folder "$work/$name-docs-add10" "$work/$name.base" "$work/$name.add10"
  folder "$work/$name-docs-remove1" "$work/$name.keep"
  train "$work/$name-base" "$work/$name-docs-base"
  train "$work/$name-scratch1" "$work/$name-docs-add1" --retrain
  train "$work/$name-seed" "$work/$name-docs-base" --seed 2
  for change in add1 add10 remove1; do
    cp -r "$work/$name-base" "$work/$name-$change"
    train "$work/$name-$change" "$work/$name-docs-$change"
  done
  row() {  # row CHANGE RUN: the earlier documents in RUN against the base training
    local m
    m=$(python3 "$metrics" stability "$work/$name-base" "$work/$name-$2")
    echo "| $name | $1 | $base | $(value "$m" same) | $(value "$m" same_or_neighbour) | $(value "$m" ari) |" \
      "$(cat "$work/$name-$2.cpu") / $(cat "$work/$name-scratch1.cpu") |"
  }
  row "1% added" add1
  row "10% added" add10
  row "1% removed" remove1
  row "1% added, trained from scratch (--retrain)" scratch1
  row "none, another seed" seed
done
