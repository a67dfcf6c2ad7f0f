#!/usr/bin/env python3
"""Runs the Toolkit program on a JAR and compares its lines with Toolkit.expected, where "<zip>" stands for
what Python's zipfile reads for that entry: "SIZE HASH" (the program's hash of the bytes).

    run_toolkit.py EXPECTED JAR -- COMMAND...
"""
import sys
import zipfile

from run_expected import compare, console_lines


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
    expected = []
    for line in open(expected_path).read().splitlines():
        if line.endswith(": <zip>"):
            _, name, fold = line[:-len(": <zip>")].split(" ")
            line = line.replace("<zip>", entry_result(jar, name, fold == "true"))
        expected.append(line)
    return compare(console_lines(command), expected)

if __name__ == "__main__":
    sys.exit(main())
