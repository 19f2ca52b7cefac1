#!/usr/bin/python3
"""Pictures of a demo folder in headless Chromium, for `make screenshot`.

Usage: demo/screenshot.py OUTDIR DEMO_FOLDER [QUERY]

Writes OUTDIR/demo-top.png (the top map page), OUTDIR/site-index.png
(index.html with the top map's view), OUTDIR/site-search.png (index.html
after typing QUERY, the map lit by the documents that hold it; by default
the first word of the top map's best phrase) and OUTDIR/site-unit.png (the
panel of the unit with the most of those documents). Prints their paths.
"""

import pathlib
import sys

import browser


def key_file_ending(demo):
    """KEAFILEEXTENSION of the demo's option file: its last value wins."""
    ending = ".key"
    for line in (demo / "options").read_text().splitlines():
        words = line.split(" ")
        if words[0] == "KEAFILEEXTENSION" and len(words) > 1:
            ending = words[-1]
    return ending


def default_query(demo):
    """The first word of the first phrase of the top map's map key file."""
    top = (demo / "process.web").read_text().splitlines()[-1].removesuffix(".labelunit")
    key = demo / "output" / "key" / (pathlib.Path(top).name + key_file_ending(demo))
    lines = key.read_text(encoding="utf-8", errors="replace").splitlines()
    return lines[1].split("\t")[0].split(" ")[0] if len(lines) > 1 else "a"


def main():
    if len(sys.argv) not in (3, 4):
        sys.stderr.write(__doc__)
        return 2
    out = pathlib.Path(sys.argv[1])
    demo = pathlib.Path(sys.argv[2])
    query = sys.argv[3] if len(sys.argv) == 4 else default_query(demo)
    pages = demo / "output"
    top = pages / ((demo / "process.web").read_text().splitlines()[-1] + ".html")
    out.mkdir(parents=True, exist_ok=True)
    shots = []
    with browser.chromium(1280, 1000) as driver:
        driver.get(browser.url(top))
        shots.append(out / "demo-top.png")
        driver.save_screenshot(str(shots[-1]))
        driver.get(browser.url(pages / "index.html"))
        browser.wait_for_view(driver)
        shots.append(out / "site-index.png")
        driver.save_screenshot(str(shots[-1]))
        driver.find_element("id", "search").send_keys(query + " ")
        browser.wait_for_search(driver)
        shots.append(out / "site-search.png")
        driver.save_screenshot(str(shots[-1]))
        lit = driver.find_elements("css selector", "#map-grid .cell .hits")
        if lit:
            best = max(lit, key=lambda hits: int(hits.text))
            best.find_element("xpath", "ancestor::div[contains(@class,'cell')]").find_element(
                "css selector", "a.open").click()
            driver.find_element("id", "unit-panel")
            driver.execute_script("document.getElementById('unit-panel').scrollIntoView()")
            shots.append(out / "site-unit.png")
            driver.save_screenshot(str(shots[-1]))
    for shot in shots:
        print(shot)
    return 0


if __name__ == "__main__":
    sys.exit(main())
