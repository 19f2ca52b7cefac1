#!/usr/bin/env bash
# somlabel on the document folders users have: what one large document, the
# formats and the reading of text cost, and what the labels of a mixed folder
# look like.
#   bench/documents.sh [BUILD_DIR] [OUT_DIR]
# BUILD_DIR defaults to build/, OUT_DIR to bench/output/documents/. Needs
# ../shared/keyphrase-data beside the project (the texts of the collection)
# and qpdf. Prints, for each run, wall and CPU seconds and the peak memory of
# the largest process (GNU time's %M: the tools run one after the other):
#   1. 3,000 plain UTF-8 documents, and the same with one 50 MB document more
#      (target: peak under 200 MB, time within 1.5 times the run without it);
#   2. the share of the run that reading the text took on the plain folder
#      (target: at most 10%);
#   3. a mixed folder (nested; HTML, PDF, Markdown, Latin-1, UTF-16, empty and
#      binary files): bench/label_check.py over its labels (markup and broken
#      encodings among the flags) and tests/check_pages.py over its pages.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=${2:-$root/bench/output/documents}
data=$root/../shared/keyphrase-data
somlabel=$build/somlabel/somlabel
options=(--jobs 2)
mkdir -p "$out"
out=$(cd "$out" && pwd)

# 3,000 documents: every text of the keyphrase data, then as many again as
# needed under other names.
collection() {
  local dir=$1 n=0 copy=0
  mkdir -p "$dir"
  while [ "$n" -lt 3000 ]; do
    for file in "$data"/*/docs/*; do
      [ "$n" -lt 3000 ] || break
      cp "$file" "$dir/c$copy-$(basename "$(dirname "$(dirname "$file")")")-$(basename "$file")"
      n=$((n + 1))
    done
    copy=$((copy + 1))
  done
}

run() {  # run NAME DOCS: somlabel from scratch, timed
  rm -rf "$out/$1.out"
  /usr/bin/time -f '%e s wall, %U+%S s CPU, %M KB peak' -o "$out/$1.time" \
    "$somlabel" "$2" "$out/$1.out" "${options[@]}" >/dev/null 2>"$out/$1.err" ||
    { cat "$out/$1.err" >&2; exit 1; }
  printf '%-8s %s (load %s)\n' "$1" "$(cat "$out/$1.time")" "$(cut -d ' ' -f 1 /proc/loadavg)"
  grep -a '^somlabel: [0-9]* documents' "$out/$1.err" | sed 's/^/         /'
}

if [ ! -d "$out/plain" ]; then collection "$out/plain"; fi
if [ ! -d "$out/large" ]; then
  cp -r "$out/plain" "$out/large"
  while [ "$(stat -c %s "$out/large/large.txt" 2>/dev/null || echo 0)" -lt 50000000 ]; do
    cat "$data"/nus/docs/* >>"$out/large/large.txt"
  done
fi
echo "== 1. 3,000 documents, and one of 50 MB more"
run plain "$out/plain"
run large "$out/large"

echo "== 2. reading the text of 3,000 plain UTF-8 documents, share of the run"
grep -a '^somlabel: [0-9]* documents' "$out/plain.err" | awk -F'; ' '
  { for (i = 2; i <= NF; ++i) if ($i ~ /^text [0-9.]+ s/) { split($i, t, " "); text = t[2] }
    split($NF, a, " "); all = a[1] }
  END { printf "text %.2f s of %.2f s: %.1f%%\n", text, all, 100 * text / all }'

echo "== 3. a mixed folder"
mixed=$out/mixed
if [ ! -d "$mixed" ]; then
  mkdir -p "$mixed"/{html/a,html/b,md,pdf,latin1,utf16,plain/deep/er,broken}
  i=0
  for file in "$data"/inspec/docs/* "$data"/www/docs/*; do
    i=$((i + 1))
    title=$(head -n 1 "$file" | cut -c 1-80)
    case $((i % 6)) in
      0) { printf '<!DOCTYPE html>\n<html><head><title>%s</title><style>div.code { color: red }</style>' "$title"
           printf '<script>var href = "div class";</script></head><body><div class="text"><p>'
           sed 's/&/\&amp;/g; s/</\&lt;/g' "$file"; printf '</p></div></body></html>\n'; } \
           >"$mixed/html/$([ $((i % 12)) -lt 6 ] && echo a || echo b)/$i.html" ;;
      1) { printf '# %s\n\n' "$title"; sed 's/^/> /' "$file"; } >"$mixed/md/$i.md" ;;
      2) { cat "$file"; echo "Le caf$(printf '\xc3\xa9') na$(printf '\xc3\xaf')ve de la biblioth$(printf '\xc3\xa8')que."; } |
           iconv -f UTF-8 -t LATIN1//TRANSLIT >"$mixed/latin1/$i.txt" ;;
      3) iconv -f UTF-8 -t UTF-16 <"$file" >"$mixed/utf16/$i.txt" ;;
      4) python3 - "$file" "$mixed/pdf/$i.pdf" <<'PYTHON' ;;
import sys, textwrap
words = open(sys.argv[1], encoding="utf-8", errors="replace").read().split()
lines = textwrap.wrap(" ".join(words), 80)
text = "".join("(%s) Tj T* " % l.replace("\\", "").replace("(", "").replace(")", "")
               .encode("latin-1", "replace").decode("latin-1") for l in lines)
stream = "BT /F1 10 Tf 12 TL 40 760 Td %s ET" % text
objects = ["<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [4 0 R] /Count 1 >>",
           "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
           "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 5 0 R "
           "/Resources << /Font << /F1 3 0 R >> >> >>",
           "<< /Length %d >>\nstream\n%s\nendstream" % (len(stream), stream)]
pdf, offsets = "%PDF-1.4\n", []
for i, body in enumerate(objects):
    offsets.append(len(pdf))
    pdf += "%d 0 obj\n%s\nendobj\n" % (i + 1, body)
xref = len(pdf)
pdf += "xref\n0 6\n0000000000 65535 f \n" + "".join("%010d 00000 n \n" % o for o in offsets)
pdf += "trailer\n<< /Size 6 /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % xref
open(sys.argv[2], "w", encoding="latin-1").write(pdf)
PYTHON
      5) cp "$file" "$mixed/plain/deep/er/$i.txt" ;;
    esac
  done
  : >"$mixed/broken/empty.txt"
  printf '<html><body><div></div></body></html>\n' >"$mixed/broken/markup.html"
  gzip -c "$data/inspec/docs/$(ls "$data/inspec/docs" | head -n 1)" >"$mixed/broken/text.gz"
  qpdf --encrypt secret owner 256 -- "$(ls "$mixed"/pdf/*.pdf | head -n 1)" "$mixed/broken/locked.pdf"
fi
run mixed "$mixed"
grep -a '^somlabel: passed over' "$out/mixed.err" | sed "s|$out/||g"
/usr/bin/python3 "$root/bench/label_check.py" "$out/mixed.out"/output/*.labelunit | head -n 12 || true
/usr/bin/python3 "$root/tests/check_pages.py" "$out/mixed.out/output" && echo "check_pages: every link leads to a file"
linked=$(cat "$out/mixed.out"/output/*.html | grep -a -o "href=[^ >]*" | grep -c "/mixed/" || true)
echo "links to the documents themselves: $linked"
