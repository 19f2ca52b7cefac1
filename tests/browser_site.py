#!/usr/bin/python3
"""The browser test's walk through a demo folder in headless Chromium.

Usage: browser_site.py DEMO_FOLDER

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
    the document.
Prints what it did; exits 1 naming the first step that failed.
"""

import collections
import os
import pathlib
import re
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "demo"))
import browser  # noqa: E402  (demo/browser.py: Chromium through its WebDriver)

from selenium.common.exceptions import TimeoutException  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
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


def main():
    if len(sys.argv) != 2:
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
    except Failure as failure:
        print(f"FAIL: browser test: {failure}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
