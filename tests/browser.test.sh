#!/usr/bin/env bash
# Browser test: the demo chain on a few dozen manual pages, then headless
# Chromium opens the top page from the file system, takes a screenshot,
# follows a "down" link to a sub-map page and its "One Level Up" link back,
# and every page must show a table and link only to files that exist.
#   bash tests/browser.test.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: browser.test.sh BUILD_DIR}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
headless=$root/demo/headless.sh
check_dom=$root/tests/browser_dom.py

if ! command -v chromium >/dev/null 2>&1 && ! command -v chromium-browser >/dev/null 2>&1; then
  echo "SKIP: browser test: chromium is not installed and could not be (scripts/setup installs Debian's chromium)"
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: browser test: $*" >&2; exit 1; }

# 36 pages spread over sections 2 and 3; a 3 x 2 top map whose crowded units
# get 2 x 2 sub-maps, so there are links down and up to follow.
"$root/demo/run.sh" "$build" --out "$work/demo" --pages 36 -- \
  --xdim 3 --ydim 2 --sub-xdim 2 --sub-ydim 2 --expand 5 >"$work/demo.out" 2>"$work/demo.err" \
  || { cat "$work/demo.err" >&2; fail "demo/run.sh failed"; }
pages=$work/demo/output
top=$pages/$(tail -n 1 "$work/demo/process.web").html
grep -q "^Top map page: $top\$" "$work/demo.out" || fail "demo/run.sh did not name the top page $top"

# dom PAGE: Chromium's DOM of the page checked; prints its down and up links.
dom() {
  "$headless" --dump-dom "file://$1" >"$work/dom.html" || fail "chromium could not open $1"
  /usr/bin/python3 "$check_dom" "$1" "$work/dom.html" || fail "$(basename "$1") (above)"
}

"$headless" --hide-scrollbars --window-size=1200,900 --screenshot="$work/top.png" "file://$top" \
  || fail "no screenshot of the top page"
[ "$(head -c 8 "$work/top.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "the screenshot is not a PNG"
[ "$(stat -c %s "$work/top.png")" -gt 10000 ] || fail "the screenshot is too small to show a map"

links=$(dom "$top")
down=$(printf '%s\n' "$links" | awk '$1 == "down" { print $2; exit }')
[ -n "$down" ] || fail "the top page has no link down to a sub-map"
printf '%s\n' "$links" | grep -q '^up ' && fail "the top page links one level up"
links=$(dom "$pages/$down")
up=$(printf '%s\n' "$links" | awk '$1 == "up" { print $2; exit }')
[ "$up" = "$(basename "$top")" ] || fail "$down links up to '$up', not to $(basename "$top")"
dom "$pages/$up" >/dev/null

count=0
for page in "$pages"/*.html; do
  dom "$page" >/dev/null
  count=$((count + 1))
done
maps=$(wc -l <"$work/demo/process.web")
[ "$count" -eq "$maps" ] || fail "$count pages for $maps maps"
[ "$maps" -ge 2 ] || fail "only one map: nothing to follow"
# The page checker of the labelweb tests parses the same pages with html5lib.
if [ -f "$root/tests/check_pages.py" ]; then
  /usr/bin/python3 "$root/tests/check_pages.py" "$pages" >"$work/check.out" \
    || { cat "$work/check.out" >&2; fail "tests/check_pages.py found problems"; }
fi
echo "browser test: $count pages shown by chromium, down and up links followed"
