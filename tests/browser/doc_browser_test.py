#!/usr/bin/env python3
"""The HTML data dictionary of `ombrix doc`, opened in a headless chromium.

    doc_browser_test.py OMBRIX [--page FILE] [--screenshot FILE] [--keep]

A scratch schema on the sandbox server holds what makes a page hard to get right: a composite
foreign key, a table that references itself, two tables that reference each other, a view, and
texts made of markup (a comment that is an <img onerror>, a comment that closes a script element,
a default and a view text holding a CDATA end, a table whose name holds <b>&"'). `ombrix doc` writes
its page, which chromium opens through Selenium; then

  - the page asks for nothing: no console error, no resource entry, no request in the network
    log but the page itself, and it carries a Content-Security-Policy;
  - every table and view is one entry of the contents and one node of the schema diagram, and
    both link to the object's own section, whose heading names it; every table's section holds
    its neighbourhood diagram;
  - a click on a node's box brings its section to the top of the window;
  - typing in the filter leaves the entries whose name holds the text (any case), and only them;
  - no markup from the schema ran (window.__pwned stays undefined) and each hostile text is
    shown as it is;
  - the screenshot is not a blank page.

--page FILE checks FILE instead of writing a page (no server needed): a page written by hand or
by another build for the same scratch schema. --screenshot keeps the screenshot.

Exit 0 when all passed, 1 on a failure, 77 when no browser can be started outside CI (CI=true
turns that into a failure). The sandbox server is $OMBRIX_SANDBOX_DIR's.
"""

import argparse
import json
import os
import shutil
import struct
import sys
import tempfile
import time
import zlib

sys.dont_write_bytecode = True  # no __pycache__ in the source tree

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
SYSTEM_PYTHON = "/usr/bin/python3"
SKIP = 77

try:
    from selenium import webdriver
    from selenium.common.exceptions import WebDriverException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
except ImportError:
    webdriver = None

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "corpus"))
import corpus_support as cs  # noqa: E402  (the sandbox server and the client, as the corpus tests reach them)

SCHEMA = "ombrix_browser_doc"
ODD_NAME = "odd<b>&\"'name"
TABLE_COMMENT = '<img src=x onerror="window.__pwned=1">'
COLUMN_COMMENT = "</script><script>window.__pwned=1</script>"
DEFAULT_TEXT = "x]]>y"
VIEW_TEXT = "v]]>w"
ENTITY_COMMENT = "Tom &amp; Jerry &lt;3"
TABLES = ["region", "shop", "employee", "author", "book", "note", ODD_NAME]
VIEWS = ["shop_motto"]
HOSTILE_TEXTS = [
    ("the table comment", TABLE_COMMENT),
    ("the column comment", COLUMN_COMMENT),
    ("the column default", DEFAULT_TEXT),
    ("the view's text", VIEW_TEXT),
    ("the comment written as entities", ENTITY_COMMENT),
    ("the table name", ODD_NAME),
]
# Filter texts and the objects whose entries stay: any case, a table and a view at once, markup.
FILTERS = [("SHOP", ["shop", "shop_motto"]), ("<B>&\"'", [ODD_NAME]), ("bOoK", ["book"]), ("", TABLES + VIEWS)]


def schema_script():
    q, l = cs.qi, cs.ql
    return "\n".join([
        "CREATE DATABASE %s CHARACTER SET utf8mb4;" % q(SCHEMA),
        "USE %s;" % q(SCHEMA),
        "CREATE TABLE region (country CHAR(2) NOT NULL, code SMALLINT NOT NULL, name VARCHAR(60) NOT NULL,"
        " PRIMARY KEY (country, code)) COMMENT %s;" % l(ENTITY_COMMENT),
        "CREATE TABLE shop (id INT AUTO_INCREMENT PRIMARY KEY, country CHAR(2) NOT NULL,"
        " region_code SMALLINT NOT NULL, motto VARCHAR(40) NOT NULL DEFAULT %s,"
        " CONSTRAINT shop_region FOREIGN KEY (country, region_code) REFERENCES region (country, code))"
        " COMMENT 'A shop in one region';" % l(DEFAULT_TEXT),
        "CREATE TABLE employee (id INT PRIMARY KEY, shop_id INT NULL,"
        " manager_id INT NULL COMMENT %s,"
        " CONSTRAINT employee_manager FOREIGN KEY (manager_id) REFERENCES employee (id),"
        " CONSTRAINT employee_shop FOREIGN KEY (shop_id) REFERENCES shop (id));" % l(COLUMN_COMMENT),
        "CREATE TABLE author (id INT PRIMARY KEY, name VARCHAR(80) NOT NULL, favourite_book_id INT NULL);",
        "CREATE TABLE book (id INT PRIMARY KEY, title VARCHAR(200) NOT NULL, author_id INT NOT NULL,"
        " CONSTRAINT book_author FOREIGN KEY (author_id) REFERENCES author (id));",
        "ALTER TABLE author ADD CONSTRAINT author_favourite FOREIGN KEY (favourite_book_id) REFERENCES book (id);",
        "CREATE TABLE note (id INT PRIMARY KEY, employee_id INT NOT NULL, body TEXT,"
        " CONSTRAINT note_employee FOREIGN KEY (employee_id) REFERENCES employee (id)) COMMENT %s;"
        % l(TABLE_COMMENT),
        "CREATE TABLE %s (id INT PRIMARY KEY, note_id INT NULL,"
        " CONSTRAINT odd_note FOREIGN KEY (note_id) REFERENCES note (id)) COMMENT 'A name made of markup';"
        % q(ODD_NAME),
        "CREATE VIEW shop_motto AS SELECT id, motto, %s AS marker FROM shop;" % l(VIEW_TEXT),
        "",
    ])


