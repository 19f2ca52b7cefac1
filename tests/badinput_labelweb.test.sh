#!/usr/bin/env bash
# labelweb under bad input: each case states what the user must see. A page
# that cannot be written fails its map with a message naming the file and
# exit status 1; the pages before it stay as they were finished.
#   bash tests/badinput_labelweb.test.sh BUILD_DIR
source "$(dirname "$0")/badinput_lib.sh"

# A 1 x 1 map of layer 2 whose unit has no labels and no documents.
setup() {
  mkdir -p out
  printf 'OUTPUTPATH out/\n' >options
  cat >out/good.unit.labelunit <<'EOF'
$XDIM 1
$YDIM 1
$POS_X 0
$POS_Y 0
$NODE_ID n_2_0
$NR_VEC_MAPPED 0
$NR_SOMS_MAPPED 0
EOF
  cp out/good.unit.labelunit out/later.unit.labelunit
  printf 'good.unit.labelunit\nbad.unit.labelunit\nlater.unit.labelunit\n' >process
}

page_head() {
  printf '<HTML><BODY bgcolor=#FFFFFF text=#000000><TITLE>Layer %s Map</TITLE>\n' "$1"
  printf '<H1>Layer %s Map</H1><BR>\n<BR><table border=8 cellpadding=4>\n' "$1"
}
page_end() { printf '</table></BODY></HTML>\n'; }
# The page of a 1 x 1 map whose one cell holds $2 (layer $1).
one_cell_page() { page_head "$1"; printf '<tr>\n<td align=left>\n%s</td>\n</tr>\n' "$2"; page_end; }

expect_good_page_intact() {
  one_cell_page 2 . | expect_file out/good.unit.labelunit.html
  expect_missing out/later.unit.labelunit.html
}

expect_stops_at_bad_map() {
  expect_status 1
  expect_stdout <<'EOF'
labelweb, Version 2.0 by Orvandel Oct 2002
Bugreport to somlabel-bugs@example.org, thx
Starting ....
Processing out/good.unit.labelunit ....and writing out/good.unit.labelunit.html !
EOF
  expect_good_page_intact
}

# The bad map's files open, but its page cannot be finished.
expect_fails_at_bad_page() {
  expect_status 1
  expect_stdout <<'EOF'
labelweb, Version 2.0 by Orvandel Oct 2002
Bugreport to somlabel-bugs@example.org, thx
Starting ....
Processing out/good.unit.labelunit ....and writing out/good.unit.labelunit.html !
Processing out/bad.unit.labelunit ....and writing out/bad.unit.labelunit.html !
EOF
  expect_good_page_intact
}

# The stdout lines of a run over good, bad and later, all of which open.
expect_all_pages_done() {
  expect_status 0
  expect_stdout <<'EOF'
labelweb, Version 2.0 by Orvandel Oct 2002
Bugreport to somlabel-bugs@example.org, thx
Starting ....
Processing out/good.unit.labelunit ....and writing out/good.unit.labelunit.html !
Processing out/bad.unit.labelunit ....and writing out/bad.unit.labelunit.html !
Processing out/later.unit.labelunit ....and writing out/later.unit.labelunit.html !
EOF
  expect_stderr </dev/null
  expect_same_file out/good.unit.labelunit.html out/later.unit.labelunit.html
  one_cell_page 2 . | expect_file out/good.unit.labelunit.html
}

garbage() {
  python3 -c '
import random, sys
random.seed(int(sys.argv[1]))
left_out = set(bytes.fromhex(sys.argv[3]))
data = bytearray()
while len(data) < int(sys.argv[2]):
    b = random.randrange(256)
    if b not in left_out:
        data.append(b)
sys.stdout.buffer.write(bytes(data))' "$@"
}

# --- Truncated files -------------------------------------------------------

begin_case truncated_inside_a_mode0_label
setup
{ cat out/good.unit.labelunit; printf '$MODE0_PHRASES 15\n$M0_LABEL alpha\talp'; } >out/bad.unit.labelunit
run labelweb process options
expect_all_pages_done
one_cell_page 2 . | expect_file out/bad.unit.labelunit.html

# "$MODE1_PHRASES 3" with one phrase line before the end: one label, at the
# grey of a list whose first and last scores are equal.
begin_case mode1_count_past_the_end_of_the_file
setup
{ cat out/good.unit.labelunit; printf '$MODE1_PHRASES 3\nweb\tweb\t1.000000\n'; } >out/bad.unit.labelunit
run labelweb process options
expect_all_pages_done
one_cell_page 2 'LABELS by Cadrel II<BR><b><font color=#646464>web (1.0000)</font></b><BR><HR>.' |
  expect_file out/bad.unit.labelunit.html

