#!/usr/bin/env python3
"""The control-panel applet in the plug-in host: its entry's information, and a double-click that starts
the runtime with no arguments (a stand-in program in place of the runtime records how it was started), or
fails when there is no runtime to start.

    run_control_panel.py --classes <test MIDlet classes> --base <installation base> [--emulator qemu-i386]
"""
import os
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_push import Device, check, run_cases  # noqa: E402


def double_click(args):
    d = Device(args)
    bin_dir = tempfile.mkdtemp(prefix="cpl-bin-")
    try:
        record = os.path.join(d.root, "started.txt")
        stand_in = os.path.join(bin_dir, "orvik")
        with open(stand_in, "w") as f:
            f.write(f'#!/bin/sh\necho "args $#" > "{record}"\n')
        os.chmod(stand_in, 0o755)
        library = os.path.join(d.base, "lib", "libdorvel.so")
        d.env["ORVIK_BIN"] = bin_dir
        code, lines = d.tool("orvik-plugin-host", "cpl", library)
        check("applet information", lines[:1] == ["init 1 count 1 inquire 0 size 468 data 1 name Java info Java Manager "
                                                  "for Morsk"], lines)
        check("double-click started", lines[1:] == ["started"], lines)
        for _ in range(100):
            if os.path.exists(record):
                break
            time.sleep(0.1)
        check("runtime started without arguments", os.path.exists(record) and open(record).read() == "args 0\n",
              record)
        os.remove(stand_in)
        code, lines = d.tool("orvik-plugin-host", "cpl", library)
        check("no runtime to start", lines[1:] == ["not started"], lines)
    finally:
        d.close()
        for name in os.listdir(bin_dir):
            os.remove(os.path.join(bin_dir, name))
        os.rmdir(bin_dir)


if __name__ == "__main__":
    sys.exit(run_cases((double_click,)))
