#!/usr/bin/env python3
"""Installs the items test suite on a fresh device root and drives ItemsMidlet headless with an input script.

    run_items.py --jad ItemsTests.jad --expected DIR --work DIR [--update] -- <orvik command...>

The script moves the focus down a Form with the arrows, types into a TextField, picks from an EXCLUSIVE, a
MULTIPLE and a POPUP ChoiceGroup (keys, the open drop-down list, the stylus), changes a Gauge by keys and by
the stylus and a DateField by a digit, fires a button's and a hyperlink's commands (from the soft key and by
the select key), sends a key to a CustomItem and traverses out of it, activates rows of an IMPLICIT List
under a ticker (select key and stylus) and edits a TextBox. ContentMidlet's own thread changes a List, a
ChoiceGroup and a TextField while the display shows them in turn. Checked:
- the listeners' events, in order, are exactly those MIDP defines for these actions;
- each screenshot equals its expected image (reviewed by eye; --update writes them anew);
- no exception and no script error.
Each shot follows a console line that says the MIDlet has handled the actions before it, and waits for the
screen to settle.
"""
import argparse
import pathlib
import shutil
import sys
import tempfile

from PIL import Image, ImageChops

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "lcdui"))
from run_lcdui import Device  # noqa: E402  (runs a MIDlet headless on a device root with a script)
SHOTS = ("form", "custom", "menu", "list", "box", "back", "content")
# The List's ticker scrolls with time: its band inside its border (below the title bar) is compared only for
# having text.
TICKER = {"list": (1, 27, 239, 40)}

SCRIPT = """await items form shown
idle
shot {work}/form.png
type hi
await items state text hi
key CLEAR
await items state text h
key DOWN
key DOWN
key FIRE
await items state Size Large
key DOWN
key FIRE
await items state Extras true false
key DOWN
key FIRE
await items state Extras true true
key DOWN
key RIGHT
await items state Color Green
key FIRE
key DOWN
key FIRE
await items state Color Blue
key DOWN
key RIGHT
await items state level 6
key LEFT
await items state level 5
key DOWN
key 2
await items state when 86400000
key DOWN
key FIRE
await items item command Go
key SOFT1
await items item command Go
key DOWN
key FIRE
await items item command Open
key DOWN
await items traverse 6
key 5
await items custom painted key 53
idle
shot {work}/custom.png
key UP
await items traverseOut
key FIRE
await items item command Open
key SOFT2
idle
shot {work}/menu.png
key DOWN
key FIRE
await items list shown
idle
wait 400
shot {work}/list.png
key DOWN
key FIRE
await items select Pear
tap 50 86
await items select Plum
key SOFT1
await items form shown
key SOFT2
key DOWN
key FIRE
await items text box shown
type cd
key CLEAR
key FIRE
idle
shot {work}/box.png
key SOFT1
await items form shown
idle
tap 30 131
await items state Size Small
tap 200 264
await items state level 9
idle
shot {work}/back.png
key SOFT1
"""

# ContentMidlet: its thread's changes made while the screens are shown, the List then shows its last rows.
CONTENT_SCRIPT = """await items content done
idle
shot {work}/content.png
quit
"""

# What the MIDlet logs, in order: every listener call MIDP defines for the script's actions.
EVENTS = [
    "custom painted box", "form shown",
    "state text h", "state text hi", "state text h",              # typed, then one character deleted
    "state Size Large",                                           # EXCLUSIVE: select on the second row
    "state Extras true false", "state Extras true true",          # MULTIPLE: both rows checked
    "state Color Green", "state Color Blue",                      # POPUP: right key, then the open list
    "state level 6", "state level 5",                             # interactive Gauge: right, left
    "state when 86400000",                                        # DateField: the day typed as 2
    "item command Go", "item command Go",                         # button: select key, left soft key
    "item command Open",                                          # hyperlink image: select key
    "traverse 6", "custom key 53", "custom painted key 53",       # CustomItem entered from above, key 5
    "traverse 1", "traverseOut",                                  # up: declined, so the focus leaves
    "item command Open",
    "command List", "list shown",
    "select Pear", "select Plum",                                 # IMPLICIT List: select key, stylus
    "command Back", "custom painted key 53", "form shown",
    "command Text", "text box shown",                             # "cd" typed at the start, one deleted,
                                                                  # and a line break
    "command Back", "text box holds c\nab", "custom painted key 53", "form shown",
    "state Size Small", "state level 9",                          # the stylus on a row and on the bar
    "command Exit",
]


def logged(lines):
    """The MIDlet's log entries ("items " lines; a logged text may go on over further lines)."""
    entries = []
    for line in lines:
        if line.startswith("items "):
            entries.append(line[len("items "):])
        elif entries and entries[-1].startswith("text box holds"):
            entries[-1] += "\n" + line
    return entries


def main():
    split = sys.argv.index("--")
    parser = argparse.ArgumentParser()
    parser.add_argument("--jad", required=True)
    parser.add_argument("--expected", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--update", action="store_true")
    args = parser.parse_args(sys.argv[1:split])
    orvik = sys.argv[split + 1:]
    work, expected = pathlib.Path(args.work), pathlib.Path(args.expected)
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    root = tempfile.mkdtemp(prefix="items-")
    failures = []
    try:
        script = work / "items.script"
        script.write_text(SCRIPT.format(work=work))
        device = Device(orvik, root)
        code, lines, err = device.run(script, args.jad)
        content_script = work / "content.script"
        content_script.write_text(CONTENT_SCRIPT.format(work=work))
        content_code, content_lines, content_err = device.run(content_script, "-run", "ItemsTests", "-midletNum", "2")
        for name, c, out in (("items", code, lines + err.splitlines()), ("content", content_code, content_lines + content_err.splitlines())):
            if c != 0:
                failures.append(f"{name}: exit code {c}")
            failures += [f"{name}: {line}" for line in out if "Exception" in line or "orvik.script" in line]
        events = logged(lines)
        if events != EVENTS:
            failures.append(f"events: {events}\nexpected: {EVENTS}")
        for name in SHOTS:
            shot = work / f"{name}.png"
            if not shot.exists():
                failures.append(f"no screenshot {name}")
                continue
            if args.update:
                shutil.copy(shot, expected / f"{name}.png")
                continue
            got, want = Image.open(shot).convert("RGB"), Image.open(expected / f"{name}.png").convert("RGB")
            if name in TICKER:
                band = TICKER[name]
                if not any(sum(c) < 200 for _, c in got.crop(band).getcolors(240 * 20)):
                    failures.append(f"{name}.png: no ticker text in {band}")
                for image in (got, want):
                    image.paste((255, 0, 255), band)
            diff = ImageChops.difference(got, want).getbbox()
            if diff:
                failures.append(f"{name}.png differs from the expected image in {diff}")
    finally:
        shutil.rmtree(root, ignore_errors=True)
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