class Report:
    def __init__(self):
        self.passed = 0
        self.failed = []

    def check(self, what, condition, detail=""):
        if condition:
            self.passed += 1
            print("ok    " + what, flush=True)
        else:
            self.failed.append(what)
            print("FAIL  " + what, flush=True)
            for line in str(detail).rstrip("\n").split("\n") if detail else []:
                print("      " + line)
            sys.stdout.flush()
        return condition


# ---------------------------------------------------------------------------------------------
# The screenshot: a PNG read with zlib alone


def png_has_two_colours(data):
    """Whether the 8-bit, non-interlaced PNG DATA holds more than one pixel value. Rows are
    unfiltered one after the other and the reading stops at the first pixel that differs."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, idat, header = 8, [], None
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat.append(body)
        elif kind == b"IEND":
            break
    if header is None:
        raise ValueError("PNG without a header")
    width, height, depth, colour_type, _, _, interlace = header
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}.get(colour_type)
    if depth != 8 or interlace != 0 or channels is None:
        raise ValueError("PNG of depth %d, colour type %d, interlace %d" % (depth, colour_type, interlace))
    raw = zlib.decompress(b"".join(idat))
    stride = width * channels
    prev = bytearray(stride)
    first = None
    for y in range(height):
        start = y * (stride + 1)
        kind = raw[start]
        line = bytearray(raw[start + 1:start + 1 + stride])
        if kind == 1:
            for i in range(channels, stride):
                line[i] = (line[i] + line[i - channels]) & 0xFF
        elif kind == 2:
            for i in range(stride):
                line[i] = (line[i] + prev[i]) & 0xFF
        elif kind == 3:
            for i in range(stride):
                left = line[i - channels] if i >= channels else 0
                line[i] = (line[i] + ((left + prev[i]) >> 1)) & 0xFF
        elif kind == 4:
            for i in range(stride):
                a = line[i - channels] if i >= channels else 0
                b = prev[i]
                c = prev[i - channels] if i >= channels else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
        if first is None:
            first = bytes(line[:channels])
        if bytes(line) != first * width:
            return True
        prev = line
    return False


# ---------------------------------------------------------------------------------------------
# The browser


def browser_missing():
    """Why no browser session can be had here, or None."""
    if webdriver is None:
        return "python3-selenium is not installed (no selenium module for %s)" % sys.executable
    for path, package in ((CHROMIUM, "chromium"), (CHROMEDRIVER, "chromium-driver")):
        if not os.access(path, os.X_OK):
            return "%s is missing (Debian package %s)" % (path, package)
    return None


def start_browser(profile_dir):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--window-size=1280,900", "--user-data-dir=" + profile_dir,
                     "--no-first-run", "--no-default-browser-check"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    driver = webdriver.Chrome(service=Service(executable_path=CHROMEDRIVER), options=options)
    driver.set_page_load_timeout(60)
    driver.set_script_timeout(30)
    return driver


def steady(read, seconds=4.0):
    """READ's answer once two readings a tenth of a second apart agree: where things are when a
    smooth scroll has ended."""
    deadline = time.time() + seconds
    last = read()
    while True:
        time.sleep(0.1)
        answer = read()
        if answer == last or time.time() >= deadline:
            return answer
        last = answer


def wait_for(probe, seconds=3.0):
    """PROBE's last answer once it is true or SECONDS have passed (smooth scrolling, a filter
    that waits for typing to pause)."""
    deadline = time.time() + seconds
    while True:
        answer = probe()
        if answer or time.time() >= deadline:
            return answer
        time.sleep(0.05)


READ_PAGE = r"""
const hrefOf = a => a.getAttribute('href') || a.getAttributeNS('http://www.w3.org/1999/xlink', 'href') || '';
const entries = [...document.querySelectorAll('nav#contents li.entry')].map(li => {
    const a = li.querySelector('a[href]');
    return {name: li.getAttribute('data-name'), href: a ? a.getAttribute('href') : null};
});
const nodes = [...document.querySelectorAll('figure#diagram svg g.node')].map(g => {
    const a = g.querySelector('a');
    return {href: a ? hrefOf(a) : null, text: g.textContent.replace(/\s+/g, ' ').trim()};
});
const sections = [...document.querySelectorAll('section.object')].map(s => {
    const h = s.querySelector('h2');
    return {id: s.id, classes: [...s.classList], heading: h ? h.textContent : null,
            neighbourhood: s.querySelectorAll('svg.neighbourhood').length};
});
const filter = document.querySelector('nav#contents input#filter');
const csp = [...document.querySelectorAll('meta[http-equiv]')]
    .filter(m => m.getAttribute('http-equiv').toLowerCase() === 'content-security-policy')
    .map(m => m.getAttribute('content'));
