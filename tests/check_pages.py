#!/usr/bin/python3
"""Checks labelweb's map pages in one or more folders.

Usage: check_pages.py FOLDER_OR_PAGE...

Every *.html file found (folders are searched recursively) is parsed with
html5lib, the HTML5 parsing algorithm browsers use, and must:
  - raise no parse error other than those the page format itself causes: no
    doctype, and the "One Level Up" link placed inside the table after its
    last row (a parser moves it in front of the table);
  - hold only the elements and attributes the page format writes, so text
    from the input that slipped through unescaped (a <script>, an onclick=)
    shows up as an error;
  - have the same number of cells in every row of its table;
  - link only to files that exist: every href is percent-decoded and taken
    relative to the page's folder. Links with a scheme (http:, ...) cannot be
    checked here; they are counted and listed as skipped.

Prints one line per problem and a closing count; exits 1 when a page has a
problem, 2 when html5lib is missing (Debian package python3-html5lib) or an
argument names nothing.
"""

import os
import sys
import urllib.parse

try:
    import html5lib
except ImportError:
    sys.stderr.write("check_pages.py: html5lib is missing; install python3-html5lib\n")
    sys.exit(2)

# The parse errors that the page format causes on every page.
ALLOWED_ERRORS = {
    ("expected-doctype-but-got-start-tag", "html"),
    ("unexpected-start-tag-implies-table-voodoo", "a"),
    ("unexpected-end-tag-implies-table-voodoo", "a"),
    ("unexpected-start-tag-implies-table-voodoo", "br"),
    ("unexpected-end-tag-implies-table-voodoo", "br"),
}

# Elements and their attributes as the page format writes them (head and
# tbody are added by the parser).
ALLOWED_ELEMENTS = {
    "html": set(), "head": set(), "body": {"bgcolor", "text"}, "title": set(),
    "h1": set(), "br": set(), "table": {"border", "cellpadding"}, "tbody": set(),
    "tr": set(), "td": {"align"}, "b": set(), "font": {"color"}, "hr": set(),
    "a": {"href"},
}


def pages_in(argument):
    if os.path.isfile(argument):
        return [argument]
    if not os.path.isdir(argument):
        return None
    found = []
    for folder, _, names in os.walk(argument):
        found.extend(os.path.join(folder, name) for name in names if name.endswith(".html"))
    return sorted(found)


def check_link(page, href, problems, skipped):
    parts = urllib.parse.urlsplit(href)
    if parts.scheme or parts.netloc:
        skipped.append(f"{page}: {href}")
        return
    # Decoded to bytes: a file name need not be valid UTF-8.
    target = urllib.parse.unquote_to_bytes(parts.path)
    if not target:
        problems.append(f"{page}: empty link {href!r}")
        return
    path = os.path.join(os.fsencode(os.path.dirname(page)), target)
    if not os.path.isfile(path):
        problems.append(f"{page}: link {href!r} leads to no file ({os.fsdecode(path)})")


def check_page(page, problems, skipped):
    parser = html5lib.HTMLParser(tree=html5lib.getTreeBuilder("etree"),
                                 namespaceHTMLElements=False)
    with open(page, "rb") as stream:
        document = parser.parse(stream.read())
    for position, code, data in parser.errors:
        name = (data or {}).get("name", "")
        if (code, name) not in ALLOWED_ERRORS:
            line, column = position
            problems.append(f"{page}:{line}:{column}: parse error {code} {name}".rstrip())
    for element in document.iter():
        tag = element.tag
        if not isinstance(tag, str):
            continue  # a comment
        if tag not in ALLOWED_ELEMENTS:
            problems.append(f"{page}: unexpected element <{tag}>")
            continue
        for attribute in element.attrib:
            if attribute not in ALLOWED_ELEMENTS[tag]:
                problems.append(f"{page}: unexpected attribute {attribute} on <{tag}>")
        if tag == "a":
            check_link(page, element.attrib.get("href", ""), problems, skipped)
    widths = {len(row.findall("td")) for row in document.iter("tr")}
    if len(widths) > 1:
        problems.append(f"{page}: rows of different widths {sorted(widths)}")


def main(arguments):
    if not arguments:
        sys.stderr.write(__doc__)
        return 2
    pages = []
    for argument in arguments:
        found = pages_in(argument)
        if found is None:
            sys.stderr.write(f"check_pages.py: no such file or folder: {argument}\n")
            return 2
        pages.extend(found)
    problems, skipped = [], []
    failed = 0
    for page in pages:
        before = len(problems)
        check_page(page, problems, skipped)
        failed += len(problems) > before
    for problem in problems:
        print(problem)
    for link in skipped:
        print(f"skipped (not a local file): {link}")
    print(f"{len(pages) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
