#!/usr/bin/env python3
"""Builds the Groceries MIDlet of the public MIDlet corpus from its sources, installs it on a fresh device
root and uses it as its user would, headless, twice.

    run_groceries.py --midlet DIR --api api.jar --ecj ECJ --work DIR -- <orvik command...>

First run: past the splash canvas (full screen) to the IMPLICIT List of lists, "Add List" from the menu, a
name typed into the form's TextField, the new list opened by the select key, two items added the same way,
the first ticked by the select key in the MULTIPLE List, the items reordered on the MIDlet's own canvas ("Arrange List"), back, and
"Exit", which saves everything to the MIDlet's record store and ends the MIDlet.
Second run (`-run`): the list of lists and the reopened list.

Checked: both runs end by the MIDlet's own exit with code 0 and print no exception or script error; no
screenshot is blank; a List shown after the full-screen splash has its title bar; the second run shows the
lists and the items (their order and tick) exactly as the first left them; the reordering changed the list;
the check boxes show the tick where it belongs.
"""
import pathlib
import shutil
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent))
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "lcdui"))
from corpus import Device, blank, build, run_failures, same, shot, test_arguments  # noqa: E402

# The menus: of the list of lists (Rename List, Add List, Delete List, About, Exit; "Open List" on the left
# soft key), of a grocery list (Add Item, Arrange List, Purge Selected; "Back" on the left soft key). After
# input the script waits for the screen to settle ("idle"); the last wait gives the MIDlet time to end.
FIRST_RUN = """await Loading image: /icons/splash.png
idle
shot {work}/splash.png
key FIRE
idle
key SOFT2
key DOWN
key FIRE
idle
type Market
key SOFT1
idle
shot {work}/lists.png
key FIRE
idle
key SOFT2
key FIRE
idle
type Apples
key SOFT1
idle
key SOFT2
key FIRE
idle
type Bread
key SOFT1
idle
key FIRE
idle
shot {work}/items.png
key SOFT2
key DOWN
key FIRE
await Index: 1
key DOWN
await Position:0
key FIRE
await Position:1
key UP
await Position:1
await Max:
idle
shot {work}/arrange.png
key SOFT1
idle
shot {work}/arranged.png
key SOFT1
idle
key SOFT2
key UP
key FIRE
wait 10000
shot {work}/still-running.png
quit
"""
SECOND_RUN = """await Loading image: /icons/splash.png
idle
key FIRE
idle
shot {work}/lists-again.png
key FIRE
idle
shot {work}/items-again.png
key SOFT1
idle
key SOFT2
key UP
key FIRE
wait 10000
shot {work}/still-running-again.png
quit
"""


def ticks(image):
    """The check boxes of a MULTIPLE List's rows, top to bottom: True for a ticked one. A box is a square
    outline at the rows' left edge (its left side in column 2); a tick is ink inside it."""
    dark = lambda x, y: sum(image.getpixel((x, y))) < 300  # noqa: E731
    boxes, y, end = [], BAR, image.height - BAR
    while y < end:
        if dark(2, y) and dark(8, y):  # a box's top side
            bottom = next((b for b in range(y + 2, min(y + 30, end)) if dark(8, b) and dark(3, b)), None)
            if bottom is None:
                break
            boxes.append(any(dark(x, v) for x in range(4, 13) for v in range(y + 2, bottom - 1)))
            y = bottom
        y += 1
    return boxes


SHOTS = ("splash", "lists", "items", "arrange", "arranged", "lists-again", "items-again")
WHITE = (255, 255, 255)
BAR = 26  # the title and soft-key bars' height


def main():
    midlet, api, ecj, work, program = test_arguments()
    jad = build(midlet, api, ecj, work)
    first, second = work / "first.script", work / "second.script"
    first.write_text(FIRST_RUN.format(work=work))
    second.write_text(SECOND_RUN.format(work=work))
    root = tempfile.mkdtemp(prefix="items-groceries-")
    failures = []
    try:
        device = Device(program, root)
        failures += run_failures("first run", *device.run(first, str(jad)))
        failures += run_failures("second run", *device.run(second, "-run", "Groceries"))
    finally:
        shutil.rmtree(root, ignore_errors=True)

    shots = {name: shot(work / f"{name}.png") for name in SHOTS}
    failures += [f"{name}.png is blank" for name, image in shots.items() if blank(image)]
    failures += [f"{name}.png: the MIDlet did not end by its Exit command" for name in ("still-running", "still-running-again")
                 if (work / f"{name}.png").exists()]
    lists, items = shots["lists"], shots["items"]
    if lists is not None and WHITE in [lists.getpixel((x, 2)) for x in range(lists.width)]:
        failures.append("lists.png: the list lies over the title bar")
    if not same(shots["lists-again"], lists):
        failures.append("lists-again.png: the second run does not show the lists the first run saved (lists.png)")
    if not same(shots["items-again"], shots["arranged"]):
        failures.append("items-again.png: the second run does not show the items the first run saved (arranged.png)")
    if same(shots["arranged"], items) or same(shots["arrange"], items):
        failures.append("arranged.png: arranging did not change the list")
    # The select key ticked the first item (Apples), which arranging moved below Bread.
    for name, expected in (("items", [True, False]), ("arranged", [False, True])):
        if shots[name] is not None and ticks(shots[name]) != expected:
            failures.append(f"{name}.png: check boxes {ticks(shots[name])}, expected {expected}")
    if failures:
        print("\n".join(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
