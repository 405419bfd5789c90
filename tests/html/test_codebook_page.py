# The codebook page (`transspace html`) in headless Chromium: what a reader
# does with it (search, links, sets, keys, CSV, print), what hostile texts do
# to it (nothing), and what the browser's log says (no request besides the
# page, no error, no policy violation).
import base64
import csv
import io
import json
import os
import re
import subprocess
import time
import urllib.parse

import pytest
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

from conftest import SOURCE_DIR

SURVEY = SOURCE_DIR / "examples" / "survey.json"
CODEBOOK = SOURCE_DIR / "examples" / "codebook.xml"

# Texts that would run, close the data block or bend the page if pasted as markup.
HOSTILE = [
    "</script><script>window.pwned = 1</script>",
    '<img src=x onerror="window.pwned = 1">',
    "\"quotes\" and 'apostrophes' & ampersands",
    "]]> and <!-- and --> and <![CDATA[",
    "\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd right to left",
    "astral \U0001d518\U0001d52b\U0001d526 \U0001f600",
    "line\u2028separator\u2029paragraph",
]
LONG_LABEL = "long " + "x" * 99995
ENCODED_NAMES = ["a b", "\u00fcber/#?%", "x&y=1", "\u05e9\u05dd"]


def hostile_source():
    variables = [{"name": "v%d" % k, "label": text, "width": 8,
                  "valueLabels": [["a", text]], "missingValues": ["a"],
                  "attributes": [{"name": "Notes", "values": [text]}, {"name": text, "values": []}]}
                 for k, text in enumerate(HOSTILE)]
    variables.append({"name": "long", "label": LONG_LABEL})
    variables += [{"name": name, "label": "named " + name} for name in ENCODED_NAMES]
    # Exact membership: W1 belongs, W10 and W11 only start with its name.
    variables += [{"name": n, "label": "member test " + n} for n in ("W1", "W10", "W11")]
    return {"attributes": [{"name": "Title", "values": [HOSTILE[0]]},
                           {"name": HOSTILE[1], "values": HOSTILE[2:4]}],
            "variableSets": [{"name": "only W1", "variables": ["W1"]},
                             {"name": HOSTILE[1], "variables": ["v0", "v1"]}],
            "variables": variables}


@pytest.fixture(scope="module")
def survey(make_page):
    return make_page(SURVEY, "survey")


@pytest.fixture(scope="module")
def hostile(make_page):
    return make_page(hostile_source(), "hostile")


def wait_for(driver, condition, what):
    WebDriverWait(driver, 5, poll_frequency=0.05).until(lambda d: condition(d), what)


def open_page(driver, url):
    driver.get("about:blank")
    # What the log held came before this page (the browser's own start page).
    driver.get_log("browser")
    driver.get_log("performance")
    driver.get(url)
    wait_for(driver, lambda d: d.find_element(By.ID, "count").text, "the count")


def count(driver):
    return driver.find_element(By.ID, "count").text


def shown(driver):
    """The names of the index rows in the document, in order."""
    return driver.execute_script(
        "return [...document.querySelectorAll('#rows tr[data-variable]')]"
        ".map(tr => tr.dataset.variable)")


def search_for(driver, text):
    box = driver.find_element(By.CSS_SELECTOR, 'input[type="search"]')
    box.send_keys(Keys.ESCAPE)  # the page's own clearing; WebDriver's clear() fires no input
    if text:
        box.send_keys(text)
    return box


def detail_text(driver):
    return driver.find_element(By.ID, "variable").text


def assert_clean_log(driver, page):
    """No request but the page (and a download's blob), no error, no CSP violation."""
    for entry in driver.get_log("browser"):
        assert entry["level"] != "SEVERE", entry
        assert "Content Security Policy" not in entry["message"], entry
    for entry in driver.get_log("performance"):
        message = json.loads(entry["message"])["message"]
        if message["method"] == "Network.requestWillBeSent":
            url = message["params"]["request"]["url"]
            assert url.split("#")[0] == page.split("#")[0] or url.startswith(("blob:", "about:")), url
        assert message["method"] != "Network.loadingFailed" or \
            message["params"].get("canceled"), message


def test_example_opens_with_every_variable(browser, survey):
    open_page(browser, survey)
    assert count(browser) == "15 of 15 variables"
    names = shown(browser)
    assert names[:3] == ["id", "age", "sex"] and names[-1] == "wgt"
    header = browser.find_element(By.TAG_NAME, "header").text
    # SOURCE_DATE_EPOCH=1765000000 (conftest) is the day the page was made.
    for fact in ("survey.json", "Variables", "15", "Rows", "1500", "wgt", "Household panel",
                 "Made", "2025-12-06"):
        assert fact in header
    # The weight is a link to its variable.
    browser.find_element(By.CSS_SELECTOR, '#summary a[href="#v=wgt"]').click()
    wait_for(browser, lambda d: "Design weight" in detail_text(d), "the weight's detail")
    assert "weight variable" in detail_text(browser)
    assert_clean_log(browser, survey)


