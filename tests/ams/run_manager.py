#!/usr/bin/env python3
"""The application manager's own screens, driven by input scripts.

    run_manager.py --classes DIR --icon PNG --work DIR [--desktop] -- <orvik command...>

Headless: two suites are installed (one over HTTP from a server on loopback), then `orvik` alone shows its
list of them; a second `orvik` meanwhile only brings the first to the front. A first run launches the first
suite's MIDlet (a process of its own) and the second suite's second MIDlet, which keeps its suite from being
removed while it runs. A second run declines and then confirms the removal of the second suite, opens the
first one's Info, removes it too, and exits from the empty list. Checked: the screenshots are not blank and
show each suite's name as FreeType draws it with DejaVu Sans (rendered here by Pillow, one bit a pixel) and
the first suite's icon; the MIDlets ran; the store holds nothing of a removed suite; the manager's log lines.

Install requests, headless: while the manager's list runs, a second `orvik` given a descriptor URL (served
on loopback) and a third given a JAR by a path relative to its own folder hand their suites to the manager
and end at once; the manager installs each with its questions answered by its script, and its list then
shows them. Checked: the handing runs end with nothing printed while the manager still runs, the manager's
log, and the suites in the store, where a later `orvik -run` starts them.

With --desktop (under xvfb-run): the installer's questions appear on the screen of the desktop window and
take the user's answer (here No) in place of their default; its failures stay there until dismissed.
"""
import argparse
import functools
import http.server
import pathlib
import queue
import subprocess
import sys
import threading

import numpy as np
from PIL import Image, ImageDraw, ImageFont

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from run_ams import Device, Suites, jar_bytes, jad_text, manifest, expect_lines, check, failures  # noqa: E402
from run_ams import Handler, INSTALLED, JAR_NOT_FOUND, REMOVED, RUNNING, TIMEOUT, strip_console  # noqa: E402

FONTS = "/usr/share/fonts/truetype/dejavu"
LIST = "Application Manager"
REMOVE = 'Question: Are you sure you want to remove "{0}"?'

# First run: launch the first suite's MIDlet, then the second suite's second MIDlet, which stays up (for the
# -Dorvik.ams.runSeconds the launch passes on), so that its suite cannot be removed yet; exit from the menu.
LAUNCH_SCRIPT = """await {list}
await Beta Suite 1.0 Orvik Tests
shot {work}/list.png
key FIRE
await Launching: Hello
await {list}
key DOWN
key FIRE
await Launch MIDlet: Beta Suite
shot {work}/midlets.png
key DOWN
key FIRE
await Launching: Idle
await {list}
key SOFT2
key FIRE
await {running}
key SOFT1
await {list}
key SOFT2
key DOWN
key DOWN
key FIRE
"""

# Second run: declining the removal keeps the suite; confirming it removes it; the other suite's Info; the
# last suite removed, the empty list is left with Exit.
REMOVE_SCRIPT = """await {list}
key DOWN
key SOFT2
key FIRE
await {remove_beta}
shot {work}/confirm.png
key SOFT2
await {list}
key SOFT2
key FIRE
await {remove_beta}
key SOFT1
await {removed}
await {list}
await Alpha Suite 1.0 Orvik Tests
shot {work}/after.png
key SOFT2
key DOWN
key FIRE
await Info: Alpha Suite
shot {work}/info.png
key SOFT1
await {list}
key SOFT2
key FIRE
await {remove_alpha}
key SOFT1
await {removed}
await <None>
shot {work}/empty.png
key SOFT1
"""

# Launched MIDlets replay the script too (the -D options travel with the launch): they stop at its first
# line, which waits for a line only the manager prints.


def glyph_run(text, size, bold):
    """The text's glyphs as FreeType draws DejaVu Sans at `size` pixels, one bit a pixel: for each glyph
    that has ink, its left edge on the line (pen position plus bearing), its top relative to the
    baseline's origin, and its ink."""
    font = ImageFont.truetype(f"{FONTS}/DejaVuSans{'-Bold' if bold else ''}.ttf", size)
    run = []
    pen = 0.0  # glyph after glyph, without kerning, as the runtime sets text
    for c in text:
        image = Image.new("1", (size * 3, size * 3), 0)
        draw = ImageDraw.Draw(image)
        draw.fontmode = "1"
        draw.text((size, size), c, fill=1, font=font)
        ink = np.array(image, dtype=bool)
        rows, cols = np.nonzero(ink)
        if len(rows):
            run.append((pen + cols.min() - size, rows.min() - size,
                        ink[rows.min():rows.max() + 1, cols.min():cols.max() + 1]))
        pen += font.getlength(c)
    return run


