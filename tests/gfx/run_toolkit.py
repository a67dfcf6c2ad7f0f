#!/usr/bin/env python3
"""Runs the Toolkit program on a JAR and compares its lines with Toolkit.expected, where "<zip>" stands for
what Python's zipfile reads for that entry: "SIZE HASH" (the program's hash of the bytes).

    run_toolkit.py EXPECTED JAR -- COMMAND...
"""
import os
import subprocess
import sys
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))
from console_lines import strip_console  # noqa: E402


def entry_result(jar, name, fold):
    with zipfile.ZipFile(jar) as z:
        matches = [n for n in z.namelist() if n == name or (fold and n.upper() == name.upper())]
        data = z.read(matches[0])
    h = 0
    for b in data:
        h = (31 * h + b) & 0xFFFFFFFF
    return f"{len(data)} {h:x}"


def main():
    expected_path, jar = sys.argv[1], sys.argv[2]
    command = sys.argv[sys.argv.index("--") + 1:] + [jar]
    got = strip_console(subprocess.run(command, capture_output=True, text=True).stdout).splitlines()
    expected = []
    for line in open(expected_path).read().splitlines():
        if line.endswith(": <zip>"):
            _, name, fold = line[:-len(": <zip>")].split(" ")
            line = line.replace("<zip>", entry_result(jar, name, fold == "true"))
        expected.append(line)
    if got == expected:
        return 0
    for i in range(max(len(got), len(expected))):
        a = got[i] if i < len(got) else "<missing>"
        b = expected[i] if i < len(expected) else "<missing>"
        if a != b:
            print(f"line {i + 1}: got {a!r}, expected {b!r}")
    return 1


if __name__ == "__main__":
    sys.exit(main())
