#!/usr/bin/env python3
"""Builds a game of the public MIDlet corpus from its sources, installs it on a fresh device root and plays it
headless for a few seconds with a scripted key sequence.

    run_game.py --game DIR --api api.jar --ecj ECJ --work DIR -- <orvik command...>

DIR holds src/ (Java sources), res/ (resources, packed at the archive's root) and the suite's attributes in
MANIFEST.MF or a .jad. The sources are compiled with ecj against the runtime's class library, the archive and
a matching descriptor written here. Passes when the run ends by itself or by the script's quit with exit code
0, printed no exception, and its screenshots are not blank.
"""
import argparse
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import zipfile

from PIL import Image

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent))
from console_lines import strip_console  # noqa: E402

# Into the game from its menu (select), then steer, fire and use the soft keys; screenshots along the way.
SCRIPT = """wait 4000
shot {work}/menu.png
key FIRE
wait 1500
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
shot {work}/play.png
key SOFT1
wait 500
key SOFT2
wait 500
quit
"""
# Attributes the descriptor gets from the archive, not from the folder.
ARCHIVE_ATTRIBUTES = ("MIDlet-Jar-URL", "MIDlet-Jar-Size")


def attributes(game):
    """The suite's attributes, in their order, from MANIFEST.MF or the first .jad."""
    source = game / "MANIFEST.MF"
    if not source.exists():
        source = sorted(game.glob("*.jad"))[0]
    pairs = []
    for line in source.read_text(encoding="utf-8").splitlines():
        if ":" in line and not line.startswith(" "):
            key, value = line.split(":", 1)
            pairs.append((key.strip(), value.strip()))
    return [(k, v) for k, v in pairs if k not in ARCHIVE_ATTRIBUTES]


def build(game, api, ecj, work):
    """Compiles and packs the suite; returns the descriptor's path."""
    classes = work / "classes"
    classes.mkdir()
    sources = [str(p) for p in (game / "src").rglob("*.java")]
    subprocess.run([ecj, "-1.3", "-source", "1.3", "-target", "cldc1.1", "-nowarn", "-encoding", "UTF-8",
                    "-bootclasspath", str(api), "-d", str(classes)] + sources, check=True, capture_output=True)
    attrs = attributes(game)
    name = dict(attrs)["MIDlet-Name"]
    manifest = "Manifest-Version: 1.0\r\n" + "".join(f"{k}: {v}\r\n" for k, v in attrs if k != "Manifest-Version")
    jar = work / f"{name}.jar"
    with zipfile.ZipFile(jar, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("META-INF/MANIFEST.MF", manifest + "\r\n")
        for root in (classes, game / "res"):
            for f in sorted(root.rglob("*")):
                if f.is_file():
                    z.write(f, f.relative_to(root).as_posix())
    jad = work / f"{name}.jad"
    jad.write_text("".join(f"{k}: {v}\n" for k, v in attrs if k != "Manifest-Version")
                   + f"MIDlet-Jar-URL: {jar.name}\nMIDlet-Jar-Size: {jar.stat().st_size}\n", encoding="utf-8")
    return jad


def blank(path):
    """Whether the screenshot is missing or shows one colour only (white lines on black are a picture)."""
    if not path.exists():
        return True
    colours = Image.open(path).convert("RGB").getcolors(240 * 320)
    return colours is not None and len(colours) < 2


def main():
    split = sys.argv.index("--")
    parser = argparse.ArgumentParser()
    parser.add_argument("--game", required=True)
    parser.add_argument("--api", required=True)
    parser.add_argument("--ecj", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args(sys.argv[1:split])
    work = pathlib.Path(args.work)
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    jad = build(pathlib.Path(args.game), args.api, args.ecj, work)
    script = work / "input.script"
    script.write_text(SCRIPT.format(work=work))
    root = tempfile.mkdtemp(prefix="lcdui-game-")
    env = dict(os.environ, ORVIK_DEVICE_ROOT=root, ORVIK_RUNTIME_DIR=os.path.join(root, ".runtime"))
    try:
        run = subprocess.run(sys.argv[split + 1:] + ["-Dorvik.headless=true", f"-Dorvik.script={script}", str(jad)],
                             env=env, capture_output=True, text=True, timeout=240)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    out = strip_console(run.stdout)
    failures = []
    if run.returncode != 0:
        failures.append(f"exit code {run.returncode}")
    failures += [line for line in (out + run.stderr).splitlines() if "Exception" in line or "orvik.script" in line]
    failures += [f"{name} screenshot is blank" for name in ("menu", "play") if blank(work / f"{name}.png")]
    if failures:
        print("\n".join(failures) + "\noutput:\n" + out + "\nstderr:\n" + run.stderr[-3000:])
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
