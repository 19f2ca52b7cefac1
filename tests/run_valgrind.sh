#!/usr/bin/env bash
# The test suite under Valgrind's memcheck (`make test-valgrind`):
#   tests/run_valgrind.sh BUILD_DIR "VALGRIND COMMAND LINE"
# Unit-test binaries and fuzz replay binaries run whole under valgrind; the
# end-to-end cases and shell suites start each tool through it (VALGRIND).
# Any memcheck error or definite/indirect leak fails the run (exit 99 inside).
set -u
build_dir=$(cd "$1" && pwd)
valgrind_cmd=$2
root=$(cd "$(dirname "$0")/.." && pwd)
failed=0
start=$(date +%s)

for binary in "$build_dir"/tests/*_tests; do
  [ -x "$binary" ] || continue
  if (cd "$build_dir/tests" && $valgrind_cmd "$binary" --gtest_brief=1 >"$binary.valgrind.log" 2>&1); then
    echo "valgrind ok      $(basename "$binary")"
  else
    echo "valgrind FAILED  $(basename "$binary") (see $binary.valgrind.log)"; failed=1
  fi
done
for binary in "$build_dir"/fuzz/*_replay; do
  [ -x "$binary" ] || continue
  name=$(basename "$binary" _replay)
  [ -d "$root/fuzz/regressions/$name" ] || continue
  if $valgrind_cmd "$binary" "$root/fuzz/regressions/$name" >"$binary.valgrind.log" 2>&1; then
    echo "valgrind ok      $(basename "$binary")"
  else
    echo "valgrind FAILED  $(basename "$binary") (see $binary.valgrind.log)"; failed=1
  fi
done
(cd "$build_dir" && VALGRIND="$valgrind_cmd" ctest --output-on-failure -j "$(nproc)" -R '^(case|shell)\.') ||
  failed=1
echo "valgrind run took $(( $(date +%s) - start )) s"
exit "$failed"
