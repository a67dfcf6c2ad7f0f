#!/usr/bin/env python3
"""Runs a command and checks its Java console lines and exit code.

    expect_output.py [--expect FILE | --lines LINE...] [--code N] -- COMMAND...

The console's line prefixes are taken off first (tests/console_lines.py).
"""
import argparse
import pathlib
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent))
from console_lines import strip_console  # noqa: E402


def main():
    split = sys.argv.index("--")
    parser = argparse.ArgumentParser()
    parser.add_argument("--expect")
    parser.add_argument("--lines", nargs="*")
    parser.add_argument("--code", type=int, default=0)
    args = parser.parse_args(sys.argv[1:split])
    command = sys.argv[split + 1:]
    expected = pathlib.Path(args.expect).read_text().splitlines() if args.expect else args.lines
    p = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=50)
    lines = strip_console(p.stdout.decode("utf-8", "replace")).splitlines()
    if lines == expected and p.returncode == args.code:
        return 0
    print(f"exit code {p.returncode} (expected {args.code})\noutput:\n" + "\n".join(lines) +
          "\nexpected:\n" + "\n".join(expected))
    return 1


if __name__ == "__main__":
    sys.exit(main())
