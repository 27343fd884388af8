#!/usr/bin/env python3
"""The --html page of a real run, loaded in a real headless Chromium.

Plays a scenario (examples/demo.json) with nuv_client run --html, lets
Chromium load the page and run its script (--dump-dom), and reads the
diagram back from the DOM: the arrows of each kind must be as many as the
transcript's events of that kind, every label must be there, the three
lifelines and a tick per row on the time axis; the payload pinned through
the address must be the decoded event. Then it takes a screenshot and checks
it is a PNG of the asked size. A second run returns page strings made to
break out of the page (closing tags, script, quotes, NUL, a lone surrogate):
they must show as text, with nothing injected.

Fails (never skips) when Chromium is missing: scripts/setup.sh installs it.
"""

import argparse
import collections
import html.parser
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile

CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--hide-scrollbars", "--disable-dev-shm-usage",
]
ARROW_KINDS = ("send", "message", "request", "reply")
SCREENSHOT_SIZE = (1640, 1000)

HOSTILE_TEXT = ("</script><script>document.title='pwned'</script></template></pre>"
                "<img src=x onerror=\"document.title='pwned'\"><b id=\"injected\">&amp;"
                " ' \" \ud800 the end \u0000 after NUL")
HOSTILE_NAME = "</text></g></svg><script>document.title='pwned'</script>"


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


