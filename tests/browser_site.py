#!/usr/bin/python3
"""The browser test's walk through a demo folder in headless Chromium.

Usage: browser_site.py DEMO_FOLDER [HOSTILE_SITE]

DEMO_FOLDER is what demo/run.sh left: output/ with the map pages and the site,
documents/ with the documents, process.web with the maps. The walk:
  - every map page shows a table; the top page links down to a sub-map,
    whose "One Level Up" leads back;
  - index.html opens from file:// with its search ready; typing the start of a
    document's name lists exactly the documents with a word of that start
    (worked out here from the file names), and typing a label phrase of the
    top map lists the phrase, which leads to its entry in the phrase index,
    and units, one of which leads to its map page;
  - the first entry of the document index leads to the map page that links
    the document;
  - the front page opens with the top map's view, a cell per unit; a sub-map's
    cell zooms into its view and back leads up again; arrow keys move between
    units and Enter opens one's panel, whose labels list the documents that
    carry them (each holds every stemmed word, worked out here);
  - a word of the documents' text finds exactly the documents whose text holds
    it, stemmed (worked out here), and lights each unit of the map in view by
    how many of its documents those are; a result leads to its unit;
  - with HOSTILE_SITE (a folder with index.html made from hostile names, labels
    and texts) nothing from the input runs while the view, a search and a
    unit's panel are shown.
Prints what it did; exits 1 naming the first step that failed.
"""

import collections
import os
import pathlib
import re
import sys

import snowballstemmer

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "demo"))
import browser  # noqa: E402  (demo/browser.py: Chromium through its WebDriver)

from selenium.common.exceptions import NoAlertPresentException, TimeoutException  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def wait(driver, condition, what, seconds=10):
    try:
        return WebDriverWait(driver, seconds).until(condition)
    except TimeoutException:
        raise Failure(what) from None


def links(driver):
    return [(a.text.strip(), a.get_attribute("href"))
            for a in driver.find_elements(By.TAG_NAME, "a")]


def open_map_page(driver, url):
    driver.get(url)
    cells = driver.find_elements(By.TAG_NAME, "td")
    check(cells and any(c.text.strip() not in ("", ".") for c in cells),
          f"{url} shows no table with labels")


def walk_map_pages(driver, pages, top):
    for page in sorted(pages.glob("*.labelunit.html")):
        open_map_page(driver, browser.url(page))
    open_map_page(driver, browser.url(top))
    down = [href for text, href in links(driver) if text == "down"]
    check(down, "the top page has no link down to a sub-map")
    open_map_page(driver, down[0])
    up = [href for text, href in links(driver) if text == "One Level Up"]
    check(up == [browser.url(top)], f"{down[0]} does not link one level up to the top page")
    print(f"map pages: each shows a table; down to {os.path.basename(down[0])} and back up")


def search(driver, index, query):
    """Types `query` into a fresh index.html; returns the result sections by heading."""
    driver.get(browser.url(index))
    wait(driver, lambda d: d.find_element(By.TAG_NAME, "html").get_attribute("data-search"),
         "index.html never had its search ready")
    driver.find_element(By.ID, "search").send_keys(query)
    try:
        browser.wait_for_search(driver)
    except TimeoutException:
        raise Failure(f"the search for {query!r} did not finish") from None
    sections = {}
    for section in driver.find_elements(By.CSS_SELECTOR, "#search-results section"):
        heading = section.find_element(By.TAG_NAME, "h3").text
        sections[heading.split(" (")[0]] = section.find_elements(By.TAG_NAME, "li")
    return sections


def word_starts(name):
    """Where the search finds a name: its start and each letter after an ASCII
    character other than a letter or a digit."""
    ascii_alnum = re.compile(r"[A-Za-z0-9]")
    return [name[i:] for i, c in enumerate(name)
            if i == 0 or (re.match(r"[A-Za-z]", c) and not ascii_alnum.match(name[i - 1]))]


def search_documents(driver, index, files):
    names = sorted(os.listdir(files))
    # The three letters that start the most words, typed in upper case (case
    # does not matter): a query with several documents to list.
    starts = collections.Counter(w[:3].lower() for n in names for w in word_starts(n)
                                 if len(w) >= 3)
    query = min(starts, key=lambda s: (-starts[s], s)).upper()
    expected = sorted(n for n in names
                      if any(w.lower().startswith(query.lower()) for w in word_starts(n)))
    found = search(driver, index, query).get("Documents by name", [])
    shown = sorted(item.find_element(By.TAG_NAME, "a").text for item in found)
    check(len(expected) >= 2 and shown == expected,
          f"searching {query!r} lists {shown}, not {expected}")
    print(f"search {query!r}: the {len(expected)} documents with a word of that start")