def test_search_finds_names_labels_value_labels_and_folds_case(browser, survey):
    open_page(browser, survey)
    cases = [("satisf", ["satisfaction"]),
             ("butcher", ["shop2"]),                # a label word
             ("gamma", ["brand1", "brand2"]),       # a value label word
             ("M\u00dcNCHEN", ["city"]),            # an accented word in another case
             ("GR\u00d6SSE", ["height"]),           # ß folds to ss
             ("old are", ["age"]),                  # an attribute text, two words
             ("nothing like this", [])]
    for text, names in cases:
        search_for(browser, text)
        wait_for(browser, lambda d: count(d) == "%d of 15 variables" % len(names), text)
        assert shown(browser) == names, text
    box = browser.find_element(By.CSS_SELECTOR, 'input[type="search"]')
    box.send_keys(Keys.ESCAPE)
    wait_for(browser, lambda d: count(d) == "15 of 15 variables", "Escape clears")
    assert box.get_attribute("value") == ""
    # "/" brings the focus back to the search box from anywhere else.
    browser.find_element(By.TAG_NAME, "h1").click()
    browser.find_element(By.TAG_NAME, "body").send_keys("/")
    assert browser.switch_to.active_element == box
    # The down arrow goes on to the first row, which alone is in the tab order.
    box.send_keys(Keys.ARROW_DOWN)
    assert browser.switch_to.active_element.get_attribute("data-variable") == "id"
    assert browser.execute_script(
        "return [...document.querySelectorAll('#rows tr[tabindex=\"0\"]')]"
        ".map(tr => tr.dataset.variable)") == ["id"]
    assert_clean_log(browser, survey)


def test_links_open_variables_and_back_returns(browser, survey):
    open_page(browser, survey + "#v=age")
    wait_for(browser, lambda d: "Age in years" in detail_text(d), "the linked variable")
    text = detail_text(browser)
    for fact in ("F8.2", "scale", "right", "lowest thru 0", "999", "$Role", "input", "Question",
                 "How old are you?"):
        assert fact in text
    # A click and Enter on a focused row open a variable and set the fragment.
    browser.find_element(By.CSS_SELECTOR, 'tr[data-variable="sex"]').click()
    wait_for(browser, lambda d: "Female" in detail_text(d), "the clicked variable")
    assert browser.execute_script("return location.hash") == "#v=sex"
    labels = browser.find_elements(By.CSS_SELECTOR, "#variable .value-labels tr.user-missing")
    assert [row.text for row in labels] == ["9 No answer missing"]
    row = browser.find_element(By.CSS_SELECTOR, 'tr[data-variable="city"]')
    browser.execute_script("arguments[0].focus()", row)
    row.send_keys(Keys.ENTER)
    wait_for(browser, lambda d: "M\u00fcnchen" in detail_text(d), "the variable opened by Enter")
    browser.back()
    wait_for(browser, lambda d: "Female" in detail_text(d), "Back to sex")
    browser.back()
    wait_for(browser, lambda d: "Age in years" in detail_text(d), "Back to age")
    # The set links of a variable choose its set.
    browser.get(survey + "#v=shop2")
    wait_for(browser, lambda d: "butcher" in detail_text(d), "shop2")
    browser.find_element(By.LINK_TEXT, "shopping").click()
    wait_for(browser, lambda d: count(d) == "3 of 15 variables", "the set from the link")
    assert_clean_log(browser, survey)


def test_names_that_need_encoding_open_by_link(browser, hostile):
    for name in ENCODED_NAMES:
        url = hostile + "#v=" + urllib.parse.quote(name, safe="-_.!~*'()")
        open_page(browser, url)
        wait_for(browser, lambda d: ("named " + name) in detail_text(d), name)
        heading = browser.find_element(By.CSS_SELECTOR, "#variable h2").text
        assert heading == name
    # What the page sets is what encodeURIComponent makes, and reopens the same variable.
    browser.find_element(By.CSS_SELECTOR, 'tr[data-variable="x&y=1"]').click()
    wait_for(browser, lambda d: d.execute_script("return location.hash") == "#v=x%26y%3D1",
             "the fragment of x&y=1")
    assert_clean_log(browser, hostile)


