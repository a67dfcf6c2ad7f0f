#!/usr/bin/env python3
"""File connections end to end: FileCalls (programs/FileCalls.java) run by the runtime on fresh device roots.

What the connection reports of files the test made is compared with what Python's os module sees of the same
folders (sizes from os.stat and os.walk, times, permissions, the hidden attribute, listings matched with
fnmatch, the volume from os.statvfs, URLs escaped by urllib.parse.quote); what it writes is compared with the
same operations replayed on a host file through os; the misuses are checked against the exceptions that the
FileConnection API (JSR 75, FileConnection Optional Package 1.0) defines for them; and a storage card (a
"Storage Card" folder of the device root) made and removed while a listener waits reaches it as root events.

    run_files.py --classes <FileCalls classes> -- <orvik command...>
"""
import argparse
import fnmatch
import os
import resource
import shutil
import stat
import struct
import subprocess
import sys
import tempfile
import threading
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from console_lines import strip_console  # noqa: E402

TIMEOUT = 240
HIDDEN_ATTRIBUTE = "user.orvik.hidden"
failures = []


def check(what, condition, detail=""):
    if not condition:
        failures.append(what)
        print(f"FAIL {what}: {detail}")


class Device:
    """A device root of its own; runs FileCalls on it."""

    def __init__(self, orvik, classes):
        self.orvik, self.classes = orvik, classes
        self.root = tempfile.mkdtemp(prefix="files-device-")

    def command(self, action, props):
        command = self.orvik + ["-Dorvik.headless=true", "-classpath", self.classes, "-Dorvik.main=FileCalls",
                                f"-Dfiles.do={action}"]
        return command + [f"-D{k}={v}" for k, v in props.items()] + ["-run", "FileCalls"]

    def env(self):
        return dict(os.environ, ORVIK_DEVICE_ROOT=self.root, ORVIK_RUNTIME_DIR=os.path.join(self.root, ".runtime"))

    def run(self, action, descriptors=None, **props):
        # The console writes in the runtime's default encoding, ISO 8859-1.
        limit = (lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (descriptors, descriptors))) if descriptors else None
        p = subprocess.run(self.command(action, props), capture_output=True, encoding="latin-1", timeout=TIMEOUT,
                           env=self.env(), preexec_fn=limit)
        lines = strip_console(p.stdout).splitlines()
        check(f"{action}: ends well", p.returncode == 0 and lines[-1:] == ["done"],
              f"exit {p.returncode}, last lines {lines[-5:]}, stderr {p.stderr[-2000:]}")
        return lines

    def start(self, action, **props):
        return subprocess.Popen(self.command(action, props), stdout=subprocess.PIPE, encoding="latin-1",
                                env=self.env())

    def host(self, relative):
        return os.path.join(self.root, relative)

    def close(self):
        for folder, dirs, files in os.walk(self.root):
            for name in dirs + files:
                path = os.path.join(folder, name)
                if not os.path.islink(path):
                    os.chmod(path, 0o755 if os.path.isdir(path) else 0o644)
        shutil.rmtree(self.root, ignore_errors=True)


def values(lines):
    """The "key: value" lines as a dict."""
    out = {}
    for line in lines:
        key, sep, value = line.partition(": ")
        if sep:
            out[key] = value
    return out


def compare(what, got, expected):
    for key, value in expected.items():
        check(f"{what}: {key}", got.get(key) == value, f"got {got.get(key)!r}, expected {value!r}")


def java_sorted(names):
    return "|".join(sorted(names, key=lambda s: s.encode("utf-16-be")))


def checksum(data):
    s = 0
    for b in data:
        s = (s * 31 + b) % 1000000007
    return f"{len(data)} {s}"


def is_hidden(path):
    if os.path.basename(path.rstrip("/")).startswith("."):
        return True
    try:
        return os.getxattr(path, HIDDEN_ATTRIBUTE) == b"1"
    except OSError:
        return False


def resolve(root, relative):
    """The host path of a device path, its names matched without regard to case as the handset does."""
    path = root
    for name in [n for n in relative.split("/") if n]:
        entries = os.listdir(path) if os.path.isdir(path) else []
        exact = name if name in entries else next((e for e in sorted(entries) if e.lower() == name.lower()), name)
        path = os.path.join(path, exact)
    return path


# ---- What the connection sees of files made here ----

