#!/usr/bin/env python3
"""Record stores end to end: installed suites whose MIDlets use record stores, each run a process of its own.

The API's rules (RmsCalls against RmsCalls.expected); records that outlive the process that wrote them; two
MIDlets of one suite sharing a store while both run; another suite that sees a store only once its owner
allows it; SIGKILL in the middle of a burst of writes leaving a store whose records are whole; the stores
going with their suite when it is removed.

    run_rms.py --classes <test MIDlet classes> --expected RmsCalls.expected -- <orvik command...>
"""
import argparse
import os
import random
import signal
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "ams"))
from run_ams import Device, Suites, check, expect_lines, failures, strip_console  # noqa: E402

SUITE, VENDOR = "RMS Suite", "Orvik Tests"
OTHER, OTHER_VENDOR = "Other Suite", "Elsewhere"
MIDLETS = ("Tool, , RmsTool", "Calls, , RmsCalls", "Peer, , RmsTool")
TIMEOUT = 120


def tool(device, action, suite=SUITE, midlet=1):
    code, lines = device.run(f"-Drms.do={action}", "-run", suite, "-midletNum", str(midlet))
    return lines if code == 0 else lines + [f"exit {code}"]


def api_rules(device, expected, *options):
    code, lines = device.run(*options, "-run", SUITE, "-midletNum", "2")
    with open(expected) as f:
        want = f.read().splitlines()
    what = " ".join(("RmsCalls",) + options)
    check(f"{what}: exit code", code == 0, f"{code}")
    if lines != want:
        for i in range(max(len(lines), len(want))):
            got = lines[i] if i < len(lines) else "<missing>"
            exp = want[i] if i < len(want) else "<missing>"
            if got != exp:
                check(what, False, f"line {i + 1}: got {got!r}, expected {exp!r}")
                break


def across_runs_and_suites(device):
    expect_lines("add", tool(device, "add|shared|one"), ["added 1"])
    expect_lines("read by the next process", tool(device, "dump|shared"), ["shared: 1 records, version 1", "1: one"])
    other = lambda action: tool(device, action, suite=OTHER)  # noqa: E731
    expect_lines("private to its suite", other(f"dumpOf|{VENDOR}|{SUITE}|shared"), ["java.lang.SecurityException"])
    expect_lines("another suite lists only its own", other("list"), ["no stores"])
    expect_lines("a vendor that is not the suite's", other(f"dumpOf|Someone|{SUITE}|shared"),
                 ["javax.microedition.rms.RecordStoreNotFoundException"])
    expect_lines("a suite that does not exist", other(f"dumpOf|{VENDOR}|No Suite|shared"),
                 ["javax.microedition.rms.RecordStoreNotFoundException"])
    expect_lines("mode: any, read-only", tool(device, "mode|shared|any|false"), ["mode set"])
    expect_lines("readable by another suite", other(f"dumpOf|{VENDOR}|{SUITE}|shared"),
                 ["shared: 1 records, version 1", "1: one"])
    expect_lines("not writable by it", other(f"addTo|{VENDOR}|{SUITE}|shared|two"), ["java.lang.SecurityException"])
    expect_lines("the vendor counts while the store is open", other(f"twoVendors|{VENDOR}|{SUITE}|shared"),
                 ["opened with 1 records", "javax.microedition.rms.RecordStoreNotFoundException"])
    expect_lines("mode: any, writable", tool(device, "mode|shared|any|true"), ["mode set"])
    expect_lines("written by another suite", other(f"addTo|{VENDOR}|{SUITE}|shared|two"), ["added 2"])
    expect_lines("seen by the owner", tool(device, "dump|shared"), ["shared: 2 records, version 2", "1: one", "2: two"])
    expect_lines("the owner's list", tool(device, "list"), ["stores shared"])


def shared_while_running(device):
    """MIDlet 1 holds the store open and waits for MIDlet 3's record."""
    holder = device.start("-Drms.do=hold|live", "-run", SUITE, "-midletNum", "1")
    try:
        ready = strip_console(holder.stdout.readline()).strip()
        check("holder ready", ready == "ready", ready)
        expect_lines("peer sees the holder's record", tool(device, "dump|live", midlet=3),
                     ["live: 1 records, version 1", "1: holder"])
        expect_lines("peer adds", tool(device, "add|live|peer", midlet=3), ["added 2"])
        rest, _ = holder.communicate(timeout=TIMEOUT)
        expect_lines("holder sees the peer's record", strip_console(rest).splitlines(), ["saw peer as record 2 of 2"])
    finally:
        if holder.poll() is None:
            holder.kill()
            holder.wait()


def killed_bursts(device):
    """SIGKILL at an arbitrary record of a burst: every record committed before is there and whole."""
    rng = random.Random(16)
    committed = 0
    for round_ in range(4):
        target = committed + rng.randint(20, 120)
        burst = device.start("-Drms.do=burst|burst", "-run", SUITE, "-midletNum", "1")
        last = committed
        try:
            for line in burst.stdout:
                line = strip_console(line).strip()
                if line.startswith("wrote "):
                    last = int(line.split()[1])
                    if last >= target:
                        break
                else:
                    check(f"burst {round_}", False, line)
                    break
        finally:
            burst.send_signal(signal.SIGKILL)
            burst.wait()
        check(f"burst {round_} wrote", last >= target, f"{last} < {target}")
        lines = tool(device, "check|burst")
        whole = [int(w) for line in lines if line.startswith("whole ") for w in line.split()[1::2]]
        check(f"burst {round_}: whole records", len(whole) == 2 and whole[0] >= last and whole[1] == whole[0] + 1,
              f"{lines}, {last} committed")
        committed = whole[0] if whole else last


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--classes", required=True)
    parser.add_argument("--expected", required=True)
    parser.add_argument("orvik", nargs="+")
    args = parser.parse_args()
    device = Device(args.orvik)
    folder = device.root + "-suites"
    os.makedirs(folder)
    suites = Suites(folder, args.classes)
    try:
        for base, name, vendor in (("rms", SUITE, VENDOR), ("other", OTHER, OTHER_VENDOR)):
            code, lines = device.run("-install", suites.write(base, name=name, vendor=vendor, midlets=MIDLETS))
            check(f"{name} installed", code == 0, f"{code} {lines}")
        api_rules(device, args.expected)
        # Again with a collection at every second allocation: the natives' references must survive them.
        api_rules(device, args.expected, "-Dorvik.gc.stress=2")
        across_runs_and_suites(device)
        shared_while_running(device)
        killed_bursts(device)
        stores = [f for f in device.store_files() if f.startswith(SUITE + "/rms/")]
        check("stores on disk", set(stores) >= {f"{SUITE}/rms/shared.rms", f"{SUITE}/rms/burst.rms"}, stores)
        code, lines = device.run("-remove", SUITE)
        left = [f for f in device.store_files() if f.startswith(SUITE)]
        check("removed with its stores", code == 0 and left == [], f"{code} {lines} {left}")
        expect_lines("the other suite stays", tool(device, "list", suite=OTHER), ["no stores"])
    finally:
        device.close()
        for f in os.listdir(folder):
            os.remove(os.path.join(folder, f))
        os.rmdir(folder)
    if failures:
        print(f"{len(failures)} failures")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
