#!/usr/bin/env bash
# somlabel end to end: the files it makes are those of the single tools run
# by hand as the README says; a rerun redoes only what changed and still
# gives the files of a run from scratch; the user's options survive; a
# failing step is named; key-file links open as text in a browser.
#   bash tests/somlabel.test.sh BUILD_DIR
source "$(dirname "$0")/badinput_lib.sh"
somlabel=$build_dir/somlabel/somlabel
[ -x "$somlabel" ] || { echo "somlabel not built: nothing to test"; exit 0; }
map_options=(--xdim 2 --ydim 1 --sub-xdim 2 --sub-ydim 1 --expand 2 --depth 2 --min-df 1 --max-df 1 --jobs 1)

documents() {
  mkdir -p docs
  local i=0 topic
  for topic in "neural networks learn maps of documents" "self-organizing maps arrange documents" \
    "keyphrase extraction finds phrases in text" "phrases of text label the map units" \
    "sockets connect processes over a network" "a network socket sends packets" \
    "file systems store files in directories" "directories hold files and links" \
    "threads share memory in a process" "a process forks child processes" \
    "signals interrupt a running process" "timers send signals after a delay"; do
    i=$((i + 1))
    printf '%s. The %s again, and %s.\n' "$topic" "$topic" "$topic" >"docs/d$i"
  done
}
# somlabel's closing line of figures.
figures() { grep -a '^somlabel: [0-9]* documents' .stderr; }
expect_figures() { figures | grep -q -F -e "$1" || fail "figures lack '$1': $(figures)"; }

begin_case the_single_tools_by_hand_make_the_same_files
documents
run "$somlabel" docs out "${map_options[@]}"
expect_status 0
expect_stdout <<EOF
$case_dir/out/output/index.html
EOF
expect_figures "12 documents, 3 maps, 6 units; text "
# The chain of the README, with somlabel's lines in the option file.
somtrain "${map_options[@]}" docs hand >/dev/null 2>&1 || fail "somtrain failed"
keyphrases train -l docs -m hand/model >/dev/null 2>&1 || fail "keyphrases train failed"
keyphrases docs --source docs --keys hand/output/key -m hand/model -n 30 --for-labels --ending .txt \
  >/dev/null 2>&1 || fail "keyphrases docs failed"
printf 'MODE 2\nNUMBEROFPHRASES 5\nKEAFILEEXTENSION .txt\nKEA_PROGRAM keyphrases\nKEA_MODEL model\n' \
  >>hand/options
# somlabel's tools read the documents' text in out/text (for plain text, links to them).
sed 's|^SOURCEPATH .*|SOURCEPATH text/|' hand/options >hand/options.expected
expect_same_file hand/options.expected out/options
(cd hand && labelcalc process options && labelweb process.web options &&
  labelsite process.web options) >/dev/null 2>&1 || fail "labelcalc, labelweb or labelsite failed"
rm hand/output/tmp_kea/*.key  # somlabel empties the extractor's folder after labelcalc
diff -r hand/output out/output >/dev/null || fail "somlabel's files differ from the tools' by hand"
ls out/logs/{maps,model,keys,labels,pages,site}.log >/dev/null || fail "a step's log is missing"

# somtrain --help's next steps, followed word for word, label the maps and write their pages.
begin_case somtrain_help_lists_every_step
documents
somtrain "${map_options[@]}" docs work >/dev/null 2>&1 || fail "somtrain failed"
somtrain --help | sed -n '/Then, to label/,/^or all/{/^  /p}' | sed 's/ *(.*//' |
  sed 's/DOCUMENTS/docs/g; s/WORKDIR/work/g; s/MODEL/model/g' >steps.sh
run bash -e steps.sh
expect_status 0
grep -q -F '$MODE1_PHRASES' work/output/map.unit.labelunit || fail "the top map has no labels"
[ -s work/output/map.unit.labelunit.html ] || fail "the top map has no page"

