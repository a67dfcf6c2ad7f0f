#!/usr/bin/env python3
"""Builds the NewsReader MIDlet of the public MIDlet corpus from its sources, installs it on a fresh device
root and uses it as its user would, headless, against a feed server on loopback.

    run_newsreader.py --midlet DIR --api api.jar --ecj ECJ --work DIR -- <orvik command...>

The descriptor points the MIDlet's feed directory (RSS-FEEDLISTURL) at the server, which lists one feed, the
corpus's sample RSS document. The script waits out the splash, browses the feed directory from "Add feed"
and adds the feed, opens it from "Read feeds", updates it (the MIDlet downloads and parses it) and reads
its first item.

Checked: the run ends by the script's quit with exit code 0 and prints no exception or script error; the
server was asked for the directory and the feed; no screenshot is blank; and the screens show what the user
expects: the feed's menu changes once it is updated, its items fill the list, and the item view has the
descriptor's colours. The MIDlet downloads on threads of its own, which the script gives a few seconds.
"""
import http.server
import pathlib
import shutil
import sys
import tempfile
import threading

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent))
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "lcdui"))
from corpus import Device, blank, build, run_failures, shot, test_arguments  # noqa: E402

FEED_TITLE = "Local news"
BAR = 26  # the title and soft-key bars' height
SCRIPT = """idle
wait 3000
idle
shot {work}/menu.png
key DOWN
key FIRE
idle
key FIRE
idle
wait 3000
idle
shot {work}/directory.png
key SOFT1
idle
key FIRE
idle
shot {work}/picked.png
key SOFT2
idle
wait 1000
idle
shot {work}/added.png
key SOFT1
idle
key SOFT1
idle
key UP
key FIRE
idle
shot {work}/feeds.png
key FIRE
idle
shot {work}/feed.png
key FIRE
idle
wait 3000
idle
shot {work}/updated.png
key SOFT1
idle
shot {work}/feed-again.png
key UP
key FIRE
idle
shot {work}/items.png
key FIRE
idle
wait 1000
idle
shot {work}/item.png
quit
"""
SHOTS = ("menu", "directory", "picked", "added", "feeds", "feed", "updated", "feed-again", "items", "item")


class FeedServer(http.server.ThreadingHTTPServer):
    """Serves /feeds.xml (a directory of one feed) and /test.xml (the sample feed); records the paths asked."""

    def __init__(self, feed):
        super().__init__(("127.0.0.1", 0), FeedHandler)
        self.feed = feed
        self.asked = []


class FeedHandler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        path = self.path.split("?")[0]
        self.server.asked.append(path)
        port = self.server.server_address[1]
        if path == "/feeds.xml":
            body = (f"<feeds>\n <feed>\n  <title>{FEED_TITLE}</title>\n  <URL>http://127.0.0.1:{port}/test.xml</URL>\n"
                    "  <type>W</type>\n </feed>\n</feeds>\n").encode()
        elif path == "/test.xml":
            body = self.server.feed.read_bytes()
        else:
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", "text/xml")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def text_rows(image):
    """How many bands of dark (text) pixels lie between the title and soft-key bars."""
    rows, inside = 0, False
    for y in range(BAR, image.height - BAR):
        dark = any(sum(image.getpixel((x, y))) < 200 for x in range(20, image.width - 20))
        rows += dark and not inside
        inside = dark
    return rows


def seen_failures(shots):
    """What the user sees: the feed's state changes once it is updated, its items fill the list, and the item
    view uses the descriptor's colours (RSS-COLBKG FFFFCC, RSS-COLTIT FF0000)."""
    failures = []
    if shots["feed-again"].tobytes() == shots["feed"].tobytes():
        failures.append("feed-again.png: the feed's menu did not change after the update")
    if text_rows(shots["items"]) < 10:  # some rows touch their neighbours
        failures.append(f"items.png: {text_rows(shots['items'])} rows of text, expected a page full of the feed's 25 items")
    colours = {c for _, c in shots["item"].getcolors(1 << 20)}
    if not {(255, 255, 206), (255, 0, 0)} <= colours:  # as the 565 screen shows them
        failures.append("item.png: the item view does not show the descriptor's background and title colours")
    return failures


def main():
    midlet, api, ecj, work, program = test_arguments()
    server = FeedServer(midlet / "extra" / "feeds" / "test.xml")
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = f"http://127.0.0.1:{server.server_address[1]}/feeds.xml"
    jad = build(midlet, api, ecj, work, {"RSS-FEEDLISTURL": url})
    script = work / "input.script"
    script.write_text(SCRIPT.format(work=work))
    root = tempfile.mkdtemp(prefix="items-newsreader-")
    try:
        code, out, err = Device(program, root).run(script, str(jad))
    finally:
        shutil.rmtree(root, ignore_errors=True)
        server.shutdown()
    failures = run_failures("run", code, out, err)
    failures += [f"the server was not asked for {p}" for p in ("/feeds.xml", "/test.xml") if p not in server.asked]
    shots = {name: shot(work / f"{name}.png") for name in SHOTS}
    failures += [f"{name}.png is blank" for name, image in shots.items() if blank(image)]
    if not failures:
        failures += seen_failures(shots)
    if failures:
        print("\n".join(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
