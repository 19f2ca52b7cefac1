#!/usr/bin/env bash
# Runs every fuzz target built in BUILD_DIR (a build with SOMLABEL_FUZZ=ON) for
# SECONDS seconds each, starting from the project's test fixtures and the
# saved findings. Fails when any target finds a crash, a leak or a broken
# check; the input is then saved in BUILD_DIR/fuzz-findings/<target>/ and
# belongs, once fixed, in fuzz/regressions/<target>/.
#
#   fuzz/run.sh BUILD_DIR SECONDS [TARGET...]
set -u
build_dir=$(cd "$1" && pwd)
seconds=$2
shift 2
root=$(cd "$(dirname "$0")/.." && pwd)

# Seed files per target: find(1) name patterns over tests/ and examples/.
seed_patterns() {
  case "$1" in
    option_file) echo "options* process*" ;;
    keyfile_line) echo "*.key" ;;
    unit_pass) echo "*.unit" ;;
    map_keyfile) echo "*.labelunit *.unit.key" ;;
    labelweb_reader|labelsite) echo "*.labelunit" ;;
    keyphrases_tokenizer) echo "*.txt d[0-9]* *.key" ;;
    keyphrases_model) echo "*.model *model*" ;;
    convert) echo "*.html *.md *.txt" ;;
  esac
}
dictionary() {
  case "$1" in
    option_file) echo "$root/fuzz/options.dict" ;;
    unit_pass|map_keyfile|labelweb_reader|labelsite) echo "$root/fuzz/map_files.dict" ;;
  esac
}

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for binary in "$build_dir"/fuzz/*_fuzz; do
    [ -x "$binary" ] && targets+=("$(basename "$binary" _fuzz)")
  done
fi
[ ${#targets[@]} -gt 0 ] || { echo "fuzz/run.sh: no fuzz targets in $build_dir/fuzz" >&2; exit 1; }

failed=0
for target in "${targets[@]}"; do
  binary=$build_dir/fuzz/${target}_fuzz
  corpus=$build_dir/fuzz-corpus/$target
  findings=$build_dir/fuzz-findings/$target
  mkdir -p "$corpus" "$findings"
  seeds=$(mktemp -d)
  for pattern in $(seed_patterns "$target"); do
    find "$root/tests" "$root/examples" -type f -name "$pattern" -size -64k -print0 2>/dev/null |
      while IFS= read -r -d '' file; do cp "$file" "$seeds/$(echo "$file" | md5sum | cut -c1-16)"; done
  done
  [ -d "$root/fuzz/regressions/$target" ] && cp "$root/fuzz/regressions/$target"/* "$seeds/" 2>/dev/null
  if [ "$target" = keyphrases_model ] && [ -x "$build_dir/keyphrases/keyphrases" ]; then
    # A real model, once as it is (first byte even) and once to be re-summed (odd).
    "$build_dir/keyphrases/keyphrases" train -l "$root/tests/fixtures/keyphrases/corpus" \
      -m "$seeds/.model" --jobs 1 >/dev/null 2>&1 &&
      { printf '\0' | cat - "$seeds/.model" >"$seeds/model0"; printf '\1' | cat - "$seeds/.model" >"$seeds/model1"; }
    rm -f "$seeds/.model"
  fi
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536
           -print_final_stats=1 -close_fd_mask=3 -artifact_prefix="$findings/")
  dict=$(dictionary "$target")
  [ -n "$dict" ] && options+=(-dict="$dict")
  log=$build_dir/fuzz-findings/$target.log
  # The fixtures seed the first run; later runs go on from the corpus they grew.
  (cd "$findings" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
     "$binary" "${options[@]}" "$corpus" "$seeds") >"$log" 2>&1
  status=$?
  rm -rf "$seeds"
  runs=$(grep -a 'stat::number_of_executed_units' "$log" | awk '{print $2}')
  rate=$(grep -a 'stat::average_exec_per_sec' "$log" | awk '{print $2}')
  if [ "$status" -eq 0 ]; then
    printf '%-22s %6ss  %10s runs  %7s runs/s  ok\n' "$target" "$seconds" "${runs:-?}" "${rate:-?}"
  else
    printf '%-22s %6ss  FINDING (exit %s), see %s\n' "$target" "$seconds" "$status" "$log"
    grep -a -m5 -e 'ERROR' -e 'fuzz check failed' -e 'runtime error' "$log"
    failed=1
  fi
done
exit "$failed"
