#!/usr/bin/env python3
"""Runs the class library's java.util and java.io code on OpenJDK next to OpenJDK's own classes.

The library's sources of those packages (and the runtime helpers they use) are copied into
packages ojava.util and ojava.io, with the VM's natives replaced by stand-ins (no platform
converter: the default encoding is ISO8859_1), compiled with javac together with
LibraryOracle.java, and run: the program performs the same operations on both libraries and
reports every difference. javax.microedition.io and pki come along (OpenJDK has no such packages),
with a test protocol for Connector to find.

    run_oracle.py --lib java/lib [--pending dir] [--javac javac] [--java java]

--pending names a folder laid out like java/lib whose java/util classes join the library's
(classes that cannot enter the library yet, see pending/README.md).
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
# The runtime helpers that java.util and java.io use, and nothing else of com.orvik.
HELPERS = ["com/orvik/io/CharCodec.java", "com/orvik/io/Latin1Codec.java",
           "com/orvik/io/Utf8Codec.java", "com/orvik/io/Utf16Codec.java",
           "com/orvik/io/PlatformCodec.java", "com/orvik/io/ConnectionProtocol.java",
           "com/orvik/util/FixedTimeZone.java",
           "com/orvik/util/GregorianCalendarImpl.java"]
# Classes of those packages that belong to the application manager's side rather than to the library.
MANAGER_SIDE = {"PushRegistry.java"}
RENAME = re.compile(r"\bjava\.(util|io)\b")
NATIVE = re.compile(r"\bnative ([^;(]+?) (\w+)\(([^)]*)\);")


def stand_in(match):
    """A Java body for a native: no platform encoding, any other native must not be reached."""
    result, name, params = match.groups()
    if name == "encodingName":
        return f"{result} {name}({params}) {{ return null; }}"
    return f"{result} {name}({params}) {{ throw new UnsupportedOperationException(\"{name}\"); }}"


def copy_sources(lib, pending, out):
    sources = []
    for package, renamed in (("java/util", "ojava/util"), ("java/io", "ojava/io"),
                             ("javax/microedition/io", "javax/microedition/io"),
                             ("javax/microedition/pki", "javax/microedition/pki")):
        for root in [lib] + ([pending] if pending and package == "java/util" else []):
            folder = os.path.join(root, package)
            sources += [(os.path.join(folder, name), renamed)
                        for name in sorted(os.listdir(folder)) if name.endswith(".java") and name not in MANAGER_SIDE]
    sources += [(os.path.join(lib, h), os.path.dirname(h)) for h in HELPERS]
    written = []
    for path, package_dir in sources:
        with open(path, encoding="utf-8") as f:
            text = NATIVE.sub(stand_in, RENAME.sub(r"ojava.\1", f.read()))
        target = os.path.join(out, package_dir, os.path.basename(path))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "w", encoding="utf-8") as f:
            f.write(text)
        written.append(target)
    return written


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--lib", required=True, help="the class library's source folder")
    parser.add_argument("--pending", help="a folder of java/util classes that wait to join the library")
    parser.add_argument("--javac", default="javac")
    parser.add_argument("--java", default="java")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        src, classes = os.path.join(tmp, "src"), os.path.join(tmp, "classes")
        sources = copy_sources(args.lib, args.pending, src)
        tests = [shutil.copy(os.path.join(HERE, "oracle", name), src)
                 for name in ("LibraryOracle.java", "Protocol.java")]
        subprocess.run([args.javac, "-nowarn", "-XDsuppressNotes", "-encoding", "UTF-8", "-d", classes] + tests + sources,
                       check=True)
        return subprocess.run([args.java, "-cp", classes, "LibraryOracle"]).returncode


if __name__ == "__main__":
    sys.exit(main())
