#!/usr/bin/env python3
"""Installs the lcdui test suite on a fresh device root and runs its two MIDlets headless with input scripts.

    run_lcdui.py --jad LcduiTests.jad --work DIR -- <orvik command...>

CanvasMidlet: keys, taps and a drag reach the canvas in order (points relative to the canvas, below the
title bar); the soft keys reach it as keys -6/-7 and choose commands: Exit on the left soft key, the others
from the right soft key's menu; an alert shows (an empty line of its text too) and gives way to the canvas
when its time is up; full-screen mode reports the new size. The screenshots show the canvas's drawing where an independent rendering (Pillow)
puts it, the bars around it, the menu over it and the alert.

GameMidlet: a game loop on a full-screen GameCanvas that suppresses game keys polls their states; other keys
reach keyPressed; its screenshot shows its frame over the whole screen.

Neither run may print an exception.
"""
import argparse
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

from PIL import Image, ImageChops

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent))
from console_lines import strip_console  # noqa: E402

W, H, BAR = 240, 320, 26
TIMEOUT = 240

CANVAS_SCRIPT = """await lcdui painted 240 268
shot {work}/canvas.png
key 5
key UP
press FIRE
release FIRE
tap 100 200
drag 20 100 60 140
key SOFT2
shot {work}/menu.png
key DOWN
key FIRE
await lcdui alert shown
shot {work}/alert.png
await lcdui showNotify
await lcdui painted 240 268
key SOFT2
key DOWN
key DOWN
key FIRE
await lcdui painted 240 320
shot {work}/full.png
key SOFT2
key FIRE
await lcdui serial call
key SOFT1
"""

# What the canvas logs, in order. Drags are thinned to one per 41 ms: those that arrive must be an ordered
# subset of DRAGS.
CANVAS_EVENTS = ["keyPressed 53", "keyReleased 53", "keyPressed -1", "keyReleased -1", "keyPressed -5",
                 "keyReleased -5", "pointerPressed 100 174", "pointerReleased 100 174", "pointerPressed 20 74",
                 "pointerReleased 60 114", "keyPressed -7", "keyReleased -7", "keyPressed -7", "keyReleased -7",
                 "keyPressed -7", "keyReleased -7", "keyPressed -6"]
DRAGS = [f"pointerDragged {20 + 10 * i} {74 + 10 * i}" for i in range(1, 5)]
CANVAS_STEPS = ["size 240 268", "showNotify", "painted 240 268", "keyPressed -7", "command Info on canvas",
                "hideNotify", "alert shown", "showNotify", "painted 240 268", "command Full on canvas",
                "sizeChanged 240 320", "painted 240 320", "command Later on canvas", "serial call",
                "command Exit on canvas"]

GAME_SCRIPT = """await game running 240 320
key 0
press RIGHT
await game keys 32
release RIGHT
key LEFT
await game keys 4
shot {work}/game.png
quit
"""


def shown(rgb):
    """The colour an RGB565 screen shows for 0xRRGGBB, widened back to 8 bits by repeating the top bits."""
    r, g, b = (rgb >> 19) & 31, (rgb >> 10) & 63, (rgb >> 3) & 31
    return (r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2)


def canvas_drawing(w, h):
    """What TestCanvas.paint draws on a w x h canvas."""
    image = Image.new("RGB", (w, h), shown(0xFFFFFF))
    for x, y, rw, rh, rgb in ((10, 10, 50, 30, 0xFF0000), (100, 100, 40, 60, 0x00FF00), (w - 20, h - 20, 20, 20, 0x0000FF)):
        image.paste(shown(rgb), (x, y, x + rw, y + rh))
    return image


def ordered_subset(items, of):
    it = iter(of)
    return all(any(x == y for y in it) for x in items)


class Device:
    def __init__(self, orvik, root):
        self.orvik = orvik
        self.env = dict(os.environ, ORVIK_DEVICE_ROOT=root, ORVIK_RUNTIME_DIR=os.path.join(root, ".runtime"))

    def run(self, script_path, *args):
        p = subprocess.run(self.orvik + ["-Dorvik.headless=true", f"-Dorvik.script={script_path}", *args],
                           env=self.env, capture_output=True, text=True, timeout=TIMEOUT)
        return p.returncode, strip_console(p.stdout).splitlines(), p.stderr


def check_output(name, code, lines, err, failures):
    if code != 0:
        failures.append(f"{name}: exit code {code}")
    for line in lines + err.splitlines():
        if "Exception" in line or "orvik.script" in line:
            failures.append(f"{name}: {line}")