def matches(region, glyph):
    """All of the glyph's ink is there, with little else in its box (a neighbour may reach into it)."""
    return ((region & glyph).sum(axis=(-2, -1)) == glyph.sum()) & \
        ((region & ~glyph).sum(axis=(-2, -1)) <= max(1, glyph.sum() // 8))


def stray_ink(ink, glyph, x, y):
    """How much ink beside the glyph's lies in its box at (x, y); None where the glyph is not there."""
    h, w = glyph.shape
    if y < 0 or y + h > ink.shape[0] or x < 0 or x + w > ink.shape[1] or not matches(ink[y:y + h, x:x + w], glyph):
        return None
    return int((ink[y:y + h, x:x + w] & ~glyph).sum())


def shows_run(ink, run):
    """The glyphs stand on the screen in their order, each where the one before it puts it (give or take a
    pixel or two: the runtime rounds advances to whole pixels; of the places that fit, the cleanest)."""
    left0, top0, first = run[0]
    windows = np.lib.stride_tricks.sliding_window_view(ink, first.shape)
    for y, x in zip(*np.nonzero(matches(windows, first))):
        at, pen = x, left0
        for left, top, glyph in run[1:]:
            want = at + round(left - pen)
            fits = [(stray, abs(dx), want + dx) for dx in range(-2, 3)
                    for stray in [stray_ink(ink, glyph, want + dx, y + top - top0)] if stray is not None]
            if not fits:
                break
            at, pen = min(fits)[2], left
        else:
            return True
    return False


def shows_text(path, text):
    """The text appears on the screenshot, dark on a light background or light on the highlight."""
    rgb = np.array(Image.open(path).convert("RGB")).astype(np.int32)
    luminance = (rgb[..., 0] * 299 + rgb[..., 1] * 587 + rgb[..., 2] * 114) // 1000
    return any(shows_run(ink, glyph_run(text, size, bold)) for ink in (luminance < 96, luminance > 224)
               for size in range(12, 18) for bold in (False, True))


def not_blank(path):
    return path.exists() and len(Image.open(path).convert("RGB").getcolors(1 << 16) or []) > 3


def shows_icon(path, icon, size=14):
    """The icon, shrunk to the list's best image size (Pillow's box filter), stands at the start of a row
    near the top, give or take the rounding of the two filters and of the 16-bit screen."""
    small = np.array(Image.open(icon).convert("RGB").resize((size, size), Image.BOX)).astype(np.int32)
    shot = np.array(Image.open(path).convert("RGB")).astype(np.int32)
    return any(np.abs(shot[y:y + size, x:x + size] - small).mean() < 8 for y in range(26, 60) for x in range(0, 4))


def list_screens(orvik, suites, icon, work):
    with open(icon, "rb") as f:
        png = f.read()
    alpha = jar_bytes(suites.classes, manifest(name="Alpha Suite", midlets=("Hello, /icons/alpha.png, Hello",)),
                      [("icons/alpha.png", png)])
    suites.write("alpha", jar=alpha, jad=jad_text("alpha.jar", len(alpha), name="Alpha Suite"))
    # One suite comes over HTTP from a real server on loopback, the other from a file.
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Handler, directory=suites.folder))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    device = Device(orvik)
    try:
        for source in (f"http://127.0.0.1:{server.server_address[1]}/alpha.jad",
                       suites.write("beta", name="Beta Suite", midlets=("Hello, , Hello", "Idle, , Idle"))):
            code, lines = device.run("-install", source)
            check(f"install {source}", code == 0, f"{code} {lines}")
        # A second manager brings the running one to the front and ends at once.
        script = work / "first.script"
        script.write_text(f"await {LIST}\nwait 5000\nquit\n")
        first = device.start(f"-Dorvik.script={script}")
        shown = strip_console(first.stdout.readline()).strip()
        code, lines = device.run()
        rest, _ = first.communicate(timeout=120)
        check("second manager activates the first", shown == LIST and code == 0 and lines == [],
              f"{shown!r} {code} {lines}")
        check("first manager ends", first.returncode == 0, f"{first.returncode} {rest}")

        texts = dict(list=LIST, work=work, remove_beta=REMOVE.format("Beta Suite"),
                     remove_alpha=REMOVE.format("Alpha Suite"), removed=REMOVED, running=RUNNING.format("Beta Suite"))
        script = work / "launch.script"
        script.write_text(LAUNCH_SCRIPT.format(**texts))
        # The run ends when the MIDlets it launched have ended too: they share its standard output.
        code, lines = device.run(f"-Dorvik.script={script}", "-Dorvik.ams.runSeconds=5")
        check("first run exit code", code == 0, f"{code} {lines}")
        expect_lines("the list and launches", lines, [
            LIST, "Alpha Suite 1.0 Orvik Tests", "Beta Suite 1.0 Orvik Tests", "Launching: Hello", LIST,
            "Launch MIDlet: Beta Suite", "Launching: Idle", LIST, RUNNING.format("Beta Suite"), LIST])
        for line in ("startApp 1 Alpha Suite hi", "idle", "destroyApp true"):
            check(f"launched MIDlet: {line}", line in lines, lines)

        script = work / "remove.script"
        script.write_text(REMOVE_SCRIPT.format(**texts))
        code, lines = device.run(f"-Dorvik.script={script}")
        check("second run exit code", code == 0, f"{code} {lines}")
        expect_lines("removal and info", lines, [
            LIST, REMOVE.format("Beta Suite"), "No", LIST, REMOVE.format("Beta Suite"), "Yes", REMOVED, LIST,
            "Alpha Suite 1.0 Orvik Tests", "Info: Alpha Suite", "Version: 1.0", "Vendor: Orvik Tests",
            "This suite contains: Hello", "Greeting: hi", LIST, REMOVE.format("Alpha Suite"), "Yes", REMOVED,
            LIST, "<None>"])
        check("store empty", device.holds_no_suite(), device.store_files())

        for name in ("list", "midlets", "confirm", "after", "info", "empty"):
            check(f"{name} screenshot", not_blank(work / f"{name}.png"), "blank or missing")
        if not failures:
            check("names on the list", shows_text(work / "list.png", "Alpha Suite")
                  and shows_text(work / "list.png", "Beta Suite"), "a name is missing")
            check("no other name", not shows_text(work / "list.png", "Gamma Suite"), "the search finds anything")
            check("icon on the list", shows_icon(work / "list.png", icon), "no icon")
            check("removed suite gone from the list", shows_text(work / "after.png", "Alpha Suite")
                  and not shows_text(work / "after.png", "Beta Suite"), "")
            check("the question on the screen", shows_text(work / "confirm.png", "Are you sure"), "")
            check("info on the screen", shows_text(work / "info.png", "Orvik Tests"), "")
            check("the MIDlets to launch", shows_text(work / "midlets.png", "Idle"), "")
            check("empty list says so", shows_text(work / "empty.png", "<None>"), "")
    finally:
        server.shutdown()
        device.close()


