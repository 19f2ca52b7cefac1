#!/usr/bin/env bash
# Runs one end-to-end case folder and compares what it leaves byte for byte.
#
# A case folder holds:
#   cmd       shell commands, run with bash in a fresh copy of input/ (the tools are on PATH
#             under their own names, so the banner shows "labelcalc", not a build path;
#             $TESTS is the tests folder, for the test extractors)
#   input/    the files the command starts from (optional)
#   expected/ every file listed here must exist afterwards with exactly these bytes (optional)
#   stdout, stderr   expected streams, the two time lines removed (optional; absent = not checked)
#   status    expected exit status of cmd (default 0)
# VALGRIND in the environment (a valgrind command line) runs every tool under it.
set -u
case_dir=$(cd "$1" && pwd)
build_dir=$(cd "$2" && pwd)
tests_dir=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bin=$work/.bin
mkdir -p "$bin" "$work/run"
# With VALGRIND set (a valgrind command line, see `make test-valgrind`) each
# tool starts under it; valgrind finds the tool on PATH, so the banner still
# shows the bare name.
real_bin=$work/.real-bin
mkdir -p "$real_bin"
for tool in labelcalc labelweb labelsite keyphrases somtrain; do
  for candidate in "$build_dir/$tool/$tool" "$build_dir/$tool"; do
    if [ -f "$candidate" ] && [ -x "$candidate" ]; then
      if [ -n "${VALGRIND:-}" ]; then
        ln -s "$candidate" "$real_bin/$tool"
        printf '#!/bin/sh\nPATH="%s:$PATH" exec %s %s "$@"\n' "$real_bin" "$VALGRIND" "$tool" >"$bin/$tool"
        chmod +x "$bin/$tool"
      else
        ln -s "$candidate" "$bin/$tool"
      fi
      break
    fi
  done
done
[ -d "$case_dir/input" ] && cp -a "$case_dir/input/." "$work/run/"

status=0
(cd "$work/run" && PATH="$bin:$PATH" TESTS="$tests_dir" bash "$case_dir/cmd") \
  >"$work/stdout" 2>"$work/stderr" || status=$?

failed=0
expected_status=0
[ -f "$case_dir/status" ] && expected_status=$(cat "$case_dir/status")
if [ "$status" != "$expected_status" ]; then
  echo "exit status $status, expected $expected_status"; failed=1
fi
drop_time_lines() { grep -av -e '^Start time : ' -e '^Ending time: ' "$1" || true; }
for stream in stdout stderr; do
  if [ -f "$case_dir/$stream" ]; then
    if ! cmp -s <(drop_time_lines "$work/$stream") "$case_dir/$stream"; then
      echo "--- $stream differs:"; diff <(drop_time_lines "$work/$stream") "$case_dir/$stream" | head -40
      failed=1
    fi
  fi
done
if [ -d "$case_dir/expected" ]; then
  while IFS= read -r -d '' file; do
    rel=${file#"$case_dir/expected/"}
    if [ ! -f "$work/run/$rel" ]; then
      echo "--- missing output file: $rel"; failed=1
    elif ! cmp -s "$file" "$work/run/$rel"; then
      echo "--- $rel differs:"; diff "$work/run/$rel" "$file" | head -40; failed=1
    fi
  done < <(find "$case_dir/expected" -type f -print0)
fi
if [ "$failed" != 0 ]; then
  echo "stderr was:"; head -20 "$work/stderr"
fi
exit "$failed"
