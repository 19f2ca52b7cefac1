#!/usr/bin/env bash
# somlabel on the document folders users have: what one large document, the
# formats and the reading of text cost, and what the labels of a mixed folder
# look like.
#   [SECTIONS="1 2 3"] bench/documents.sh [BUILD_DIR] [OUT_DIR]
# BUILD_DIR defaults to build/, OUT_DIR to bench/output/documents/. Needs
# ../shared/keyphrase-data beside the project (or KEYPHRASE_DATA=DIR; the
# texts of the collection) and qpdf. Prints, for each run, wall and CPU seconds and the peak memory of
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
data=${KEYPHRASE_DATA:-$root/../shared/keyphrase-data}
[ -d "$data/inspec/docs" ] || { echo "bench/documents.sh: no $data (KEYPHRASE_DATA=DIR)" >&2; exit 1; }
somlabel=$build/somlabel/somlabel
options=(--jobs 2)
mkdir -p "$out"
out=$(cd "$out" && pwd)

# 3,000 documents: every text of the keyphrase data, then as many again as
# needed under other names.
collection() {
  python3 - "$data" "$1" <<'PYTHON'
import glob, os, shutil, sys
files = sorted(glob.glob(os.path.join(sys.argv[1], "*", "docs", "*")))
os.makedirs(sys.argv[2], exist_ok=True)
for n in range(3000):
    source = files[n % len(files)]
    name = "c%d-%s-%s" % (n // len(files), source.split(os.sep)[-3], os.path.basename(source))
    shutil.copyfile(source, os.path.join(sys.argv[2], name))
PYTHON
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
sections=${SECTIONS:-1 2 3}
if [[ " $sections " == *" 1 "* ]]; then
echo "== 1. 3,000 documents, and one of 50 MB more"
run plain "$out/plain"
run large "$out/large"

fi
if [[ " $sections " == *" 2 "* ]]; then
echo "== 2. reading the text of 3,000 plain UTF-8 documents, share of the run"
grep -a '^somlabel: [0-9]* documents' "$out/plain.err" | awk -F'; ' '
  { for (i = 2; i <= NF; ++i) if ($i ~ /^text [0-9.]+ s/) { split($i, t, " "); text = t[2] }
    split($NF, a, " "); all = a[1] }
  END { printf "text %.2f s of %.2f s: %.1f%%\n", text, all, 100 * text / all }'

fi
[[ " $sections " == *" 3 "* ]] || exit 0
echo "== 3. a mixed folder"
mixed=$out/mixed
if [ ! -d "$mixed" ]; then
  python3 - "$data" "$mixed" <<'PYTHON'
import glob, gzip, html, os, sys, textwrap
data, mixed = sys.argv[1], sys.argv[2]

def write(name, data):
    path = os.path.join(mixed, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    open(path, "wb").write(data)

def pdf(text):
    lines = textwrap.wrap(" ".join(text.split()), 80)
    shown = "".join("(%s) Tj T* " % l.replace("\\", "").replace("(", "").replace(")", "")
                    for l in lines)
    stream = "BT /F1 10 Tf 12 TL 40 760 Td %s ET" % shown
    objects = ["<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [4 0 R] /Count 1 >>",
               "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
               "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 5 0 R "
               "/Resources << /Font << /F1 3 0 R >> >> >>",
               "<< /Length %d >>\nstream\n%s\nendstream" % (len(stream.encode("latin-1", "replace")), stream)]
    out, offsets = "%PDF-1.4\n", []
    for i, body in enumerate(objects):
        offsets.append(len(out.encode("latin-1", "replace")))
        out += "%d 0 obj\n%s\nendobj\n" % (i + 1, body)
    xref = len(out.encode("latin-1", "replace"))
    out += "xref\n0 6\n0000000000 65535 f \n" + "".join("%010d 00000 n \n" % o for o in offsets)
    out += "trailer\n<< /Size 6 /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % xref
    return out.encode("latin-1", "replace")

files = sorted(glob.glob(os.path.join(data, "inspec", "docs", "*")) +
               glob.glob(os.path.join(data, "www", "docs", "*")))
french = "\nLe caf\u00e9 na\u00efve de la biblioth\u00e8que.\n"
for i, source in enumerate(files):
    text = open(source, encoding="utf-8", errors="replace").read()
    title = text.strip().split("\n")[0][:80]
    kind = i % 6
    if kind == 0:
        page = ('<!DOCTYPE html>\n<html><head><title>%s</title><style>div.code { color: red }</style>'
                '<script>var href = "div class";</script></head><body><div class="text"><p>%s</p>'
                '</div></body></html>\n' % (html.escape(title), html.escape(text)))
        write("html/%s/%d.html" % ("ab"[i % 12 // 6], i), page.encode())
    elif kind == 1:
        write("md/%d.md" % i, ("# %s\n\n%s" % (title, text)).encode())
    elif kind == 2:
        write("latin1/%d.txt" % i, (text + french).encode("latin-1", "replace"))
    elif kind == 3:
        write("utf16/%d.txt" % i, text.encode("utf-16"))
    elif kind == 4:
        write("pdf/%d.pdf" % i, pdf(text))
    else:
        write("plain/deep/er/%d.txt" % i, text.encode())
write("broken/empty.txt", b"")
write("broken/markup.html", b"<html><body><div></div></body></html>\n")
write("broken/text.gz", gzip.compress(open(files[0], "rb").read()))
PYTHON
  qpdf --encrypt secret owner 256 -- "$(ls "$mixed"/pdf/*.pdf | head -n 1)" "$mixed/broken/locked.pdf"
fi
run mixed "$mixed"
grep -a '^somlabel: passed over' "$out/mixed.err" | sed "s|$out/||g"
/usr/bin/python3 "$root/bench/label_check.py" "$out/mixed.out"/output/*.labelunit | head -n 12 || true
/usr/bin/python3 "$root/tests/check_pages.py" "$out/mixed.out/output" && echo "check_pages: every link leads to a file"
linked=$(cat "$out/mixed.out"/output/*.html | grep -a -o "href=[^ >]*" | grep -c "/mixed/" || true)
echo "links to the documents themselves: $linked"