def test_sets_filter_by_exact_membership(browser, survey, hostile):
    open_page(browser, survey)
    shopping = browser.find_element(By.CSS_SELECTOR, 'button[data-set="shopping"]')
    shopping.click()
    wait_for(browser, lambda d: count(d) == "3 of 15 variables", "the set")
    assert shown(browser) == ["shop1", "shop2", "shop3"]
    search_for(browser, "butcher")
    wait_for(browser, lambda d: count(d) == "1 of 15 variables", "set and search")
    search_for(browser, "")
    shopping.click()
    wait_for(browser, lambda d: count(d) == "15 of 15 variables", "the set chosen again")
    open_page(browser, hostile)
    browser.find_element(By.CSS_SELECTOR, 'button[data-set="only W1"]').click()
    wait_for(browser, lambda d: count(d).startswith("1 of"), "only W1")
    assert shown(browser) == ["W1"]
    assert_clean_log(browser, hostile)


def test_csv_holds_the_filtered_rows(browser, survey):
    open_page(browser, survey)
    for old in browser.downloads.glob("*"):
        old.unlink()
    search_for(browser, "visited")
    wait_for(browser, lambda d: count(d) == "3 of 15 variables", "the search")
    browser.find_element(By.ID, "csv").click()
    wait_for(browser, lambda d: any(p.suffix == ".csv" for p in d.downloads.glob("*")),
             "the download")
    path = next(p for p in browser.downloads.glob("*.csv"))
    time.sleep(0.1)
    rows = list(csv.reader(io.StringIO(path.read_text(encoding="utf-8-sig"))))
    assert rows[0][:3] == ["position", "name", "label"]
    assert [r[1] for r in rows[1:]] == ["shop1", "shop2", "shop3"]
    assert rows[2][:3] == ["9", "shop2", "Visited the butcher"]
    assert_clean_log(browser, survey)


def test_hostile_texts_stay_text_and_run_nothing(browser, hostile):
    open_page(browser, hostile)
    assert browser.execute_script("return window.pwned") is None
    assert browser.find_element(By.ID, "title").text == HOSTILE[0]
    assert browser.title == HOSTILE[0]
    for k, text in enumerate(HOSTILE):
        browser.execute_script("location.hash = arguments[0]", "#v=v%d" % k)
        wait_for(browser, lambda d: d.find_element(By.CSS_SELECTOR, "#variable h2").text ==
                 "v%d" % k, text)
        # textContent, not .text: WebDriver's text trims and turns separators into lines.
        texts = browser.execute_script(
            "const d = document.getElementById('variable');"
            "return [d.querySelector('.variable-label').textContent,"
            "        d.querySelector('.value-labels tbody td:nth-child(2)').textContent,"
            "        [...d.querySelectorAll('.attributes dt')].map(e => e.textContent),"
            "        [...d.querySelectorAll('.attributes li')].map(e => e.textContent),"
            "        d.querySelector('.variable-label').dir]")
        assert texts == [text, text, ["Notes", text], [text], "auto"]
    browser.execute_script("location.hash = '#v=long'")
    wait_for(browser, lambda d: d.find_element(By.CSS_SELECTOR, "#variable h2").text == "long",
             "the long label")
    assert browser.execute_script(
        "return document.querySelector('#variable .variable-label').textContent === arguments[0]",
        LONG_LABEL)
    index_label = browser.find_element(By.CSS_SELECTOR, 'tr[data-variable="long"] .c-label')
    assert len(index_label.get_attribute("textContent")) < 300
    assert browser.execute_script("return window.pwned") is None
    assert not browser.find_elements(By.CSS_SELECTOR, "img, iframe, object, embed")
    assert_clean_log(browser, hostile)


def test_a_source_and_its_saved_dictionary_show_the_same_facts(tool, workdir, make_page):
    saved = workdir / "survey-dictionary.xml"
    saved.write_bytes(subprocess.run([tool, "dictionary", str(SURVEY)], check=True,
                                     stdout=subprocess.PIPE).stdout)

    def data(url):
        page = urllib.parse.urlparse(url).path
        text = open(urllib.parse.unquote(page), encoding="utf-8").read()
        block = re.search(r'<script type="application/json" id="facts">(.*?)</script>', text, re.S)
        facts = json.loads(block.group(1))
        del facts["file"], facts["title"]
        return facts

    assert data(make_page(SURVEY, "from-source")) == data(make_page(saved, "from-dictionary"))


