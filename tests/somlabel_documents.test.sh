#!/usr/bin/env bash
# somlabel on a folder as users have them: nested, with HTML, PDF, Markdown,
# text in Latin-1 and UTF-16, empty, binary, encrypted and oversized files.
# The maps, key files and labels come from the documents' text; the pages
# link to the documents themselves; what is passed over or cut is named.
#   bash tests/somlabel_documents.test.sh BUILD_DIR
source "$(dirname "$0")/badinput_lib.sh"
somlabel=$build_dir/somlabel/somlabel
[ -x "$somlabel" ] || { echo "somlabel not built: nothing to test"; exit 0; }
map_options=(--xdim 2 --ydim 2 --depth 1 --min-df 1 --max-df 1 --jobs 1)

# A PDF of one page a text argument (an empty one: a page without text, as a scan has).
pdf() {
  python3 - "$@" <<'PYTHON'
import sys
out, pages = sys.argv[1], sys.argv[2:]
objects = ["<< /Type /Catalog /Pages 2 0 R >>", "",
           "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"]
kids = []
for text in pages:
    kids.append("%d 0 R" % (len(objects) + 1))
    objects.append("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents %d 0 R "
                   "/Resources << /Font << /F1 3 0 R >> >> >>" % (len(objects) + 2))
    stream = "BT /F1 12 Tf 72 700 Td (%s) Tj ET" % text if text else ""
    objects.append("<< /Length %d >>\nstream\n%s\nendstream" % (len(stream), stream))
objects[1] = "<< /Type /Pages /Kids [%s] /Count %d >>" % (" ".join(kids), len(pages))
pdf, offsets = "%PDF-1.4\n", []
for i, body in enumerate(objects):
    offsets.append(len(pdf))
    pdf += "%d 0 obj\n%s\nendobj\n" % (i + 1, body)
xref = len(pdf)
pdf += "xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
pdf += "".join("%010d 00000 n \n" % o for o in offsets)
pdf += "trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
open(out, "w", encoding="latin-1").write(pdf)
PYTHON
}

documents() {
  mkdir -p docs/news/2024 docs/papers docs/.hidden "docs/my notes"
  local sentence="self-organizing maps arrange documents by their words"
  printf '<!DOCTYPE html><html><head><title>Neural maps</title><style>div.code {color: red}</style>
<script>var href = "div class";</script></head><body><div class="code"><p>%s.
<a href="x.html">Neural maps</a> arrange documents.</p></div></body></html>\n' "$sentence" \
    >docs/news/2024/maps.html
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<html xmlns="http://www.w3.org/1999/xhtml">
<head><title>Sockets</title></head><body><p>network sockets send packets between processes</p></body></html>\n' \
    >docs/news/sockets.xhtml
  printf '# Keyphrase extraction\n\nKeyphrase *extraction* finds [phrases](http://x) in `text`.\n' \
    >docs/papers/keyphrases.md
  pdf docs/papers/threads.pdf "threads share memory in a process" "a process forks threads"
  pdf docs/papers/scan.pdf ""
  qpdf --encrypt secret owner 256 -- docs/papers/threads.pdf docs/papers/locked.pdf
  printf 'Le caf\xe9 na\xefve est une biblioth\xe8que o\xf9 l'"'"'on lit des livres.\n' >docs/latin1.txt
  printf 'file systems store files in directories\n' | iconv -f UTF-8 -t UTF-16 >docs/utf16.txt
  printf 'timers send signals after a delay; signals interrupt a process\n' >docs/plain.txt
  : >docs/empty.txt
  printf '<html><body><div><!-- nothing --></div></body></html>\n' >docs/markup.html
  gzip -c docs/plain.txt >docs/plain.txt.gz
  echo "hidden words" >docs/.hidden/h.txt
  echo "a blank in the folder's name" >"docs/my notes/n.txt"
  # More than the 4 MiB read of one document.
  yes "large documents are cut at a blank" | head -c 5000000 >docs/papers/large.txt
}

