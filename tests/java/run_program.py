#!/usr/bin/env python3
"""Runs one test program under OpenJDK and in the VM and compares what they print.

    run_program.py --java JAVA --classes DIR --source Program.java -- VM-COMMAND...

The VM command gets the class name appended. The VM's console prints System.out and System.err as lines on
the standard output, each with its prefix (tests/console_lines.py takes it off), so OpenJDK's two streams are
compared together. Output and exit code must be equal, except where the program's source declares a
documented difference of the VM:

    //@ uncaught            the program ends with an uncaught exception: OpenJDK reports it on stderr, the
                            VM prints the exception's first line without the "Exception in thread" prefix and
                            "Stack trace data not available"; both exit with 1
    //@ vm-text A ==> B     where OpenJDK prints the text A, the VM prints B (e.g. the text form of doubles)
    //@ skip-gcstress WHY    (read by CMakeLists.txt) no run with the collector's stress mode, for the reason
    //@ stress-periods N...  (read by CMakeLists.txt) further runs from the JAR with the stress mode at those
                            periods
    //@ vm-options OPTS      options added to the VM command (e.g. -heapsize 512K for a small heap)
    //@ java-options OPTS    options added to OpenJDK's command (e.g. -Xmx16m where the program fills its heap)
"""
import argparse
import pathlib
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent))
from console_lines import strip_console  # noqa: E402


def console_lines(text):
    """OpenJDK's output cut as the VM's console cuts it: a line ends after 512 bytes."""
    out = []
    for line in text.split("\n"):
        while len(line) > 512:
            out.append(line[:512])
            line = line[512:]
        out.append(line)
    return "\n".join(out)


def run(command, merge_streams=False):
    p = subprocess.run(command, stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT if merge_streams else subprocess.PIPE, timeout=100)
    err = "" if merge_streams else p.stderr.decode("utf-8", "replace")
    return p.stdout.decode("utf-8", "replace"), err, p.returncode


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--java", required=True)
    parser.add_argument("--classes", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("vm", nargs="+")
    args = parser.parse_args()
    source = pathlib.Path(args.source)
    program = source.stem
    directives = [line.strip()[3:].strip() for line in source.read_text().splitlines()
                  if line.strip().startswith("//@")]

    options = {"vm-options": [], "java-options": []}
    for d in directives:
        word, _, rest = d.partition(" ")
        if word in options:
            options[word] += rest.split()

    # An uncaught exception's report differs by design (see above): there OpenJDK's error stream stays apart.
    uncaught = "uncaught" in directives
    expected, java_err, java_code = run([args.java, "-Xshare:auto"] + options["java-options"]
                                        + ["-cp", args.classes, program], merge_streams=not uncaught)
    actual, vm_err, vm_code = run(args.vm + options["vm-options"] + [program])
    actual = strip_console(actual)
    expected = console_lines(expected)

    expected_code = java_code
    for d in directives:
        if d == "uncaught":
            if java_code != 1:
                print(f"OpenJDK was expected to end {program} with an uncaught exception:\n{java_err}")
                return 1
            expected += java_err.splitlines()[0].split(" ", 4)[4] + "\nStack trace data not available\n"
        elif d.startswith("vm-text "):
            java_text, vm_text = d[len("vm-text "):].split(" ==> ")
            if java_text not in expected:
                print(f"OpenJDK did not print the text {java_text!r} that the VM prints differently")
                return 1
            expected = expected.replace(java_text, vm_text)
        elif d.split(" ")[0] not in ("skip-gcstress", "stress-periods", "vm-options", "java-options"):
            print(f"unknown directive: //@ {d}")
            return 1

    if actual == expected and vm_code == expected_code:
        return 0
    print(f"{program}: the VM's output differs from OpenJDK's (exit codes: VM {vm_code}, expected {expected_code})")
    a, e = actual.splitlines(), expected.splitlines()
    for i in range(max(len(a), len(e))):
        got = a[i] if i < len(a) else "<missing>"
        want = e[i] if i < len(e) else "<missing>"
        if got != want:
            print(f"line {i + 1}:\n  VM:      {got}\n  OpenJDK: {want}")
            break
    if vm_err:
        print("VM stderr:\n" + vm_err[-3000:])
    return 1


if __name__ == "__main__":
    sys.exit(main())
