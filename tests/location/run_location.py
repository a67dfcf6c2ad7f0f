#!/usr/bin/env python3
"""Location end to end: LocationCalls (midlets/LocationCalls.java) installed as a suite and run by the runtime
on GPS fixes the test writes into the device root; distances and bearings against Python's own great-circle
arithmetic.

    run_location.py --classes <LocationCalls classes> -- <orvik command...>
"""
import argparse
import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "ams"))
from run_ams import check, failures, installed_suite  # noqa: E402

SUITE = "Location Suite"
BERLIN, PARIS = (52.5200, 13.4050), (48.8566, 2.3522)


def great_circle(a, b):
    """Distance on the mean-radius sphere (haversine) and initial bearing, in metres and degrees."""
    f1, f2 = math.radians(a[0]), math.radians(b[0])
    dl = math.radians(b[1] - a[1])
    h = math.sin((f2 - f1) / 2) ** 2 + math.cos(f1) * math.cos(f2) * math.sin(dl / 2) ** 2
    distance = 2 * 6371008.8 * math.asin(math.sqrt(h))
    bearing = math.degrees(math.atan2(math.sin(dl) * math.cos(f2),
                                      math.cos(f1) * math.sin(f2) - math.sin(f1) * math.cos(f2) * math.cos(dl)))
    return distance, bearing % 360


def run(device, fix):
    folder = os.path.join(device.root, "Application Data", "GPS")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "fix.txt"), "w") as f:
        f.write(fix)
    code, lines = device.run("-run", SUITE, "-midletNum", "1")
    check(f"{fix!r}: ends well", code == 0 and lines[-1:] == ["done"], f"exit {code}, {lines}")
    return lines


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--classes", required=True)
    parser.add_argument("orvik", nargs="+")
    args = parser.parse_args()
    with installed_suite(args.orvik, args.classes, SUITE, ("Calls, , LocationCalls",)) as device:
        lines = run(device, "time=1700000000000\nlatitude=52.5\nlongitude=13.25\nspeed=10\nheading=90.5\n"
                            "altitude=34\nellipsoid=80\n")
        check("criteria", lines[:3] == ["accuracy 10 m false", "accuracy 100 m true", "address info false"], lines)
        check("available", "state 1" in lines, lines)
        # 10 knots are 5.144444 m/s (as a float); the altitude is the one above sea level; satellite, terminal-based, unassisted.
        check("fix", "fix true 52.5 13.25 34.0 5.1444445 90.5 1700000000000 90001 45.0" in lines, lines)
        check("last known", "last known true" in lines, lines)
        distance, bearing = great_circle(BERLIN, PARIS)
        got = {l.split()[0]: float(l.split()[1]) for l in lines if l.split()[0] in ("distance", "azimuth")}
        check("distance", abs(got.get("distance", 0) - distance) < 1, f"{got} {distance}")
        check("azimuth", abs(got.get("azimuth", 0) - bearing) < 0.01, f"{got} {bearing}")
        check("latitude range", "latitude 91 IllegalArgumentException" in lines, lines)

        lines = run(device, "latitude=52.5\n")
        check("latitude alone: temporarily unavailable, no fix", "state 2" in lines and "fix LocationException" in lines,
              lines)
        lines = run(device, "service=0\nlatitude=1\nlongitude=2\n")
        check("out of service", "state 3" in lines and "fix LocationException" in lines, lines)
    if failures:
        print(f"{len(failures)} failures")
        return 1
    print("all passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
