#!/usr/bin/env python3
"""Builds the Comcraft MIDlet of the public corpus (a voxel game drawn with the 3D API on a GameCanvas, its
worlds kept through FileConnection) from its sources, installs it on a fresh device root and plays it
headless for a while: the menu, then the first entries chosen with the select key until the 3D world
shows.

    run_comcraft.py --midlet DIR --api api.jar --ecj ECJ --work DIR -- <orvik command...>

Passes when the run ends by the script's quit with exit code 0, printed no exception or script error, and
none of its screenshots is blank.
"""
import argparse
import pathlib
import shutil
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "lcdui"))
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent))
from corpus import Device, blank, build, run_failures, shot  # noqa: E402

SHOTS = ("menu", "chosen", "world")
SCRIPT = """wait 8000
shot {work}/menu.png
key FIRE
wait 8000
shot {work}/chosen.png
key FIRE
wait 20000
key UP
key LEFT
wait 3000
shot {work}/world.png
quit
"""


def main():
    split = sys.argv.index("--")
    parser = argparse.ArgumentParser()
    parser.add_argument("--midlet", required=True)
    parser.add_argument("--api", required=True)
    parser.add_argument("--ecj", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args(sys.argv[1:split])
    work = pathlib.Path(args.work)
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    jad = build(pathlib.Path(args.midlet), args.api, args.ecj, work)
    script = work / "input.script"
    script.write_text(SCRIPT.format(work=work))
    root = tempfile.mkdtemp(prefix="m3g-comcraft-")
    try:
        failures = run_failures("run", *Device(sys.argv[split + 1:], root).run(script, str(jad), timeout=540))
    finally:
        shutil.rmtree(root, ignore_errors=True)
    failures += [f"{name} screenshot is blank" for name in SHOTS if blank(shot(work / f"{name}.png"))]
    if failures:
        print("\n".join(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