begin_case huge_mode1_count_past_the_end_of_the_file
setup
{ cat out/good.unit.labelunit; printf '$MODE1_PHRASES 99999999999\nweb\tweb\t1.000000\n'; } \
  >out/bad.unit.labelunit
run labelweb process options
expect_all_pages_done
one_cell_page 2 'LABELS by Cadrel II<BR><b><font color=#646464>web (1.0000)</font></b><BR><HR>.' |
  expect_file out/bad.unit.labelunit.html

# --- Binary garbage and NUL bytes -----------------------------------------

# No "$": no key, no unit: the page head and end of a map without layer.
begin_case binary_garbage_labelunit_file
setup
garbage 4 65536 24 >out/bad.unit.labelunit
run labelweb process options
expect_all_pages_done
{ page_head -1; page_end; } | expect_file out/bad.unit.labelunit.html

begin_case nul_bytes_end_a_labelunit_line
setup
printf '$XDIM 1\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$NODE_ID n_2_0\n$NR_VEC_MAPPED 0\0 7\n$NR_SOMS_MAPPED 0\n' \
  >out/bad.unit.labelunit
run labelweb process options
expect_all_pages_done
one_cell_page 2 . | expect_file out/bad.unit.labelunit.html

begin_case nul_byte_in_a_process_file_line
setup
cp out/good.unit.labelunit out/bad.unit.labelunit
printf 'good.unit.labelunit\nbad.unit.labelunit\0.x\nlater.unit.labelunit\n' >process
run labelweb process options
expect_stops_at_bad_map
expect_stderr <<'EOF'
labelweb: line 2 of the process file process holds a NUL byte
EOF
expect_same_file out/good.unit.labelunit out/bad.unit.labelunit
expect_missing out/bad.unit.labelunit.html

begin_case binary_garbage_option_file
setup
garbage 5 8192 "" >garbage_options
printf '' >empty_process
run labelweb empty_process garbage_options
if [ "$status" != 0 ] && [ "$status" != 1 ]; then fail "exit status $status, expected 0 or 1"; fi

# --- A 10 MB line ----------------------------------------------------------

# The last label of a line keeps the line's newline.
begin_case ten_megabyte_label_line
setup
{ cat out/good.unit.labelunit; printf '$NR_LABELS 1\n$LABEL '; head -c 10485760 /dev/zero | tr '\0' x
  printf '\n'; } >out/bad.unit.labelunit
run labelweb process options
expect_all_pages_done
{ page_head 2; printf '<tr>\n<td align=left>\nLABELs by Cadrel I<BR>'
  head -c 10485760 /dev/zero | tr '\0' x
  printf '\n<BR><HR>.</td>\n</tr>\n'; page_end; } >expected.html
expect_same_file expected.html out/bad.unit.labelunit.html

# --- Counts that are negative, huge or not numbers ------------------------

# No unit sits in the last column of a map of width -1: no row end, no page end.
begin_case negative_and_huge_dimensions
setup
printf '$XDIM -1\n$YDIM 99999999999\n$POS_X 0\n$POS_Y 0\n$NODE_ID n_2_0\n$NR_VEC_MAPPED 0\n$NR_SOMS_MAPPED 0\n' \
  >out/bad.unit.labelunit
run labelweb process options
expect_all_pages_done
{ page_head 2; printf '<tr>\n<td align=left>\n.</td>\n'; } | expect_file out/bad.unit.labelunit.html

begin_case counts_beyond_the_entries_stored
setup
cat >out/bad.unit.labelunit <<'EOF'
$XDIM 1
$YDIM 1
$POS_X 0
$POS_Y 0
$NODE_ID n_2_0
$NR_VEC_MAPPED 99999999999
$VEC d1
$NR_SOMS_MAPPED 0
$NR_LABELS 99999999999
$MODE0_PHRASES 99999999999
EOF
run labelweb process options
expect_all_pages_done
one_cell_page 2 '<a href=files/d1>d1</a><BR><HR><a href=key/d1.key>d1.key</a><BR>' |
  expect_file out/bad.unit.labelunit.html

