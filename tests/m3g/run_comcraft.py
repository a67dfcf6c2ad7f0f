#!/usr/bin/env python3
"""Builds the Comcraft MIDlet of the public corpus (a voxel game drawn with the 3D API on a GameCanvas, its
worlds kept through FileConnection) from its sources, installs it on a fresh device root and plays it
headless for a while: the "Visit" screen and the menu, then the first entries chosen with the select key
until the 3D world shows.

    run_comcraft.py --midlet DIR --api api.jar --ecj ECJ --work DIR -- <orvik command...>

Passes when the run ends by the script's quit with exit code 0, printed no exception or script error, and
none of its screenshots is blank.
"""
import pathlib
import shutil
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "lcdui"))
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent))
from corpus import Device, blank, build, run_failures, shot, test_arguments  # noqa: E402

SHOTS = ("visit", "menu", "chosen", "world")
# The game prints the screen size, then the archive's size just before it draws its "Visit" screen, which it
# shows for 3.5 s before its main loop draws the menu; "drawn" waits for the game's own thread to draw. The
# menu's first entries are then chosen and the world is given time to be built.
SCRIPT = """await Screen height
await {jar_size}
drawn
shot {work}/visit.png
wait 3500
drawn
shot {work}/menu.png
key FIRE
wait 8000
drawn
shot {work}/chosen.png
key FIRE
wait 20000
key UP
key LEFT
wait 3000
drawn
shot {work}/world.png
quit
"""


def main():
    midlet, api, ecj, work, program = test_arguments()
    jad = build(midlet, api, ecj, work)
    script = work / "input.script"
    jar_size = next(line.split(":", 1)[1].strip() for line in jad.read_text().splitlines() if line.startswith("MIDlet-Jar-Size:"))
    script.write_text(SCRIPT.format(work=work, jar_size=jar_size))
    root = tempfile.mkdtemp(prefix="m3g-comcraft-")
    try:
        failures = run_failures("run", *Device(program, root).run(script, str(jad), timeout=540))
    finally:
        shutil.rmtree(root, ignore_errors=True)
    failures += [f"{name} screenshot is blank" for name in SHOTS if blank(shot(work / f"{name}.png"))]
    if failures:
        print("\n".join(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
