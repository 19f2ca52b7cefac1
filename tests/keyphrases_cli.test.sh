#!/usr/bin/env bash
# Command-line behaviour of keyphrases: key-file format, overwrite, empty and
# binary documents, errors and exit codes, docs mode with several threads.
#   bash tests/keyphrases_cli.test.sh BUILD_DIR
set -eu

BUILD=$(cd "$1" && pwd)
KP=$BUILD/keyphrases/keyphrases
FIXTURES=$(cd "$(dirname "$0")/fixtures/keyphrases" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

passed=0
failed=0
check() {  # check NAME COMMAND...: passes when the command succeeds
  local name=$1
  shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $name" >&2; fi
}
exit_code() {  # exit_code EXPECTED COMMAND...: runs it with output to out/err
  local expected=$1 code=0
  shift
  "$@" >out 2>err || code=$?
  [ "$code" = "$expected" ] || { echo "  exit $code, wanted $expected; stderr: $(cat err)" >&2; return 1; }
}
contains() { grep -qF -- "$2" "$1" || { echo "  '$2' not in $1: $(cat "$1")" >&2; return 1; }; }

# Every line "phrase<TAB>stem<TAB>0.dddddd" with a score in (0, 1], best first, newline-terminated.
detailed_format() {
  local file=$1
  [ ! -s "$file" ] || [ "$(tail -c 1 "$file" | od -An -c | tr -d ' ')" = '\n' ] || return 1
  awk -F'\t' 'NF != 3 || $3 !~ /^[01]\.[0-9][0-9][0-9][0-9][0-9][0-9]$/ || $3 + 0 <= 0 || $3 + 0 > 1 { bad = 1 }
    $2 ~ /  / || $2 ~ /^ / || $2 ~ / $/ || $2 != tolower($2) { bad = 1 }
    NR > 1 && $3 + 0 > prev + 0 { bad = 1 } { prev = $3 } END { exit bad }' "$file"
}

cp -r "$FIXTURES/corpus" train
check "train" exit_code 0 "$KP" train -l train -m model.bin
check "train writes a model" test -s model.bin

# extract: X.key beside X.txt, N lines, -a format
mkdir docs
cp train/*.txt docs/
printf '' > docs/empty.txt
head -c 3000 /dev/urandom > docs/binary.txt
printf 'nul\0bytes\377and\376invalid \303 utf-8 words words\n' > docs/broken.txt
printf 'stale line\nanother\nthird\n' > docs/maps.key
check "extract -a" exit_code 0 "$KP" -l docs -m model.bin -n 5 -a
for f in docs/*.txt; do
  check "key file for $f" test -f "${f%.txt}.key"
  check "format of ${f%.txt}.key" detailed_format "${f%.txt}.key"
done
check "at most N lines" test "$(wc -l < docs/kernels.key)" -eq 5
check "empty document, empty key file" test ! -s docs/empty.key
check "existing key file overwritten" test "$(grep -c 'stale line' docs/maps.key)" -eq 0
check "best phrase first" test "$(head -n 1 docs/maps.key | cut -f 3)" = "1.000000"
check "stemmed form" contains docs/kernels.key $'\tstring kernel\t'

# without -a: the phrase alone; "extract" spelled out works the same
check "extract without -a" exit_code 0 "$KP" extract -l docs -m model.bin -n 3
check "plain lines" awk -F'\t' 'NF != 1 { exit 1 }' docs/kernels.key
check "plain lines count" test "$(wc -l < docs/kernels.key)" -eq 3

# errors
check "missing directory" exit_code 1 "$KP" -l nowhere -m model.bin -n 5 -a
check "missing directory message" contains err "keyphrases: cannot read directory nowhere: No such file or directory"
check "missing model" exit_code 1 "$KP" -l docs -m absent.bin -n 5
check "missing model message" contains err "keyphrases: cannot open model absent.bin: No such file or directory"
head -c 100 model.bin > truncated.bin
check "truncated model" exit_code 1 "$KP" -l docs -m truncated.bin -n 5
check "truncated model message" contains err "truncated.bin: not a usable model file"
cp model.bin damaged.bin
printf 'Z' | dd of=damaged.bin bs=1 seek=200 conv=notrunc status=none
check "damaged model" exit_code 1 "$KP" -l docs -m damaged.bin -n 5
check "damaged model message" contains err "checksum"
cp model.bin version.bin
printf '\011' | dd of=version.bin bs=1 seek=8 conv=notrunc status=none
check "wrong version" exit_code 1 "$KP" -l docs -m version.bin -n 5
check "wrong version message" contains err "model format version 9"
check "model for another language" exit_code 1 "$KP" -l docs -m model.bin -n 5 --language german
check "no -m" exit_code 2 "$KP" -l docs -n 5
check "bad -n" exit_code 2 "$KP" -l docs -m model.bin -n five
check "unknown option" exit_code 2 "$KP" -l docs -m model.bin -n 5 --frobnicate
check "unknown language" exit_code 2 "$KP" train -l train -m x.bin --language klingon
check "no arguments" exit_code 2 "$KP"
mkdir nothing
check "train on no documents" exit_code 1 "$KP" train -l nothing -m x.bin
check "train on no documents message" contains err "keyphrases: nothing holds no text documents to train on"
check "no model from no documents" test ! -e x.bin

# write errors: message names the file and the reason; no half-written model left
check "train to /dev/full" exit_code 1 "$KP" train -l train -m /dev/full
check "train to /dev/full message" contains err "keyphrases: cannot write model /dev/full: No space left on device"
check "/dev/full still a device" test -c /dev/full
check "train into a missing directory" exit_code 1 "$KP" train -l train -m nodir/model.bin
check "no temporary files left" test -z "$(ls | grep '\.tmp\.' || true)"

# --help on every subcommand
for sub in "" extract train docs; do
  check "help $sub" exit_code 0 "$KP" $sub --help
  check "help $sub text" contains out "usage: keyphrases"
done

# docs mode: any file name, identical whatever the thread count, incremental
mkdir src
cp train/maps.txt src/maps
cp train/kernels.txt "src/string kernels.text"
cp docs/broken.txt src/broken
printf '' > src/empty
mkdir src/subdir
check "docs --jobs 1" exit_code 0 "$KP" docs --source src --keys keys1 -m model.bin -n 10 --jobs 1
check "docs --jobs 4" exit_code 0 "$KP" docs --source src --keys keys4 -m model.bin -n 10 --jobs 4 --ending .kw
for f in keys1/*; do
  name=$(basename "$f" .key)
  check "same output for $name" cmp "$f" "keys4/$name.kw"
  check "docs format for $name" detailed_format "$f"
done
# binary documents, documents without words and names with a blank are passed over, named,
# as by train and somtrain; a document in a subfolder has its key file in the same subfolder
check "one key file per document with words" test "$(ls keys1 | wc -l)" -eq 1
check "binary document named" contains err "keyphrases: src/broken: passed over: not text"
check "empty document named" contains err "keyphrases: src/empty: passed over: no words"
check "blank in a name named" contains err "keyphrases: src/string kernels.text: passed over"
if command -v script >/dev/null; then  # util-linux: a terminal for the progress bar
  script -qec "'$KP' docs --source src --keys keys-tty -m model.bin -n 3" /dev/null > tty.out 2>&1 || true
  check "progress bar on a terminal" contains tty.out "100% 3/3"
fi

# --shard I/N: contiguous slices of the sorted documents (broken | empty | maps)
mkdir keys-last
check "docs --shard 3/3" exit_code 0 "$KP" docs --source src --keys keys-last -m model.bin -n 10 --shard 3/3
check "last shard writes its slice" test "$(ls keys-last | tr '\n' '|')" = "maps.key|"
for i in 1 2; do
  check "docs --shard $i/3" exit_code 0 "$KP" docs --source src --keys keys-last -m model.bin -n 10 --shard $i/3
done
check "three shards write what one run writes" diff -r keys1 keys-last
mkdir -p nested/sub/deeper && cp train/kernels.txt nested/sub/deeper/kernels
for run in 1 2; do
  check "docs on nested folders, run $run" exit_code 0 "$KP" docs --source nested --keys nested/keys -m model.bin -n 10
done
check "key file in the same subfolder" test -s nested/keys/sub/deeper/kernels.key
check "the key folder inside the source is left out" test ! -e nested/keys/keys
printf 'sentinel\n' > keys-last/maps.key
touch -d '+1 hour' keys-last/maps.key
check "shard with --incremental" exit_code 0 "$KP" docs --source src --keys keys-last -m model.bin -n 10 \
  --shard 3/3 --incremental
check "shard with --incremental keeps newer key file" test "$(cat keys-last/maps.key)" = sentinel
for bad in 0/3 4/3 3 1/0 a/b; do
  check "docs --shard $bad refused" exit_code 2 "$KP" docs --source src --keys k -m model.bin -n 3 --shard $bad
done
check "bad shard message" contains err "keyphrases: --shard wants I/N, 1 <= I <= N"

printf 'sentinel\n' > keys1/maps.key
touch -d '+1 hour' keys1/maps.key
check "incremental" exit_code 0 "$KP" docs --source src --keys keys1 -m model.bin -n 10 --incremental
check "incremental keeps newer key file" test "$(cat keys1/maps.key)" = sentinel
touch -d '-1 hour' keys1/maps.key
check "incremental redoes older key file" exit_code 0 "$KP" docs --source src --keys keys1 -m model.bin -n 10 --incremental
check "older key file rewritten" test "$(cat keys1/maps.key)" != sentinel

mkdir -p blocked/maps.key
check "docs write error" exit_code 1 "$KP" docs --source src --keys blocked -m model.bin -n 10 --jobs 2
check "docs write error message" contains err "keyphrases: cannot create key file blocked/maps.key: Is a directory"
# an unreadable document is named, the others still get key files, the run fails
mkdir lost
cp train/maps.txt lost/maps.txt
ln -s nowhere lost/gone.txt
check "unreadable document" exit_code 1 "$KP" -l lost -m model.bin -n 3 -a
check "unreadable document named" contains err "keyphrases: cannot open lost/gone.txt: No such file or directory"
check "unreadable document counted" contains err "1 of 2 documents could not be read"
check "readable document done" test -s lost/maps.key
check "directory given with a slash" exit_code 1 "$KP" -l lost/ -m model.bin -n 3 -a
check "no doubled slash in messages" contains err "keyphrases: cannot open lost/gone.txt: "

check "docs missing source" exit_code 1 "$KP" docs --source nowhere --keys k -m model.bin -n 3
check "docs -n 0 refused" exit_code 2 "$KP" docs --source src --keys k -m model.bin -n 0
check "no key files for -n 0" test ! -e k
check "extract -n 0 refused" exit_code 2 "$KP" -l docs -m model.bin -n 0 -a
check "docs progress asked for" exit_code 0 "$KP" docs --source src --keys k -m model.bin -n 3 --progress
check "progress without a terminal" contains err "100% 3/3"
check "a message beside the bar has a line of its own" \
  grep -qx "keyphrases: src/broken: passed over: not text (binary or compressed)" err

# train takes documents as docs does: any name, binary files passed over
check "train on any file names" exit_code 0 "$KP" train -l src -m any.bin
check "train names the binary document" contains err "keyphrases: src/broken: passed over: not text"
check "train writes that model" test -s any.bin

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
