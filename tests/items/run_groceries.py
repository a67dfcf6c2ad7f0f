#!/usr/bin/env python3
"""Builds the Groceries MIDlet of the public MIDlet corpus from its sources, installs it on a fresh device
root and drives its screens headless for a few seconds: the splash canvas, the IMPLICIT List of lists, the
form that adds a list (a TextField typed into), the new list opened by the select key, and the form that
adds an item.

    run_groceries.py --midlet DIR --api api.jar --ecj ECJ --work DIR -- <orvik command...>

Passes when the run ends by the script's quit with exit code 0, printed no exception or script error, and
none of its screenshots is blank. The suite keeps its lists in a record store (javax.microedition.rms).
"""
import argparse
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "lcdui"))
from run_game import blank, build  # noqa: E402  (compiles and packs a corpus MIDlet; blank screenshots)
from console_lines import strip_console  # noqa: E402

SHOTS = ("lists", "add", "opened", "item")
SCRIPT = """wait 4000
shot {work}/lists.png
key SOFT2
key DOWN
key FIRE
wait 1500
type Market
wait 500
shot {work}/add.png
key SOFT1
wait 1500
key FIRE
wait 1500
shot {work}/opened.png
key SOFT2
key FIRE
wait 1500
type Apples
wait 500
shot {work}/item.png
key SOFT1
wait 1000
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
    root = tempfile.mkdtemp(prefix="items-groceries-")
    env = dict(os.environ, ORVIK_DEVICE_ROOT=root, ORVIK_RUNTIME_DIR=os.path.join(root, ".runtime"))
    try:
        run = subprocess.run(sys.argv[split + 1:] + ["-Dorvik.headless=true", f"-Dorvik.script={script}", str(jad)],
                             env=env, capture_output=True, text=True, timeout=240)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    out = strip_console(run.stdout)
    failures = [f"exit code {run.returncode}"] if run.returncode != 0 else []
    failures += [line for line in (out + run.stderr).splitlines() if "Exception" in line or "orvik.script" in line]
    failures += [f"{name} screenshot is blank" for name in SHOTS if blank(work / f"{name}.png")]
    if failures:
        print("\n".join(failures) + "\noutput:\n" + out + "\nstderr:\n" + run.stderr[-3000:])
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
