#!/usr/bin/env bash
# labelcalc under bad input: each case states what the user must see. A map
# that fails gives a clear message naming the file, exit status 1, and leaves
# the maps before it as they were finished; later maps are not touched.
#   bash tests/badinput_labelcalc.test.sh BUILD_DIR
source "$(dirname "$0")/badinput_lib.sh"

# The map that precedes every failing map: one leaf unit with document d1.
setup() {
  mkdir -p out/key out/files out/tmp
  cat >options <<'EOF'
OUTPUTPATH out/
KEYPATH out/key/
SOURCEPATH out/files/
TMPKEAPATH out/tmp/
EOF
  cat >out/good.unit <<'EOF'
$XDIM 1
$YDIM 1
$POS_X 0
$POS_Y 0
$NODE_ID n_0_0
$NR_VEC_MAPPED 1
$MAPPED_VECS d1
$NR_SOMS_MAPPED 0
EOF
  cp out/good.unit out/later.unit
  printf 'alpha beta\talpha beta\t0.5\nbeta\tbeta\t0.25\n' >out/key/d1.key
  printf 'good.unit\nbad.unit\nlater.unit\n' >process
}

# "beta" folds into "alpha beta": 0.5 + 0.25.
expect_good_map_intact() {
  expect_file out/good.unit.labelunit <<'EOF'
$XDIM 1
$YDIM 1
$POS_X 0
$POS_Y 0
$NODE_ID n_0_0
$NR_VEC_MAPPED 1
$MAPPED_VECS d1
$VEC d1
$NR_SOMS_MAPPED 0
$MODE1_PHRASES 1
alpha beta	alpha beta	0.750000
EOF
  expect_file out/key/good.unit.key <<'EOF'
$MODE1_PHRASES 1
alpha beta	alpha beta	0.750000
EOF
  expect_missing out/later.unit.labelunit
  expect_missing out/key/later.unit.key
}

expect_stops_at_bad_map() {
  expect_status 1
  expect_stdout <<'EOF'
labelcalc, Version 2.0 by Orvandel Oct 2002
Bugreport to somlabel-bugs@example.org, thx
Starting ....
Processing out/good.unit and writing out/good.unit.labelunit ...
Processing out/bad.unit and writing out/bad.unit.labelunit ...
EOF
  expect_good_map_intact
}

# A unit file that passes: good, bad and later are all processed.
expect_all_maps_done() {
  expect_status 0
  expect_stdout <<'EOF'
labelcalc, Version 2.0 by Orvandel Oct 2002
Bugreport to somlabel-bugs@example.org, thx
Starting ....
Processing out/good.unit and writing out/good.unit.labelunit ...
Processing out/bad.unit and writing out/bad.unit.labelunit ...
Processing out/later.unit and writing out/later.unit.labelunit ...
EOF
  expect_file out/good.unit.labelunit <out/later.unit.labelunit
}

# Pseudo-random bytes, the same on every run: seed, count, bytes to leave out.
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

begin_case truncated_unit_file_inside_the_document_list
setup
printf '$XDIM 1\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$NR_VEC_MAPPED 3\n$MAPPED_VECS d1 d2' >out/bad.unit
run labelcalc process options
expect_all_maps_done
expect_stderr <<'EOF'
j= 2 , mapped_vecs = 3
Corrupt Unit-Torvelfile out/bad.unit..., or is there an error in my proggy
...workaround j = mapped vec :-D 
EOF
expect_file out/bad.unit.labelunit <<'EOF'
$XDIM 1
$YDIM 1
$POS_X 0
$POS_Y 0
$NR_VEC_MAPPED 3
$MAPPED_VECS d1 d2
$VEC d1
$VEC d2
EOF
expect_file out/key/bad.unit.key <<'EOF'
$MODE1_PHRASES 0
EOF

begin_case truncated_unit_file_after_a_key
setup
printf '$XDIM 1\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$NR_VEC_MAPPED 0\n$MAPPED_VECS\n$NR_SOMS_MAPPED' >out/bad.unit
run labelcalc process options
expect_all_maps_done
expect_stderr </dev/null
expect_file out/bad.unit.labelunit <<'EOF'
$XDIM 1
$YDIM 1
$POS_X 0
$POS_Y 0
$NR_VEC_MAPPED 0
$MAPPED_VECS
$NR_SOMS_MAPPED
EOF