def pdf_text(browser):
    """The page printed to PDF (the WebDriver print command), as pdftotext reads it."""
    pdf = base64.b64decode(browser.print_page())
    return subprocess.run(["pdftotext", "-", "-"], input=pdf, stdout=subprocess.PIPE,
                          check=True).stdout.decode("utf-8").replace("\f", "\n")


def test_codebook_title_idno_and_print(browser, make_page):
    url = make_page(CODEBOOK, "codebook")
    open_page(browser, url)
    assert browser.find_element(By.ID, "title").text == "Household Survey 2024"
    assert "HS-2024" in browser.find_element(By.ID, "summary").text
    names = browser.execute_script("return JSON.parse(document.getElementById('facts')"
                                   ".textContent).variables.map(v => v[0])")
    assert len(names) == int(count(browser).split()[0])
    # A small index keeps its printed form ready.
    wait_for(browser, lambda d: len(d.find_elements(By.CSS_SELECTOR, "#print article")) ==
             len(names), "the printed variables")
    text = pdf_text(browser)
    assert "Household Survey 2024" in text
    for name in names:
        assert re.search(r"^%s$" % re.escape(name), text, re.M), name
    assert "Are you male or female?" in text
    # A filtered index prints only its variables.
    search_for(browser, "visited")
    wait_for(browser, lambda d: len(d.find_elements(By.CSS_SELECTOR, "#print article")) == 2,
             "the printed search")
    text = pdf_text(browser)
    assert re.search(r"^shop2$", text, re.M) and not re.search(r"^income$", text, re.M)
    assert_clean_log(browser, url)


def test_large_index_keeps_few_rows_and_the_keys_walk_it_all(browser, make_page):
    variables = [{"name": "n%d" % i, "label": "Item %d" % i} for i in range(3000)]
    variables[1]["valueLabels"] = [[k, "code %d" % k] for k in range(120)]
    url = make_page({"variables": variables}, "large")
    open_page(browser, url)
    assert count(browser) == "3000 of 3000 variables"
    assert len(shown(browser)) < 200
    # More than 50 value labels: the first 50, and a button for the rest.
    browser.execute_script("location.hash = '#v=n1'")
    wait_for(browser, lambda d: "code 49" in detail_text(d), "n1")
    rows = "#variable .value-labels tbody tr"
    assert len(browser.find_elements(By.CSS_SELECTOR, rows)) == 50
    browser.find_element(By.CSS_SELECTOR, "#variable button.more").click()
    assert len(browser.find_elements(By.CSS_SELECTOR, rows)) == 120
    # End walks to the last variable, which was not in the document before.
    focused = "return document.activeElement.dataset.variable"
    browser.execute_script("document.querySelector('tr[data-variable=\"n0\"]').focus()")
    ActionChains(browser).send_keys(Keys.END).perform()
    wait_for(browser, lambda d: d.execute_script(focused) == "n2999", "the last row focused")
    ActionChains(browser).send_keys(Keys.ARROW_UP, Keys.ARROW_UP, Keys.ENTER).perform()
    wait_for(browser, lambda d: "Item 2997" in detail_text(d), "n2997 opened")
    assert len(shown(browser)) < 200
    # Every word of a search, anywhere in a variable's texts.
    search_for(browser, "29 ITEM")
    expected = sum("29" in str(i) for i in range(3000)) + 1  # n1 by its value label "code 29"
    wait_for(browser, lambda d: count(d) == "%d of 3000 variables" % expected, "the search")
    assert_clean_log(browser, url)


def test_dark_preference(browser, survey):
    def background():
        return browser.execute_script("return getComputedStyle(document.body).backgroundColor")

    open_page(browser, survey)
    light = background()
    browser.execute_cdp_cmd("Emulation.setEmulatedMedia", {
        "features": [{"name": "prefers-color-scheme", "value": "dark"}]})
    try:
        assert background() != light
    finally:
        browser.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": []})


def test_screenshot_of_the_example(browser, survey, workdir):
    """The README's picture: scripts/codebook-screenshot names docs/codebook-page.png."""
    target = os.environ.get("TRANSSPACE_SCREENSHOT") or str(workdir / "codebook-page.png")
    open_page(browser, survey)
    search_for(browser, "sat")
    wait_for(browser, lambda d: count(d) == "1 of 15 variables", "the search")
    search_for(browser, "")
    wait_for(browser, lambda d: count(d) == "15 of 15 variables", "the whole index")
    browser.find_element(By.CSS_SELECTOR, 'tr[data-variable="satisfaction"]').click()
    wait_for(browser, lambda d: "Very happy" in detail_text(d), "satisfaction")
    browser.execute_script("document.activeElement.blur()")
    assert browser.save_screenshot(target)
    assert_clean_log(browser, survey)
