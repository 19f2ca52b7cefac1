#!/usr/bin/env bash
# make screenshot: a picture of the demo's top map page.
#   demo/screenshot.sh PAGE PNG
set -euo pipefail
page=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
png=$2
[ -f "$page" ] || { echo "demo/screenshot.sh: $page is missing; run make demo" >&2; exit 1; }
mkdir -p "$(dirname "$png")"
png=$(cd "$(dirname "$png")" && pwd)/$(basename "$png")
rm -f "$png"
"$(dirname "$0")/headless.sh" --hide-scrollbars --window-size=1600,2200 --screenshot="$png" "file://$page"
[ -s "$png" ] || { echo "demo/screenshot.sh: chromium wrote no picture to $png" >&2; exit 1; }
echo "$png"