begin_case negative_counts_and_counts_not_numbers
setup
cat >out/bad.unit.labelunit <<'EOF'
$XDIM one
$YDIM 1
$POS_X 0
$POS_Y 0
$NODE_ID n_two_0
$NR_VEC_MAPPED -3
$VEC d1
$NR_SOMS_MAPPED 0
$NR_LABELS -1
$LABEL x
$MODE1_PHRASES -2
EOF
run labelweb process options
expect_all_pages_done
# Width "one" is 0: the unit at column 0 is not in the last column.
{ page_head 0; printf '<tr>\n<td align=left>\n.</td>\n'; } | expect_file out/bad.unit.labelunit.html

# --- A unit block without its keys ------------------------------------------

# The second unit keeps the first one's document count, but shows only the
# documents of its own "$VEC" lines: none.
begin_case unit_block_without_its_keys
setup
cat >out/bad.unit.labelunit <<'EOF'
$XDIM 2
$YDIM 1
$POS_X 0
$POS_Y 0
$NODE_ID n_2_0
$NR_VEC_MAPPED 1
$VEC d1
$NR_SOMS_MAPPED 0
$POS_X 1
EOF
run labelweb process options
expect_all_pages_done
{ page_head 2
  printf '<tr>\n<td align=left>\n<a href=files/d1>d1</a><BR><HR><a href=key/d1.key>d1.key</a><BR></td>\n'
  printf '<td align=left>\n.</td>\n</tr>\n'
  page_end; } | expect_file out/bad.unit.labelunit.html

# --- Names that lead nowhere ----------------------------------------------

begin_case empty_process_file_line
setup
printf 'good.unit.labelunit\n\nlater.unit.labelunit\n' >process
run labelweb process options
expect_status 1
expect_stderr <<'EOF'
Couldn't open labelfile: out/ (Is a directory)
Error generating html code for out/
EOF
expect_good_page_intact

begin_case labelunit_file_is_a_directory
setup
mkdir out/bad.unit.labelunit
run labelweb process options
expect_status 1
expect_stderr <<'EOF'
Couldn't open labelfile: out/bad.unit.labelunit (Is a directory)
Error generating html code for out/bad.unit.labelunit
EOF
expect_good_page_intact

begin_case page_is_a_directory
setup
cp out/good.unit.labelunit out/bad.unit.labelunit
mkdir out/bad.unit.labelunit.html
run labelweb process options
expect_fails_at_bad_page
expect_stderr <<'EOF'
Couldn't open htmlfile: out/bad.unit.labelunit.html
labelweb: cannot create out/bad.unit.labelunit.html: Is a directory
Error generating html code for out/bad.unit.labelunit.html
EOF

begin_case output_directory_does_not_exist
setup
echo 'OUTPUTPATH noout/' >>options
run labelweb process options
expect_status 1
expect_stderr <<'EOF'
Couldn't open labelfile: noout/good.unit.labelunit (No such file or directory)
Error generating html code for noout/good.unit.labelunit
EOF

begin_case option_file_is_a_directory
setup
mkdir option_dir
run labelweb process option_dir
expect_status 1
expect_stderr <<'EOF'
labelweb: cannot open option file option_dir: Is a directory
EOF

begin_case process_file_is_a_directory
setup
mkdir process_dir
run labelweb process_dir options
expect_status 1
expect_stderr <<'EOF'
labelweb: cannot open process file process_dir: Is a directory
EOF

# --- Writes to a full device ------------------------------------------------

begin_case page_on_a_full_device
setup
cp out/good.unit.labelunit out/bad.unit.labelunit
ln -s /dev/full out/bad.unit.labelunit.html
run labelweb process options
expect_status 1
expect_stderr <<'EOF'
labelweb: cannot write out/bad.unit.labelunit.html: No space left on device
Error generating html code for out/bad.unit.labelunit.html
EOF
expect_good_page_intact

begin_case standard_output_on_a_full_device
setup
printf 'good.unit.labelunit\n' >process
status=0
timeout -k 10 1200 labelweb process options >/dev/full 2>.stderr || status=$?
expect_status 1
expect_stderr <<'EOF'
labelweb: cannot write to standard output: No space left on device
EOF
expect_good_page_intact

# --- Files that never end -------------------------------------------------

# A line of more than 256 MiB, here a device reading endless zeros, ends the
# map instead of filling the memory.
begin_case labelunit_file_of_endless_zeros
setup
ln -s /dev/zero out/bad.unit.labelunit
run labelweb process options
expect_fails_at_bad_page
expect_stderr <<'EOF'
labelweb: cannot read out/bad.unit.labelunit: line 1 is longer than 256 MiB
Error generating html code for out/bad.unit.labelunit.html
EOF

finish_suite
