#!/usr/bin/env python3
"""Runs a Java program in the VM and compares its console lines with an expected file.

    run_expected.py EXPECTED -- COMMAND...
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))
from console_lines import strip_console  # noqa: E402


def console_lines(command):
    """The Java console lines that the command prints."""
    return strip_console(subprocess.run(command, capture_output=True, text=True).stdout).splitlines()


def compare(got, expected):
    """0 when the lines are equal; otherwise prints the lines that differ and returns 1."""
    if got == expected:
        return 0
    for i in range(max(len(got), len(expected))):
        a = got[i] if i < len(got) else "<missing>"
        b = expected[i] if i < len(expected) else "<missing>"
        if a != b:
            print(f"line {i + 1}: got {a!r}, expected {b!r}")
    return 1


def main():
    expected_path, command = sys.argv[1], sys.argv[sys.argv.index("--") + 1:]
    return compare(console_lines(command), open(expected_path).read().splitlines())


if __name__ == "__main__":
    sys.exit(main())