begin_case a_real_folder_is_read_through_its_text
documents
run "$somlabel" docs out "${map_options[@]}"
expect_status 0
expect_stderr_line "somlabel: passed over 6 of 14 files (1 binary, 3 without words, 1 with a blank in the name, 1 unreadable); cut 1; the list is in $case_dir/out/logs/text.log"
grep -a -q '^somlabel: 8 documents, 1 map, 4 units; text ' .stderr || fail "not 8 documents mapped"
for reason in "papers/locked.pdf: passed over: an encrypted PDF (it needs a password)" \
  "papers/scan.pdf: passed over: a PDF without text (a scan?)" "empty.txt: passed over: no words" \
  "markup.html: passed over: no words" "my notes: passed over: a blank in the name" \
  "plain.txt.gz: passed over: not text" "papers/large.txt: cut: only its first 4 MiB are read"; do
  grep -q -F "$case_dir/docs/$reason" out/logs/text.log || fail "text.log lacks: $reason"
done
# The text of each document, in UTF-8 and without markup; plain text is a link to itself.
[ -L out/text/plain.txt ] || fail "plain UTF-8 text was copied"
grep -q -x "Neural maps" out/text/news/2024/maps.html || fail "the page's title is not its first line"
! grep -q -E '<|href|div class|color' out/text/news/2024/maps.html || fail "markup in the page's text"
grep -q "caf$(printf '\xc3\xa9') na$(printf '\xc3\xaf')ve" out/text/latin1.txt || fail "Latin-1 not read"
grep -q "^file systems store files" out/text/utf16.txt || fail "UTF-16 not read"
grep -q "a process forks threads" out/text/papers/threads.pdf || fail "the PDF's text not read"
grep -q "^Keyphrase extraction finds phrases in text.$" out/text/papers/keyphrases.md ||
  fail "Markdown not read"
[ "$(wc -c <out/text/papers/large.txt)" -le 4194304 ] || fail "the large document was not cut"
# Key files follow the documents' folders; labels carry no markup; links go to the documents.
[ -s out/output/key/news/2024/maps.html.txt ] || fail "no key file in the document's subfolder"
! grep -a -h -E '^\$(M0_LABEL|MODE1_PHRASES|LABEL) .*(href|div class|code class|[<>])' \
  out/output/*.labelunit >/dev/null || fail "a label is markup"
grep -a -q 'href=../../docs/news/2024/maps.html>' out/output/map.unit.labelunit.html ||
  fail "the page does not link to the document itself"
/usr/bin/python3 "$tests_dir/check_pages.py" out/output >/dev/null || fail "a link of the pages leads nowhere"
[ -z "$(ls out/output/tmp_kea)" ] || fail "the extractor's folder was not emptied"
# A rerun keeps every text; a removed document's text goes and the maps are made again.
run "$somlabel" docs out
expect_figures() { grep -a '^somlabel: [0-9]* documents' .stderr | grep -q -F -e "$1" || fail "figures lack '$1'"; }
expect_figures "text kept; maps kept"
rm docs/news/sockets.xhtml
run "$somlabel" docs out
expect_status 0
[ ! -e out/text/news/sockets.xhtml ] || fail "the text of a removed document stayed"
grep -a -q '^somlabel: 7 documents, 1 map, 4 units; text [0-9.]* s (1 removed); maps [0-9]' .stderr ||
  fail "the maps were not made again without the removed document"

begin_case the_output_folder_inside_the_documents_is_left_out
mkdir docs
for i in 1 2 3 4; do echo "words of document $i about maps and labels" >"docs/d$i"; done
run "$somlabel" docs docs/out "${map_options[@]}"
expect_status 0
run "$somlabel" docs docs/out "${map_options[@]}"
grep -a -q '^somlabel: 4 documents, ' .stderr || fail "the output folder was read as documents"

begin_case a_folder_without_documents_leaves_no_output_folder
mkdir -p docs/sub && : >docs/sub/empty
run "$somlabel" docs out "${map_options[@]}"
expect_status 1
expect_stderr_line "somlabel: $case_dir/docs holds no documents"
[ ! -e out ] || fail "the output folder stayed"

begin_case a_folder_whose_documents_all_lie_in_subfolders
mkdir -p docs/a/b
for i in 1 2 3; do echo "words of document $i about maps" >"docs/a/b/d$i"; done
run "$somlabel" docs out "${map_options[@]}"
expect_status 0
grep -a -q '^somlabel: 3 documents, ' .stderr || fail "not 3 documents"

finish_suite
