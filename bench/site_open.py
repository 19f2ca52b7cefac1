#!/usr/bin/python3
"""How fast index.html opens and answers in headless Chromium.

Usage: bench/site_open.py INDEX_HTML QUERY [RUNS]

Opens INDEX_HTML from file:// RUNS times (default 5), each time in a fresh
tab state, and prints the fastest of the runs:
  ready   ms from the start of the navigation until the search is ready
          (its script has run: the DOMContentLoaded event)
  answer  ms from typing QUERY until its results are shown (the search data
          files a query needs are loaded by then)
  files   search data files loaded for the query
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
    done([performance.now() - start, document.querySelectorAll("script[src]").length - before]);
  } else {
    setTimeout(poll, 1);
  }
})();
"""


def main():
    if len(sys.argv) not in (3, 4):
        sys.stderr.write(__doc__)
        return 2
    index, query = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) == 4 else 5
    ready, answer, files = [], [], 0
    with browser.chromium() as driver:
        driver.set_script_timeout(30)
        for _ in range(runs):
            driver.get("about:blank")
            driver.get(browser.url(index))
            ready.append(driver.execute_script(
                "const n = performance.getEntriesByType('navigation')[0];"
                "return document.documentElement.getAttribute('data-search') === 'ready'"
                " ? n.domContentLoadedEventEnd : null;"))
            if ready[-1] is None:
                sys.stderr.write("site_open.py: the search never became ready\n")
                return 1
            took, files = driver.execute_async_script(ANSWER, query)
            answer.append(took)
    print(f"ready {min(ready):.0f} ms  answer {min(answer):.0f} ms  files {files}  "
          f"(fastest of {runs}; index.html {pathlib.Path(index).stat().st_size // 1024} kB)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
