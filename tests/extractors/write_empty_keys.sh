#!/bin/sh
# Test extractor that writes an empty key file for every text file.
dir=
while [ $# -gt 0 ]; do
  case $1 in
    -l) dir=$2; shift 2 ;;
    *) shift ;;
  esac
done
for text in "${dir%/}"/*.txt; do
  [ -f "$text" ] || continue
  : >"${text%.txt}.key"
done