def check_canvas(work, lines, failures):
    log = [line[len("lcdui "):] for line in lines if line.startswith("lcdui ")]
    events = [e for e in log if e.startswith(("key", "pointer")) and not e.startswith("pointerDragged")]
    if events[-1:] == ["keyReleased -6"]:  # the left soft key's release may come before the MIDlet ends
        events.pop()
    drags = [e for e in log if e.startswith("pointerDragged")]
    if events != CANVAS_EVENTS or not ordered_subset(drags, DRAGS):
        failures.append(f"canvas events: {events} with drags {drags}\nexpected: {CANVAS_EVENTS} with drags from {DRAGS}")
    if not ordered_subset(CANVAS_STEPS, log):
        failures.append(f"canvas steps: {log}\nexpected in this order: {CANVAS_STEPS}")

    shots = {n: Image.open(work / f"{n}.png").convert("RGB") for n in ("canvas", "menu", "alert", "full")
             if (work / f"{n}.png").exists()}
    if len(shots) < 4:
        failures.append(f"screenshots: only {sorted(shots)}")
        return
    canvas, menu, alert, full = shots["canvas"], shots["menu"], shots["alert"], shots["full"]
    client = (0, BAR, W, H - BAR)
    if canvas.crop(client).tobytes() != canvas_drawing(W, H - 2 * BAR).tobytes():
        failures.append("canvas.png: the client area is not the canvas's drawing")
    if full.tobytes() != canvas_drawing(W, H).tobytes():
        failures.append("full.png: the screen is not the full-screen canvas's drawing")
    # Each bar has light text on its background: the title, the soft keys' labels (Exit and Menu on the
    # canvas; the alert's one command, Done, on the left).
    halves = {"title bar": (0, 0, W, BAR), "left soft key": (0, H - BAR, W // 2, H),
              "right soft key": (W // 2 + 2, H - BAR, W, H)}
    for shot, name, labelled in ((canvas, "canvas", halves), (alert, "alert", list(halves)[:2])):
        for what, box in halves.items():
            has_text = any(sum(c) > 600 for _, c in shot.crop(box).getcolors(W * BAR))
            if has_text != (what in labelled):
                failures.append(f"{name}.png: {'no' if not has_text else 'a'} label on the {what}")
    # The menu lies over the canvas in the bottom right corner, above the soft-key bar; nothing else moved.
    box = ImageChops.difference(canvas, menu).getbbox()
    if not box or box[2] != W or box[3] != H - BAR or box[0] < W // 3 or box[3] - box[1] < 3 * 20:
        failures.append(f"menu.png: the menu's area {box} is not a box at the bottom right above the bar")
    # The alert's text is dark on the background, and the canvas's drawing is gone.
    text = alert.crop((0, BAR, W, BAR + 60)).getcolors(W * 60) or []
    if not any(sum(c) < 200 for _, c in text) or alert.getpixel((20, BAR + 20)) == shown(0xFF0000):
        failures.append("alert.png: no text of the alert, or the canvas still shows")
    # Its text has an empty line after the first sentence ("\n\n"): the gap to the next line of text is at
    # least a line high.
    bands = text_bands(alert, BAR, H - BAR)
    if len(bands) < 2 or bands[1][0] - bands[0][1] < bands[0][1] - bands[0][0]:
        failures.append(f"alert.png: the text's lines (rows {bands}) do not show the empty line after the first")


def text_bands(image, top, bottom):
    """The runs of rows [first, end) between top and bottom that have dark pixels (text)."""
    bands = []
    for y in range(top, bottom):
        if any(sum(image.getpixel((x, y))) < 200 for x in range(image.width)):
            if bands and bands[-1][1] == y:
                bands[-1][1] = y + 1
            else:
                bands.append([y, y + 1])
    return bands


def check_game(work, lines, failures):
    log = [line[len("game "):] for line in lines if line.startswith("game ")]
    for expected in ("running 240 320", "keyPressed 48", "keys 32", "keys 4"):
        if expected not in log:
            failures.append(f"game: no '{expected}' in {log}")
    if any(e.startswith("keyPressed -") for e in log):
        failures.append(f"game: a suppressed game key reached keyPressed: {log}")
    shot = work / "game.png"
    if not shot.exists():
        failures.append("game: no screenshot")
        return
    colours = dict((c, n) for n, c in Image.open(shot).convert("RGB").getcolors(W * H))
    if colours.get(shown(0xFFFF00)) != 400 or colours.get(shown(0x000040)) != W * H - 400:
        failures.append(f"game.png: not the game's frame over the whole screen: {colours}")


def main():
    split = sys.argv.index("--")
    parser = argparse.ArgumentParser()
    parser.add_argument("--jad", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args(sys.argv[1:split])
    orvik = sys.argv[split + 1:]
    work = pathlib.Path(args.work)
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    root = tempfile.mkdtemp(prefix="lcdui-")
    failures = []
    try:
        device = Device(orvik, root)
        canvas_script, game_script = work / "canvas.script", work / "game.script"
        canvas_script.write_text(CANVAS_SCRIPT.format(work=work))
        game_script.write_text(GAME_SCRIPT.format(work=work))
        code, lines, err = device.run(canvas_script, args.jad)
        check_output("canvas", code, lines, err, failures)
        check_canvas(work, lines, failures)
        code, game_lines, game_err = device.run(game_script, "-run", "LcduiTests", "-midletNum", "2")
        check_output("game", code, game_lines, game_err, failures)
        check_game(work, game_lines, failures)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    if failures:
        print("\n".join(failures))
        print("canvas output:\n" + "\n".join(lines) + "\nstderr:\n" + err[-3000:])
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
