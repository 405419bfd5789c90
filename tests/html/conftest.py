# Headless Chromium through Debian's chromedriver, for the codebook page's
# tests. The tool's path comes from --tool or TRANSSPACE_TOOL; the browser
# runs with a fresh profile and none of its background connections, which a
# closed network would refuse and the log would show.
import json
import os
import pathlib
import shutil
import subprocess
import tempfile

import pytest
from selenium import webdriver
from selenium.webdriver.chrome.service import Service

SOURCE_DIR = pathlib.Path(__file__).resolve().parents[2]
CHROMIUM = os.environ.get("TRANSSPACE_CHROMIUM", "/usr/bin/chromium")
CHROMEDRIVER = os.environ.get("TRANSSPACE_CHROMEDRIVER", "/usr/bin/chromedriver")


def pytest_addoption(parser):
    parser.addoption("--tool", default=os.environ.get("TRANSSPACE_TOOL", ""))


@pytest.fixture(scope="session")
def tool(request):
    path = request.config.getoption("--tool")
    if not path:
        pytest.skip("no transspace tool given (--tool or TRANSSPACE_TOOL)")
    return path


@pytest.fixture(scope="session")
def workdir():
    path = pathlib.Path(tempfile.mkdtemp(prefix="codebook-page-"))
    yield path
    shutil.rmtree(path, ignore_errors=True)


@pytest.fixture(scope="session")
def make_page(tool, workdir):
    """Writes the page of an input (a path, or JSON source text as a dict) and returns its file URL."""
    made = {}

    def make(source, name, *options):
        if isinstance(source, dict):
            path = workdir / (name + ".json")
            path.write_text(json.dumps(source), encoding="utf-8")
            source = str(path)
        page = workdir / (name + ".html")
        env = dict(os.environ, SOURCE_DATE_EPOCH="1765000000")
        with open(page, "wb") as out:
            subprocess.run([tool, "html", *options, str(source)], stdout=out, check=True, env=env)
        made[name] = page.as_uri()
        return made[name]

    return make


def browser_options(profile, downloads):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--disable-dev-shm-usage", "--window-size=1280,900",
                 "--user-data-dir=" + str(profile)):
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    options.add_experimental_option("prefs", {
        "download.default_directory": str(downloads),
        "download.prompt_for_download": False,
    })
    return options


@pytest.fixture(scope="session")
def browser(workdir):
    profile = workdir / "profile"
    downloads = workdir / "downloads"
    downloads.mkdir()
    # Debian's driver, named outright: selenium looks for nothing to download.
    service = Service(executable_path=CHROMEDRIVER)
    driver = webdriver.Chrome(service=service, options=browser_options(profile, downloads))
    driver.downloads = downloads
    driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                           {"behavior": "allow", "downloadPath": str(downloads)})
    yield driver
    driver.quit()
