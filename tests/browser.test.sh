#!/usr/bin/env bash
# Browser test: the demo chain on a few dozen manual pages, then headless
# Chromium, driven through its WebDriver, walks the map pages and the site
# (its map view, searches by name and by text) from the file system, and a
# site made from hostile names, labels and texts (tests/browser_site.py says
# how); screenshots are taken, and tests/check_pages.py parses every page.
# Needs chromium, chromium-driver and python3-selenium (scripts/setup
# installs them); without them the test fails, naming what is missing.
#   bash tests/browser.test.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: browser.test.sh BUILD_DIR}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
fail() { echo "FAIL: browser test: $*" >&2; exit 1; }

missing=()
command -v chromium >/dev/null 2>&1 || missing+=(chromium)
[ -x /usr/bin/chromedriver ] || missing+=(chromium-driver)
/usr/bin/python3 -c 'import selenium' 2>/dev/null || missing+=(python3-selenium)
/usr/bin/python3 -c 'import html5lib' 2>/dev/null || missing+=(python3-html5lib)
/usr/bin/python3 -c 'import snowballstemmer' 2>/dev/null || missing+=(python3-snowballstemmer)
[ ${#missing[@]} -eq 0 ] || fail "missing ${missing[*]}; run scripts/setup (as root) to install them"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 36 pages spread over sections 2 and 3; a 3 x 2 top map whose crowded units
# get 2 x 2 sub-maps, so there are links down and up to follow.
"$root/demo/run.sh" "$build" --out "$work/demo" --pages 36 -- \
  --xdim 3 --ydim 2 --sub-xdim 2 --sub-ydim 2 --expand 5 >"$work/demo.out" 2>"$work/demo.err" \
  || { cat "$work/demo.err" >&2; fail "demo/run.sh failed"; }
pages=$work/demo/output
top=$pages/$(tail -n 1 "$work/demo/process.web").html
grep -q "^Top map page: $top\$" "$work/demo.out" || fail "demo/run.sh did not name the top page $top"
[ "$(ls "$pages"/*.labelunit.html | wc -l)" -ge 2 ] || fail "only one map: nothing to follow"

# The hostile case's names, labels and texts, as a site of their own.
cp -r "$root/tests/cases/labelsite_hostile/input" "$work/hostile"
(cd "$work/hostile" && "$build/labelweb/labelweb" process.web options >/dev/null &&
  "$build/labelsite/labelsite" process.web options >/dev/null) || fail "no hostile site"

/usr/bin/python3 "$root/tests/browser_site.py" "$work/demo" "$work/hostile/output" || fail "(above)"

"$root/demo/screenshot.py" "$work/shots" "$work/demo" >"$work/shots.out" || fail "no screenshots"
for png in "$work"/shots/*.png; do
  [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$png is not a PNG"
  [ "$(stat -c %s "$png")" -gt 10000 ] || fail "$png is too small to show a page"
done

/usr/bin/python3 "$root/tests/check_pages.py" "$pages" >"$work/check.out" \
  || { cat "$work/check.out" >&2; fail "tests/check_pages.py found problems"; }
echo "browser test: map pages, search and indexes followed in chromium; $(tail -n 1 "$work/check.out")"