return {entries, nodes, sections, csp,
        filter: filter ? filter.getAttribute('type') : null,
        pwned: typeof window.__pwned,
        resources: performance.getEntriesByType('resource').map(r => r.name),
        inner: document.body ? document.body.innerText : '',
        content: document.body ? document.body.textContent : ''};
"""

SECTION_PLACE = r"""
let id = arguments[0];
let section = document.getElementById(id);
if (!section) { try { id = decodeURIComponent(id); section = document.getElementById(id); } catch (e) {} }
if (!section) return null;
const r = section.getBoundingClientRect();
let hash = location.hash;
try { hash = decodeURIComponent(hash); } catch (e) {}
return {top: r.top, bottom: r.bottom, height: window.innerHeight, hash: hash, id: id};
"""

# What a click at the middle of a node's box lands on, for the report of one that went nowhere.
HIT_AT_MIDDLE = r"""
const node = arguments[0];
const r = node.getBoundingClientRect();
const hit = document.elementFromPoint(r.left + r.width / 2, r.top + r.height / 2);
if (!hit) return 'nothing';
const link = hit.closest('a');
return '<' + hit.tagName + (hit.getAttribute('fill') ? ' fill="' + hit.getAttribute('fill') + '"' : '') + '>' +
    (node.contains(hit) ? ' inside the node' : ' outside the node') +
    (link ? ', within a link' : ', within no link');
"""

BACK_TO_TOP = r"""
try { history.replaceState(null, '', location.pathname + location.search); } catch (e) {}
window.scrollTo({top: 0, left: 0, behavior: 'instant'});
arguments[0].scrollIntoView({block: 'center', inline: 'center', behavior: 'instant'});
"""


def network_requests(driver, page_url):
    """Requests the performance log saw since it was last read, the page's own load and the
    browser's own pages (chrome://, which no web page can reach) left out."""
    seen = []
    for entry in driver.get_log("performance"):
        try:
            message = json.loads(entry["message"])["message"]
        except (KeyError, ValueError):
            continue
        if message.get("method") != "Network.requestWillBeSent":
            continue
        url = message.get("params", {}).get("request", {}).get("url", "")
        if url.split("#")[0] == page_url or url.startswith(("data:", "chrome:", "about:")):
            continue
        seen.append(url)
    return seen