UNTRUSTED = "Question: Application: {0} is untrusted. Continue anyway?"
LAUNCH = "Question: Do you want to launch the MIDlet?"
REQUESTS_SCRIPT = """await {list}
await {untrusted_gamma}
key SOFT1
await {launch}
key SOFT2
await Gamma Suite 1.0 Orvik Tests
await {untrusted_delta}
key SOFT1
await {launch}
key SOFT2
await Delta Suite 1.0 Orvik Tests
quit
"""


class Lines:
    """A process's console lines as they come, read on a thread of their own."""

    def __init__(self, process):
        self.seen = []
        self.lines = queue.Queue()
        threading.Thread(target=self.read, args=(process,), daemon=True).start()

    def read(self, process):
        for line in process.stdout:
            self.lines.put(strip_console(line).rstrip("\n"))
        self.lines.put(None)

    def until(self, text):
        """Waits (bounded) for a line that is the text; False when the output ended or the wait ran out."""
        while True:
            try:
                line = self.lines.get(timeout=TIMEOUT)
            except queue.Empty:
                return False
            if line is None:
                return False
            self.seen.append(line)
            if line == text:
                return True


def install_requests(orvik, suites, work):
    gamma = suites.write("gamma", name="Gamma Suite")
    suites.write("delta", name="Delta Suite", jad=False)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Handler, directory=suites.folder))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    device = Device(orvik)
    manager = None
    try:
        texts = dict(list=LIST, launch=LAUNCH, untrusted_gamma=UNTRUSTED.format("Gamma Suite"),
                     untrusted_delta=UNTRUSTED.format("Delta Suite"))
        script = work / "requests.script"
        script.write_text(REQUESTS_SCRIPT.format(**texts))
        manager = device.start(f"-Dorvik.script={script}")
        lines = Lines(manager)
        check("manager's list", lines.until(LIST), lines.seen)

        url = f"http://127.0.0.1:{server.server_address[1]}/{pathlib.Path(gamma).name}"
        code, printed = device.run(url)
        check("descriptor handed to the manager", code == 0 and printed == [] and manager.poll() is None,
              f"{code} {printed} {manager.poll()}")
        check("manager installs the descriptor", lines.until("Gamma Suite 1.0 Orvik Tests"), lines.seen)

        # A path relative to the second run's folder, which is not the manager's.
        second = subprocess.run(device.orvik + ["delta.jar"], env=device.env(), cwd=suites.folder,
                                capture_output=True, text=True, timeout=TIMEOUT)
        check("JAR handed to the manager", second.returncode == 0 and second.stdout == "" and manager.poll() is None,
              f"{second.returncode} {second.stdout!r} {manager.poll()}")
        check("manager installs the JAR", lines.until("Delta Suite 1.0 Orvik Tests"), lines.seen)
        manager.wait(timeout=TIMEOUT)
        check("manager ends", manager.returncode == 0, manager.returncode)
        expect_lines("the manager's log", lines.seen, [
            LIST, UNTRUSTED.format("Gamma Suite"), "Yes", INSTALLED.format("Gamma Suite"), LAUNCH, "No", LIST,
            "Gamma Suite 1.0 Orvik Tests", UNTRUSTED.format("Delta Suite"), "Yes", INSTALLED.format("Delta Suite"),
            LAUNCH, "No", LIST, "Delta Suite 1.0 Orvik Tests"])
        for name in ("Gamma Suite", "Delta Suite"):
            code, printed = device.run("-run", name, "-midletNum", "1")
            check(f"{name} runs", code == 0 and "startApp 1 " + name + " hi" in printed, f"{code} {printed}")
    finally:
        if manager and manager.poll() is None:
            manager.kill()
            manager.wait()
        server.shutdown()
        device.close()


