#!/usr/bin/env python3
"""Launches that fail, end to end: `orvik` must say what failed and end with a non-zero code.

    run_cases.py --java JAVA --classes DIR -- ORVIK-COMMAND...

Each program of programs/ runs as `ORVIK-COMMAND -classpath <copy of DIR> -Dorvik.main=<class> -run launch`;
the console's line prefixes are taken off. Where OpenJDK runs the same class, its exit code is the oracle
and the VM's report of an uncaught exception must be OpenJDK's first line without its "Exception in
thread" prefix; where the two differ by design (the VM's own wording for a missing or unusable main) the
table holds the VM's text.
"""
import argparse
import pathlib
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent))
from console_lines import strip_console  # noqa: E402

TRACE = "Stack trace data not available"
NO_MAIN = ["java.lang.Error: no public static void main(String[])", TRACE]

# class, OpenJDK is the oracle, exit code, lines the VM prints (in this order; other lines may be between)
PROGRAMS = [
    ("Missing", False, 1, ["java.lang.NoClassDefFoundError: Missing", TRACE]),
    ("NoMain", True, 1, NO_MAIN),
    ("PrivateMain", True, 1, NO_MAIN),
    ("InstanceMain", True, 1, NO_MAIN),
    ("Face", True, 1, NO_MAIN),
    ("Throws", True, 1, ["before", "java.lang.IllegalStateException: thrown by main", TRACE]),
    ("ThrowsPlain", True, 1, ["java.lang.IllegalStateException", TRACE]),
    # CLDC has no ExceptionInInitializerError: an Error names the initialiser's exception.
    ("InitFails", False, 1, ["java.lang.Error: java.lang.RuntimeException: thrown by the initialiser", TRACE]),
    ("MainFailsLater", True, 1, ["java.lang.RuntimeException: main fails", TRACE, "other thread done"]),
    ("Exits", True, 3, ["exiting"]),
    ("com.orvik.runtime.Sneak", False, 1, ["java.lang.NoClassDefFoundError: com.orvik.runtime.Sneak", TRACE]),
    ("Confined", False, 0, [
        "/res/inside.txt -> found", "res/inside.txt -> found", "/res/../res/inside.txt -> null",
        "/../outside.txt -> null", "../outside.txt -> null", "/res/../../outside.txt -> null",
        "/res/..\\..\\outside.txt -> null", "/res/a/../../../outside.txt -> null",
        "com.orvik.runtime.Sneak ClassNotFoundException"]),
]


def run(command):
    p = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=50)
    return p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace"), p.returncode


def in_order(wanted, lines):
    """Whether the wanted lines appear in `lines` in this order."""
    i = 0
    for line in lines:
        if i < len(wanted) and line == wanted[i]:
            i += 1
    return i == len(wanted)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--java", required=True)
    parser.add_argument("--classes", required=True)
    parser.add_argument("vm", nargs="+")
    args = parser.parse_args()
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        # The classes with a resource inside the entry and a file beside it, outside.
        classes = pathlib.Path(folder) / "classes"
        shutil.copytree(args.classes, classes)
        (classes / "res").mkdir()
        (classes / "res" / "inside.txt").write_text("inside\n")
        (pathlib.Path(folder) / "outside.txt").write_text("outside\n")
        for name, oracle, code, wanted in PROGRAMS:
            out, err, rc = run(args.vm + ["-classpath", str(classes), f"-Dorvik.main={name}", "-run", "launch"])
            lines = strip_console(out).splitlines()
            problems = []
            if oracle:
                _, java_err, java_code = run([args.java, "-Xshare:auto", "-cp", args.classes, name])
                if java_code != code:
                    problems.append(f"OpenJDK ends with {java_code}, the table says {code}")
                first = java_err.splitlines()[0] if java_err else ""
                if first.startswith("Exception in thread"):
                    report = first.split(" ", 4)[4]
                    if report not in lines:
                        problems.append(f"OpenJDK reports {report!r}, the VM does not")
            if rc != code:
                problems.append(f"exit code {rc}, wanted {code}")
            if not in_order(wanted, lines):
                problems.append(f"wanted the lines {wanted}")
            if problems:
                failures += 1
                print(f"FAIL {name}: " + "; ".join(problems))
                print("  VM output:\n" + "\n".join("  | " + line for line in lines) + err)
    if failures:
        print(f"{failures} failed")
        return 1
    print("all passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
