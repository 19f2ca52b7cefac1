#!/usr/bin/env bash
# Document collections of different kinds for measuring labels and maps, built
# from what is on this machine.
#
#   bench/collections.sh [OUT_DIR [NAME...]]     (default bench/output/collections, every NAME)
#
# Each collection NAME gets OUT_DIR/NAME/docs/ (plain UTF-8 files, names without
# blanks) and, where it has categories, OUT_DIR/NAME/categories.tsv
# ("document name<TAB>category" a line, sorted by name):
#
#   manpages  the section 2 and 3 manual pages of manpages-dev, as the demo renders
#             them (about 900); category: the section ("2", "3", "3type", ...)
#   abstracts the abstracts of inspec, kdd and www (1,097); category: the set
#   news      500n-kpcrowd's news stories (500); category: the desk ("sports", ...)
#   papers    nus's full papers (209); no categories
#   science   semeval2017's paragraphs of papers (300); category: the journal (the
#             ISSN in the article's identifier, "S03702693")
#   debian    the short descriptions of the packages in apt's lists under
#             /var/lib/apt/lists, one document per package (about 63,000);
#             category: its Section ("libs", "python", ...)
#
# The texts of ../shared/keyphrase-data are copied, never committed (OUT_DIR is
# git-ignored by default). A collection already built is kept unless its script or
# sources changed; REBUILD=1 builds it anew.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=${1:-$ROOT/bench/output/collections}
shift || true
ALL="manpages abstracts news papers science debian"
NAMES=${*:-$ALL}
DATA=${KEYPHRASE_DATA:-$ROOT/../shared/keyphrase-data}
# shared/ lies beside the clone; for a git worktree, beside the main checkout.
if [ ! -d "$DATA" ] && common=$(git -C "$ROOT" rev-parse --path-format=absolute --git-common-dir 2>/dev/null); then
  DATA=$(dirname "$(dirname "$common")")/shared/keyphrase-data
fi

need_data() {
  [ -d "$DATA/$1/docs" ] || { echo "collections: no $DATA/$1/docs (set KEYPHRASE_DATA)" >&2; exit 1; }
}

# copy_set SET DEST PREFIX CATEGORY: the set's texts as DEST/PREFIX<id>.txt; CATEGORY
# is a fixed category, "desk" for the part of the name before its last "-", "journal"
# for the ISSN of an article identifier, or "" for none.
copy_set() {
  local set=$1 dest=$2 prefix=$3 category=$4 f name
  need_data "$set"
  for f in "$DATA/$set"/docs/*.txt; do
    name=$prefix$(basename "$f")
    cp "$f" "$dest/docs/$name"
    case $category in
      "") ;;
      desk) printf '%s\t%s\n' "$name" "${name%-*}" ;;
      journal) printf '%s\t%s\n' "$name" "${name:0:9}" ;;
      *) printf '%s\t%s\n' "$name" "$category" ;;
    esac
  done >>"$dest/categories.unsorted"
}

build_manpages() {
  "$ROOT/demo/corpus.sh" "$1/docs" >/dev/null
  (cd "$1/docs" && for f in *; do printf '%s\t%s\n' "$f" "${f##*.}"; done) >"$1/categories.unsorted"
}

build_abstracts() {
  local set
  for set in inspec kdd www; do copy_set "$set" "$1" "$set-" "$set"; done
}

build_news() { copy_set 500n-kpcrowd "$1" "" desk; }
build_papers() { copy_set nus "$1" "" ""; }
build_science() { copy_set semeval2017 "$1" "" journal; }

# One document per package name: its Description line (the short description;
# the lists hold no long ones without translations). A package in several lists
# (security updates) keeps the last one read.
build_debian() {
  local lists=(/var/lib/apt/lists/*_Packages*)
  [ -e "${lists[0]}" ] || { echo "collections: no package lists in /var/lib/apt/lists (apt-get update)" >&2; exit 1; }
  for list in "${lists[@]}"; do /usr/lib/apt/apt-helper cat-file "$list"; echo; done |
    /usr/bin/python3 -c '
import os, sys
out = sys.argv[1]
packages = {}
fields = {}
def flush():
    name = fields.get("Package")
    if name and "/" not in name and not name.startswith("."):
        packages[name] = (fields.get("Description", ""), fields.get("Section", "unknown"))
    fields.clear()
for line in sys.stdin.buffer:
    line = line.decode("utf-8", "replace").rstrip("\n")
    if not line.strip():
        flush()
    elif not line[0].isspace() and ":" in line:
        key, value = line.split(":", 1)
        fields[key] = value.strip()
flush()
with open(os.path.join(out, "categories.unsorted"), "w") as cats:
    for name, (description, section) in packages.items():
        with open(os.path.join(out, "docs", name), "w") as doc:
            doc.write(description + "\n")
        cats.write("%s\t%s\n" % (name, section.split("/")[-1]))
' "$1"
}

stamp_of() {
  case $1 in
    manpages) cksum <"$ROOT/demo/corpus.sh" ;;
    debian) ls -l --time-style=+%s /var/lib/apt/lists/*_Packages* ;;
    *) echo "$DATA" ;;
  esac
  cksum <"$0"
}

mkdir -p "$OUT"
for name in $NAMES; do
  case " $ALL " in *" $name "*) ;; *) echo "collections: unknown collection $name ($ALL)" >&2; exit 2 ;; esac
  dest=$OUT/$name
  stamp=$(stamp_of "$name")
  if [ "${REBUILD:-0}" != 1 ] && [ "$(cat "$dest/.stamp" 2>/dev/null)" = "$stamp" ]; then
    echo "collections: $name: kept ($(ls "$dest/docs" | wc -l) documents)" >&2
    continue
  fi
  rm -rf "$dest"
  mkdir -p "$dest/docs"
  "build_$name" "$dest"
  if [ -s "$dest/categories.unsorted" ]; then
    LC_ALL=C sort "$dest/categories.unsorted" >"$dest/categories.tsv"
  fi
  rm -f "$dest/categories.unsorted"
  printf '%s\n' "$stamp" >"$dest/.stamp"
  echo "collections: $name: $(ls "$dest/docs" | wc -l) documents in $dest/docs" >&2
done