begin_case truncated_document_key_file
setup
sed 's/d1/d2/' out/good.unit >out/bad.unit
printf 'gamma\tgamma' >out/key/d2.key
run labelcalc process options
expect_stops_at_bad_map
expect_stderr <<'EOF'
Wrong format of keyfile: out/key/d2.key
Desired format:phrase stemmed_phrase score !
Start KEAKeyphraseExtractor with option -a !Error calculating keyphrases for Unit 0 0 in map out/bad.unit
Error parsing unit file for map out/bad.unit
EOF
expect_missing out/key/bad.unit.key

# The sub-map's map key file announces 3 phrase lines but holds 1: the map
# key file step of the map above reads the next line as a phrase line.
begin_case truncated_sub_map_key_file
setup
cat >out/bad.unit <<'EOF'
$XDIM 1
$YDIM 1
$POS_X 0
$POS_Y 0
$NR_VEC_MAPPED 0
$MAPPED_VECS
$NR_SOMS_MAPPED 1
$URL_MAPPED_SOMS out/sub.xyz
$NR_LABELS 0
EOF
printf '$MODE1_PHRASES 3\nweb\tweb\t1.000000\n' >out/key/sub.unit.key
run labelcalc process options
expect_stops_at_bad_map
printf 'Wrong format of keyfile: bad.unit\nDesired format:phrase stemmed_phrase score !!\n%s' \
  'Start KEAKeyphraseExtractor with option -a !' | expect_stderr
expect_file out/key/bad.unit.key </dev/null
expect_file out/sub.unit.labelunit <<'EOF'
$SOMABOVE out/bad.unit
EOF

# --- "$MODE1_PHRASES" counts past the end of the file ------------------------

begin_case mode1_count_past_the_end_of_the_labelunit_file
setup
printf '$MODE1_PHRASES 99999999999\nfoo\tfoo\t1\n' >out/bad.unit
run labelcalc process options
expect_all_maps_done
expect_stderr </dev/null
expect_file out/bad.unit.labelunit <<'EOF'
$MODE1_PHRASES 99999999999
foo	foo	1
EOF
expect_file out/key/bad.unit.key <<'EOF'
$MODE1_PHRASES 1
foo	foo	1.000000
EOF

# --- Binary garbage and NUL bytes -----------------------------------------

begin_case binary_garbage_unit_file
setup
garbage 1 65536 24 >out/bad.unit   # no "$": no key can arise
run labelcalc process options
expect_all_maps_done
expect_stderr </dev/null
expect_file out/key/bad.unit.key <<'EOF'
$MODE1_PHRASES 0
EOF

begin_case binary_garbage_document_key_file
setup
sed 's/d1/d2/' out/good.unit >out/bad.unit
garbage 2 4096 09 >out/key/d2.key   # no tab: the first line lacks its second field
run labelcalc process options
expect_stops_at_bad_map
expect_stderr <<'EOF'
Wrong format of keyfile: out/key/d2.key
Desired format:phrase stemmed_phrase score !!
Start KEAKeyphraseExtractor with option -a !Error calculating keyphrases for Unit 0 0 in map out/bad.unit
Error parsing unit file for map out/bad.unit
EOF

begin_case binary_garbage_option_file
setup
garbage 3 8192 "" >garbage_options
printf '' >empty_process
run labelcalc empty_process garbage_options
if [ "$status" != 0 ] && [ "$status" != 1 ]; then fail "exit status $status, expected 0 or 1"; fi

# Before the fix the name reached the system cut at the NUL byte: labelcalc
# read out/bad.unit and wrote its labelunit file over that same file.
begin_case nul_byte_in_a_process_file_line
setup
cp out/good.unit out/bad.unit
printf 'good.unit\nbad.unit\0.x\nlater.unit\n' >process
run labelcalc process options
expect_status 1
expect_stderr <<'EOF'
labelcalc: line 2 of the process file process holds a NUL byte
EOF
expect_good_map_intact
expect_same_file out/good.unit out/bad.unit
expect_missing out/bad.unit.labelunit

