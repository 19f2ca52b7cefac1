# Helpers for the bad-input suites (tests/badinput_<tool>.test.sh BUILD_DIR).
#
# Each case runs in a fresh folder: begin_case NAME, write the inputs, `run`
# a tool (found on PATH under its own name, so messages show the bare name),
# then state what the user must see: expect_status, expect_stderr (exact,
# from a here-document), expect_stdout (exact, time lines dropped),
# expect_file (exact bytes). Every run also checks that the tool neither
# crashed nor hung nor tripped a sanitizer or Valgrind. With VALGRIND set (a
# valgrind command line) the tools run under it.
set -u

build_dir=$(cd "$1" && pwd)
tests_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
suite_work=$(mktemp -d)
trap 'rm -rf "$suite_work"' EXIT
cases=0
failures=0
known_faults=0
case_name=

tool_bin=$suite_work/.bin
real_bin=$suite_work/.real-bin
mkdir -p "$tool_bin" "$real_bin"
for tool in labelcalc labelweb labelsite keyphrases somtrain; do
  for candidate in "$build_dir/$tool/$tool" "$build_dir/$tool"; do
    if [ -f "$candidate" ] && [ -x "$candidate" ]; then
      if [ -n "${VALGRIND:-}" ]; then
        ln -s "$candidate" "$real_bin/$tool"
        printf '#!/bin/sh\nPATH="%s:$PATH" exec %s %s "$@"\n' "$real_bin" "$VALGRIND" "$tool" \
          >"$tool_bin/$tool"
        chmod +x "$tool_bin/$tool"
      else
        ln -s "$candidate" "$tool_bin/$tool"
      fi
      break
    fi
  done
done
export PATH="$tool_bin:$PATH"

have_tool() { [ -e "$tool_bin/$1" ]; }

# Marks the case failed; works in pipelines too (`... | expect_file NAME`),
# which run the expectation in a subshell.
fail() {
  if [ -e "$case_dir/.known" ]; then echo "  known fault [$case_name] $*"; else echo "  FAIL [$case_name] $*"; fi
  : >"$case_dir/.failed"
}

# known_fault "WHAT": the case states the sound behaviour of a fault in a
# file whose owner has not fixed it yet. Its failure is reported but does not
# fail the suite; once it passes, the suite fails until the mark is removed.
known_fault() {
  printf '%s\n' "$1" >"$case_dir/.known"
}

finish_case() {
  if [ -n "$case_name" ] && [ -e "$case_dir/.known" ]; then
    cases=$((cases + 1))
    if [ -e "$case_dir/.failed" ]; then
      known_faults=$((known_faults + 1))
      echo "  KNOWN FAULT [$case_name]: $(cat "$case_dir/.known")"
    else
      failures=$((failures + 1))
      echo "  FAIL [$case_name] passes now: remove its known_fault mark"
    fi
  elif [ -n "$case_name" ]; then
    cases=$((cases + 1))
    if [ -e "$case_dir/.failed" ]; then
      failures=$((failures + 1))
      echo "  stderr was:"; head -c 2000 "$case_dir/.stderr" 2>/dev/null | sed 's/^/    /'
    fi
  fi
  case_name=
}

begin_case() {
  finish_case
  case_name=$1
  case_dir=$suite_work/$1
  mkdir -p "$case_dir"
  cd "$case_dir" || exit 1
  echo "case $1"
}

# run COMMAND...: runs it with stdout and stderr captured; sets $status. A
# run that has not ended after 20 minutes counts as a hang of our own (the
# guard only stops a broken run; no case depends on how long a tool takes).
run() {
  status=0
  timeout -k 10 1200 "$@" >"$case_dir/.stdout" 2>"$case_dir/.stderr" || status=$?
  if [ "$status" = 124 ] || [ "$status" = 137 ]; then fail "hang: $* did not end"; fi
  if [ "$status" = 99 ]; then fail "Valgrind reported an error"; fi
  if [ "$status" -ge 128 ]; then fail "crash: $* ended by signal $((status - 128))"; fi
  if grep -a -q -e 'Sanitizer' -e 'runtime error:' -e '^==[0-9]*==' "$case_dir/.stderr"; then
    fail "a sanitizer or Valgrind reported a fault"
  fi
}

expect_status() {
  [ "$status" = "$1" ] || fail "exit status $status, expected $1"
}

# expect_stderr <<'EOF' ... EOF: the whole standard error, byte for byte.
expect_stderr() {
  local expected
  expected=$(cat; printf x)
  expected=${expected%x}
  if ! cmp -s <(printf '%s' "$expected") "$case_dir/.stderr"; then
    fail "standard error differs:"
    diff <(printf '%s' "$expected") "$case_dir/.stderr" | head -20 | sed 's/^/    /'
  fi
}

# expect_stdout <<'EOF' ... EOF: standard output without the two time lines.
expect_stdout() {
  local expected
  expected=$(cat; printf x)
  expected=${expected%x}
  local actual
  actual=$(grep -av -e '^Start time : ' -e '^Ending time: ' "$case_dir/.stdout"; printf x)
  actual=${actual%x}
  if [ "$expected" != "$actual" ]; then
    fail "standard output differs:"
    diff <(printf '%s' "$expected") <(printf '%s' "$actual") | head -20 | sed 's/^/    /'
  fi
}

expect_stderr_line() {
  grep -a -q -x -F -e "$1" "$case_dir/.stderr" || fail "no line '$1' on standard error"
}

# expect_file NAME <<'EOF' ... EOF: the file holds exactly these bytes.
expect_file() {
  local expected
  expected=$(cat; printf x)
  expected=${expected%x}
  if [ ! -f "$1" ]; then fail "missing file $1"; return; fi
  if ! cmp -s <(printf '%s' "$expected") "$1"; then
    fail "$1 differs:"
    diff <(printf '%s' "$expected") "$1" | head -20 | sed 's/^/    /'
  fi
}

expect_same_file() {
  cmp -s "$1" "$2" || fail "$2 is not the same as $1"
}

expect_missing() {
  [ ! -e "$1" ] || fail "$1 exists, but must not"
}

finish_suite() {
  finish_case
  echo "$cases cases, $failures failed, $known_faults known faults"
  [ "$failures" = 0 ]
}
