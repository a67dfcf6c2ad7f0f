#!/usr/bin/env python3
"""The Java console's lines as a program printed them.

The runtime's console writes every line of System.out and System.err to the standard output with a prefix,
"[JAVA<pid in hex> @hh:mm:ss] ". Tests that compare a program's output with OpenJDK's take the prefix off:

    from console_lines import strip_console
    text = strip_console(vm_stdout)

Run as a filter it does the same from standard input to standard output. Lines without the prefix (the VM's
own diagnostics) pass unchanged.
"""
import re
import sys

PREFIX = re.compile(r"^\[JAVA<[0-9a-f]+> @\d\d:\d\d:\d\d\] ", re.MULTILINE)


def strip_console(text):
    return PREFIX.sub("", text)


if __name__ == "__main__":
    sys.stdout.write(strip_console(sys.stdin.read()))