begin_case nul_byte_in_an_option_value
setup
printf 'OUTPUTPATH out/\0x\n' >>options
run labelcalc process options
expect_status 1
expect_stderr <<'EOF'
labelcalc: option OUTPUTPATH in the option file options holds a NUL byte
EOF
expect_missing out/good.unit.labelunit

# The document name "d1<NUL>x" must not open the key file "out/key/d1".
begin_case nul_byte_in_a_document_name
setup
printf '$XDIM 1\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$NR_VEC_MAPPED 1\n$MAPPED_VECS d1\0x\n$NR_SOMS_MAPPED 0\n' \
  >out/bad.unit
printf 'wrong\twrong\t1\n' >out/key/d1
run labelcalc process options
expect_stops_at_bad_map
expect_stderr <<'EOF'
Couldn't open file out/key/d1 (Invalid argument)
Error calculating keyphrases for Unit 0 0 in map out/bad.unit
Error parsing unit file for map out/bad.unit
EOF

begin_case nul_bytes_in_a_key_file_phrase
setup
sed 's/d1/d2/' out/good.unit >out/bad.unit
printf 'al\0pha\tal\0pha\t0.5\n' >out/key/d2.key
run labelcalc process options
expect_all_maps_done
expect_stderr </dev/null
printf '$MODE1_PHRASES 1\nal\0pha\tal\0pha\t0.500000\n' >expected.key
expect_same_file expected.key out/key/bad.unit.key

# --- A 10 MB line ----------------------------------------------------------

begin_case ten_megabyte_label_line
setup
{ cat out/good.unit; printf '$LABEL '; head -c 10485760 /dev/zero | tr '\0' x; printf '\n'; } \
  >out/bad.unit
run labelcalc process options
expect_all_maps_done
expect_stderr </dev/null
{ sed -n 1,9p out/good.unit.labelunit; sed -n 10,11p out/good.unit.labelunit
  printf '$LABEL '; head -c 10485760 /dev/zero | tr '\0' x; printf '\n'; } >expected.labelunit
expect_same_file expected.labelunit out/bad.unit.labelunit

begin_case ten_megabyte_key_file_line
setup
sed 's/d1/d2/' out/good.unit >out/bad.unit
{ head -c 10485760 /dev/zero | tr '\0' p; printf '\tstem\t2\n'; } >out/key/d2.key
run labelcalc process options
expect_all_maps_done
expect_stderr </dev/null
{ printf '$MODE1_PHRASES 1\n'; head -c 10485760 /dev/zero | tr '\0' p; printf '\tstem\t2.000000\n'; } \
  >expected.key
expect_same_file expected.key out/key/bad.unit.key

begin_case ten_megabyte_process_file_line
setup
{ printf 'good.unit\n'; head -c 10485760 /dev/zero | tr '\0' n; printf '\nlater.unit\n'; } >process
run labelcalc process options
expect_status 1
expect_good_map_intact
grep -a -q '^Unitfile out/nnnnnnnnnn.* not found.... (File name too long)$' .stderr ||
  fail "no reason for the long name"

# --- Counts that are negative, huge or not numbers ------------------------

begin_case negative_document_count
setup
printf '$XDIM 1\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$NR_VEC_MAPPED -5\n$MAPPED_VECS\n$NR_SOMS_MAPPED 0\n' >out/bad.unit
run labelcalc process options
expect_all_maps_done
expect_stderr <<'EOF'
j= 0 , mapped_vecs = -5
Corrupt Unit-Torvelfile out/bad.unit..., or is there an error in my proggy
...workaround j = mapped vec :-D 
EOF
expect_file out/bad.unit.labelunit <<'EOF'
$XDIM 1
$YDIM 1
$POS_X 0
$POS_Y 0
$NR_VEC_MAPPED -5
$MAPPED_VECS
$NR_SOMS_MAPPED 0
$MODE1_PHRASES 0
EOF

