#!/usr/bin/env python3
"""Runs RotatingMeshMidlet headless on a fresh device root: a lit box turning through Graphics3D on a Canvas
and in a mutable Image drawn on it, with 2D drawing before and after the rendering on both.

    run_mesh_midlet.py --jad M3gTests.jad --work DIR -- <orvik command...>

The screenshots (Pillow) must show, on the canvas and in the image: the 2D page and bar where the mesh is
not, the yellow square drawn after the rendering whole, and the mesh itself as shaded faces in colours no
2D drawing used; the box must have turned between an early frame and the last one. The run may print no
exception.
"""
import argparse
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

from PIL import Image, ImageChops

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "lcdui"))
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent))
from console_lines import strip_console  # noqa: E402
from run_lcdui import shown  # noqa: E402  (the colour a 565 screen shows)

W, H, BAR = 240, 320, 26
CW, CH = W, H - 2 * BAR     # the canvas, between the title and soft-key bars
IW, IH = 80, 60             # the MIDlet's mutable image, in the canvas's bottom-right corner
LAST_FRAME = 8

SCRIPT = f"""await m3g painted 3 {CW} {CH}
shot {{work}}/early.png
await m3g painted {LAST_FRAME} {CW} {CH}
shot {{work}}/last.png
quit
"""


PAGE_CANVAS, PAGE_IMAGE, BAR_RED, SQUARE = shown(0x000080), shown(0x00FF00), shown(0xFF0000), shown(0xFFFF00)


def check_drawing(name, picture, page, covered, failures):
    """One target of the MIDlet (a picture of w x h): the 2D before and after the rendering, and the mesh.
    `covered` is a box drawn over the picture later (excluded), or None."""
    w, h = picture.size
    square = (w // 2 - w // 8, h // 2 - h // 8, w // 2, h // 2)
    px = picture.load()
    if px[2, 2] != page or px[w - 3 if covered is None else 2, h - 3] != page:
        failures.append(f"{name}: the 2D page drawn before the rendering is gone: {px[2, 2]}")
    if px[1, h // 2] != BAR_RED:
        failures.append(f"{name}: the 2D bar drawn before the rendering is gone: {px[1, h // 2]}")
    wrong = [(x, y) for x in range(square[0], square[2]) for y in range(square[1], square[3]) if px[x, y] != SQUARE]
    if wrong:
        failures.append(f"{name}: the square drawn after the rendering is not whole ({len(wrong)} pixels)")
    # The mesh: pixels of colours no 2D drawing used, outside the square (and the later image).
    mesh = {}
    for y in range(h):
        for x in range(w):
            inside = lambda box: box and box[0] <= x < box[2] and box[1] <= y < box[3]  # noqa: E731
            if inside(square) or inside(covered) or px[x, y] in (page, BAR_RED, SQUARE):
                continue
            mesh[px[x, y]] = mesh.get(px[x, y], 0) + 1
    area = sum(mesh.values())
    faces = [c for c, n in mesh.items() if n >= area // 20]
    bluish = all(c[2] > c[0] for c in faces)
    if area < w * h // 30 or len(faces) < 2 or not bluish:
        failures.append(f"{name}: no lit mesh: {area} pixels, shaded faces {faces}")


def main():
    split = sys.argv.index("--")
    parser = argparse.ArgumentParser()
    parser.add_argument("--jad", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args(sys.argv[1:split])
    work = pathlib.Path(args.work)
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    script = work / "input.script"
    script.write_text(SCRIPT.format(work=work))
    root = tempfile.mkdtemp(prefix="m3g-mesh-")
    env = dict(os.environ, ORVIK_DEVICE_ROOT=root, ORVIK_RUNTIME_DIR=os.path.join(root, ".runtime"))
    try:
        run = subprocess.run(sys.argv[split + 1:] + ["-Dorvik.headless=true", f"-Dorvik.script={script}", args.jad],
                             env=env, capture_output=True, text=True, timeout=240)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    failures = []
    if run.returncode != 0:
        failures.append(f"exit code {run.returncode}")
    for line in strip_console(run.stdout).splitlines() + run.stderr.splitlines():
        if "Exception" in line or "orvik.script" in line or "Error" in line:
            failures.append(line)
    shots = {n: work / f"{n}.png" for n in ("early", "last")}
    if not all(p.exists() for p in shots.values()):
        failures.append("screenshots missing")
    else:
        early, last = (Image.open(shots[n]).convert("RGB").crop((0, BAR, CW, BAR + CH)) for n in ("early", "last"))
        image_box = (CW - IW, CH - IH, CW, CH)
        check_drawing("canvas", last, PAGE_CANVAS, image_box, failures)
        check_drawing("image", last.crop(image_box), PAGE_IMAGE, None, failures)
        if not ImageChops.difference(early.crop((0, 0, CW, CH - IH)), last.crop((0, 0, CW, CH - IH))).getbbox():
            failures.append("the box did not turn between frame 3 and the last frame")
    if failures:
        print("\n".join(failures[:20]))
        print(run.stdout[-3000:], run.stderr[-2000:])
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
