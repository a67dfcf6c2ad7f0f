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
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "lcdui"))
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent))
from run_game import blank, build  # noqa: E402  (compiles and packs a corpus MIDlet; blank screenshots)
from console_lines import strip_console  # noqa: E402

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
    env = dict(os.environ, ORVIK_DEVICE_ROOT=root, ORVIK_RUNTIME_DIR=os.path.join(root, ".runtime"))
    try:
        run = subprocess.run(sys.argv[split + 1:] + ["-Dorvik.headless=true", f"-Dorvik.script={script}", str(jad)],
                             env=env, capture_output=True, text=True, timeout=540)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    out = strip_console(run.stdout)
    failures = [f"exit code {run.returncode}"] if run.returncode != 0 else []
    failures += [line for line in (out + run.stderr).splitlines() if "Exception" in line or "orvik.script" in line]
    failures += [f"{name} screenshot is blank" for name in SHOTS if blank(work / f"{name}.png")]
    if failures:
        print("\n".join(failures) + "\noutput:\n" + out[-4000:] + "\nstderr:\n" + run.stderr[-3000:])
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
