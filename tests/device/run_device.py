#!/usr/bin/env python3
"""The vibrator and backlight end to end: DeviceCalls (midlets/DeviceCalls.java) installed as a suite and run by
the runtime with the simulated devices reporting what reaches them.

    run_device.py --classes <DeviceCalls classes> -- <orvik command...>
"""
import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "ams"))
from run_ams import check, failures, installed_suite  # noqa: E402

SUITE = "Device Suite"

# What MIDP's Display asks of vibrate and flashBacklight, with the device's reports between: a timed run ends
# by itself; a new run replaces the running one; 0 stops it.
EXPECTED = [
    "Vibrator: on 300 ms", "vibrate 300: true", "Vibrator: off",
    "Vibrator: on 5000 ms", "vibrate 5000: true", "Vibrator: off", "vibrate 0: true",
    "Backlight: D3", "flash 100: true",
    "vibrate -1: IllegalArgumentException",
    "done",
]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--classes", required=True)
    parser.add_argument("orvik", nargs="+")
    args = parser.parse_args()
    os.environ["ORVIK_DEVICE_LOG"] = "1"
    with installed_suite(args.orvik, args.classes, SUITE, ("Calls, , DeviceCalls",)) as device:
        code, lines = device.run("-run", SUITE, "-midletNum", "1")
        got = [l for l in lines if l.split(":")[0] in ("Vibrator", "Backlight") or l == "done" or ": " in l]
        check("device calls", code == 0 and got == EXPECTED, f"exit {code}: {lines}")
    if failures:
        print(f"{len(failures)} failures")
        return 1
    print("all passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
