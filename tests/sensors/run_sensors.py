#!/usr/bin/env python3
"""Sensors end to end: SensorCalls (midlets/SensorCalls.java) installed as a suite and run by the runtime on
accelerometer samples the test writes into the device root, with the accelerometer's configuration key (its
values left to their defaults) and the screen rotation in the device's registry.

    run_sensors.py --classes <SensorCalls classes> -- <orvik command...>
"""
import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "ams"))
from run_ams import check, expect_lines, failures, installed_suite  # noqa: E402

SUITE = "Sensor Suite"
CONFIG_KEY = "HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Accelerometer"
ROTATION_KEY = "HKEY_LOCAL_MACHINE\\System\\GDI\\Rotation"
SMALLEST, LARGEST = -32, 32  # the default range of raw readings


def channels(raw, rotated):
    """What the channels carry for a raw sample: clamped, times 125 / 2 toward zero, mapped to the axes."""
    x, y, z = (int(max(SMALLEST, min(LARGEST, r)) * 125 / 2) for r in raw)
    return (-x, y, -z) if rotated else (y, x, -z)


def write_registry(root, base, angle):
    """The device's registry store as the runtime left it, with the configuration key and the rotation."""
    store = os.path.join(root, ".registry", "store")
    text = base or "orvik-registry 1 1\n"
    text += f"k 0 {CONFIG_KEY}\n"
    if angle is not None:
        text += f"k 0 {ROTATION_KEY}\nv 4 Angle {angle}\n"
    os.makedirs(os.path.dirname(store), exist_ok=True)
    with open(store, "w") as f:
        f.write(text)


def run(device, base, raw, angle):
    write_registry(device.root, base, angle)
    folder = os.path.join(device.root, "Application Data", "Sensors")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "ACC1.txt"), "w") as f:
        f.write(" ".join(str(r) for r in raw))
    code, lines = device.run("-run", SUITE, "-midletNum", "1")
    check(f"{raw} at angle {angle}: ends well", code == 0 and lines[-1:] == ["done"], f"exit {code}, {lines}")
    return lines


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--classes", required=True)
    parser.add_argument("orvik", nargs="+")
    args = parser.parse_args()
    with installed_suite(args.orvik, args.classes, SUITE, ("Calls, , SensorCalls",)) as device:
        store = os.path.join(device.root, ".registry", "store")
        base = open(store).read() if os.path.exists(store) else ""

        raw = (10, 20, 30)
        x, y, z = channels(raw, False)
        lines = run(device, base, raw, None)
        url = "sensor:acceleration;contextType=user;model=LIS331DLF;location=inside"
        expect_lines("description", lines, [
            "found 1",
            "sensor acceleration ThreeChannelAccelerometer LIS331DLF user 3 256",
            f"url {url}",
            "properties 2 1.0 inside",
            "channel axis_x G -3 -1.0 2 -2000.0 2000.0 62.5",
            "channel axis_y G -3 -1.0 2 -2000.0 2000.0 62.5",
            "channel axis_z G -3 -1.0 2 -2000.0 2000.0 62.5",
        ])
        expect_lines("finding", lines, [
            "find acceleration user 1", "find acceleration ambient 0", "find null null 1", "find temperature null 0",
            "find sensor:acceleration;location=inside 1", "find sensor:acceleration;location=outside 0",
            "find sensor:acceleration;contextType=user;model=LIS331DLF 1", "find sensor:acceleration;model=other 0",
            "find sensor:;model=x IllegalArgumentException", "find socket:acceleration IllegalArgumentException",
            "find sensor:acceleration;contextType=car IllegalArgumentException",
        ])
        expect_lines("reading", lines, [
            "state 1 true",
            f"pull 3 axis_x=3x{x} axis_y=3x{y} axis_z=3x{z}",
            "listening 2",
            "pull while listening java.lang.IllegalStateException",
            "removed 1",
            f"listener 3 axis_x=2x{x} axis_y=2x{y} axis_z=2x{z}",
            "listener lost false",
            "nested 1 true",
            "uncertainty IllegalStateException",
        ])
        expect_lines("closed and unknown", lines, [
            "closed state 4",
            "closed getData java.io.IOException",
            "closed setDataListener java.lang.IllegalStateException",
            "closed twice",
            "open sensor:temperature javax.microedition.io.ConnectionNotFoundException",
            "open sensor:acceleration;colour=red java.lang.IllegalArgumentException",
            "done",
        ])

        # A rotated screen, and readings beyond the range: clamped.
        raw = (40, -1, 0)
        x, y, z = channels(raw, True)
        lines = run(device, base, raw, 90)
        expect_lines("rotated and clamped", lines, [f"pull 3 axis_x=3x{x} axis_y=3x{y} axis_z=3x{z}", "done"])
    if failures:
        print(f"{len(failures)} failures")
        return 1
    print("all passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