# A count beyond the int range is taken as the largest int: the list then
# takes every token up to the end of the file.
begin_case huge_document_count
setup
printf '$XDIM 1\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$NR_VEC_MAPPED 99999999999\n$MAPPED_VECS d1\n$NR_SOMS_MAPPED 0\n' \
  >out/bad.unit
run labelcalc process options
expect_all_maps_done
expect_stderr <<'EOF'
j= 3 , mapped_vecs = 2147483647
Corrupt Unit-Torvelfile out/bad.unit..., or is there an error in my proggy
...workaround j = mapped vec :-D 
EOF
expect_file out/bad.unit.labelunit <<'EOF'
$XDIM 1
$YDIM 1
$POS_X 0
$POS_Y 0
$NR_VEC_MAPPED 99999999999
$MAPPED_VECS d1 $NR_SOMS_MAPPED 0
$VEC d1
$VEC $NR_SOMS_MAPPED
$VEC 0
EOF

begin_case document_count_not_a_number
setup
printf '$XDIM 1\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$NR_VEC_MAPPED many\n$MAPPED_VECS d1\n$NR_SOMS_MAPPED 0\n' \
  >out/bad.unit
run labelcalc process options
expect_all_maps_done
expect_stderr </dev/null
expect_file out/bad.unit.labelunit <<'EOF'
$XDIM 1
$YDIM 1
$POS_X 0
$POS_Y 0
$NR_VEC_MAPPED many
$MAPPED_VECS
d1
$NR_SOMS_MAPPED 0
$MODE1_PHRASES 0
EOF

begin_case negative_number_of_phrases
setup
echo 'NUMBEROFPHRASES -1' >>options
run labelcalc process options
expect_status 1
expect_stderr <<'EOF'
labelcalc: option NUMBEROFPHRASES must be at least 1, not -1
EOF
expect_missing out/good.unit.labelunit

begin_case huge_mode
setup
echo 'MODE 99999999999' >>options
run labelcalc process options
expect_status 1
expect_stderr <<'EOF'
Invalid value for option MODE in given option file, ciao ...
EOF
expect_missing out/good.unit.labelunit

begin_case huge_number_of_phrases_takes_every_phrase
setup
echo 'NUMBEROFPHRASES 99999999999' >>options
sed 's/d1/d2/' out/good.unit >out/bad.unit
printf 'a\ta\t3\nb\tb\t2\nc\tc\t1\n' >out/key/d2.key
printf 'bad.unit\n' >process
run labelcalc process options
expect_status 0
expect_file out/key/bad.unit.key <<'EOF'
$MODE1_PHRASES 3
a	a	3.000000
b	b	2.000000
c	c	1.000000
EOF

begin_case map_key_file_given_as_a_document_key_file
setup
sed 's/d1/d2/' out/good.unit >out/bad.unit
printf '$MODE1_PHRASES -4\n' >out/key/d2.key
run labelcalc process options
expect_stops_at_bad_map
expect_stderr <<'EOF'
Wrong format of keyfile: out/key/d2.key
Desired format:phrase stemmed_phrase score !!
Start KEAKeyphraseExtractor with option -a !Error calculating keyphrases for Unit 0 0 in map out/bad.unit
Error parsing unit file for map out/bad.unit
EOF

# --- A unit block without its keys ------------------------------------------

# Nothing is cleared between units: the second block keeps d1 from the first.
begin_case unit_block_without_its_keys
setup
cat >out/bad.unit <<'EOF'
$XDIM 2
$YDIM 1
$POS_X 0
$POS_Y 0
$NR_VEC_MAPPED 1
$MAPPED_VECS d1
$NR_SOMS_MAPPED 0
$POS_X 1
$NR_SOMS_MAPPED 0
EOF
run labelcalc process options
expect_all_maps_done
expect_stderr </dev/null
expect_file out/bad.unit.labelunit <<'EOF'
$XDIM 2
$YDIM 1
$POS_X 0
$POS_Y 0
$NR_VEC_MAPPED 1
$MAPPED_VECS d1
$VEC d1
$NR_SOMS_MAPPED 0
$MODE1_PHRASES 1
alpha beta	alpha beta	0.750000
$POS_X 1
$NR_SOMS_MAPPED 0
$MODE1_PHRASES 1
alpha beta	alpha beta	0.750000
EOF
expect_file out/key/bad.unit.key <<'EOF'
$MODE1_PHRASES 1
alpha beta	alpha beta	1.500000
EOF