def first_label(labelunit):
    """The first mode-1 phrase of the first unit, as the labelunit file holds it."""
    lines = labelunit.read_text(encoding="utf-8", errors="replace").splitlines()
    for number, line in enumerate(lines):
        if line.startswith("$MODE1_PHRASES ") and int(line.split()[1]) > 0:
            return lines[number + 1].split("\t")[0]
    raise Failure(f"{labelunit} holds no mode-1 phrase")


def search_phrase(driver, index, phrase, top_title):
    sections = search(driver, index, phrase)
    phrases = [i for i in sections.get("Phrases of the map pages", [])
               if i.find_element(By.TAG_NAME, "a").text.lower() == phrase.lower()]
    check(phrases, f"searching {phrase!r} does not list the phrase")
    units = sections.get("Units", [])
    check(units, f"searching {phrase!r} lists no unit")
    phrases[0].find_element(By.TAG_NAME, "a").click()
    wait(driver, lambda d: "#" in d.current_url, f"the phrase {phrase!r} leads nowhere")
    fragment = driver.current_url.split("#")[-1]
    entry = driver.find_element(By.ID, fragment)
    check(entry.text.lower() == phrase.lower(),
          f"the phrase link leads to {entry.text!r}, not {phrase!r}")
    carriers = entry.find_element(By.XPATH, "following-sibling::dd[1]").text
    check(top_title in carriers,
          f"the phrase index has {phrase!r} on {carriers!r}, not on {top_title}")
    word = phrase.split(" ")[0]
    texts = [i.find_element(By.TAG_NAME, "a").text for i in search(driver, index, word)["Phrases of the map pages"]]
    check(len(set(texts)) == len(texts), f"searching {word!r} lists a phrase twice: {texts}")
    sections = search(driver, index, phrase)
    unit = sections["Units"][0].find_element(By.TAG_NAME, "a")
    target, text = unit.get_attribute("href"), unit.text
    unit.click()
    wait(driver, lambda d: d.current_url == target, f"the unit {text!r} leads nowhere")
    place = text.rsplit(" (", 1)[1].rstrip(")").replace(", ", ",")
    wait(driver, lambda d: d.find_element(By.ID, "map-view").get_attribute("data-unit") == place,
         f"the unit {text!r} links {target}, whose map view shows no unit {place}")
    print(f"search {phrase!r}: the phrase, in the phrase index on {top_title}; "
          f"units, the first to its place in the map view")


def document_index_to_map(driver, pages):
    driver.get(browser.url(pages / "documents.html"))
    row = driver.find_element(By.CSS_SELECTOR, "table.index tbody tr")
    document, place = row.find_elements(By.TAG_NAME, "td")[:2]
    name = document.text
    place.find_element(By.TAG_NAME, "a").click()
    wait(driver, lambda d: d.current_url.endswith(".labelunit.html"),
         f"the map link of {name} leads to {driver.current_url}")
    check(any(text == name for text, _ in links(driver)),
          f"{driver.current_url} does not link the document {name}")
    print(f"document index: {name} leads to its map page {os.path.basename(driver.current_url)}")


# Words as the tokenizer of text/ cuts them: letters, marks and digits, with
# ' - . between two of them; stemmed as the site stems them.
WORD = re.compile(r"[^\W_]+(?:['\u2019\u2010\u2011.\-][^\W_]+)*")
STEMMER = snowballstemmer.stemmer("english")


def stems(path):
    text = path.read_text(encoding="utf-8", errors="replace")
    return {STEMMER.stemWord(w.lower()) for w in WORD.findall(text)}


class Hierarchy:
    """The maps of a demo folder as their labelunit files give them: each
    unit's own documents, and the map below a unit."""

    def __init__(self, demo):
        self.pages = demo / "output"
        self.names = [line for line in (demo / "process.web").read_text().splitlines() if line]
        self.units = {}  # title: [[x, y, documents, sub-map title or None], ...]
        for name in self.names:
            title = pathlib.Path(name).name.removesuffix(".labelunit")
            units = []
            for line in (self.pages / name).read_text(encoding="utf-8", errors="replace").splitlines():
                key, _, value = line.partition(" ")
                if key == "$POS_X":
                    units.append([int(value), 0, [], None])
                elif key == "$POS_Y":
                    units[-1][1] = int(value)
                elif key == "$VEC":
                    units[-1][2].append(value)
                elif key == "$URL_MAPPED_SOMS":
                    units[-1][3] = pathlib.Path(value).name[:-3] + "unit"
            self.units[title] = units
        self.top = pathlib.Path(self.names[-1]).name.removesuffix(".labelunit")

    def documents(self, title, x, y):
        """Every document of the unit, those of its sub-maps included."""
        for ux, uy, documents, sub in self.units[title]:
            if (ux, uy) == (x, y):
                if sub is None or sub not in self.units:
                    return set(documents)
                return {d for u in self.units[sub] for d in self.documents(sub, u[0], u[1])}
        return set()


