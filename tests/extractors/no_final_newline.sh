#!/bin/sh
# Test extractor whose key files end without a newline after the last line.
dir=
while [ $# -gt 0 ]; do
  case $1 in
    -l) dir=$2; shift 2 ;;
    *) shift ;;
  esac
done
for text in "${dir%/}"/*.txt; do
  [ -f "$text" ] || continue
  printf 'alpha\talpha\t0.9\nbeta\tbeta\t0.4' >"${text%.txt}.key"
done