# The sub-map's labelunit file, told which map lies above it, is a directory.
begin_case sub_map_labelunit_file_is_a_directory
setup
printf '$XDIM 1\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$NR_SOMS_MAPPED 1\n$URL_MAPPED_SOMS out/sub.xyz\n' >out/bad.unit
printf '$MODE1_PHRASES 1\nweb\tweb\t1.000000\n' >out/key/sub.unit.key
mkdir out/sub.unit.labelunit
run labelcalc process options
expect_stops_at_bad_map
expect_stderr <<'EOF'
Error opening mapped label unitfile out/sub.unit.labelunit (Is a directory)
Error parsing unit file for map out/bad.unit
EOF

begin_case sub_map_address_shorter_than_three_characters
setup
printf '$XDIM 1\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$NR_SOMS_MAPPED 1\n$URL_MAPPED_SOMS x\n' >out/bad.unit
run labelcalc process options
expect_stops_at_bad_map
expect_stderr <<'EOF'
Error opening keyfile out/key/unit.key (No such file or directory)
Error parsing unit file for map out/bad.unit
EOF

# --- Files that never end -------------------------------------------------
# No input may make memory grow without bound: a file read back must be a
# regular file, and a word or line of more than 256 MiB ends the map.

# The map key step reads the labelunit file back; a device reads endless zeros.
begin_case labelunit_file_reading_endless_zeros
setup
: >out/bad.unit
ln -s /dev/zero out/bad.unit.labelunit
run labelcalc process options
expect_stops_at_bad_map
expect_stderr <<'EOF'
labelcalc: cannot read out/bad.unit.labelunit: not a regular file
EOF
expect_missing out/key/bad.unit.key

begin_case sub_map_key_file_reading_endless_zeros
setup
printf '$XDIM 1\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$NR_SOMS_MAPPED 1\n$URL_MAPPED_SOMS out/sub.xyz\n' \
  >out/bad.unit
ln -s /dev/zero out/key/sub.unit.key
run labelcalc process options
expect_stops_at_bad_map
expect_stderr <<'EOF'
labelcalc: cannot read out/key/sub.unit.key: not a regular file
Error parsing unit file for map out/bad.unit
EOF

begin_case unit_key_file_reading_endless_zeros
setup
cat >zero_extractor <<'EOF'
#!/bin/sh
for text in "$2"*.txt; do ln -s /dev/zero "${text%.txt}.key"; done
EOF
chmod +x zero_extractor
printf 'MODE 0\nKEA_PROGRAM ./zero_extractor\n' >>options
cp out/good.unit out/bad.unit
printf 'text\n' >out/files/d1
printf 'bad.unit\nlater.unit\n' >process
run labelcalc process options
expect_status 1
expect_stderr <<'EOF'
Uiiii, where is it ??  /out/tmp/bad.unit.0_0.key (not a regular file)
AN Error occured while catting the files and parsing them
Error parsing unit file for map out/bad.unit
EOF
expect_missing out/later.unit.labelunit

begin_case unit_file_of_endless_zeros
setup
ln -s /dev/zero out/bad.unit
run labelcalc process options
expect_stops_at_bad_map
expect_stderr <<'EOF'
labelcalc: cannot read out/bad.unit: a word is longer than 256 MiB
Error parsing unit file for map out/bad.unit
EOF
expect_missing out/key/bad.unit.key

# --- Names that lead nowhere ----------------------------------------------

begin_case empty_process_file_line
setup
printf 'good.unit\n\nlater.unit\n' >process
run labelcalc process options
expect_status 1
expect_stderr <<'EOF'
Unitfile out/ not found.... (Is a directory)
Error parsing unit file for map out/
EOF
expect_good_map_intact