class Dom(html.parser.HTMLParser):
    """The parts of the dumped DOM the checks look at."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.rows = []  # {"kind", "classes", "label", "id"}; rows hold no <g>
        self.lifelines = []
        self.ticks = []
        self.ids = set()
        self.scripts = 0
        self.title = ""
        self.panel_text = ""
        self._row = None
        self._in_label = False
        self._in_title = False
        self._panel_divs = 0  # open <div>s from #panel-body down

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if "id" in attrs:
            self.ids.add(attrs["id"])
        classes = (attrs.get("class") or "").split()
        self.scripts += tag == "script"
        self._in_title = self._in_title or tag == "title"
        if tag == "g" and "row" in classes:
            self._row = {"kind": attrs.get("data-kind"), "classes": classes, "label": "",
                         "id": attrs.get("id")}
        if tag == "g" and "lifeline" in classes:
            self.lifelines.append(attrs.get("data-name"))
        if tag == "g" and "tick" in classes:
            self.ticks.append(int(attrs["data-time"]))
        self._in_label = self._in_label or (tag == "tspan" and "label" in classes)
        if tag == "div" and (self._panel_divs or attrs.get("id") == "panel-body"):
            self._panel_divs += 1

    def handle_endtag(self, tag):
        if tag == "tspan":
            self._in_label = False
        if tag == "title":
            self._in_title = False
        if tag == "g" and self._row is not None:
            self.rows.append(self._row)
            self._row = None
        if tag == "div" and self._panel_divs:
            self._panel_divs -= 1

    def handle_data(self, data):
        if self._in_label and self._row is not None:
            self._row["label"] += data
        if self._in_title:
            self.title += data
        if self._panel_divs:
            self.panel_text += data


def chromium(binary, profile_root, *args, timeout=45):
    profile = tempfile.mkdtemp(dir=profile_root)
    command = [binary] + CHROMIUM_FLAGS + ["--user-data-dir=" + profile] + list(args)
    try:
        done = subprocess.run(command, capture_output=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        raise Failure("chromium did not finish within %d s: %s" % (timeout, " ".join(command)))
    check(done.returncode == 0, "chromium failed (%d): %s\n%s" % (
        done.returncode, " ".join(command), done.stderr.decode(errors="replace")[-2000:]))
    return done.stdout.decode("utf-8", errors="replace")


def run_client(client, subprocess_path, scenario, page):
    done = subprocess.run([client, "run", scenario, "--html", page, "--subprocess",
                           subprocess_path], capture_output=True, timeout=60)
    check(done.returncode == 0, "nuv_client run %s failed (%d): %s" % (
        scenario, done.returncode, done.stderr.decode(errors="replace")))
    check(os.path.getsize(page) > 0, "nuv_client wrote an empty page")
    return [json.loads(line) for line in done.stdout.decode().splitlines() if line.strip()]


def load_dom(binary, profile_root, page, fragment=""):
    dom = Dom()
    dom.feed(chromium(binary, profile_root, "--dump-dom", "file://" + page + fragment))
    check(dom.rows, "the dumped DOM of %s has no diagram rows" % page)
    return dom


def expected_label(event):
    if event["event"] in ("send", "message"):
        return event["name"]
    if event["event"] == "request":
        return "%s #%s" % (event["kindName"], json.dumps(event["requestId"]))
    return "reply #%s" % json.dumps(event["requestId"])


def row_index(page, kind, needle):
    """The index of the first row of `kind` whose payload contains `needle`,
    read from the page as written (before any script ran)."""
    with open(page, encoding="utf-8") as f:
        text = f.read()
    dom = Dom()
    dom.feed(text)
    for row in dom.rows:
        if row["kind"] != kind:
            continue
        start = text.find('<template id="payload-%s">' % row["id"][len("row-"):])
        end = text.find("</template>", start)
        if start >= 0 and needle in text[start:end]:
            return int(row["id"][len("row-"):])
    raise Failure("no %s row of %s carries %r" % (kind, page, needle))


def check_demo(args, work):
    page = os.path.join(work, "demo.html")
    events = run_client(args.client, args.subprocess, args.scenario, page)
    pinned = row_index(page, "reply", "Quarterly report")
    dom = load_dom(args.chromium, work, page, "#pin=%d" % pinned)

    drawn = collections.Counter(row["kind"] for row in dom.rows if "arrow" in row["classes"])
    wanted = collections.Counter(e["event"] for e in events if e["event"] in ARROW_KINDS)
    check(all(wanted[kind] > 0 for kind in ARROW_KINDS),
          "the demo's transcript lacks a kind of arrow: %s" % dict(wanted))
    check(drawn == wanted, "arrows per kind: drawn %s, transcript %s" % (dict(drawn),
                                                                         dict(wanted)))
    releases = sum(1 for e in events if e["event"] == "release")
    marked = sum(1 for row in dom.rows if row["kind"] == "release")
    check(marked == releases, "release marks: %d drawn, %d in the transcript" % (marked, releases))
    steps = sum(1 for e in events if e["event"] == "step")
    check(sum(1 for row in dom.rows if row["kind"] == "step") == steps, "a step mark is missing")

    labels = collections.Counter(row["label"] for row in dom.rows if "arrow" in row["classes"])
    needed = collections.Counter(expected_label(e) for e in events if e["event"] in ARROW_KINDS)
    check(labels == needed, "arrow labels differ from the transcript: missing %s, extra %s" % (
        dict(needed - labels), dict(labels - needed)))

    check(dom.lifelines == ["client", "render process", "host window"],
          "lifelines: %s" % dom.lifelines)
    check(len(dom.ticks) == len(dom.rows), "%d time ticks for %d rows" % (len(dom.ticks),
                                                                         len(dom.rows)))
    check(dom.ticks == sorted(dom.ticks), "the time axis goes back")
    check(dom.scripts == 1, "%d script elements" % dom.scripts)
    # The script ran: the address pinned a reply, and the panel shows it
    # with its value record decoded (not as an escaped JSON string).
    check('"value":"Quarterly report"' in dom.panel_text
          and '"requestId": ' in dom.panel_text,
          "the panel does not show the pinned reply decoded: %r" % dom.panel_text[:400])

    shot = os.path.join(work, "demo.png")
    chromium(args.chromium, work, "--screenshot=" + shot,
             "--window-size=%d,%d" % SCREENSHOT_SIZE, "file://%s#pin=%d" % (page, pinned))
    with open(shot, "rb") as f:
        head = f.read(24)
    check(head[:8] == b"\x89PNG\r\n\x1a\n", "the screenshot is not a PNG")
    check(struct.unpack(">II", head[16:24]) == SCREENSHOT_SIZE, "screenshot size %s" % (
        struct.unpack(">II", head[16:24]),))
    check(os.path.getsize(shot) > 20000, "the screenshot is nearly empty (%d bytes)" %
          os.path.getsize(shot))
    if args.keep_screenshot:
        shutil.copyfile(shot, args.keep_screenshot)
    print("demo: %d rows, arrows %s, screenshot %d bytes" % (len(dom.rows), dict(drawn),
                                                              os.path.getsize(shot)))


def check_hostile(args, work):
    scenario = os.path.join(work, "hostile.json")
    script = "function evil() { return %s; }" % json.dumps(HOSTILE_TEXT)
    with open(scenario, "w") as f:
        json.dump({"steps": [
            {"do": "createBrowser"},
            {"do": "createContext", "script": script},
            {"do": "executeFunction", "function": "evil", "tag": "</svg><b id=\"injected\">"},
            {"do": "send", "name": HOSTILE_NAME, "args": ["<b id=\"injected\">", "\u0000"]},
        ]}, f)
    page = os.path.join(work, "hostile.html")
    run_client(args.client, args.subprocess, scenario, page)
    pinned = row_index(page, "message", "the end")
    dom = load_dom(args.chromium, work, page, "#pin=%d" % pinned)
    check("injected" not in dom.ids, "a page string injected an element")
    check(dom.scripts == 1, "%d script elements: a page string injected one" % dom.scripts)
    check("pwned" not in dom.title, "a page string ran script: title %r" % dom.title)
    check(any(row["label"] == HOSTILE_NAME for row in dom.rows),
          "the hostile message name is not shown as text")
    shown = dom.panel_text
    check("</script><script>document.title='pwned'</script></template></pre>" in shown
          and "the end" in shown,
          "the panel does not show the hostile string as text: %r" % shown[:600])
    print("hostile: nothing injected, %d rows" % len(dom.rows))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--client", required=True)
    parser.add_argument("--subprocess", required=True)
    parser.add_argument("--scenario", required=True)
    parser.add_argument("--chromium", default="/usr/bin/chromium")
    parser.add_argument("--keep-screenshot", help="copy the demo's screenshot here")
    args = parser.parse_args()
    if not os.access(args.chromium, os.X_OK):
        print("FAIL: no Chromium at %s; scripts/setup.sh installs Debian's chromium package"
              % args.chromium)
        return 1
    work = tempfile.mkdtemp(prefix="nuv-html-test-")
    try:
        check_demo(args, work)
        check_hostile(args, work)
    except Failure as failure:
        print("FAIL: %s" % failure)
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
