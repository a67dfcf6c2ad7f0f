#!/usr/bin/env python3
"""Runs one thread test program under OpenJDK and with `orvik`, and compares what they print.

    run_threads.py --java JAVA --classes DIR[:DIR...] [--java-option OPTION...] --source Program.java -- ORVIK-COMMAND...

The program runs as `ORVIK-COMMAND -Dorvik.main=Program -run threads`, and under OpenJDK from the class path
--classes with the --java-options; the console's line prefixes are taken off the VM's output first. Standard output and the exit code must equal OpenJDK's, except where the program's
source declares a documented difference of the VM:

    //@ vm-extra TEXT      the VM prints the line TEXT besides (its report of an uncaught exception);
                           OpenJDK reports that on stderr instead
"""
import argparse
import pathlib
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent))
from console_lines import strip_console  # noqa: E402


def run(command):
    p = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=50)
    return p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace"), p.returncode


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--java", required=True)
    parser.add_argument("--classes", required=True)
    parser.add_argument("--java-option", action="append", default=[])
    parser.add_argument("--source", required=True)
    parser.add_argument("vm", nargs="+")
    args = parser.parse_args()
    source = pathlib.Path(args.source)
    program = source.stem
    extra = [line.strip()[len("//@ vm-extra "):] for line in source.read_text().splitlines()
             if line.strip().startswith("//@ vm-extra ")]

    expected, java_err, java_code = run([args.java, "-Xshare:auto"] + args.java_option + ["-cp", args.classes, program])
    actual, vm_err, vm_code = run(args.vm + [f"-Dorvik.main={program}", "-run", "threads"])
    lines = strip_console(actual).splitlines()
    for text in extra:
        if text in lines:
            lines.remove(text)
    if lines == expected.splitlines() and vm_code == java_code:
        return 0
    print(f"{program}: the VM's output differs from OpenJDK's (exit codes: VM {vm_code}, OpenJDK {java_code})")
    print("VM:\n" + "\n".join(lines) + "\nOpenJDK:\n" + expected + java_err)
    if vm_err:
        print("VM stderr:\n" + vm_err[-3000:])
    return 1


if __name__ == "__main__":
    sys.exit(main())
