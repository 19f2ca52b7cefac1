#!/usr/bin/env bash
# Labels the small example hierarchy in examples/ and writes its pages.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/demo/output
rm -rf "$out"
mkdir -p "$out"
cp -r "$root/examples/." "$out/"
cd "$out"
"$build/labelcalc/labelcalc" process options
if [ -x "$build/labelweb/labelweb" ]; then
  "$build/labelweb/labelweb" process.web options
  echo "Top map page: $out/output/a.unit.labelunit.html"
fi
