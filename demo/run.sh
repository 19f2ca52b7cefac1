#!/usr/bin/env bash
# make demo: the whole chain on this machine's C manual pages, every step a
# tool a user can run on a corpus of their own.
#
#   demo/run.sh BUILD_DIR [--out DIR] [--pages N] [-- SOMTRAIN_OPTIONS...]
#
#  1. corpus:     demo/corpus.sh renders the pages of manpages-dev (sections 2, 3)
#  2. model:      keyphrases train   (an extractor model learnt from the corpus)
#  3. key files:  keyphrases docs    (one key file per document)
#  4. maps:       somtrain           (unit files, process files, option file)
#  5. labels:     labelcalc, MODE 2, with the keyphrases tool as its extractor
#  6. pages:      labelweb
#  7. site:       labelsite (index.html with the search, the document and phrase indexes)
# Everything lands in DIR (default demo/output/), which is emptied first.
# --pages N takes N pages only (the browser test uses a few dozen); options
# after "--" go to somtrain (map sizes, --expand, ...).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: demo/run.sh BUILD_DIR [--out DIR] [--pages N]}" && pwd)
shift
out=$root/demo/output
pages=0
somtrain_options=()
while [ $# -gt 0 ]; do
  case $1 in
    --out) out=$2; shift 2 ;;
    --pages) pages=$2; shift 2 ;;
    --) shift; somtrain_options=("$@"); break ;;
    *) echo "demo/run.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
for tool in keyphrases somtrain labelcalc labelweb labelsite; do
  if [ ! -x "$build/$tool/$tool" ]; then
    echo "demo/run.sh: $build/$tool/$tool is missing; build first (make build)" >&2
    exit 1
  fi
done
keyphrases=$build/keyphrases/keyphrases
SECONDS=0

rm -rf "$out"
mkdir -p "$out/logs"
out=$(cd "$out" && pwd)
files=$out/output/files
step() { printf 'demo: %s\n' "$*" >&2; }

# A tool's messages go to its log; a failing step shows the log's end.
run_logged() {
  local log=$out/logs/$1.log; shift
  if ! "$@" >"$log" 2>&1; then
    echo "demo/run.sh: step failed: $*" >&2
    tail -n 20 "$log" >&2
    exit 1
  fi
}

step "rendering manual pages to text"
documents=$("$root/demo/corpus.sh" "$files" "$pages")

step "training the extractor model on $documents documents"
# The trainer reads X.txt files; links give the documents that name.
mkdir -p "$out/train"
for document in "$files"/*; do ln -s "$document" "$out/train/$(basename "$document").txt"; done
run_logged keyphrases-train "$keyphrases" train -l "$out/train" -m "$out/model"

step "writing a key file per document"
run_logged keyphrases-docs "$keyphrases" docs --source "$files" --keys "$out/output/key" \
  -m "$out/model" -n 10

step "training the maps"
run_logged somtrain "$build/somtrain/somtrain" "${somtrain_options[@]}" "$files" "$out"

# The option file somtrain wrote, plus: both kinds of labels, our extractor.
cat >>"$out/options" <<OPTIONS
MODE 2
NUMBEROFPHRASES 5
KEA_PROGRAM $keyphrases
KEA_MODEL $out/model
OPTIONS

step "labelling the units"
(cd "$out" && run_logged labelcalc "$build/labelcalc/labelcalc" process options)
step "writing the pages"
(cd "$out" && run_logged labelweb "$build/labelweb/labelweb" process.web options)
step "writing the site pages"
(cd "$out" && run_logged labelsite "$build/labelsite/labelsite" process.web options)
for log in labelcalc labelweb labelsite; do
  if grep -a -i -q -e warning -e error "$out/logs/$log.log"; then
    echo "demo/run.sh: $log reported problems, see $out/logs/$log.log" >&2
  fi
done

maps=$(wc -l <"$out/process")
units=$(cat "$out"/output/*.unit | grep -c '^\$POS_X ')
top=$(tail -n 1 "$out/process.web")
echo "Top map page: $out/output/$top.html"
echo "Site index:   $out/output/index.html"
echo "documents $documents, maps $maps, units $units, seconds $SECONDS"
