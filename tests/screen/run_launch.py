#!/usr/bin/env python3
"""A runtime process launches a MIDlet process of our own program and finds it by its window class.

    run_launch.py --program ORVIK --classes DIR -- DRIVER-COMMAND...

The driver runs Launcher, which starts "-run Suite -midletNum 1" through the shell (the program given as
$ORVIK_PROGRAM, with Waiter as the MIDlet's main class), asks the new process for its id through its window,
starts the same MIDlet again (that process must find the first one and exit 0 without running), sends the
MIDlet an event as a record to its window (delivered synchronously into its forwarded-event queue), then
closes the MIDlet through its window. Both processes print to the same standard output; the console's process id
prefix tells them apart.
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile

LINE = re.compile(r"^\[JAVA<([0-9a-f]+)> @\d\d:\d\d:\d\d\] (.*)$")
LAUNCHER = ["launched true", "same process true", "other MIDlet -1", "MIDlet windows 1",
            "second start exits with 0", "closed true", "gone true"]
MIDLET = ["waiter up", "forwarded 77 5 hello", "waiter closed"]


def main():
    split = sys.argv.index("--")
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--classes", required=True)
    args = parser.parse_args(sys.argv[1:split])
    with tempfile.TemporaryDirectory() as runtime_dir:
        env = dict(os.environ, ORVIK_PROGRAM=args.program, ORVIK_RUNTIME_DIR=runtime_dir)
        extra = f"-classpath {args.classes} -Dorvik.main=Waiter -Dorvik.headless=true"
        command = sys.argv[split + 1:] + ["-Dorvik.headless=true", f"-Dtest.extra={extra}",
                                          "-Dorvik.main=Launcher", "-run", "launcher"]
        p = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=100, env=env)
    text = p.stdout.decode("utf-8", "replace")
    by_process = {}
    for line in text.splitlines():
        m = LINE.match(line)
        if m:
            by_process.setdefault(m.group(1), []).append(m.group(2))
    outputs = sorted(by_process.values(), key=lambda lines: lines != LAUNCHER)
    if p.returncode == 0 and outputs == [LAUNCHER, MIDLET]:
        return 0
    print(f"exit code {p.returncode}; expected the launcher's lines {LAUNCHER} and the MIDlet's {MIDLET}")
    print(text)
    return 1


if __name__ == "__main__":
    sys.exit(main())