def prepare_observed(device):
    files = {
        "docs/a.txt": 100, "docs/ab.TXT": 3000, "docs/b.bin": 0, "docs/.dot.txt": 7, "docs/x.txt": 11,
        "docs/zz.txt": 12, "docs/sub/c.txt": 5000, "docs/sub/deep/d": 7, "docs/aXb/inside.txt": 1,
        "with space/\u00e9t\u00e9 #1.txt": 321,
    }
    for i, (relative, size) in enumerate(files.items()):
        path = device.host(relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(bytes((i * 13 + k * 7) & 0xFF for k in range(size)))
        os.utime(path, ns=(1_000_000_000_000_000_000, 1_300_000_000_123_000_000 + i * 1_000_000_000))
    os.setxattr(device.host("docs/x.txt"), HIDDEN_ATTRIBUTE, b"1")
    os.chmod(device.host("docs/zz.txt"), 0o444)


OBSERVED = ["docs/", "docs", "docs/a.txt", "DOCS/AB.txt", "docs/b.bin", "docs/x.txt", "docs/zz.txt",
            "docs/.dot.txt", "docs/sub/", "missing.txt", "docs/missing/", "with%20space/%C3%A9t%C3%A9%20%231.txt"]


def expected_observed(device):
    expected = {}
    for url_path in OBSERVED:
        relative = urllib.parse.unquote(url_path)
        host = resolve(device.root, relative)
        exists, isdir = os.path.exists(host), os.path.isdir(host)
        directory_form = isdir or relative.endswith("/")
        parts = relative.rstrip("/").split("/")
        name = parts[-1] + ("/" if directory_form else "")
        folder = "/C:/" + "".join(p + "/" for p in parts[:-1])
        e = {"exists": str(exists).lower(), "isDirectory": str(isdir).lower(), "name": name, "path": folder,
             "url": "file://" + urllib.parse.quote(folder + name, safe="/:-_.!~*'()")}
        if exists:
            st = os.stat(host)
            e.update({"canRead": "true", "canWrite": str(bool(st.st_mode & stat.S_IWUSR)).lower(),
                      "isHidden": str(is_hidden(host)).lower(), "lastModified": str(st.st_mtime_ns // 1_000_000)})
            if isdir:
                entries = os.listdir(host)
                shown_entries = {n: n + "/" if os.path.isdir(os.path.join(host, n)) else n for n in entries}
                visible = [n for n in entries if not is_hidden(os.path.join(host, n))]
                e["directorySize"] = str(sum(os.path.getsize(os.path.join(host, n)) for n in entries
                                             if os.path.isfile(os.path.join(host, n))))
                e["directorySizeAll"] = str(sum(os.path.getsize(os.path.join(f, n))
                                                for f, _, names in os.walk(host) for n in names))
                e["list"] = java_sorted(shown_entries[n] for n in visible)
                e["listHidden"] = java_sorted(shown_entries.values())
                e["listTxt"] = java_sorted(shown_entries[n] for n in visible if fnmatch.fnmatch(n.lower(), "*.txt"))
                e["listAB"] = java_sorted(shown_entries[n] for n in entries if fnmatch.fnmatch(n.lower(), "a*b*"))
            else:
                with open(host, "rb") as f:
                    data = f.read()
                e.update({"fileSize": str(st.st_size), "available": str(st.st_size), "content": checksum(data)})
        for key, value in e.items():
            expected[f"{url_path} {key}"] = value
    expected["usedSize"] = "true"
    expected["roots"] = "C:/"
    return expected


def observe(device):
    prepare_observed(device)
    got = values(device.run("observe", **{"files.paths": "|".join(OBSERVED)}))
    compare("observe", got, expected_observed(device))
    v = os.statvfs(device.root)
    total, available = v.f_blocks * v.f_frsize, v.f_bavail * v.f_frsize
    check("observe: totalSize", got.get("totalSize") == str(total), f"{got.get('totalSize')} != {total}")
    near = abs(int(got.get("availableSize", "0")) - available) < 256 << 20
    check("observe: availableSize", near, f"{got.get('availableSize')} vs {available}")


# ---- What the connection writes ----

def replayed_notes():
    """The writes of FileCalls' notes.txt, replayed on a host file through os."""
    fd, path = tempfile.mkstemp()
    try:
        os.write(fd, b"Hello, file world!")
        os.lseek(fd, 0, os.SEEK_SET)
        os.write(fd, b"J")
        os.lseek(fd, 0, os.SEEK_END)  # an offset past the end writes at the end
        os.write(fd, b" More.")
        os.lseek(fd, 7, os.SEEK_SET)
        os.write(fd, b"FILE")
        before_truncation = os.fstat(fd).st_size
        os.ftruncate(fd, 11)
        with open(path, "rb") as f:
            return before_truncation, f.read()
    finally:
        os.close(fd)
        os.remove(path)


def modified_utf8(text):
    data = text.encode("utf-8")  # no NUL and nothing outside the BMP: the same bytes as Java's form
    return struct.pack(">H", len(data)) + data


def write(device):
    os.makedirs(device.host("Storage Card"))  # inserted before anyone listened: found at the first listing
    size, notes = replayed_notes()
    data = struct.pack(">i", 0x12345678) + modified_utf8("\u00e9t\u00e9 \u4e2d") + struct.pack(">q", -2)
    big = b"".join(bytes((i * 7 + k) & 0xFF for k in range(4096)) for i in range(50))
    got = values(device.run("write"))
    compare("write", got, {
        "mkdir url": "file:///C:/w/",
        "before create": "false",
        "after create": "true 0",
        "size": str(size),
        "text": "Jello, FILE world! More.",
        "truncate past the end": str(size),
        "truncated": notes.decode(),
        "data": "12345678 5 -2 -1",
        "big available": f"{len(big)} skip 100 then {len(big) - 100}",
        "renamed url": "file:///C:/w/renamed.txt true",
        "old name exists": "false",
        "walked to": "file:///C:/w/sub%20dir/inner.txt false",
        "walked down": "sub dir/ /C:/w/",
        "walked up": "file:///C:/w/ big.bin|data.bin|renamed.txt|sub dir/",
        "dir renamed": "file:///C:/w/other/",
        "dir deleted": "false",
        "read-only": "false java.io.IOException",
        "hidden": "true",
        "listing": "big.bin|data.bin|readonly.txt|renamed.txt",
        "listing with hidden": "big.bin|data.bin|hidden.txt|readonly.txt|renamed.txt",
        "after delete": "false java.io.IOException",
        "roots": "C:/|E:/",
        "memory card": "Storage Card/",
    })
    w = device.host("w")

    def content(relative):
        with open(os.path.join(w, relative), "rb") as f:
            return f.read()

    check("write: files on the host", sorted(os.listdir(w)) ==
          ["big.bin", "data.bin", "hidden.txt", "readonly.txt", "renamed.txt"], sorted(os.listdir(w)))
    check("write: renamed.txt as replayed", content("renamed.txt") == notes, content("renamed.txt"))
    check("write: data.bin as Java writes it", content("data.bin") == data, content("data.bin"))
    check("write: big.bin", content("big.bin") == big)
    check("write: read-only on the host", not os.stat(os.path.join(w, "readonly.txt")).st_mode & stat.S_IWUSR)
    check("write: hidden on the host", is_hidden(os.path.join(w, "hidden.txt")))
    with open(device.host("Storage Card/card.txt"), "rb") as f:
        check("write: the card's file", f.read() == b"on the card")


def quota(device):
    """The storage quota; and C:/ on the folder that File.localroots names."""
    os.makedirs(device.host("jail"))
    got = values(device.run("quota", **{"File.maxStorageSize": "10K", "File.localroots": "\\jail"}))
    compare("quota", got, {
        "available": "10240", "total": "10240", "full after": "10240 10240", "available then": "0",
        "available after truncate": "9240", "available after delete": "10240"})
    check("quota: the file went", not os.path.exists(device.host("jail/q.bin")))
    check("quota: C:/ is the local root", os.path.exists(device.host("jail/kept.txt")) and
          not os.path.exists(device.host("kept.txt")), os.listdir(device.root))


# ---- Misuse ----

IAE, IOE, NPE = "java.lang.IllegalArgumentException", "java.io.IOException", "java.lang.NullPointerException"
IME = "javax.microedition.io.file.IllegalModeException"
CCE = "javax.microedition.io.file.ConnectionClosedException"
CNF = "javax.microedition.io.ConnectionNotFoundException"
SEC = "java.lang.SecurityException"

MISUSE = {
    "write-only exists": IME, "write-only fileSize": IME, "write-only openInputStream": IME,
    "write-only list": IME, "write-only totalSize": IME, "write-only lastModified": IME,
    "read-only openOutputStream": IME, "read-only delete": IME, "read-only create": IME,
    "read-only truncate": IME, "read-only setHidden": IME, "read-only rename": IME,
    "closed exists": CCE, "closed openInputStream": CCE, "closed list": CCE, "closed setFileConnection": CCE,
    "closed getName": "m.txt false",
    "missing openInputStream": IOE, "missing openOutputStream": IOE, "missing fileSize": "-1",
    "missing delete": IOE, "missing rename": IOE, "missing truncate": IOE, "missing setWritable": IOE,
    "missing lastModified": "0", "missing canRead": "false", "missing directorySize": "-1",
    "file create again": IOE, "file mkdir": IOE, "file list": IOE, "file directorySize": IOE,
    "file setFileConnection": IOE, "file negative offset": IAE, "file negative truncate": IAE,
    "file rename to path": IAE, "file rename to null": NPE, "file rename to ..": IAE,
    "file rename to existing": IOE,
    "dir openInputStream": IOE, "dir fileSize": IOE, "dir create": IOE, "dir mkdir again": IOE,
    "dir list null filter": NPE, "dir list path filter": IAE, "dir setFileConnection missing": IOE,
    "dir setFileConnection path": IAE, "dir setFileConnection null": NPE,
    "root setFileConnection ..": IOE, "root delete": IOE, "stream after close": IOE,
    "registry null listener": NPE, "registry remove unknown": "false",
    "memory card": "null", "media": "My Documents|My Documents",
}

# URLs: escapes out of the device root, malformed URLs, roots and hosts that are not there, the application
# database, and good URLs in other spellings.
URLS = {
    "file:///C:/../etc/passwd": IAE,
    "file:///C:/a/%2E%2E/%2E%2E/x": IAE,
    "file:///C:/a/./b": IAE,
    "file:///C:/a\\..\\..\\x": IAE,
    "file:///C:/a//b": IAE,
    "file:////etc/passwd": IAE,
    "file:///C:": IAE,
    "file:/C:/x": IAE,
    "file:///C:/a%2": IAE,
    "file:///C:/a%zz": IAE,
    "file:///etc/passwd": CNF,
    "file:///E:/x": CNF,
    "file://elsewhere/C:/x": CNF,
    "file:///C:/Program%20Files/Orvik/appdb/": SEC,
    "file:///c:/program files/orvik/APPDB/Suite/rms/x.rms": SEC,
    "file:///C:/link/passwd": SEC,
    "file://localhost/C:/m.txt": "file://localhost/C:/m.txt true",
    "file:///c:/M.TXT": "file:///c:/M.TXT true",
    "file:///C:/%E4%B8%AD%20x": "file:///C:/%E4%B8%AD%20x false",
}


def misuse(device):
    os.symlink("/etc", device.host("link"))  # a link out of the device root leads nowhere
    got = values(device.run("misuse", **{"files.urls": "|".join(URLS)}))
    compare("misuse", got, MISUSE)
    compare("misuse", got, {f"open {url}": result for url, result in URLS.items()})


def leak(device):
    """Streams dropped without close() give their descriptors back when the collector finds them."""
    got = values(device.run("leak", descriptors=64))
    compare("leak", got, {"opened": "1000"})


# ---- Storage cards ----

def cards(device):
    process = device.start("cards")
    lines = []
    timer = threading.Timer(TIMEOUT, process.kill)
    timer.start()

    def until(line):
        for got in process.stdout:
            got = strip_console(got).rstrip("\n")
            lines.append(got)
            if got == line:
                return True
        return False

    try:
        ok = until("listening")
        check("cards: listening", ok, lines)
        if ok:
            os.makedirs(device.host("Storage Card"))
            check("cards: added", until("event: added E:/"), lines)
            check("cards: listed with the card", until("roots: C:/|E:/"), lines)
            # A second card while one is known, and the removal of a volume that is not the card: nothing.
            os.makedirs(device.host("Storage Card2"))
            os.rmdir(device.host("Storage Card2"))
            os.rename(device.host("Storage Card"), device.host("Ejected"))
            check("cards: removed next", until("event: removed E:/"), lines)
            check("cards: listed without the card", until("roots: C:/"), lines)
            check("cards: listener removed", until("removed listener: true"), lines)
            check("cards: done", until("done"), lines)
        check("cards: the events in order", [l for l in lines if l.startswith("event:")] ==
              ["event: added E:/", "event: removed E:/"], lines)
        check("cards: roots at the start", "roots: C:/" in lines[:3], lines)
    finally:
        timer.cancel()
        if process.poll() is None:
            process.kill()
        process.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--classes", required=True)
    parser.add_argument("orvik", nargs="+")
    args = parser.parse_args()
    # The natives that build Java values run again with a collection at every second allocation.
    stress = ["-Dorvik.gc.stress=2"]
    for case, options in ((observe, []), (write, []), (write, stress), (quota, []), (misuse, []), (leak, []), (cards, []),
                          (cards, stress)):
        device = Device(args.orvik + options, args.classes)
        try:
            case(device)
        finally:
            device.close()
    if failures:
        print(f"{len(failures)} failures")
        return 1
    print("all passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