begin_case unit_file_is_a_directory
setup
mkdir out/bad.unit
run labelcalc process options
expect_status 1
expect_stderr <<'EOF'
Unitfile out/bad.unit not found.... (Is a directory)
Error parsing unit file for map out/bad.unit
EOF
expect_good_map_intact

begin_case labelunit_file_is_a_directory
setup
cp out/good.unit out/bad.unit
mkdir out/bad.unit.labelunit
run labelcalc process options
expect_stops_at_bad_map
expect_stderr <<'EOF'
Error writing file
labelcalc: cannot create out/bad.unit.labelunit: Is a directory
Error parsing unit file for map out/bad.unit
EOF

begin_case document_key_file_is_a_directory
setup
sed 's/d1/d2/' out/good.unit >out/bad.unit
mkdir out/key/d2.key
run labelcalc process options
expect_stops_at_bad_map
expect_stderr <<'EOF'
Couldn't open file out/key/d2.key (Is a directory)
Error calculating keyphrases for Unit 0 0 in map out/bad.unit
Error parsing unit file for map out/bad.unit
EOF

begin_case map_key_file_is_a_directory
setup
cp out/good.unit out/bad.unit
mkdir out/key/bad.unit.key
run labelcalc process options
expect_stops_at_bad_map
expect_stderr <<'EOF'
Couldn't write keyfile out/key/bad.unit.key !
labelcalc: out/key/bad.unit.key: Is a directory
EOF

begin_case option_file_is_a_directory
setup
mkdir option_dir
run labelcalc process option_dir
expect_status 1
expect_stderr <<'EOF'
labelcalc: cannot open option file option_dir: Is a directory
EOF

begin_case process_file_is_a_directory
setup
mkdir process_dir
run labelcalc process_dir options
expect_status 1
expect_stderr <<'EOF'
labelcalc: cannot open process file process_dir: Is a directory
EOF

begin_case key_directory_does_not_exist
setup
printf '$XDIM 1\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$NR_VEC_MAPPED 0\n$MAPPED_VECS\n$NR_SOMS_MAPPED 0\n' >out/bad.unit
echo 'KEYPATH nokey/' >>options
printf 'bad.unit\n' >process
run labelcalc process options
expect_status 1
expect_stderr <<'EOF'
Couldn't write keyfile nokey/bad.unit.key !
labelcalc: nokey/bad.unit.key: No such file or directory
EOF

begin_case output_directory_does_not_exist
setup
echo 'OUTPUTPATH noout/' >>options
run labelcalc process options
expect_status 1
expect_stderr <<'EOF'
Unitfile noout/good.unit not found.... (No such file or directory)
Error parsing unit file for map noout/good.unit
EOF

# --- Writes to a full device ------------------------------------------------

begin_case labelunit_file_on_a_full_device
setup
cp out/good.unit out/bad.unit
ln -s /dev/full out/bad.unit.labelunit
run labelcalc process options
expect_stops_at_bad_map
expect_stderr <<'EOF'
labelcalc: cannot write out/bad.unit.labelunit: No space left on device
Error parsing unit file for map out/bad.unit
EOF
expect_missing out/key/bad.unit.key

begin_case map_key_file_on_a_full_device
setup
cp out/good.unit out/bad.unit
ln -s /dev/full out/key/bad.unit.key
run labelcalc process options
expect_stops_at_bad_map
expect_stderr <<'EOF'
labelcalc: cannot write out/key/bad.unit.key: No space left on device
EOF

begin_case sub_map_labelunit_file_on_a_full_device
setup
cat >out/bad.unit <<'EOF'
$XDIM 1
$YDIM 1
$POS_X 0
$POS_Y 0
$NR_VEC_MAPPED 0
$MAPPED_VECS
$NR_SOMS_MAPPED 1
$URL_MAPPED_SOMS out/sub.xyz
EOF
printf '$MODE1_PHRASES 1\nweb\tweb\t1.000000\n' >out/key/sub.unit.key
ln -s /dev/full out/sub.unit.labelunit
run labelcalc process options
expect_stops_at_bad_map
expect_stderr <<'EOF'
labelcalc: cannot write out/sub.unit.labelunit: No space left on device
Error parsing unit file for map out/bad.unit
EOF
expect_missing out/key/bad.unit.key

