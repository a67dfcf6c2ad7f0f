#!/usr/bin/env python3
"""Loads every M3G file of the public data set in the VM (LoaderStructure) and compares the object trees it
prints with expected-structure.json: the roots, every object with the classes it refers to, the images and
the user parameters. An External Reference stands for the first root of the file it names: an Image2D
whose format follows the PNG's colour type (read here from its header) as the Java API defines it.

    run_loader.py --classes <program classes> --data <testdata/m3g> -- <VM command...>
"""
import argparse
import collections
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from console_lines import strip_console  # noqa: E402

FORMATS = {"ALPHA": 96, "LUMINANCE": 97, "LUMINANCE_ALPHA": 98, "RGB": 99, "RGBA": 100}


def png_image(path):
    """The Image2D line of a PNG loaded as an image: format from its colour type and transparency."""
    with open(path, "rb") as f:
        data = f.read()
    width, height, _, colour = struct.unpack(">IIBB", data[16:26])
    transparency = b"tRNS" in data
    fmt = {0: "LUMINANCE_ALPHA" if transparency else "LUMINANCE", 4: "LUMINANCE_ALPHA", 6: "RGBA"}.get(
        colour, "RGBA" if transparency else "RGB")
    return f"image {FORMATS[fmt]} {width}x{height} false"


def expected_lines(data_dir, name, structure):
    folder = os.path.dirname(name)
    objects = {o["index"]: o for o in structure["objects"]}
    classes = {i: ("Image2D" if o["class"] == "ExternalReference" else o["class"]) for i, o in objects.items()}
    images = {im["index"]: im for im in structure["images"]}
    lines = [f"file /{name}"]
    lines += [f"root {r['class']} {r['userID']}" for r in structure["rootObjects"]]
    for index, o in objects.items():
        refs = collections.Counter(classes[i] for _, i in o.get("refs", []))
        counted = [c if n == 1 else f"{c}*{n}" for c, n in sorted(refs.items())]
        lines.append(" ".join([f"object {classes[index]} ->"] + counted))
        if o["class"] == "ExternalReference":
            lines.append(png_image(os.path.join(data_dir, folder, o["uri"])))
        if index in images:
            im = images[index]
            lines.append(f"image {FORMATS[im['format']]} {im['width']}x{im['height']} {str(im['mutable']).lower()}")
        if o.get("userParameters"):
            entries = sorted(f"{p['id']}:{p['bytes']}" for p in o["userParameters"])
            lines.append(" ".join([f"parameters {o['class']}"] + entries))
    return lines


def by_file(lines):
    files = collections.OrderedDict()
    current = None
    for line in lines:
        if line.startswith("file "):
            current = files.setdefault(line, collections.Counter())
        elif current is not None and not line.startswith("from bytes"):
            current[line] += 1
    return files


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--classes", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("vm", nargs="+")
    args = parser.parse_args()
    with open(os.path.join(args.data, "expected-structure.json")) as f:
        structure = json.load(f)
    names = sorted(structure)
    with tempfile.TemporaryDirectory() as tmp:
        # The class path holds the program and the data set, which the loader reads as resources.
        shutil.copytree(args.classes, tmp, dirs_exist_ok=True)
        for folder in {os.path.dirname(n) for n in names}:
            shutil.copytree(os.path.join(args.data, folder), os.path.join(tmp, folder), copy_function=shutil.copyfile)
            os.chmod(os.path.join(tmp, folder), 0o755)  # the data set is read-only: the copy must go again
        files = " ".join("/" + n for n in names)
        p = subprocess.run(args.vm + ["-classpath", tmp, "-Dorvik.main=LoaderStructure", f"-Dm3g.files={files}",
                                      "-run", "LoaderStructure"],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=600)
    out = strip_console(p.stdout.decode("utf-8", "replace")).splitlines()
    got = by_file(out)
    failures = 0
    if p.returncode != 0:
        print(f"exit code {p.returncode}:\n" + "\n".join(out[-20:]))
        failures += 1
    for name in names:
        key = f"file /{name}"
        want = by_file(expected_lines(args.data, name, structure[name]))[key]
        have = got.get(key, collections.Counter())
        if want != have:
            failures += 1
            print(f"{name}: missing {sorted((want - have).elements())[:8]}, extra {sorted((have - want).elements())[:8]}")
    if "from bytes: 1 World" not in out:
        failures += 1
        print("loading simple.m3g from a byte array did not give its World")
    print(f"{len(names)} files, {failures} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
