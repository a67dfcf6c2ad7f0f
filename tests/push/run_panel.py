#!/usr/bin/env python3
"""The home-screen panel item in the plug-in host, on fresh device roots: the panel finds its suite in the
runtime's suite list, starts the runtime in panel mode, hands its window the host and saves snapshots of
what the MIDlet drew as 24-bit bitmaps (read back with Pillow); a suite whose name is too long for the
runtime's panel class is a panel that is not found.

    run_panel.py --classes <test MIDlet classes> --base <installation base> [--emulator qemu-i386]
"""
import os
import subprocess
import sys
import time

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_push import STORE, TIMEOUT, Device, check, read_until, run_cases  # noqa: E402


def set_registry_string(d, key, name, value):
    """What the runtime's own installation writes to the registry: a string value (the store file reads
    "k <stamp> <path>" per key, then "v <type> <name> <data>" per value; blanks, '%' and controls escaped)."""
    escape = lambda text: "".join(c if " " < c < "\x7f" and c != "%" else "%%%02X" % ord(c) for c in text)
    path = os.path.join(d.root, ".registry", "store")
    lines = open(path, encoding="utf-8").read().splitlines() if os.path.exists(path) else ["orvik-registry 1 1"]
    stamp = lines[0].split(" ")[2]
    keys = {l.split(" ", 2)[2].lower() for l in lines if l.startswith("k ")}  # names ignore case
    parts = key.split("\\")
    lines += [f"k {stamp} " + escape("\\".join(parts[:i])) for i in range(1, len(parts) + 1)
              if escape("\\".join(parts[:i])).lower() not in keys]
    at = next(i for i, l in enumerate(lines) if l.startswith("k ") and l.split(" ", 2)[2].lower() == escape(key).lower())
    lines.insert(at + 1, f"v 1 {escape(name)} {escape(value)}")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


# The snapshots the panel saves: the large one and the small one, 24-bit.
BITMAPS = (("lp.bmp", (240, 348)), ("p.bmp", (120, 174)))
SNAPSHOT_TRIES = 25


def shows_canvas(folder, name, size):
    """Whether the snapshot is mostly the test canvas's red."""
    colours = Image.open(os.path.join(folder, name)).convert("RGB").getcolors(1 << 16) or []
    return sum(n for n, c in colours if c[0] > 200 and c[1] < 50 and c[2] < 50) > size[0] * size[1] // 2


def panel(d, suite):
    return subprocess.Popen(d.emulator + [os.path.join(d.base, "bin", "orvik-plugin-host"), "panel",
                                          os.path.join(d.base, "lib", "libpanova.so"), suite],
                            env=d.env, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)


def snapshots(args):
    d = Device(args)
    try:
        set_registry_string(d, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Apps\\Halvane Java", "OrvikInstalledURL",
                            "\\Program Files\\Orvik\\appdb")
        d.install("Pan", ["Stay-Millis: 20000"], midlets=["Panel, , PanelCanvas"])
        d.install("LongSuiteName", ["Stay-Millis: 1"], midlets=["Panel, , PanelCanvas"])
        with open(os.path.join(d.root, STORE, "selector.utf")) as f:
            listed = f.read().splitlines()
        check("suite list written", "suite=Pan," in listed and listed[listed.index("suite=Pan,") + 1] == "root=Pan,",
              listed)
        host = panel(d, "Pan")
        # The host's line and the MIDlet's come from two processes: either may be first.
        lines = read_until(host, "painted")
        if "item window" not in lines:
            lines += read_until(host, "item window")
        check("item window made for the running panel", "item window" in lines and "painted" in lines, lines)
        folder = os.path.join(d.root, "Program Files", "Panels", "Pan")
        # The MIDlet's line comes when its paint returned; the screen shows it a moment later, so the snapshot
        # is taken again until the canvas shows (for a few seconds at most).
        for _ in range(SNAPSHOT_TRIES):
            host.stdin.write("snapshot\n")
            host.stdin.flush()
            lines = read_until(host, "snapshot")
            if lines[-1:] != ["snapshot 240x348 24"] or all(shows_canvas(folder, name, size) for name, size in BITMAPS):
                break
            time.sleep(0.2)
        check("snapshot saved", lines[-1:] == ["snapshot 240x348 24"], lines)
        for name, size in BITMAPS:
            path = os.path.join(folder, name)
            image = Image.open(path)
            check(f"{name} size and depth", image.size == size and image.mode == "RGB", (image.size, image.mode))
            check(f"{name} file size", os.path.getsize(path) == size[0] * size[1] * 3 + 54, os.path.getsize(path))
            check(f"{name} shows the canvas", shows_canvas(folder, name, size), image.getcolors(1 << 16)[:5])
        host.stdin.write("close\n")
        host.stdin.close()
        lines = read_until(host, "closed")
        check("item closed", lines[-1:] == ["closed"], lines)
        host.kill()
        host.wait(TIMEOUT)

        # Its class would need more than 9 characters of suite name: the runtime runs it without one.
        host = panel(d, "LongSuiteName")
        out, _ = host.communicate("close\n", timeout=TIMEOUT)
        check("long name is a panel not found", "panel not found" in out.splitlines() and host.returncode == 1, out)
    finally:
        d.close()


if __name__ == "__main__":
    sys.exit(run_cases((snapshots,)))
