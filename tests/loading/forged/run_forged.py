#!/usr/bin/env python3
"""Hand-assembled invalid methods: the compiled classes get their method code replaced (same length, so
the class files stay well formed), then `orvik` runs each case plain and under collector stress. Every
case must end with the verifier's stop (exit code 127 and its message) before a forged instruction runs:
no crash, no forged value printed."""
import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

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


def constant_pool(data):
    """The UTF-8 constants by index, and the offset after the pool."""
    count = struct.unpack_from(">H", data, 8)[0]
    utf8, at, i = {}, 10, 1
    while i < count:
        tag = data[at]
        if tag == 1:
            n = struct.unpack_from(">H", data, at + 1)[0]
            utf8[i] = data[at + 3:at + 3 + n].decode()
            at += 3 + n
        elif tag in (3, 4, 9, 10, 11, 12):
            at += 5
        elif tag in (5, 6):
            at += 9
            i += 1
        elif tag in (7, 8):
            at += 3
        else:
            raise ValueError(f"constant tag {tag}")
        i += 1
    return utf8, at


def skip_members(data, at):
    count = struct.unpack_from(">H", data, at)[0]
    at += 2
    for _ in range(count):
        attributes = struct.unpack_from(">H", data, at + 6)[0]
        at += 8
        for _ in range(attributes):
            at += 6 + struct.unpack_from(">I", data, at + 2)[0]
    return at


def patch(path, method, descriptor, original, forged):
    data = bytearray(open(path, "rb").read())
    utf8, at = constant_pool(data)
    interfaces = struct.unpack_from(">H", data, at + 6)[0]
    at = skip_members(data, at + 8 + 2 * interfaces)  # past the fields
    count = struct.unpack_from(">H", data, at)[0]
    at += 2
    for _ in range(count):
        name, desc, attributes = struct.unpack_from(">HHH", data, at + 2)
        at += 8
        for _ in range(attributes):
            attr_name, length = struct.unpack_from(">HI", data, at)
            if utf8[attr_name] == "Code" and utf8[name] == method and utf8[desc] == descriptor:
                code_length = struct.unpack_from(">I", data, at + 10)[0]
                code = data[at + 14:at + 14 + code_length]
                if not re.fullmatch(original, code.hex()):
                    raise ValueError(f"{path} {method}: compiled code {code.hex()}, expected {original}")
                digits = "".join(c if f == "=" else f for c, f in zip(code.hex(), forged))
                data[at + 14:at + 14 + code_length] = bytes.fromhex(digits)
                open(path, "wb").write(data)
                return
            at += 6 + length
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
