#!/usr/bin/python3
"""Checks one map page as Chromium built it (the DOM from --dump-dom).

Usage: browser_dom.py PAGE DOM_FILE

PAGE is the page's file (links are taken relative to its folder), DOM_FILE
what Chromium printed for it. The page must hold a table with at least one
cell that shows something, and every link must name a file that exists.
Prints "down HREF" for each link down to a sub-map and "up HREF" for the link
one level up, then exits 0; on a problem prints it and exits 1.
"""

import html.parser
import os
import sys
import urllib.parse


class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.cells = []        # text of each <td>
        self.links = []        # (href, link text)
        self.tables = 0
        self._cell = None
        self._link = None

    def handle_starttag(self, tag, attrs):
        if tag == "table":
            self.tables += 1
        elif tag == "td":
            self._cell = []
        elif tag == "a":
            self._link = [dict(attrs).get("href"), []]

    def handle_endtag(self, tag):
        if tag == "td" and self._cell is not None:
            self.cells.append("".join(self._cell).strip())
            self._cell = None
        elif tag == "a" and self._link is not None:
            self.links.append((self._link[0], "".join(self._link[1]).strip()))
            self._link = None

    def handle_data(self, data):
        if self._cell is not None:
            self._cell.append(data)
        if self._link is not None:
            self._link[1].append(data)


def main():
    if len(sys.argv) != 3:
        sys.stderr.write("usage: browser_dom.py PAGE DOM_FILE\n")
        return 2
    page, dom_file = sys.argv[1], sys.argv[2]
    parser = Page()
    with open(dom_file, encoding="utf-8", errors="replace") as dom:
        parser.feed(dom.read())
    problems = []
    if parser.tables == 0 or not parser.cells:
        problems.append("no table with cells")
    elif not any(cell and cell != "." for cell in parser.cells):
        problems.append("every cell of the table is empty")
    folder = os.path.dirname(os.path.abspath(page))
    for href, text in parser.links:
        if not href:
            problems.append("a link without a target: %r" % text)
            continue
        target = os.path.join(folder, urllib.parse.unquote(href))
        if not os.path.isfile(target):
            problems.append("link to a missing file: %s" % href)
        if text == "down":
            print("down", href)
        elif text == "One Level Up":
            print("up", href)
    for problem in problems:
        print("%s: %s" % (page, problem))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
