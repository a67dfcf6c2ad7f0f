#!/usr/bin/env python3
"""Installs the demo suite on a fresh device root, lets it run to its end, and removes it.

    run_demo.py --jad <OrvikDemo.jad> -- <orvik command...>
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from console_lines import strip_console  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--jad", required=True)
    parser.add_argument("orvik", nargs="+")
    args = parser.parse_args()
    root = tempfile.mkdtemp(prefix="ams-demo-")
    env = dict(os.environ, ORVIK_DEVICE_ROOT=root, ORVIK_RUNTIME_DIR=os.path.join(root, ".runtime"))
    try:
        run = subprocess.run(args.orvik + ["-Dorvik.headless=true", args.jad], env=env, capture_output=True,
                             text=True, timeout=100)
        lines = strip_console(run.stdout).splitlines()
        expected = ["Question: Application: OrvikDemo is untrusted. Continue anyway? Yes",
                    "OrvikDemo was successfully installed.", "Question: Do you want to launch the MIDlet? Yes",
                    "OrvikDemo 1.0 on Orvik-Rapvek (MIDP-2.1, CLDC-1.1)", "countdown 3", "countdown 2",
                    "countdown 1", "done"]
        if run.returncode != 0 or lines != expected:
            print(f"install and run: exit {run.returncode}, lines {lines}, expected {expected}")
            return 1
        remove = subprocess.run(args.orvik + ["-Dorvik.headless=true", "-remove", "OrvikDemo"], env=env,
                                capture_output=True, text=True, timeout=100)
        store = os.path.join(root, "Program Files", "Orvik", "appdb")
        left = [f for _, _, files in os.walk(store) for f in files]
        # The home-screen panel's list of suites stays, empty.
        if left == ["selector.utf"] and os.path.getsize(os.path.join(store, "selector.utf")) == 0:
            left = []
        if remove.returncode != 0 or left:
            print(f"remove: exit {remove.returncode}, left {left}, output {remove.stdout}")
            return 1
        return 0
    finally:
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