def open_view(driver, index, fragment=""):
    driver.get(browser.url(index) + fragment)
    wait(driver, lambda d: d.find_element(By.ID, "map-view").get_attribute("data-map"),
         "index.html never drew its map view")
    return driver.find_element(By.ID, "map-view")


def cells(driver):
    return driver.find_elements(By.CSS_SELECTOR, "#map-grid .cell")


def view_state(driver):
    view = driver.find_element(By.ID, "map-view")
    return view.get_attribute("data-map"), view.get_attribute("data-unit")


def walk_map_view(driver, index, hierarchy, documents):
    view = open_view(driver, index)
    top_map = view.get_attribute("data-map")
    width = max(u[0] for u in hierarchy.units[hierarchy.top]) + 1
    check(len(cells(driver)) == len(hierarchy.units[hierarchy.top]),
          f"the top map's view shows {len(cells(driver))} cells, not one per unit")
    zoom = driver.find_elements(By.CSS_SELECTOR, "#map-grid a.zoom")
    check(zoom, "no unit of the top map's view leads to a sub-map")
    zoom[0].click()
    wait(driver, lambda d: view_state(d)[0] != top_map, "zooming in shows no other map")
    path = driver.find_element(By.ID, "map-path").text
    check(path.count("\u203a") == 1, f"the sub-map's path up is {path!r}")
    driver.back()
    wait(driver, lambda d: view_state(d)[0] == top_map, "back does not lead up to the top map")
    # Keys: to the first cell, one to the right, open it, close it.
    first = driver.find_element(By.CSS_SELECTOR, "#map-grid .cell a.open")
    first.send_keys(Keys.ARROW_RIGHT if width > 1 else Keys.ARROW_DOWN)
    focused = driver.switch_to.active_element
    focused.send_keys(Keys.ENTER)
    wanted = "1,0" if width > 1 else "0,1"
    wait(driver, lambda d: view_state(d)[1] == wanted, f"arrow and Enter do not open unit {wanted}")
    panel_labels(driver, hierarchy, documents, hierarchy.top, wanted)
    driver.find_element(By.TAG_NAME, "body").send_keys(Keys.ESCAPE)
    wait(driver, lambda d: not d.find_elements(By.ID, "unit-panel"), "Escape leaves the panel open")
    print(f"map view: {len(hierarchy.units[hierarchy.top])} cells, down to a sub-map and back, "
          f"keys to unit ({wanted}) and its panel")


def panel_labels(driver, hierarchy, documents, title, place):
    x, y = map(int, place.split(","))
    held = hierarchy.documents(title, x, y)
    panel = driver.find_element(By.ID, "unit-panel")
    labels = panel.find_elements(By.CSS_SELECTOR, "ol li button")
    check(labels, f"the panel of unit ({place}) shows no label")
    evidence = labels[0].find_element(By.XPATH, "following-sibling::span").text
    match = re.fullmatch(r" ?in (\d+) of (\d+) documents?", evidence)
    check(match and int(match.group(2)) == len(held),
          f"the first label of unit ({place}) says {evidence!r}; the unit has {len(held)}")
    phrase = labels[0].text
    labels[0].click()
    wait(driver, lambda d: len(d.find_elements(By.CSS_SELECTOR, "#label-documents li")) ==
         int(match.group(1)), f"the label {phrase!r} lists not {match.group(1)} documents")
    listed = [li.find_element(By.TAG_NAME, "a").text
              for li in driver.find_elements(By.CSS_SELECTOR, "#label-documents li")]
    words = {STEMMER.stemWord(w.lower()) for w in WORD.findall(phrase)}
    for name in listed:
        check(name in held, f"the label {phrase!r} lists {name}, no document of unit ({place})")
        check(words <= stems(documents / name),
              f"the label {phrase!r} lists {name}, whose text lacks some of {sorted(words)}")


