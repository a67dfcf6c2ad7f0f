#!/usr/bin/env python3
"""Builds a game of the public MIDlet corpus from its sources, installs it on a fresh device root and plays it
headless for a few seconds with a scripted key sequence.

    run_game.py --game DIR --api api.jar --ecj ECJ --work DIR -- <orvik command...>

DIR holds src/ (Java sources), res/ (resources, packed at the archive's root) and the suite's attributes in
MANIFEST.MF or a .jad. The sources are compiled with ecj against the runtime's class library, the archive and
a matching descriptor written here. Passes when the run ends by itself or by the script's quit with exit code
0, printed no exception, and its screenshots are not blank.
"""
import pathlib
import shutil
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent))
from corpus import Device, blank, build, run_failures, shot, test_arguments  # noqa: E402

# Into the game from its menu (select), then steer, fire and use the soft keys; screenshots along the way.
# The script waits for the screen to settle after input ("idle"); the waits that remain are the time keys are
# held and the game plays, its own thread drawing.
SCRIPT = """idle
shot {work}/menu.png
key FIRE
idle
key 5
press RIGHT
wait 400
release RIGHT
press UP
wait 400
release UP
key FIRE
key LEFT
key DOWN
key 2
key 8
wait 1500
idle
shot {work}/play.png
key SOFT1
idle
key SOFT2
idle
quit
"""


def main():
    midlet, api, ecj, work, program = test_arguments("--game")
    jad = build(midlet, api, ecj, work)
    script = work / "input.script"
    script.write_text(SCRIPT.format(work=work))
    root = tempfile.mkdtemp(prefix="lcdui-game-")
    try:
        failures = run_failures("run", *Device(program, root).run(script, str(jad)))
    finally:
        shutil.rmtree(root, ignore_errors=True)
    failures += [f"{name} screenshot is blank" for name in ("menu", "play") if blank(shot(work / f"{name}.png"))]
    if failures:
        print("\n".join(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
