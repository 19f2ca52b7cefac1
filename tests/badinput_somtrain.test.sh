#!/usr/bin/env bash
# somtrain under bad input: documents that are garbage or cannot be read,
# options out of range, and outputs that cannot be written. A failure names
# the file and the system's reason and ends with status 1 (2 for a wrong
# command line).
#   bash tests/badinput_somtrain.test.sh BUILD_DIR
source "$(dirname "$0")/badinput_lib.sh"
have_tool somtrain || { echo "somtrain not built: nothing to test"; exit 0; }

setup() {
  mkdir -p docs
  for i in 1 2 3 4 5 6; do
    printf 'Neural networks learn maps of documents %s. Self-organizing maps arrange text\n' "$i" \
      >docs/d$i.txt
    printf 'documents on a grid. Keyphrase extraction finds the phrases.\n' >>docs/d$i.txt
  done
}
train() { run somtrain --jobs 1 --xdim 2 --ydim 2 --min-df 1 "$@"; }

expect_stderr_names() {
  grep -a -q -F -e "$1" .stderr || fail "standard error does not name $1"
}

# The hierarchy that labelcalc reads: the files somtrain promises.
expect_outputs() {
  for file in "$1/options" "$1/process" "$1/process.web" "$1/output/map.unit"; do
    [ -s "$file" ] || fail "missing or empty $file"
  done
}

garbage() {
  python3 -c '
import random, sys
random.seed(int(sys.argv[1]))
sys.stdout.buffer.write(bytes(random.randrange(256) for _ in range(int(sys.argv[2]))))' "$@"
}

begin_case binary_garbage_nul_bytes_and_a_ten_megabyte_line
setup
garbage 21 65536 >docs/garbage
printf 'neural\0networks\0maps\n' >docs/nul
{ for _ in $(seq 200000); do printf 'neural networks learn maps '; done; printf '\n'; } >docs/long
train docs work
expect_status 0
expect_outputs work

begin_case truncated_and_empty_documents
setup
head -c 20 docs/d1.txt >docs/cut
: >docs/empty
train docs work
expect_status 0
expect_outputs work

begin_case document_directory_does_not_exist
setup
train nodocs work
expect_status 1
expect_stderr_names nodocs

begin_case no_documents
setup
mkdir none
train none work
expect_status 1
expect_stderr_names none

# A document that cannot be read is passed over with a message naming it.
begin_case document_that_cannot_be_read
setup
ln -s nowhere docs/lost
train docs work
expect_status 0
expect_stderr_names docs/lost
expect_outputs work

begin_case negative_map_size
setup
train --xdim -1 docs work
expect_status 2
expect_stderr_names --xdim

begin_case huge_map_size
setup
train --ydim 99999999999 docs work
expect_status 2
expect_stderr_names --ydim

begin_case map_size_not_a_number
setup
train --sub-xdim many docs work
expect_status 2
expect_stderr_names --sub-xdim

begin_case output_directory_is_a_file
setup
mkdir work
: >work/output
train docs work
expect_status 1
expect_stderr_names work

begin_case unit_file_on_a_full_device
setup
mkdir -p work/output
ln -s /dev/full work/output/map.unit
train docs work
expect_status 1
expect_stderr_names work/output/map.unit
expect_stderr_names 'No space left on device'

begin_case option_file_on_a_full_device
setup
mkdir -p work
ln -s /dev/full work/options
train docs work
expect_status 1
expect_stderr_names work/options
expect_stderr_names 'No space left on device'

begin_case standard_output_on_a_full_device
setup
status=0
timeout -k 10 1200 somtrain --jobs 1 --xdim 2 --ydim 2 --min-df 1 docs work >/dev/full 2>.stderr ||
  status=$?
expect_status 1
expect_stderr_names 'standard output'

finish_suite
