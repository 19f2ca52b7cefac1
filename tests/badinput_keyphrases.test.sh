#!/usr/bin/env bash
# keyphrases under bad input: documents, models and key files that are
# truncated, garbage or cannot be read or written. A failure names the file,
# gives the system's reason where there is one and ends with status 1 (2 for
# a wrong command line); key files already finished stay whole.
#   bash tests/badinput_keyphrases.test.sh BUILD_DIR
source "$(dirname "$0")/badinput_lib.sh"
have_tool keyphrases || { echo "keyphrases not built: nothing to test"; exit 0; }

# Six short documents and an unsupervised model trained on them.
setup() {
  mkdir -p docs
  for i in 1 2 3 4 5 6; do
    printf 'Neural networks learn maps of documents %s. Self-organizing maps arrange text\n' "$i" \
      >docs/d$i.txt
    printf 'documents on a grid. Keyphrase extraction finds the phrases of a document.\n' >>docs/d$i.txt
  done
  keyphrases train -l docs -m model >/dev/null 2>&1 || fail "setup: the model could not be trained"
}

# Every line of the key file has the three tab-separated fields labelcalc
# reads, and there are at most $2 of them, at least one.
expect_key_file() {
  [ -f "$1" ] || { fail "missing key file $1"; return; }
  local lines
  lines=$(wc -l <"$1")
  [ "$lines" -ge 1 ] && [ "$lines" -le "$2" ] || fail "$1 has $lines lines, expected 1 to $2"
  awk -F'\t' 'NF != 3 || $3 !~ /^[0-9.]+$/ { bad = 1 } END { exit bad }' "$1" ||
    fail "$1 has a line that is not phrase<TAB>stem<TAB>score"
}

expect_stderr_names() {
  grep -a -q -F -e "$1" .stderr || fail "standard error does not name $1"
}

garbage() {
  python3 -c '
import random, sys
random.seed(int(sys.argv[1]))
sys.stdout.buffer.write(bytes(random.randrange(256) for _ in range(int(sys.argv[2]))))' "$@"
}

# --- Models ----------------------------------------------------------------

begin_case truncated_model
setup
head -c 100 model >truncated
run keyphrases extract -l docs -m truncated -n 3 -a
expect_status 1
expect_stderr_names truncated
expect_missing docs/d1.key

begin_case binary_garbage_model
setup
garbage 11 4096 >garbage.model
run keyphrases extract -l docs -m garbage.model -n 3 -a
expect_status 1
expect_stderr_names garbage.model
expect_missing docs/d1.key

begin_case empty_model
setup
: >empty.model
run keyphrases extract -l docs -m empty.model -n 3 -a
expect_status 1
expect_stderr_names empty.model

begin_case model_is_a_directory
setup
mkdir model.dir
run keyphrases extract -l docs -m model.dir -n 3 -a
expect_status 1
expect_stderr_names model.dir

begin_case model_with_one_byte_changed
setup
python3 -c '
import sys
data = bytearray(open("model", "rb").read())
data[len(data) // 2] ^= 0x40
open("flipped.model", "wb").write(data)'
run keyphrases extract -l docs -m flipped.model -n 3 -a
expect_status 1
expect_stderr_names flipped.model
expect_missing docs/d1.key

# --- Counts ------------------------------------------------------------------

begin_case negative_phrase_count
setup
run keyphrases extract -l docs -m model -n -5 -a
expect_status 2
expect_stderr_names -n

begin_case phrase_count_not_a_number
setup
run keyphrases extract -l docs -m model -n many -a
expect_status 2
expect_stderr_names -n

begin_case huge_phrase_count
setup
run keyphrases extract -l docs -m model -n 99999999999 -a
if [ "$status" = 0 ]; then
  expect_key_file docs/d1.key 1000000
else
  expect_status 2
  expect_stderr_names -n
fi

# --- Documents ---------------------------------------------------------------

begin_case binary_garbage_and_nul_bytes_in_documents
setup
garbage 12 65536 >docs/g.txt
{ printf 'Neural\0networks learn maps\0'; cat docs/d1.txt; } >docs/d1.txt.new && mv docs/d1.txt.new docs/d1.txt
run keyphrases extract -l docs -m model -n 5 -a
expect_status 0
expect_key_file docs/d1.key 5
[ -f docs/g.key ] || fail "no key file for the garbage document"

begin_case ten_megabyte_line_in_a_document
setup
{ for _ in $(seq 200000); do printf 'neural networks learn maps '; done; printf '\n'; } >docs/long.txt
run keyphrases extract -l docs -m model -n 3 -a
expect_status 0
expect_key_file docs/long.key 3

begin_case truncated_document
setup
head -c 37 docs/d2.txt >docs/cut.txt
run keyphrases extract -l docs -m model -n 3 -a
expect_status 0
[ -f docs/cut.key ] || fail "no key file for the truncated document"

begin_case document_directory_does_not_exist
setup
run keyphrases extract -l nodocs -m model -n 3 -a
expect_status 1
expect_stderr_names nodocs

# A document X.txt that cannot be read (here a symbolic link to nothing)
# gets no key file; the run says so and fails, not ends with success (it
# did until fixed).
begin_case document_that_cannot_be_read
setup
ln -s nowhere docs/lost.txt
run keyphrases extract -l docs -m model -n 3 -a
expect_status 1
expect_stderr_names docs/lost.txt

# --- Writes that fail --------------------------------------------------------

begin_case key_file_on_a_full_device
setup
ln -s /dev/full docs/d3.key
run keyphrases extract -l docs -m model -n 3 -a
expect_status 1
expect_stderr_names docs/d3.key
expect_stderr_names 'No space left on device'
expect_key_file docs/d1.key 3
expect_key_file docs/d2.key 3

begin_case model_on_a_full_device
setup
ln -s /dev/full full.model
run keyphrases train -l docs -m full.model
expect_status 1
expect_stderr_names full.model
expect_stderr_names 'No space left on device'

begin_case model_directory_does_not_exist
setup
run keyphrases train -l docs -m nodir/model
expect_status 1
expect_stderr_names nodir/model

begin_case docs_key_file_on_a_full_device
setup
mkdir src keys
cp docs/d1.txt src/a
cp docs/d2.txt src/b
ln -s /dev/full keys/b.key
run keyphrases docs --source src --keys keys -m model -n 3
expect_status 1
expect_stderr_names keys/b.key
expect_stderr_names 'No space left on device'
expect_key_file keys/a.key 3

# A dangling link is no document: passed over with a message naming it, as
# somtrain and train do, and the others get their key files.
begin_case docs_dangling_link_passed_over
setup
mkdir src
cp docs/d1.txt src/a
ln -s nowhere src/lost
run keyphrases docs --source src --keys keys -m model -n 3
expect_status 0
expect_stderr_names src/lost
[ -s keys/a.key ] || fail "no key file for src/a"

begin_case key_directory_is_a_file
setup
: >keys
run keyphrases docs --source docs --keys keys -m model -n 3
expect_status 1
expect_stderr_names keys

# A gold key file that never ends (a device reading zeros) fails the training
# instead of filling the memory; a missing one only means no gold phrases.
begin_case gold_key_file_reading_endless_zeros
setup
ln -s /dev/zero docs/d2.key
run keyphrases train -l docs -m gold.model
expect_status 1
expect_stderr_names docs/d2.key
expect_stderr_names 'not a regular file'

finish_suite
