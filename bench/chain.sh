#!/usr/bin/env bash
# The whole chain, somlabel DOCS OUT from nothing, on generated collections of
# abstract-sized documents, step by step: each step's wall time (somlabel's
# closing figures) and, from every tool somlabel starts, CPU seconds (user +
# system) and the largest resident memory of one process.
#
#   bench/chain.sh [BUILD_DIR]
#
# Environment: SIZES (default "200000 1000000"), BENCH_DATA (bench/output; the
# collections are made once with gen_corpus into BENCH_DATA/texts-N/documents
# and kept), MAP_OPTIONS (passed to somlabel). Prints a table in the form of
# bench/README.md. Run it on a quiet machine: a million documents take minutes.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
data=${BENCH_DATA:-$root/bench/output}
read -r -a sizes <<<"${SIZES:-200000 1000000}"
read -r -a map_options <<<"${MAP_OPTIONS:-}"
for tool in somlabel somtrain keyphrases labelcalc labelweb labelsite; do
  [ -x "$build/$tool/$tool" ] || { echo "bench: $build/$tool/$tool is missing" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "bench: /usr/bin/time is missing (Debian package 'time')" >&2; exit 1; }

# somlabel runs the tools beside itself: here each is a script that times the
# real one (only where somlabel starts it, not labelcalc's extractor runs).
tools=$(mktemp -d)
trap 'rm -rf "$tools"' EXIT
cp "$build/somlabel/somlabel" "$tools/somlabel"
for tool in somtrain keyphrases labelcalc labelweb labelsite; do
  cat >"$tools/$tool" <<EOF
#!/bin/sh
[ -n "\${CHAIN_TIMED:-}" ] && exec "$build/$tool/$tool" "\$@"
export CHAIN_TIMED=1
step=$tool
[ "$tool" = keyphrases ] && step="keyphrases-\$1"
exec /usr/bin/time -a -o "\$CHAIN_LOG" -f "\$step %e %U %S %M" "$build/$tool/$tool" "\$@"
EOF
  chmod +x "$tools/$tool"
done

echo "bench: machine: $(nproc) CPUs, load $(cut -d' ' -f1-3 /proc/loadavg)" >&2
echo "| documents | step | wall s | CPU s | peak memory of a process, MB |"
echo "|---|---|---|---|---|"
for n in "${sizes[@]}"; do
  docs=$data/texts-$n/documents
  if [ ! -d "$docs" ]; then
    echo "bench: generating $n documents in $docs ..." >&2
    mkdir -p "$data/texts-$n"
    "$build/bench/gen_corpus" "$data/texts-$n" texts 20021001 "$n" >&2
  fi
  out=$data/chain-$n
  rm -rf "$out"
  export CHAIN_LOG=$data/chain-$n.tools
  rm -f "$CHAIN_LOG"
  /usr/bin/time -f '%e %U %S %M' -o "$data/chain-$n.time" \
    "$tools/somlabel" "$docs" "$out" "${map_options[@]}" >"$data/chain-$n.out" 2>"$data/chain-$n.err" ||
    { cat "$data/chain-$n.err" >&2; exit 1; }
  figures=$(grep '^somlabel: [0-9]* documents' "$data/chain-$n.err" | tail -n 1)
  echo "bench: $figures" >&2
  # step wall times from the figures ("maps 78.6 s"), CPU and memory from the tools' lines
  python3 - "$figures" "$CHAIN_LOG" "$data/chain-$n.time" "$n" <<'EOF'
import re, sys
figures, log, total, n = sys.argv[1:]
wall = {m[0]: float(m[1]) for m in re.findall(r"(\w+) ([0-9.]+) s", figures)}
step_of = {"somtrain": "maps", "keyphrases-train": "model", "keyphrases-docs": "keys",
           "labelcalc": "labels", "labelweb": "pages", "labelsite": "site"}
cpu, mem = {}, {}
for line in open(log):
    f = line.split()
    if len(f) != 5 or f[0] not in step_of:
        continue
    s = step_of[f[0]]
    cpu[s] = cpu.get(s, 0.0) + float(f[2]) + float(f[3])
    mem[s] = max(mem.get(s, 0), int(f[4]))
for s in ["text", "maps", "model", "keys", "labels", "pages", "site"]:
    c = f"{cpu[s]:.1f}" if s in cpu else "-"
    m = f"{mem[s] / 1024:.0f}" if s in mem else "-"
    print(f"| {int(n):,} | {s} | {wall.get(s, 0):.1f} | {c} | {m} |")
e, u, sy, peak = open(total).read().split()
maps = re.search(r"(\d+) maps, (\d+) units", figures)
shape = f" ({maps[1]} maps, {maps[2]} units)" if maps else ""
print(f"| {int(n):,} | whole chain{shape} | {float(e):.1f} | {float(u) + float(sy):.1f} | {int(peak) / 1024:.0f} |")
EOF
done