def check_page(report, driver, page, screenshot_file):
    page_url = "file://" + os.path.abspath(page)
    network_requests(driver, page_url)  # what the browser's start page asked for
    started = time.time()
    driver.get(page_url)
    print("load  %.1f s" % (time.time() - started), flush=True)
    state = driver.execute_script(READ_PAGE)

    # Nothing from outside.
    report.check("the page carries a Content-Security-Policy meta tag", len(state["csp"]) > 0)
    report.check("performance.getEntriesByType('resource') is empty after loading", not state["resources"],
                 "\n".join(state["resources"]))

    # Contents: one entry per object, linking to a section of its kind whose heading names it.
    expected = {"%s.%s" % (SCHEMA, n): n for n in TABLES + VIEWS}
    names = [e["name"] for e in state["entries"]]
    report.check("the contents hold every table and view exactly once",
                 sorted(names) == sorted(expected),
                 "expected %s\nfound    %s" % (sorted(expected), sorted(str(n) for n in names)))
    report.check("the contents hold a search field #filter", state["filter"] == "search",
                 "input#filter in nav#contents: type %r" % state["filter"])
    sections = {s["id"]: s for s in state["sections"]}
    frag_of = {}
    for entry in state["entries"]:
        if entry["name"] not in expected:
            continue
        name = expected[entry["name"]]
        kind = "view" if name in VIEWS else "table"
        href = entry["href"] or ""
        section = sections.get(href[1:]) if href.startswith("#") else None
        frag_of[name] = href[1:] if section else None
        report.check("the entry of %s links to a section.object.%s whose <h2> shows its name" % (name, kind),
                     section is not None and kind in section["classes"] and name in (section["heading"] or ""),
                     "link %r, section %r" % (entry["href"], section))
        if section is not None and kind == "table":
            report.check("the section of %s holds a neighbourhood diagram" % name, section["neighbourhood"] > 0)

    # Schema diagram: one node per object, linking to the same section as its entry.
    by_frag = {frag: name for name, frag in frag_of.items() if frag}
    node_names = [by_frag.get((n["href"] or "")[1:]) for n in state["nodes"]]
    for name in TABLES + VIEWS:
        count = node_names.count(name)
        target = "#" + frag_of[name] if frag_of.get(name) else "its section (no contents entry names it)"
        report.check("the diagram shows %s as exactly one linked node" % name, count == 1,
                     "%d nodes link to %s; nodes: %s" % (count, target,
                                                        [(n["href"], n["text"][:60]) for n in state["nodes"]]))
    stray = [n for n, name in zip(state["nodes"], node_names) if name is None]
    report.check("every diagram node links to an object's section", not stray,
                 "\n".join("%r (%s)" % (n["href"], n["text"][:60]) for n in stray))

    # What the schema says is shown as text, none of it as markup.
    report.check("window.__pwned is undefined after loading", state["pwned"] == "undefined",
                 "typeof window.__pwned: " + state["pwned"])
    for what, text in HOSTILE_TEXTS:
        detail = ""
        if text not in state["inner"]:
            detail = ("the page's source text holds it, but it is not rendered" if text in state["content"]
                      else "nowhere in the page's text")
        report.check("%s %r is shown literally" % (what, text), text in state["inner"], detail)

    # The screenshot, at the top of the page.
    driver.execute_script("window.scrollTo({top: 0, left: 0, behavior: 'instant'});")
    png = driver.get_screenshot_as_png()
    if screenshot_file:
        with open(screenshot_file, "wb") as f:
            f.write(png)
    try:
        coloured, detail = png_has_two_colours(png), "one colour only"
    except (ValueError, zlib.error) as e:
        coloured, detail = False, "unreadable screenshot: %s" % e
    report.check("the screenshot is not blank", coloured, detail)

    # A click on each node's box brings its section into view.
    nodes = driver.find_elements(By.CSS_SELECTOR, "figure#diagram svg g.node")
    for node, name, info in zip(nodes, node_names, state["nodes"]):
        if name is None:
            continue
        frag = info["href"][1:]
        driver.execute_script(BACK_TO_TOP, node)
        steady(lambda: driver.execute_script("return JSON.stringify(arguments[0].getBoundingClientRect());", node))
        hit = driver.execute_script(HIT_AT_MIDDLE, node)
        try:
            ActionChains(driver).move_to_element(node).click().perform()
        except WebDriverException as e:
            report.check("a click on the node of %s shows its section" % name, False,
                         "the click failed: %s" % e.msg)
            continue
        place = steady(lambda: driver.execute_script(SECTION_PLACE, frag))
        arrived = place is not None and (
            -5 <= place["top"] <= 120
            or (place["hash"] == "#" + place["id"] and place["top"] < place["height"] and place["bottom"] > 0))
        report.check("a click on the node of %s shows its section" % name, arrived,
                     "the middle of the box, where the click went, is %s; after the click: %r" % (hit, place))

    # The filter.
    field = driver.find_elements(By.CSS_SELECTOR, "nav#contents input#filter")
    entries = driver.find_elements(By.CSS_SELECTOR, "nav#contents li.entry")
    if field:
        field = field[0]
        for text, keep in FILTERS:
            driver.execute_script("window.scrollTo({top: 0, left: 0, behavior: 'instant'});"
                                  "arguments[0].scrollIntoView({block: 'nearest', behavior: 'instant'});", field)
            field.send_keys(Keys.CONTROL, "a")
            field.send_keys(Keys.BACKSPACE)
            if text:
                field.send_keys(text)
            wanted = sorted("%s.%s" % (SCHEMA, n) for n in keep)

            def shown():
                return sorted(e.get_attribute("data-name") for e in entries if e.is_displayed())

            wait_for(lambda: shown() == wanted)
            found = shown()
            report.check("typing %r in the filter leaves %s" % (text, ", ".join(keep) if text else "every entry"),
                         found == wanted, "shown: %s" % found)

    # Still nothing ran, nothing was fetched, nothing complained.
    after = driver.execute_script(READ_PAGE)
    report.check("window.__pwned is undefined after the clicks and the filter", after["pwned"] == "undefined",
                 "typeof window.__pwned: " + after["pwned"])
    report.check("performance.getEntriesByType('resource') is empty after the clicks and the filter",
                 not after["resources"], "\n".join(after["resources"]))
    requests = network_requests(driver, page_url)
    report.check("the network log holds no request but the page itself", not requests, "\n".join(requests))
    severe = [e for e in driver.get_log("browser") if e.get("level") == "SEVERE"]
    report.check("the console holds no SEVERE message", not severe,
                 "\n".join("%s: %s" % (e.get("source", ""), e.get("message", "")) for e in severe))


