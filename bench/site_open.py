#!/usr/bin/python3
"""How fast index.html opens and answers in headless Chromium.

Usage: bench/site_open.py INDEX_HTML QUERY [RUNS]
       bench/site_open.py INDEX_HTML --runs RUNS QUERY...

Opens INDEX_HTML from file:// RUNS times (default 5), each time in a fresh
tab state, types each QUERY once per run, and prints the fastest of the runs:
  ready   ms from the start of the navigation until the search is ready (its
          script has run: the DOMContentLoaded event) and the map view is
          drawn (its "map-drawn" mark), whichever is later
  answer  ms from typing QUERY until its results are shown (the search data
          files a query needs are loaded by then)
  files   search data files loaded for the query, and their bytes on disk
"""

import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "demo"))
import browser  # noqa: E402

ANSWER = """
const query = arguments[0], done = arguments[arguments.length - 1];
const input = document.getElementById("search");
const status = document.getElementById("search-status");
const before = document.querySelectorAll("script[src]").length;
const start = performance.now();
input.value = query;
input.dispatchEvent(new Event("input"));
(function poll() {
  if (status.textContent === "" || status.textContent === "Nothing found.") {
    const took = performance.now() - start;
    const loaded = Array.from(document.querySelectorAll("script[src]")).slice(before);
    done([took, loaded.map(function (s) { return s.getAttribute("src"); })]);
  } else {
    setTimeout(poll, 1);
  }
})();
"""

READY = """
const n = performance.getEntriesByType('navigation')[0];
if (document.documentElement.getAttribute('data-search') !== 'ready') return null;
const drawn = performance.getEntriesByName('map-drawn');
return Math.max(n.domContentLoadedEventEnd, drawn.length > 0 ? drawn[0].startTime : 0);
"""


def main():
    args = sys.argv[1:]
    runs = 5
    if len(args) >= 3 and args[1] == "--runs":
        index, runs, queries = args[0], int(args[2]), args[3:]
    elif len(args) in (2, 3) and args[1] != "--runs":
        index, queries = args[0], [args[1]]
        runs = int(args[2]) if len(args) == 3 else 5
    else:
        sys.stderr.write(__doc__)
        return 2
    if not queries:
        sys.stderr.write(__doc__)
        return 2
    folder = pathlib.Path(index).resolve().parent
    ready = []
    answer = {query: [] for query in queries}
    loaded = {}
    with browser.chromium() as driver:
        driver.set_script_timeout(30)
        for _ in range(runs):
            for query in queries:
                driver.get("about:blank")
                driver.get(browser.url(index))
                ready.append(driver.execute_script(READY))
                if ready[-1] is None:
                    sys.stderr.write("site_open.py: the search never became ready\n")
                    return 1
                took, sources = driver.execute_async_script(ANSWER, query)
                answer[query].append(took)
                loaded[query] = sources
    print(f"ready {min(ready):.0f} ms (fastest of {runs}; index.html "
          f"{pathlib.Path(index).stat().st_size // 1024} kB)")
    for query in queries:
        size = sum((folder / source).stat().st_size for source in loaded[query])
        print(f"  {query!r}: answer {min(answer[query]):.0f} ms, files {len(loaded[query])}, "
              f"{size / 1e6:.2f} MB")
    return 0


if __name__ == "__main__":
    sys.exit(main())
