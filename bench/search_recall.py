#!/usr/bin/python3
"""Whether the site's search by content finds every document that holds a word.

Usage: bench/search_recall.py RUN_DIR [WORDS]

RUN_DIR is what `somlabel DOCS RUN_DIR` made (demo/output for the demo). Takes
WORDS words (default 200) as the documents write them, spread over how many
documents hold them, the five most common among them (the same on every run), types each into the
search box of RUN_DIR/output/index.html in headless Chromium, followed by a
blank (the whole word, not its start), and compares the documents the search
finds with those whose text holds the word, worked out here: the text
(SOURCEPATH + name) cut into words as the tokenizer of text/ cuts them, each
lower-cased and stemmed (Snowball). Prints recall and precision over all words
and names each word whose documents differ.
"""

import pathlib
import re
import sys

import snowballstemmer

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "demo"))
import browser  # noqa: E402

WORD = re.compile(r"[^\W_]+(?:['\u2019\u2010\u2011.\-][^\W_]+)*")
STEMMER = snowballstemmer.stemmer("english")

SEARCH = """
const query = arguments[0], done = arguments[arguments.length - 1];
window.somlabel.searchText(query, function (found) {
  if (!found) return done([]);
  window.somlabel.documents(Array.from(found.documents), function (entries) {
    done(entries.map(function (e) { return e[0]; }));
  });
});
"""


def setting(run, key, default):
    value = default
    for line in (run / "options").read_text().splitlines():
        words = line.split(" ")
        if words[0] == key and len(words) > 1:
            value = words[-1]
    return value


def main():
    if len(sys.argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 2
    run = pathlib.Path(sys.argv[1]).resolve()
    wanted = int(sys.argv[2]) if len(sys.argv) == 3 else 200
    source = run / setting(run, "SOURCEPATH", "output/files/")
    names = set()
    for line in (run / "process.web").read_text().splitlines():
        page = run / setting(run, "OUTPUTPATH", "output/") / line
        for entry in page.read_text(encoding="utf-8", errors="replace").splitlines():
            if entry.startswith("$VEC "):
                names.update(entry[5:].split(" "))
    holders = {}  # stem: documents
    forms = {}  # stem: a form the documents write
    for name in sorted(names):
        text = (source / name).read_text(encoding="utf-8", errors="replace")
        for word in WORD.findall(text):
            lower = word.lower()
            stem = STEMMER.stemWord(lower)
            holders.setdefault(stem, set()).add(name)
            forms.setdefault(stem, lower)
    by_count = sorted(holders, key=lambda s: (len(holders[s]), s))
    step = max(1, len(by_count) // wanted)
    chosen = list(dict.fromkeys(by_count[::step][:wanted - 5] + by_count[-5:]))  # and the 5 commonest
    found_all = expected_all = right = 0
    with browser.chromium() as driver:
        driver.set_script_timeout(60)
        driver.get(browser.url(run / setting(run, "OUTPUTPATH", "output/") / "index.html"))
        for stem in chosen:
            found = set(driver.execute_async_script(SEARCH, forms[stem] + " "))
            expected = holders[stem]
            found_all += len(found)
            expected_all += len(expected)
            right += len(found & expected)
            if found != expected:
                print(f"{forms[stem]!r}: {len(found & expected)} of {len(expected)} documents "
                      f"found, {len(found - expected)} more")
    print(f"{len(chosen)} words held by {min(len(holders[s]) for s in chosen)} to "
          f"{max(len(holders[s]) for s in chosen)} of {len(names)} documents: recall "
          f"{right / expected_all:.4f}, precision {right / max(found_all, 1):.4f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
