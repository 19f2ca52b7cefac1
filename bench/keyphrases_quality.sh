#!/usr/bin/env bash
# Quality and speed of the keyphrase extractor on the shared benchmark sets.
#
#   bash bench/keyphrases_quality.sh [BUILD_DIR]      (default: build-kp)
#
# Quality: F1@5/10/15 (micro, stemmed exact match) on inspec and nus, in these modes:
#   unsupervised  model trained on the set's texts alone (no gold files)
#   sup.(OTHER)   model trained on the OTHER set's texts with their gold keys, plus
#                 the scored set's texts without keys (for document frequencies)
#   half,RANKER   gold of one half of the set, scored on the other half, with
#                 --ranker prior (default) and --ranker full; half,none is the
#                 unsupervised model on the same half
# Speed: docs mode throughput (1 thread and all cores), peak memory for 1x and 3x
# the documents, model load time (process start included) for a 10,000-document model.
# Reads the data from ../shared/keyphrase-data; never copies it into the project.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build-kp}
KP=$BUILD/keyphrases/keyphrases
DATA=${KEYPHRASE_DATA:-$ROOT/../shared/keyphrase-data}
SCORE="/usr/bin/python3 $DATA/score.py"
[ -x "$KP" ] || { echo "bench: build $KP first" >&2; exit 1; }
[ -d "$DATA/nus" ] || { echo "bench: no data in $DATA" >&2; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# copy_texts SET DEST PREFIX [with-gold]
copy_texts() {
  mkdir -p "$2"
  for f in "$DATA/$1"/docs/*.txt; do
    id=$(basename "$f" .txt)
    cp "$f" "$2/$3$id.txt"
    if [ "${4:-}" = with-gold ]; then cp "$DATA/$1/gold/$id.key" "$2/$3$id.key"; fi
  done
}

# f1_line PRED_DIR DATASET_DIR -> "F1@5 F1@10 F1@15" in percent
f1_line() {
  $SCORE "$1" "$2" | awk '/^@(5|10|15) / { printf "%5.1f ", 100 * $4 }'
}

# predict MODEL SET OUT: key files <id>.key for the set's texts in OUT
predict() {
  mkdir -p "$WORK/in-$2" "$3"
  [ -n "$(ls "$WORK/in-$2")" ] || copy_texts "$2" "$WORK/in-$2" ""
  "$KP" docs --source "$WORK/in-$2" --keys "$3" --ending "" -m "$1" -n 15 2>/dev/null
  for f in "$3"/*.txt; do mv "$f" "${f%.txt}.key"; done
}

other() { [ "$1" = nus ] && echo inspec || echo nus; }

echo "quality: F1 (micro, %) at 5 / 10 / 15"
printf "%-8s %-13s %s\n" set mode "  @5    @10   @15"
for set in inspec nus; do
  copy_texts "$set" "$WORK/u-$set" ""
  "$KP" train -l "$WORK/u-$set" -m "$WORK/u-$set.model"
  predict "$WORK/u-$set.model" "$set" "$WORK/pred-u-$set"
  printf "%-8s %-13s %s\n" "$set" unsupervised "$(f1_line "$WORK/pred-u-$set" "$DATA/$set")"

  train=$(other "$set")
  copy_texts "$train" "$WORK/s-$set" "train-" with-gold
  copy_texts "$set" "$WORK/s-$set" "test-" ""
  "$KP" train -l "$WORK/s-$set" -m "$WORK/s-$set.model"
  predict "$WORK/s-$set.model" "$set" "$WORK/pred-s-$set"
  printf "%-8s %-13s %s\n" "$set" "sup.($train)" "$(f1_line "$WORK/pred-s-$set" "$DATA/$set")"
done

# In-domain: gold of the odd-numbered half of a set, scored on the other half,
# with the default ranker and with --ranker full.
for set in inspec nus; do
  half=$WORK/half-$set
  mkdir -p "$half/train" "$half/data/docs" "$half/data/gold"
  i=0
  for f in "$DATA/$set"/docs/*.txt; do
    id=$(basename "$f" .txt)
    i=$((i + 1))
    cp "$f" "$half/train/"
    if [ $((i % 2)) = 1 ]; then
      cp "$DATA/$set/gold/$id.key" "$half/train/"
    else
      cp "$f" "$half/data/docs/"
      cp "$DATA/$set/gold/$id.key" "$half/data/gold/"
    fi
  done
  mkdir -p "$half/texts"
  cp "$half/train"/*.txt "$half/texts/"
  "$KP" train -l "$half/texts" -m "$half/none.model"
  for ranker in none prior full; do
    [ "$ranker" = none ] || "$KP" train -l "$half/train" -m "$half/$ranker.model" --ranker "$ranker"
    "$KP" docs --source "$half/data/docs" --keys "$half/pred-$ranker" --ending "" -m "$half/$ranker.model" -n 15 2>/dev/null
    for f in "$half/pred-$ranker"/*.txt; do mv "$f" "${f%.txt}.key"; done
    label="half,$ranker"
    printf "%-8s %-13s %s\n" "$set" "$label" "$(f1_line "$half/pred-$ranker" "$half/data")"
  done
done
echo "(half,RANKER: trained on the gold of half the set, scored on the other half; F1 on that half only;"
echo " half,none: the same half scored by an unsupervised model, for comparison)"
echo "baseline tf-idf: inspec 11.1 15.9 16.7, nus 15.6 18.7 20.2"

echo
echo "speed: docs mode on nus + inspec texts (repeated 3 times)"
mkdir -p "$WORK/corpus"
for r in 1 2 3; do
  for set in nus inspec; do
    for f in "$DATA/$set"/docs/*.txt; do cp "$f" "$WORK/corpus/$r-$set-$(basename "$f")"; done
  done
done
bytes=$(cat "$WORK"/corpus/* | wc -c)
docs=$(ls "$WORK/corpus" | wc -l)
# Wall time suffers when other work shares the machine, so CPU times are shown
# too. MB per user-CPU second is the extraction's per-core throughput; system
# time is mostly the file system creating one key file per document (on a busy
# ext4 an openat(O_CREAT) was seen to take 0.4 ms).
for jobs in 1 $(nproc); do
  rm -rf "$WORK/keys"
  /usr/bin/time -f "%e %U %S" -o "$WORK/time" \
    "$KP" docs --source "$WORK/corpus" --keys "$WORK/keys" -m "$WORK/u-nus.model" -n 15 --jobs "$jobs"
  read -r wall user sys < "$WORK/time"
  awk -v b="$bytes" -v d="$docs" -v w="$wall" -v u="$user" -v s="$sys" -v j="$jobs" 'BEGIN {
    printf "  jobs %d: %d docs, %.1f MB: %.2f s wall (%.0f docs/s, %.1f MB/s); CPU %.2f s user + %.2f s system;",
      j, d, b / 1e6, w, d / w, b / 1e6 / w, u, s
    printf " %.1f MB per user-CPU second\n", b / 1e6 / (u > 0 ? u : 0.01) }'
done

echo "memory: peak RSS of docs mode, 1 thread, 1x vs 3x documents"
mkdir -p "$WORK/corpus1"
cp "$WORK"/corpus/1-* "$WORK/corpus1/"
for dir in corpus1 corpus; do
  rm -rf "$WORK/keys"
  /usr/bin/time -f "%M" -o "$WORK/rss" "$KP" docs --source "$WORK/$dir" --keys "$WORK/keys" \
    -m "$WORK/u-nus.model" -n 15 --jobs 1
  echo "  $(ls "$WORK/$dir" | wc -l) docs: $(cat "$WORK/rss") KB"
done

echo "model load: 10,000-document model, extract on an empty directory (process start included)"
mkdir -p "$WORK/big" "$WORK/empty"
# 10,000 documents of 40 lines each, cut from the corpus at different offsets.
cat "$WORK"/corpus/1-* > "$WORK/all.txt"
lines=$(wc -l < "$WORK/all.txt")
awk -v n="$lines" -v dir="$WORK/big" 'BEGIN { srand(7) }
  { line[NR] = $0 }
  END { for (d = 0; d < 10000; d++) { s = int(rand() * (n - 40)); f = dir "/" d ".txt";
        for (i = 1; i <= 40; i++) print line[s + i] > f; close(f) } }' "$WORK/all.txt"
"$KP" train -l "$WORK/big" -m "$WORK/big.model"
echo "  model size: $(( $(stat -c %s "$WORK/big.model") / 1024 )) KB"
runs=50
start=$(date +%s.%N)
for _ in $(seq $runs); do "$KP" -l "$WORK/empty" -m "$WORK/big.model" -n 10 -a; done
end=$(date +%s.%N)
awk -v s="$start" -v e="$end" -v r="$runs" 'BEGIN { printf "  %.1f ms per run (mean of %d)\n", (e - s) * 1000 / r, r }'
