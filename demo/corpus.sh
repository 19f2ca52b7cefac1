#!/usr/bin/env bash
# Renders manual pages of Debian's manpages-dev package (sections 2 and 3) to
# plain text, one document per page, named after the page ("socket.2").
#
#   demo/corpus.sh OUTDIR [MAX]
#
# Pages that only point to another page (".so" links, or symbolic links) are
# passed over. With MAX, at most MAX pages are taken, spread evenly over the
# sorted list so that every kind of page is represented. Prints the number of
# documents written.
set -euo pipefail
out=${1:?usage: demo/corpus.sh OUTDIR [MAX]}
max=${2:-0}
mkdir -p "$out"

pages=$(mktemp)
trap 'rm -f "$pages"' EXIT
# Regular files only: the package ships most aliases as symbolic links.
dpkg -L manpages-dev | grep -E '^/usr/share/man/man[23]/[^/]+\.gz$' | sort | while IFS= read -r page; do
  if [ -f "$page" ] && [ ! -L "$page" ]; then printf '%s\n' "$page"; fi
done >"$pages"
total=$(wc -l <"$pages")
if [ "$total" -eq 0 ]; then
  echo "demo/corpus.sh: no pages of manpages-dev found; run scripts/setup" >&2
  exit 1
fi
if [ "$max" -gt 0 ] && [ "$max" -lt "$total" ]; then
  awk -v total="$total" -v max="$max" 'int((NR - 1) * max / total) != int(NR * max / total)' "$pages" >"$pages.pick"
  mv "$pages.pick" "$pages"
fi

# One groff run per page: tables (-t), no hyphenation, long lines, no
# overstriking or escape sequences, so words come out whole. Many pages turn
# hyphenation back on themselves (.hy), so the request is removed first.
render() {
  local out=$1; shift
  local page name
  for page in "$@"; do
    name=$(basename "$page" .gz)
    if zcat "$page" | grep -v -e '^\.\\"' -e "^'\\\\\"" | grep -m1 -v '^[[:space:]]*$' | grep -q '^\.so '; then
      continue
    fi
    { printf '.hy 0\n.rm hy\n'; zcat "$page"; } |
      groff -t -man -Tutf8 -rHY=0 -rLL=100n -P-cbu 2>/dev/null | drop_header_footer >"$out/$name" ||
      rm -f "$out/$name"
  done
}
# The first and last lines that hold text are the page's running head and
# foot ("socket(2)  System Calls Manual  socket(2)"), the same on every page;
# section headings (NAME, SYNOPSIS, SEE ALSO) stand alone at the left margin.
drop_header_footer() {
  awk '{ line[NR] = $0 }
       END {
         first = 1; while (first <= NR && line[first] ~ /^[[:space:]]*$/) first++
         last = NR; while (last > 0 && line[last] ~ /^[[:space:]]*$/) last--
         for (i = first + 1; i < last; i++) if (line[i] !~ /^[A-Z][A-Z ]*$/) print line[i]
       }'
}
export -f render drop_header_footer
xargs -d '\n' -n 25 -P "$(nproc)" bash -c 'render "$@"' _ "$out" <"$pages"
find "$out" -maxdepth 1 -type f -size +0 | wc -l
