"""Headless Chromium driven through its WebDriver (Debian's chromium-driver
and python3-selenium, installed by scripts/setup), for the browser test and
`make screenshot`. No network is used: pages are opened from file:// URLs.
"""

import contextlib
import pathlib
import shutil
import sys
import tempfile

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
except ImportError:
    sys.stderr.write("browser.py: python3-selenium is missing (scripts/setup installs it)\n")
    sys.exit(2)

DRIVER = "/usr/bin/chromedriver"


def executable(*names):
    for name in names:
        found = shutil.which(name)
        if found:
            return found
    return None


@contextlib.contextmanager
def chromium(width=1200, height=900):
    """A fresh headless Chromium with its own profile; closed on leaving."""
    browser = executable("chromium", "chromium-browser")
    if browser is None or not pathlib.Path(DRIVER).exists():
        sys.stderr.write("browser.py: chromium or chromium-driver is missing "
                         "(scripts/setup installs both)\n")
        sys.exit(2)
    with tempfile.TemporaryDirectory() as profile:
        options = webdriver.ChromeOptions()
        options.binary_location = browser
        for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                         "--disable-background-networking", "--disable-component-update",
                         "--disable-sync", "--hide-scrollbars", f"--user-data-dir={profile}",
                         f"--window-size={width},{height}"):
            options.add_argument(argument)
        driver = webdriver.Chrome(service=Service(DRIVER), options=options)
        try:
            yield driver
        finally:
            driver.quit()


def url(path):
    return pathlib.Path(path).resolve().as_uri()


def wait_for_search(driver, seconds=10):
    """Waits until the search box of index.html has shown its results."""
    from selenium.webdriver.support.ui import WebDriverWait
    WebDriverWait(driver, seconds).until(
        lambda d: d.find_element("tag name", "html").get_attribute("data-search") == "ready"
        and d.find_element("id", "search-status").text in ("", "Nothing found."))


def wait_for_view(driver, seconds=10):
    """Waits until index.html has drawn its map view."""
    from selenium.webdriver.support.ui import WebDriverWait
    WebDriverWait(driver, seconds).until(
        lambda d: d.find_element("id", "map-view").get_attribute("data-map"))