# ---------------------------------------------------------------------------------------------


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("ombrix", help="the ombrix client to test")
    parser.add_argument("--page", help="check this page instead of the one ombrix doc writes")
    parser.add_argument("--screenshot", help="keep the screenshot in this file")
    parser.add_argument("--keep", action="store_true", help="leave the scratch schema and the page in place")
    args = parser.parse_args()
    in_ci = os.environ.get("CI", "") not in ("", "0", "false")

    def unavailable(message):
        if in_ci:
            print("FAIL  " + message)
            print("0 passed, 1 failed")
            return 1
        print("SKIP  " + message)
        return SKIP

    # Debian's python3-selenium is in the system interpreter's packages: a python3 found first on
    # PATH (pyenv, a virtual environment) does not see it.
    if (webdriver is None and os.access(SYSTEM_PYTHON, os.X_OK)
            and os.path.realpath(sys.executable) != os.path.realpath(SYSTEM_PYTHON)):
        os.execv(SYSTEM_PYTHON, [SYSTEM_PYTHON, os.path.abspath(__file__)] + sys.argv[1:])
    missing = browser_missing()
    if missing:
        return unavailable(missing)

    started = time.time()
    report = Report()
    work = tempfile.mkdtemp(prefix="ombrix-browser-")
    server = None
    try:
        page = args.page
        if page is None:
            sandbox_dir = os.environ.get("OMBRIX_SANDBOX_DIR", "")
            if not sandbox_dir or not os.path.isfile(os.path.join(sandbox_dir, "env")):
                print("FAIL  OMBRIX_SANDBOX_DIR does not name a running sandbox (no env file)")
                print("0 passed, 1 failed")
                return 1
            server = cs.Server(sandbox_dir, work)
            ombrix = cs.Ombrix(os.path.abspath(args.ombrix), work, sandbox_dir)
            server.drop_schema(SCHEMA)
            try:
                server.run_script(schema_script())
            except cs.SqlError as e:
                report.check("the scratch schema %s is made" % SCHEMA, False, str(e))
                return 1
            page = os.path.join(work, "doc.html")
            code, out, err = ombrix.run("doc", SCHEMA, "-o", page, timeout=120)
            if not report.check("ombrix doc %s -o FILE" % SCHEMA, code == 0 and os.path.isfile(page),
                                "exit %d\n%s" % (code, err[-4000:])):
                return 1
            if args.keep:
                print("page  " + page)

        try:
            driver = start_browser(os.path.join(work, "profile"))
        except WebDriverException as e:
            return unavailable("no chromium session could be started: %s" % (e.msg or e).strip().split("\n")[0])
        try:
            check_page(report, driver, page, args.screenshot)
        finally:
            driver.quit()
    finally:
        if server is not None and not args.keep:
            server.drop_schema(SCHEMA)
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)

    print()
    print("Failures:" if report.failed else "No failure.")
    for what in report.failed:
        print("  " + what)
    print("browser run time %.1f s" % (time.time() - started))
    print("%d passed, %d failed" % (report.passed, len(report.failed)))
    return 1 if report.failed else 0


if __name__ == "__main__":
    sys.exit(main())