def text_search(driver, index, hierarchy, documents):
    texts = {name: stems(documents / name) for name in os.listdir(documents)}
    counts = collections.Counter(stem for held in texts.values() for stem in held)
    # A word as the documents write it, whose stem several documents hold but not most.
    forms = {w.lower() for name in sorted(texts)[:10]
             for w in WORD.findall((documents / name).read_text(errors="replace"))}
    word = min((w for w in forms if re.fullmatch(r"[a-z]{5,}", w)
                and 3 <= counts[STEMMER.stemWord(w)] <= len(texts) // 3),
               key=lambda w: (-counts[STEMMER.stemWord(w)], w))
    expected = {name for name, held in texts.items() if STEMMER.stemWord(word) in held}
    view = open_view(driver, index)
    view.get_attribute("data-map")
    driver.find_element(By.ID, "search").send_keys(word + " ")
    browser.wait_for_search(driver)
    heading = driver.find_element(By.CSS_SELECTOR, "#search-results section h3").text
    check(heading == f"Documents holding the word ({len(expected)})",
          f"searching {word!r} says {heading!r}; {len(expected)} documents hold it")
    shown = [li.find_element(By.TAG_NAME, "a").text
             for li in driver.find_elements(By.CSS_SELECTOR, "#text-results li")
             if li.find_elements(By.TAG_NAME, "a")]
    check(set(shown) <= expected and len(shown) == min(20, len(expected)),
          f"searching {word!r} lists {shown}")
    lit = 0
    for cell in cells(driver):
        place = cell.find_element(By.CSS_SELECTOR, "a.open").get_attribute("href").split("u=")[1]
        x, y = map(int, place.split(","))
        want = len(hierarchy.documents(hierarchy.top, x, y) & expected)
        hits = cell.find_elements(By.CLASS_NAME, "hits")
        got = int(hits[0].text) if hits else 0
        check(got == want, f"unit ({place}) is lit for {got} documents of {word!r}, not {want}")
        check(("dim" in cell.get_attribute("class")) == (want == 0),
              f"unit ({place}) is {'dim' if want else 'lit'} for {word!r}")
        lit += want > 0
    result = driver.find_element(By.CSS_SELECTOR, "#text-results li a:nth-of-type(2)")
    target = result.text
    result.click()
    place = target.rsplit(" (", 1)[1].rstrip(")").replace(", ", ",")
    wait(driver, lambda d: view_state(d)[1] == place and d.find_elements(By.ID, "unit-panel"),
         f"the result's unit {target!r} does not open in the map view")
    print(f"search by text {word!r}: {len(expected)} documents as grep finds them, "
          f"{lit} units lit by their share; a result leads to {target}")


def hostile(driver, index):
    """Nothing from hostile names, labels and texts runs."""
    open_view(driver, index)
    driver.find_element(By.ID, "search").send_keys("src")
    browser.wait_for_search(driver)
    driver.find_element(By.CSS_SELECTOR, "#map-grid .cell a.open").send_keys(Keys.ENTER)
    wait(driver, lambda d: d.find_elements(By.ID, "unit-panel"), "no unit panel opens")
    for button in driver.find_elements(By.CSS_SELECTOR, "#unit-panel button"):
        if button.text != "close":
            button.click()
    try:
        text = driver.switch_to.alert.text
        raise Failure(f"the hostile site raised an alert: {text!r}")
    except NoAlertPresentException:
        pass
    check(driver.execute_script("return window.pwned") is None, "text from the input ran")
    print("hostile names, labels and texts: shown, searched, opened; nothing ran")


def main():
    if len(sys.argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 2
    demo = pathlib.Path(sys.argv[1]).resolve()
    pages = demo / "output"
    top_labelunit = pages / (demo / "process.web").read_text().splitlines()[-1]
    top = pathlib.Path(str(top_labelunit) + ".html")
    top_title = top_labelunit.name.removesuffix(".labelunit")
    try:
        with browser.chromium() as driver:
            walk_map_pages(driver, pages, top)
            search_documents(driver, pages / "index.html", pages.parent / "documents")
            search_phrase(driver, pages / "index.html", first_label(top_labelunit), top_title)
            document_index_to_map(driver, pages)
            hierarchy = Hierarchy(demo)
            walk_map_view(driver, pages / "index.html", hierarchy, demo / "documents")
            text_search(driver, pages / "index.html", hierarchy, demo / "documents")
            if len(sys.argv) == 3:
                hostile(driver, pathlib.Path(sys.argv[2]) / "index.html")
    except Failure as failure:
        print(f"FAIL: browser test: {failure}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
