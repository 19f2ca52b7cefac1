#!/usr/bin/env bash
# make demo: somlabel on this machine's C manual pages, as a user runs it on
# a folder of their own.
#
#   demo/run.sh BUILD_DIR [--out DIR] [--pages N] [-- MAP_OPTIONS...]
#
# demo/corpus.sh renders the pages of manpages-dev (sections 2 and 3) into
# DIR/documents (default demo/output/), once; then `somlabel DIR/documents DIR`
# does the rest, redoing on a later run only what changed. --pages N takes N
# pages only (the browser test uses a few dozen); options after "--" are
# somlabel's map options (map sizes, --expand, ...).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: demo/run.sh BUILD_DIR [--out DIR] [--pages N]}" && pwd)
shift
out=$root/demo/output
pages=0
map_options=()
while [ $# -gt 0 ]; do
  case $1 in
    --out) out=$2; shift 2 ;;
    --pages) pages=$2; shift 2 ;;
    --) shift; map_options=("$@"); break ;;
    *) echo "demo/run.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
somlabel=$build/somlabel/somlabel
if [ ! -x "$somlabel" ]; then
  echo "demo/run.sh: $somlabel is missing; build first (make demo builds it)" >&2
  exit 1
fi

# The folder is kept for the next run, which redoes only what changed, unless
# another number of pages is asked for, the pages are rendered another way
# now, or it is not the demo's own.
stamp="$pages $(cksum <"$root/demo/corpus.sh")"
if [ "$(cat "$out/documents.pages" 2>/dev/null)" != "$stamp" ] || [ ! -d "$out/documents" ]; then
  rm -rf "$out"
  mkdir -p "$out"
  printf 'demo: rendering manual pages to text\n' >&2
  "$root/demo/corpus.sh" "$out/documents" "$pages" >/dev/null
  printf '%s\n' "$stamp" >"$out/documents.pages"
fi
out=$(cd "$out" && pwd)

site=$("$somlabel" "$out/documents" "$out" "${map_options[@]}")
echo "Top map page: $out/output/$(tail -n 1 "$out/process.web").html"
echo "Site index:   $site"
