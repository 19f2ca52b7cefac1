#!/usr/bin/env bash
# Runs headless Chromium once with a fresh profile, for the browser test and
# `make screenshot`:  demo/headless.sh --dump-dom FILE | --screenshot=PNG FILE ...
# Chromium's own chatter on standard error is dropped unless it fails.
set -euo pipefail
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
  echo "demo/headless.sh: chromium is not installed (scripts/setup installs it)" >&2
  exit 127
fi
profile=$(mktemp -d)
log=$(mktemp)
trap 'rm -rf "$profile" "$log"' EXIT
status=0
timeout 120 "$browser" --headless --no-sandbox --disable-gpu --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$profile" "$@" 2>"$log" || status=$?
if [ "$status" -ne 0 ]; then
  echo "demo/headless.sh: chromium failed with status $status:" >&2
  tail -n 5 "$log" >&2
fi
exit "$status"