begin_case a_rerun_redoes_only_what_changed_and_keeps_the_users_options
documents
run "$somlabel" docs out "${map_options[@]}"
echo "KEYLINKS_OUTPUT 0" >>out/options
run "$somlabel" docs out
expect_figures "maps kept; model kept; keys kept; labels "
expect_figures "(3 of 3 maps); pages "
before=$(stat -c %y out/output/key/d1.txt)
touch docs/d5
run "$somlabel" docs out
expect_status 0
expect_figures "keys "
expect_figures "(1 of 12 documents)"
[ "$(stat -c %y out/output/key/d1.txt)" = "$before" ] || fail "an unchanged document's key file was written"
grep -q -x "KEYLINKS_OUTPUT 0" out/options || fail "the user's option line is gone"
run "$somlabel" docs out --retrain
expect_status 0
figures | grep -q '; maps [0-9.]* s; ' || fail "--retrain did not train the maps again"
! grep -q retrain out/map-options || fail "--retrain was kept for the next run"
run "$somlabel" docs out --xdim 1 --ydim 2 --min-df 1 --max-df 1 --jobs 1
grep -q -x "KEYLINKS_OUTPUT 0" out/options || fail "new map options lost the user's option line"
# The same files as a run from scratch with the same options.
mkdir fresh && cp out/options fresh/options
run "$somlabel" docs fresh --xdim 1 --ydim 2 --min-df 1 --max-df 1 --jobs 1
diff -r fresh/output out/output >/dev/null || fail "the reruns' files differ from a fresh run's"
run "$somlabel" docs out --xdim 1 --ydim 2 --min-df 1 --max-df 1 --jobs 2
expect_figures "maps kept; model kept; keys kept; labels kept; pages kept; site kept"
run "$somlabel" docs out --xdim 1 --ydim 2 --min-df 1 --max-df 1 --language german
expect_status 0
figures | grep -q '; model [0-9.]* s; keys ' || fail "no new model for another language"

begin_case one_map_of_one_unit_is_counted_in_the_singular
documents
run "$somlabel" docs out --xdim 1 --ydim 1 --depth 1 --min-df 1 --max-df 1 --jobs 1
expect_status 0
expect_figures "12 documents, 1 map, 1 unit; text "

begin_case a_failing_step_is_named_with_its_message
documents
run "$somlabel" docs out "${map_options[@]}"
echo "KEA_PROGRAM /bin/false" >>out/options
run "$somlabel" docs out
expect_status 1
expect_stderr_line "somlabel: step labels failed: labelcalc ended with exit status 1:"
grep -a -q "^  Error parsing unit file for map output/" .stderr || fail "labelcalc's message not shown"
expect_stderr_line "somlabel: all of its messages are in $case_dir/out/logs/labels.log"

begin_case binary_documents_are_named_once
documents
gzip -c docs/d1 >docs/d9.gz
run "$somlabel" docs out "${map_options[@]}"
expect_status 0
[ "$(grep -a -c 'd9.gz: passed over: not text' .stderr)" = 1 ] || fail "d9.gz not named exactly once"
! grep -a -q -x ' *' .stderr || fail "an empty warning line"
grep -q -x "$case_dir/docs/d9.gz: passed over: not text (binary or compressed)" \
  out/logs/text.log || fail "the text step's log lacks the warning about d9.gz"
expect_stderr_line "somlabel: passed over 1 of 13 files (1 binary); the list is in $case_dir/out/logs/text.log"
expect_figures "12 documents, 3 maps, "
expect_figures "(12 of 12 documents)"
# It never gets a key file, and is no reason to run the step again.
run "$somlabel" docs out
expect_figures "text kept; maps kept; model kept; keys kept; labels kept"

begin_case usage_errors
run "$somlabel" docs
expect_status 2
run "$somlabel" docs out --xdim 0
expect_status 2
expect_stderr_line "somlabel: the map options are somtrain's; see somtrain --help"
documents
run "$somlabel" docs docs
expect_status 1
run "$somlabel" nodocs out
expect_status 1
expect_stderr_line "somlabel: nodocs is not a folder of documents: No such file or directory"
run "$somlabel" --help
expect_status 0

# Key files open as text in a browser from the file system (".key" would be a
# PGP key to it, and be downloaded).
begin_case key_links_open_as_text_in_a_browser
documents
run "$somlabel" docs out "${map_options[@]}"
link=$(cat out/output/*.html | grep -a -o -i 'href=key/[^ >]*' | head -n 1 | cut -c 6-)
[ -n "$link" ] || fail "no key-file link on the pages"
# What Chromium shows of the file: the text of a <pre>, or nothing when it
# takes the file for a download.
timeout 120 /usr/bin/python3 - "$tests_dir/../demo" "out/output/$link" >shown.txt <<'PYTHON' ||
import sys
sys.path.insert(0, sys.argv[1])
import browser
with browser.chromium() as driver:
    driver.get(browser.url(sys.argv[2]))
    print("".join(pre.text for pre in driver.find_elements("tag name", "pre")))
PYTHON
  fail "chromium could not open the key file $link"
grep -q -F "$(head -n 1 "out/output/$link" | cut -f 1)" shown.txt || fail "$link is not shown as text"

finish_suite
