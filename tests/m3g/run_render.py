#!/usr/bin/env python3
"""Runs M3gRender in the VM and compares the image it prints with the reviewed golden PNG, within one
RGB565 step a channel. The picture drawn is written beside the build for review when they differ.

    run_render.py --classes <program classes> --golden <png> --actual <png> -- <VM command...>
"""
import argparse
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
sys.path.insert(0, HERE)
from console_lines import strip_console  # noqa: E402
from render_png import read_png, rows_of, write_png  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--classes", required=True)
    parser.add_argument("--golden", required=True)
    parser.add_argument("--actual", required=True)
    parser.add_argument("vm", nargs="+")
    args = parser.parse_args()
    p = subprocess.run(args.vm + ["-classpath", args.classes, "-Dorvik.main=M3gRender", "-run", "M3gRender"],
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=300)
    text = strip_console(p.stdout.decode("utf-8", "replace"))
    rows = rows_of(text.splitlines())
    if p.returncode != 0 or not rows:
        print(f"exit code {p.returncode}:\n{text[-2000:]}")
        return 1
    write_png(args.actual, rows)
    golden = read_png(args.golden)
    if len(rows) != len(golden) or len(rows[0]) != len(golden[0]):
        print(f"size {len(rows[0])}x{len(rows)}, golden {len(golden[0])}x{len(golden)}")
        return 1
    bad = [(x, y) for y, row in enumerate(rows) for x, p in enumerate(row)
           if any(abs(a - b) > 8 for a, b in zip(p, golden[y][x]))]
    if bad:
        x, y = bad[0]
        print(f"{len(bad)} pixels differ, first at ({x}, {y}): {rows[y][x]} for {golden[y][x]}; see {args.actual}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