begin_case unit_text_file_on_a_full_device
setup
printf 'MODE 0\nKEA_PROGRAM false\n' >>options
cp out/good.unit out/bad.unit
printf 'some text\n' >out/files/d1
ln -s /dev/full out/tmp/bad.unit.0_0.txt
printf 'bad.unit\n' >process
run labelcalc process options
expect_status 1
expect_stderr <<'EOF'
Couldn't write to disk out/tmp/bad.unit.0_0.txt
labelcalc: out/tmp/bad.unit.0_0.txt: No space left on device
AN Error occured while catting the files and parsing them
Error parsing unit file for map out/bad.unit
EOF

# A write that failed already (the long line overflows the stream's buffer)
# stops the map before the next label step: no extractor is started for a
# labelunit file that cannot be written.
begin_case labelunit_file_on_a_full_device_starts_no_extractor
setup
printf '#!/bin/sh\n: >extractor.started\n' >recording_extractor
chmod +x recording_extractor
printf 'MODE 0\nKEA_PROGRAM ./recording_extractor\n' >>options
{ printf '$LABEL '; head -c 200000 /dev/zero | tr '\0' x; printf '\n'; cat out/good.unit; } >out/bad.unit
printf 'text\n' >out/files/d1
ln -s /dev/full out/bad.unit.labelunit
printf 'bad.unit\n' >process
run labelcalc process options
expect_status 1
expect_stderr <<'EOF'
labelcalc: cannot write out/bad.unit.labelunit: No space left on device
Error parsing unit file for map out/bad.unit
EOF
expect_missing extractor.started

begin_case standard_output_on_a_full_device
setup
printf 'good.unit\n' >process
status=0
timeout -k 10 1200 labelcalc process options >/dev/full 2>.stderr || status=$?
expect_status 1
expect_stderr <<'EOF'
labelcalc: cannot write to standard output: No space left on device
EOF
expect_good_map_intact

# --- A document that cannot be read, an extractor that hangs ----------------

begin_case document_is_a_directory
setup
printf 'MODE 0\nKEA_PROGRAM false\n' >>options
cp out/good.unit out/bad.unit
mkdir out/files/d1
printf 'bad.unit\n' >process
run labelcalc process options
expect_status 1
expect_stderr <<'EOF'
File not found out/files/d1 (Is a directory)
AN Error occured while catting the files and parsing them
Error parsing unit file for map out/bad.unit
EOF

# labelcalc waits for the extractor however long it takes; it has no timeout.
# The test extractor blocks until the test releases it through a FIFO.
begin_case extractor_that_hangs_is_waited_for
setup
cat >hanging_extractor <<'EOF'
#!/bin/sh
dir=$2
: >extractor.started
read release <extractor.release
for text in "$dir"*.txt; do printf 'held\theld\t1.0\n' >"${text%.txt}.key"; done
EOF
chmod +x hanging_extractor
mkfifo extractor.release
printf 'MODE 0\nKEA_PROGRAM ./hanging_extractor\n' >>options
cp out/good.unit out/bad.unit
printf 'text\n' >out/files/d1
printf 'bad.unit\n' >process
labelcalc process options >.stdout 2>.stderr &
pid=$!
for _ in $(seq 6000); do [ -e extractor.started ] && break; sleep 0.1; done
[ -e extractor.started ] || fail "the extractor never started"
kill -0 "$pid" 2>/dev/null || fail "labelcalc ended while its extractor was still running"
grep -q MODE0_PHRASES out/bad.unit.labelunit 2>/dev/null && fail "labels written before the extractor ended"
echo release >extractor.release
status=0
wait "$pid" || status=$?
expect_status 0
expect_stderr </dev/null
expect_file out/bad.unit.labelunit <<'EOF'
$XDIM 1
$YDIM 1
$POS_X 0
$POS_Y 0
$NODE_ID n_0_0
$NR_VEC_MAPPED 1
$MAPPED_VECS d1
$VEC d1
$MODE0_PHRASES 15
$M0_LABEL held	held	1.0
$NR_SOMS_MAPPED 0
EOF

finish_suite
