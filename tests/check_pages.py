#!/usr/bin/python3
"""Checks the map pages of labelweb and the site pages of labelsite.

Usage: check_pages.py FOLDER_OR_PAGE...

Every *.html file found (folders are searched recursively) is parsed with
html5lib, the HTML5 parsing algorithm browsers use. A map page must:
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

A site page (one that starts with a doctype) must be valid UTF-8, declare
its charset, raise no parse error at all, hold only the elements and
attributes the site writes (scripts only on index.html: its search data and
its search script), and every link must lead to a file and, with a
"#fragment", to an element of that id. The search data of index.html must
load: each search/<kind><N>.js file a call with a JSON array, the first key
of each file the one index.html lists, the keys of all files in order; the
terms of the content search (search/t<N>.js) from the numbers index.html
lists, one entry each, the documents in order (search/i<N>.js) all there,
and a map view file (view/m<N>.js) for every map.

Prints one line per problem and a closing count; exits 1 when a page has a
problem, 2 when html5lib is missing (Debian package python3-html5lib) or an
argument names nothing.
"""

import json
import os
import re
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


# Elements and their attributes as the site pages write them.
SITE_ELEMENTS = {
    "html": {"lang"}, "head": set(), "meta": {"charset", "name", "content"}, "title": set(),
    "style": set(), "body": set(), "nav": set(), "h1": set(), "h2": set(), "h3": set(),
    "p": {"class", "id"}, "a": {"href"}, "span": {"class"}, "br": set(), "ul": {"class"},
    "ol": set(), "li": set(), "dl": {"class"}, "dt": {"id"}, "dd": set(),
    "table": {"class"}, "thead": set(), "tbody": set(), "tr": {"id"}, "th": set(),
    "td": set(), "label": {"for"}, "div": {"id", "class", "aria-live"}, "details": set(),
    "summary": set(), "section": {"id", "aria-label"},
    "input": {"type", "id", "placeholder", "autocomplete", "spellcheck", "autofocus",
              "disabled"},
    "script": {"type", "id"},
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


def check_link(page, href, problems, skipped, ids=None):
    """`ids(path)` gives the ids of a site page, for links with a fragment."""
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
    elif parts.fragment and ids is not None and parts.fragment not in ids(path):
        problems.append(f"{page}: link {href!r} leads to no element of that id")


def parse(page):
    parser = html5lib.HTMLParser(tree=html5lib.getTreeBuilder("etree"),
                                 namespaceHTMLElements=False)
    with open(page, "rb") as stream:
        document = parser.parse(stream.read())
    return parser, document


def is_site_page(page):
    with open(page, "rb") as stream:
        return stream.read(15).lower() == b"<!doctype html>"


def check_map_page(page, problems, skipped):
    parser, document = parse(page)
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


class SiteIds:
    """The ids of site pages, each page parsed once."""

    def __init__(self):
        self.cache = {}

    def __call__(self, path):
        if path not in self.cache:
            ids = set()
            if is_site_page(path):
                _, document = parse(path)
                ids = {e.attrib["id"] for e in document.iter() if "id" in e.attrib}
            self.cache[path] = ids
        return self.cache[path]


def check_site_page(page, problems, skipped, ids):
    with open(page, "rb") as stream:
        try:
            stream.read().decode("utf-8")
        except UnicodeDecodeError as error:
            problems.append(f"{page}: not UTF-8: {error}")
    parser, document = parse(page)
    for position, code, data in parser.errors:
        line, column = position
        name = (data or {}).get("name", "")
        problems.append(f"{page}:{line}:{column}: parse error {code} {name}".rstrip())
    if not any(e.attrib.get("charset", "").lower() == "utf-8" for e in document.iter("meta")):
        problems.append(f"{page}: no <meta charset=\"utf-8\">")
    scripts = list(document.iter("script"))
    if scripts and (os.path.basename(page) != "index.html" or len(scripts) > 2):
        problems.append(f"{page}: {len(scripts)} scripts")
    for element in document.iter():
        tag = element.tag
        if not isinstance(tag, str):
            continue
        if tag not in SITE_ELEMENTS:
            problems.append(f"{page}: unexpected element <{tag}>")
            continue
        for attribute in element.attrib:
            if attribute not in SITE_ELEMENTS[tag]:
                problems.append(f"{page}: unexpected attribute {attribute} on <{tag}>")
        if tag == "a":
            check_link(page, element.attrib.get("href", ""), problems, skipped, ids)
        if tag == "script" and element.attrib.get("id") == "search-data":
            check_search_data(page, json.loads(element.text), problems)


def entry_key(entry):
    """The search key of a search entry: given, or the text from a place on, lower-cased."""
    key = entry[1]
    if isinstance(key, str):
        return key
    return re.sub("[A-Z]+", lambda m: m.group(0).lower(), entry[0][key:])


def load_call(name, head, problems):
    """The JSON argument of the one call a data file holds, or None."""
    try:
        with open(name, encoding="ascii") as stream:
            text = stream.read()
    except (OSError, UnicodeDecodeError) as error:
        problems.append(f"{name}: {error}")
        return None
    if not text.startswith(head) or not text.endswith(");\n"):
        problems.append(f"{name}: not a call {head}...);")
        return None
    return json.loads(text[len(head):-3])


def check_numbered(folder, kind, expected_files, problems):
    """search/<kind><N>.js for N below expected_files, and none beyond."""
    extra = os.path.join(folder, "search", f"{kind}{expected_files}.js")
    if os.path.exists(extra):
        problems.append(f"{extra}: left over, index.html lists no such file")


def check_text_data(page, data, problems):
    folder = os.path.dirname(page)
    text = data.get("text")
    if text is None:
        return
    firsts = text["t"] + [text["terms"]]
    for number in range(len(text["t"])):
        name = os.path.join(folder, "search", f"t{number}.js")
        entries = load_call(name, f'somlabelShard("t",{number},', problems)
        if entries is not None and len(entries) != firsts[number + 1] - firsts[number]:
            problems.append(f"{name}: {len(entries)} terms, index.html says "
                            f"{firsts[number + 1] - firsts[number]}")
    check_numbered(folder, "t", len(text["t"]), problems)
    per = text["perSlice"]
    files = (text["documents"] + per - 1) // per
    for number in range(files):
        name = os.path.join(folder, "search", f"i{number}.js")
        entries = load_call(name, f'somlabelShard("i",{number},', problems)
        wanted = min(per, text["documents"] - number * per)
        if entries is not None and len(entries) != wanted:
            problems.append(f"{name}: {len(entries)} documents, not {wanted}")
    check_numbered(folder, "i", files, problems)


def check_views(page, data, problems):
    folder = os.path.dirname(page)
    for number in range(len(data["maps"])):
        name = os.path.join(folder, "view", f"m{number}.js")
        load_call(name, f"somlabelMap({number},", problems)


def check_search_data(page, data, problems):
    check_text_data(page, data, problems)
    check_views(page, data, problems)
    folder = os.path.dirname(page)
    for title, href in data["maps"]:
        if not os.path.isfile(os.path.join(folder, urllib.parse.unquote(href))):
            problems.append(f"{page}: the search data links map {title} to no file: {href}")
    counts = {"d": data["documents"], "p": data["phrases"]}
    for kind, firsts in data["slices"].items():
        previous = None
        entries = 0
        for number, first in enumerate(firsts + [None]):
            name = os.path.join(folder, "search", f"{kind}{number}.js")
            if first is None:
                if os.path.exists(name):
                    problems.append(f"{name}: left over, index.html lists no such file")
                break
            with open(name, encoding="ascii") as stream:
                text = stream.read()
            head = f'somlabelShard("{kind}",{number},'
            if not text.startswith(head) or not text.endswith(");\n"):
                problems.append(f"{name}: not a call of somlabelShard")
                continue
            keys = [entry_key(entry) for entry in json.loads(text[len(head):-3])]
            if keys[0] != first:
                problems.append(f"{name}: first key {keys[0]!r}, index.html says {first!r}")
            for key in keys:
                if previous is not None and key < previous:
                    problems.append(f"{name}: key {key!r} after {previous!r}")
                previous = key
            entries += len(keys)
        if entries < counts.get(kind, 0):
            problems.append(f"{page}: {entries} search entries of kind {kind} for {counts[kind]}")


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
    ids = SiteIds()
    for page in pages:
        before = len(problems)
        if is_site_page(page):
            check_site_page(page, problems, skipped, ids)
        else:
            check_map_page(page, problems, skipped)
        failed += len(problems) > before
    for problem in problems:
        print(problem)
    for link in skipped:
        print(f"skipped (not a local file): {link}")
    print(f"{len(pages) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
