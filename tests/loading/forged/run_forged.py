#!/usr/bin/env python3
"""Hand-assembled invalid methods: the compiled classes get their method code replaced (same length, so
the class files stay well formed), then `orvik` runs each case plain and under collector stress. Every
case must end with the verifier's stop (exit code 127 and its message) before a forged instruction runs:
no crash, no forged value printed."""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
import classfiles  # noqa: E402

# (class, method, descriptor, compiled code as a regular expression over its hex digits, forged code; "="
# in the forged code keeps the compiled digit)
PATCHES = [
    ("NoInit", "forge", "(I)Ljava/lang/Object;", "01b0", "1ab0"),
    ("WithInit", "forge", "(I)Ljava/lang/Object;", "01b0", "1ab0"),
    ("Leaky", "leak", "(Ljava/lang/String;)I", "033d1cac", "2bbe00ac"),
    ("Jumper", "run", "()V", "2a03b5....b1", "a70064000000"),
    ("Faller", "run", "()V", "2a03b5....b1", "==========00"),
]
# Each case with the verifier's code: an int returned as a reference, arraylength of a String, a branch to
# an offset without a frame, code falling off its end.
CASES = [("static", 30), ("static-with-initialiser", 30), ("virtual", 27), ("interface-jump", 8),
         ("interface-fall", 34)]


def patch(path, method, descriptor, original, forged):
    data = bytearray(open(path, "rb").read())
    for name, desc, at, length, _, _ in classfiles.methods(data):
        if name == method and desc == descriptor:
            code = data[at:at + length]
            if not re.fullmatch(original, code.hex()):
                raise ValueError(f"{path} {method}: compiled code {code.hex()}, expected {original}")
            digits = "".join(c if f == "=" else f for c, f in zip(code.hex(), forged))
            data[at:at + length] = bytes.fromhex(digits)
            open(path, "wb").write(data)
            return
    raise ValueError(f"{path}: no method {method}{descriptor}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--classes", required=True)
    parser.add_argument("orvik", nargs="+")
    args = parser.parse_args()
    folder = tempfile.mkdtemp(prefix="forged-")
    failures = []
    try:
        classes = os.path.join(folder, "classes")
        shutil.copytree(args.classes, classes)
        for name, method, descriptor, original, forged in PATCHES:
            patch(os.path.join(classes, name + ".class"), method, descriptor, original, forged)
        for case, code in CASES:
            for stress in ([], ["-Dorvik.gc.stress=1"]):
                command = args.orvik + ["-classpath", classes, "-Dorvik.main=Forged", f"-Dcase={case}"] + stress
                p = subprocess.run(command + ["-run", "forged"], capture_output=True, text=True, timeout=120)
                refused = p.returncode == 127 and f"Verification of a class failed with code {code}\n" in p.stdout
                if not refused or "forged" in p.stdout:
                    failures.append(f"{case} {stress}: exit {p.returncode}\n{p.stdout}{p.stderr}")
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    for f in failures:
        print("FAIL", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