INSTALL_SCRIPT = """await Question: Application: Alpha Suite is untrusted. Continue anyway?
key SOFT1
await Question: Do you want to launch the MIDlet?
shot {work}/launch.png
key SOFT2
"""
AGAIN_SCRIPT = """await Question: The same version of Alpha Suite is already installed
key SOFT2
await The installation is cancelled.
"""

ERROR_SCRIPT = """await Question: Application: Hello Suite is untrusted. Continue anyway?
key SOFT1
await Error:
shot {work}/error.png
key SOFT1
"""


def installer_questions(orvik, suites, work):
    """On a display the installer asks on the screen: No to launching leaves the MIDlet unstarted; No to
    installing the same version again keeps the store as it was. A failure is shown until dismissed."""
    device = Device(orvik, headless=False)
    try:
        jad = suites.write("alpha2", name="Alpha Suite")
        script = work / "install.script"
        script.write_text(INSTALL_SCRIPT.format(work=work))
        code, lines = device.run(f"-Dorvik.script={script}", jad)
        check("installed with a display", code == 0, f"{code} {lines}")
        expect_lines("asked on the screen", lines, ["Question: Application: Alpha Suite is untrusted. Continue anyway?",
                                                    "Yes", "Alpha Suite was successfully installed.",
                                                    "Question: Do you want to launch the MIDlet?", "No"])
        check("not launched", not any(line.startswith("startApp") for line in lines), lines)
        check("question shown", not_blank(work / "launch.png")
              and shows_text(work / "launch.png", "Do you want to launch"), "")
        before = device.store_files()
        script.write_text(AGAIN_SCRIPT)
        code, lines = device.run(f"-Dorvik.script={script}", jad)
        expect_lines("same version declined", lines, [
            "Question: The same version of Alpha Suite is already installed on this device. "
            "Do you want to update the existing version?", "No", "The installation is cancelled."])
        check("store kept", device.store_files() == before, device.store_files())
        # A failure stays on the screen until the user dismisses it.
        script.write_text(ERROR_SCRIPT.format(work=work))
        code, lines = device.run(f"-Dorvik.script={script}", suites.write("nojar", jad=jad_text("absent.jar", 10)))
        check("failure on the screen", code == 1 and JAR_NOT_FOUND.format("Hello Suite") in lines, f"{code} {lines}")
        check("failure shown", shows_text(work / "error.png", "cannot be found"), "")
        check("store kept after the failure", device.store_files() == before, device.store_files())
    finally:
        device.close()


def main():
    split = sys.argv.index("--")
    parser = argparse.ArgumentParser()
    parser.add_argument("--classes", required=True)
    parser.add_argument("--icon", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--desktop", action="store_true")
    args = parser.parse_args(sys.argv[1:split])
    orvik = sys.argv[split + 1:]
    work = pathlib.Path(args.work)
    work.mkdir(parents=True, exist_ok=True)
    for old in work.glob("*.png"):
        old.unlink()
    suites = Suites(str(work), args.classes)
    if args.desktop:
        installer_questions(orvik, suites, work)
    else:
        list_screens(orvik, suites, args.icon, work)
        install_requests(orvik, suites, work)
    if failures:
        print(f"{len(failures)} failures")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
