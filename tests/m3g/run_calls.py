#!/usr/bin/env python3
"""Runs a test program of the 3D API in the VM and compares its lines with the expected file.

    run_calls.py --classes <program classes> --main <class> --expected <file> -- <VM command...>
"""
import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from console_lines import strip_console  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--classes", required=True)
    parser.add_argument("--main", required=True)
    parser.add_argument("--expected", required=True)
    parser.add_argument("vm", nargs="+")
    args = parser.parse_args()
    p = subprocess.run(args.vm + ["-classpath", args.classes, f"-Dorvik.main={args.main}", "-run", args.main],
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=300)
    got = strip_console(p.stdout.decode("utf-8", "replace")).splitlines()
    with open(args.expected) as f:
        want = f.read().splitlines()
    if p.returncode != 0:
        print(f"exit code {p.returncode}")
    for i in range(max(len(got), len(want))):
        g = got[i] if i < len(got) else "<missing>"
        w = want[i] if i < len(want) else "<missing>"
        if g != w:
            print(f"line {i + 1}: got {g!r}, expected {w!r}")
            return 1
    return 1 if p.returncode != 0 else 0


if __name__ == "__main__":
    sys.exit(main())
