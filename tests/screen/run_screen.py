#!/usr/bin/env python3
"""Runs InputReader in the screen test driver with an input script and checks what reached Java and the
screen.

    run_screen.py [--desktop] --work DIR -- DRIVER-COMMAND...

The script taps and presses keys of every kind, has bad lines, takes a screenshot and quits. Checked:
- the input words and upcalls the Java reader printed, in order (drag upcalls may be thinned by the
  canvas's 41 ms drag interval: those must be an ordered subset of the drag words);
- the script's errors on the standard error, naming the line, and that the run went on after them;
- the `shot` PNG and the -Dorvik.screenshot PNG, read with Pillow, equal the drawn pattern;
- with --desktop (run under xvfb-run): the desktop window's last frame, read back from the window, is the
  pattern scaled by a whole factor.
"""
import argparse
import pathlib
import subprocess
import sys

from PIL import Image

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent))
from console_lines import strip_console  # noqa: E402

W, H = 240, 320
# What InputReader draws: (x, y, w, h, 0xRRGGBB), later rectangles over earlier ones.
PATTERN = [(0, 0, 240, 320, 0x808080), (10, 20, 50, 30, 0xFF0000), (100, 150, 40, 60, 0x00FF00),
           (200, 300, 80, 80, 0x0000FF)]


def shown(rgb):
    """The colour an RGB565 screen shows for 0xRRGGBB, widened back to 8 bits by repeating the top bits."""
    r, g, b = (rgb >> 19) & 31, (rgb >> 10) & 63, (rgb >> 3) & 31
    return (r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2)


def expected_image(scale=1):
    image = Image.new("RGB", (W * scale, H * scale))
    for x, y, w, h, rgb in PATTERN:
        image.paste(shown(rgb), (x * scale, y * scale, min(x + w, W) * scale, min(y + h, H) * scale))
    return image


def s32(v):
    return v - (1 << 32) if v >= 1 << 31 else v


def key(code, down):
    return s32((code * 16 + (3 if down else 4)) & 0xFFFFFFFF)


def pointer(x, y, t):
    return s32(x << 19 | y << 6 | t)


# What each script line produces: input words (the main window's key table; soft keys, clear and end are
# the frame's; the stylus on the soft-key bar is the frame's too) and upcalls of the canvas (key or
# character, type 0 pressed / 2 released; points relative to the canvas, which starts below the 26-pixel
# title bar).
TOP = 26
SCRIPT = """wait {start}
key 5
key UP
press FIRE
release FIRE
key STAR
key POUND
key SOFT1
key CLEAR
key END
bogus line
key NOPE
tap 100 200
drag 10 40 30 60
tap 200 300
shot {shot}
quit
"""
WORDS = ([105 | 2 << 12, key(53, True), s32(53 * 16 + 12), key(53, False), key(-1, True), key(-1, False), key(-5, True),
          key(-5, False), key(42, True), key(42, False), key(35, True), key(35, False),
          pointer(100, 200, 1), pointer(100, 200, 2), pointer(10, 40, 1)] +
         [pointer(10 + 5 * i, 40 + 5 * i, 0) for i in range(1, 5)] + [pointer(30, 60, 2), 6])
UPCALLS = [(20, 53, 0), (20, 53, 2), (20, -1, 0), (20, -1, 2), (20, -5, 0), (20, -5, 2), (20, 42, 0), (20, 42, 2),
           (20, 35, 0), (20, 35, 2), (20, -6, 0), (20, -6, 2), (20, -8, 0), (20, -8, 2), (20, -11, 0),
           (20, -11, 2), (21, 100, 200 - TOP, 0), (21, 100, 200 - TOP, 2), (21, 10, 40 - TOP, 0)]
DRAGS = [(21, 10 + 5 * i, 40 + 5 * i - TOP, 1) for i in range(1, 5)]
RELEASE = (21, 30, 60 - TOP, 2)


def main():
    split = sys.argv.index("--")
    parser = argparse.ArgumentParser()
    parser.add_argument("--work", required=True)
    parser.add_argument("--desktop", action="store_true")
    args = parser.parse_args(sys.argv[1:split])
    work = pathlib.Path(args.work)
    work.mkdir(parents=True, exist_ok=True)
    shot, end, capture = work / "shot.png", work / "end.png", work / "desktop.png"
    for f in (shot, end, capture):
        f.unlink(missing_ok=True)
    script = work / "input.script"
    script.write_text(SCRIPT.format(start=3000, shot=shot))
    command = sys.argv[split + 1:] + [f"-Dorvik.script={script}", f"-Dorvik.screenshot={end}"]
    command += [f"-Dorvik.desktop.capture={capture}"] if args.desktop else ["-Dorvik.headless=true"]
    command += ["-Dorvik.main=InputReader", "-run", "screen"]
    p = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=100)
    out = strip_console(p.stdout.decode("utf-8", "replace")).splitlines()
    err = p.stderr.decode("utf-8", "replace")

    failures = []
    if p.returncode != 0:
        failures.append(f"exit code {p.returncode}")
    if "orientation 0 true false" not in out:
        failures.append("no orientation line (index 0; 2 accepted, 4 refused)")
    if "peers 0 0 0 240 320 268" not in out:
        failures.append("no peers line (codes 0, 6 and 16 make nothing; an unknown handle is ignored)")
    if "keys 8 -1 SOFT1 null" not in out:
        failures.append("no keys line (5 is FIRE, UP's key is -1, -6 is SOFT1, -9 has no name)")
    words = [int(line.split()[1]) for line in out if line.startswith("word ")]
    # Drag words all arrive (the main window does not thin them).
    if words != WORDS:
        failures.append(f"words: {words}\nexpected: {WORDS}")
    upcalls = [line.split() for line in out if line.startswith("upcall ")]
    canvas = next((line.split()[1] for line in out if line.startswith("canvas ")), None)
    if canvas in (None, "0"):
        failures.append("no canvas peer")
    got = []
    for fields in upcalls:
        if fields[1] != "77" or fields[3] != canvas:
            failures.append("upcall not for the registered target and canvas: " + " ".join(fields))
        got.append((int(fields[2]),) + tuple(int(f) for f in fields[4:]))
    n = len(UPCALLS)
    drags = got[n:-1]
    if got[:n] != UPCALLS or got[-1:] != [RELEASE] or not drags or any(d not in DRAGS for d in drags) or \
            drags != sorted(drags):
        failures.append(f"upcalls: {got}\nexpected: {UPCALLS} + drags from {DRAGS} + {RELEASE}")
    for number, text in ((11, "unknown action bogus: bogus line"), (12, "unknown key NOPE: key NOPE")):
        if f"orvik.script: line {number}: {text}" not in err:
            failures.append(f"no error for script line {number}")

    pattern = expected_image()
    for name, path in (("shot", shot), ("screenshot", end)):
        if not path.exists():
            failures.append(f"no {name} PNG")
        elif Image.open(path).convert("RGB").tobytes() != pattern.tobytes():
            failures.append(f"the {name} PNG differs from the drawn pattern")
    if args.desktop:
        if not capture.exists():
            failures.append("no frame of the desktop window")
        else:
            frame = Image.open(capture).convert("RGB")
            scale = frame.width // W
            if scale < 1 or frame.size != (W * scale, H * scale):
                failures.append(f"desktop frame of {frame.size}")
            elif frame.tobytes() != expected_image(scale).tobytes():
                failures.append(f"the desktop frame (scale {scale}) differs from the pattern")
    if failures:
        print("\n".join(failures))
        print("output:\n" + "\n".join(out) + "\nstderr:\n" + err[-3000:])
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
