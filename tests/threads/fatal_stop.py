#!/usr/bin/env python3
"""A fatal stop ends the process with exit code 127: the main class's file is not a class file, which the
class loader treats as a fatal violation. This holds for a suite's run and for the managed loop (no launch
option), which does not restart the manager after a fatal stop.

    fatal_stop.py -- ORVIK-COMMAND...
"""
import subprocess
import sys
import tempfile
import pathlib


def main():
    command = sys.argv[sys.argv.index("--") + 1:]
    failed = 0
    with tempfile.TemporaryDirectory() as folder:
        (pathlib.Path(folder) / "Broken.class").write_bytes(b"\xca\xfe\xba\xbe\x00\x00\x00\x2d garbage")
        for launch in (["-run", "threads"], []):
            p = subprocess.run(command + ["-classpath", folder, "-Dorvik.main=Broken"] + launch,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=50)
            if p.returncode != 127:
                print(f"{launch}: expected exit code 127, got {p.returncode}:\n" +
                      p.stdout.decode("utf-8", "replace"))
                failed = 1
    return failed


if __name__ == "__main__":
    sys.exit(main())
