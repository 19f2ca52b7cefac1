#!/bin/sh
# Test extractor. For every X.txt in the -l directory that has no X.key yet
# (the Java extractor skips those too), writes X.key with two lines a test
# can predict: X itself, and the size of X.txt in bytes.
dir=
while [ $# -gt 0 ]; do
  case $1 in
    -l) dir=$2; shift 2 ;;
    *) shift ;;
  esac
done
for text in "${dir%/}"/*.txt; do
  [ -f "$text" ] || continue
  key=${text%.txt}.key
  [ -e "$key" ] && continue
  name=${text##*/}
  name=${name%.txt}
  size=$(wc -c <"$text")
  printf '%s\t%s\t1.0\nsize %d\tsize %d\t0.5\n' "$name" "$name" "$size" "$size" >"$key"
done
exit 0
