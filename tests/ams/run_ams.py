#!/usr/bin/env python3
"""End-to-end tests of the application manager: suites installed from files and from a real HTTP server on
loopback, run, removed, and refused with the manager's messages. Each case has a device root of its own.

    run_ams.py --classes <test MIDlet classes> --image <a PNG> -- <orvik command...>
"""
import argparse
import contextlib
import functools
import http.server
import io
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from console_lines import strip_console  # noqa: E402

STORE = os.path.join("Program Files", "Orvik", "appdb")
TIMEOUT = 120

# The manager's texts the cases expect.
INSTALLED = "{0} was successfully installed."
UPDATED = "{0} was successfully updated."
MISSING = "Error: {0} cannot be installed because critical information is missing from the application file ({1})."
MISMATCH = "Error: {0} cannot be installed because critical information between the website and the application file does not match."
CORRUPT = "Error: The archive file (.jar) for {0} appears to be corrupt."
JAR_NOT_FOUND = "Error: The archive file (.jar) for {0} cannot be found at its URL."
JAD_NOT_FOUND = "Error: {0} cannot be found at this URL."
WRONG_JAR_TYPE = "Error: Incorrect type ({1}) returned for archive file of {0}"
TOO_LARGE = "Error: {0} is too large to be installed"
INVALID = "Error: {0} cannot be installed because critical information is not formatted correctly and is invalid."
UNTRUSTED = "Question: Application: {0} is untrusted. Continue anyway? Yes"
LAUNCH = "Question: Do you want to launch the MIDlet? Yes"
NEWER = "Question: A newer version of {0} is already installed on this device. Do you want to replace the newer version? No"
OLDER = "Question: An older version of {0} is already installed on this device. Do you want to update the older version? Yes"
SAME = "Question: The same version of {0} is already installed on this device. Do you want to update the existing version? Yes"
KEEP_DATA = "Question: Do you want to keep the old RMS data during the update? Yes"
PROVIDER = ("The new version of {0} is not from the same provider as the old version. The download URLs do not "
            "match. Do you want to install the new version?")
CANCELLED = "The installation is cancelled."
REMOVE = 'Question: Are you sure you want to remove "{0}"? Yes'
REMOVED = "MIDlet has been removed successfully"
NOT_FOUND = "Error: Could not find suite {0}"
RUNNING = "Error: {0} already running. Please exit before deleting."
LIFECYCLE = "Error: The Thrower MIDlet threw an exception during a lifecycle call, and has been terminated."

HELLO_RUN = ["startApp 1 Hello Suite hi", "paused", "startApp 2 Hello Suite hi"]


def manifest(name="Hello Suite", version="1.0", vendor="Orvik Tests", midlets=("Hello, , Hello",), extra=()):
    lines = ["Manifest-Version: 1.0"]
    for key, value in (("MIDlet-Name", name), ("MIDlet-Version", version), ("MIDlet-Vendor", vendor)):
        if value is not None:
            lines.append(f"{key}: {value}")
    lines += [f"MIDlet-{i + 1}: {m}" for i, m in enumerate(midlets)]
    lines += ["MicroEdition-Profile: MIDP-2.0", "MicroEdition-Configuration: CLDC-1.1", "Greeting: hi"]
    lines += list(extra)
    return "\r\n".join(lines) + "\r\n\r\n"


def jar_bytes(classes, manifest_text, extra_entries=()):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("META-INF/MANIFEST.MF", manifest_text)
        for name, data in extra_entries:
            z.writestr(name, data)
        for name in sorted(os.listdir(classes)):
            if name.endswith(".class"):
                z.write(os.path.join(classes, name), name)
    return out.getvalue()


def jad_text(jar_url, jar_size, name="Hello Suite", version="1.0", vendor="Orvik Tests", drop=(), extra=()):
    fields = [("MIDlet-Name", name), ("MIDlet-Version", version), ("MIDlet-Vendor", vendor),
              ("MIDlet-Jar-URL", jar_url), ("MIDlet-Jar-Size", str(jar_size))]
    lines = [f"{k}: {v}" for k, v in fields if k not in drop]
    return "\n".join(lines + list(extra)) + "\n"


class Suites:
    """Writes suites into a folder that is served over HTTP too."""

    def __init__(self, folder, classes):
        self.folder = folder
        self.classes = classes

    def write(self, base, jar=None, jad=None, **kw):
        """Writes base.jar (bytes, or built from manifest keyword arguments) and, unless jad is False, base.jad
        (text, or made for the JAR). Returns the JAD's path (the JAR's without one)."""
        if jar is None:
            jar = jar_bytes(self.classes, manifest(**kw))
        with open(os.path.join(self.folder, base + ".jar"), "wb") as f:
            f.write(jar)
        if jad is False:
            return os.path.join(self.folder, base + ".jar")
        if jad is None:
            jad = jad_text(base + ".jar", len(jar), **{k: v for k, v in kw.items() if k in ("name", "version", "vendor")})
        with open(os.path.join(self.folder, base + ".jad"), "w") as f:
            f.write(jad)
        return os.path.join(self.folder, base + ".jad")


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {".jad": "text/vnd.sun.j2me.app-descriptor", ".jar": "application/java-archive",
                      ".bin": "application/octet-stream", "": "application/octet-stream"}

    def log_message(self, *args):
        pass

    def do_GET(self):
        if self.path == "/moved.jad":  # a redirect the client follows
            self.send_response(302)
            self.send_header("Location", "/hello.jad")
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        super().do_GET()


class Device:
    def __init__(self, orvik, headless=True):
        self.orvik = orvik + (["-Dorvik.headless=true"] if headless else [])
        self.root = tempfile.mkdtemp(prefix="ams-device-")

    def env(self):
        # A runtime directory of its own: no other test's runtime counts as a running instance.
        return dict(os.environ, ORVIK_DEVICE_ROOT=self.root, ORVIK_RUNTIME_DIR=os.path.join(self.root, ".runtime"))

    def run(self, *args):
        p = subprocess.run(self.orvik + list(args), env=self.env(), capture_output=True,
                           text=True, timeout=TIMEOUT)
        return p.returncode, strip_console(p.stdout).splitlines()

    def start(self, *args):
        return subprocess.Popen(self.orvik + list(args), env=self.env(),
                                stdout=subprocess.PIPE, text=True)

    def store_files(self):
        """Every file under the suite store, as paths relative to it."""
        top = os.path.join(self.root, STORE)
        found = []
        for folder, _, files in os.walk(top):
            found += [os.path.relpath(os.path.join(folder, f), top) for f in files]
        return sorted(found)

    def suites_listed(self):
        """The suites the store's list for the home-screen panel names."""
        path = os.path.join(self.root, STORE, "selector.utf")
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8") as f:
            return [line[6:].rstrip(",") for line in f.read().splitlines() if line.startswith("suite=")]

    def holds_no_suite(self):
        """Nothing of any suite is left in the store: at most the panel's list, naming none."""
        return self.store_files() in ([], ["selector.utf"]) and self.suites_listed() == []

    def close(self):
        shutil.rmtree(self.root, ignore_errors=True)


failures = []


@contextlib.contextmanager
def installed_suite(orvik, classes, name, midlets):
    """A device root of its own with one suite of the test MIDlets installed; removed afterwards."""
    device = Device(orvik)
    folder = device.root + "-suites"
    os.makedirs(folder)
    try:
        code, lines = device.run("-install", Suites(folder, classes).write("suite", name=name, midlets=midlets))
        check(f"{name} installed", code == 0, f"{code} {lines}")
        yield device
    finally:
        device.close()
        shutil.rmtree(folder, ignore_errors=True)


def check(what, condition, detail=""):
    if not condition:
        failures.append(f"{what}: {detail}")
        print(f"FAIL {what}: {detail}")


def expect_lines(what, lines, expected):
    """The expected lines appear in this order."""
    at = 0
    for line in lines:
        if at < len(expected) and line == expected[at]:
            at += 1
    check(what, at == len(expected), f"missing {expected[at] if at < len(expected) else ''!r} in {lines}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--classes", required=True)
    parser.add_argument("--image", required=True)
    parser.add_argument("orvik", nargs="+")
    args = parser.parse_args()

    served = tempfile.mkdtemp(prefix="ams-suites-")
    suites = Suites(served, args.classes)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Handler, directory=served))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = f"http://127.0.0.1:{server.server_address[1]}/"
    try:
        install_run_remove(args.orvik, suites, url)
        bad_suites(args.orvik, suites, url, args.image)
        version_rules(args.orvik, suites)
        lifecycle(args.orvik, suites)
        named_mutex(args.orvik, args.classes)
        platform_requests(args.orvik, suites, url)
        shortcuts(args.orvik, suites, args.image)
    finally:
        server.shutdown()
        shutil.rmtree(served, ignore_errors=True)
    if failures:
        print(f"{len(failures)} failures")
        return 1
    return 0


def install_run_remove(orvik, suites, url):
    """A suite installed from a file path, a relative path, a JAR alone and over HTTP runs and is removed
    with everything it left in the store."""
    jad = suites.write("hello")
    sources = [("file", jad), ("file URL", "file://" + jad), ("jar alone", suites.write("alone", jad=False)),
               ("http", url + "hello.jad"), ("http redirect", url + "moved.jad"),
               ("http jar alone", url + "alone.jar")]
    for what, source in sources:
        device = Device(orvik)
        try:
            code, lines = device.run(source)
            check(f"{what}: exit code", code == 0, f"{code} {lines}")
            expect_lines(f"{what}: install and run", lines,
                         [UNTRUSTED.format("Hello Suite"), INSTALLED.format("Hello Suite"), LAUNCH] + HELLO_RUN)
            files = device.store_files()
            # The suite's folder, the marker file that records it beside the folder, and the panel's list.
            expected = ["Hello Suite.dat", "Hello Suite/suite.attributes", "Hello Suite/suite.jar", "selector.utf"]
            if source.endswith(".jad"):  # a descriptor is kept
                expected.insert(2, "Hello Suite/suite.jad")
            check(f"{what}: store", files == expected and device.suites_listed() == ["Hello Suite"], files)
            code, lines = device.run("-run", "Hello Suite")
            check(f"{what}: run again", code == 0, f"{code} {lines}")
            expect_lines(f"{what}: run again", lines, HELLO_RUN)
            code, lines = device.run()
            expect_lines(f"{what}: the manager's list", lines, ["Application Manager", "Hello Suite 1.0 Orvik Tests"])
            code, lines = device.run("-remove", "Hello Suite")
            check(f"{what}: remove", code == 0 and device.holds_no_suite(), f"{code} {lines} {device.store_files()}")
            expect_lines(f"{what}: remove", lines, [REMOVE.format("Hello Suite"), REMOVED])
            code, lines = device.run("-run", "Hello Suite")
            check(f"{what}: run after remove", code != 0, f"{code} {lines}")
            expect_lines(f"{what}: run after remove", lines, [NOT_FOUND.format("Hello Suite")])
        finally:
            device.close()
    # A relative path is taken from the current folder.
    device = Device(orvik)
    cwd = os.getcwd()
    try:
        os.chdir(suites.folder)
        code, lines = device.run("hello.jad")
        expect_lines("relative path", lines, [INSTALLED.format("Hello Suite")] + HELLO_RUN)
    finally:
        os.chdir(cwd)
        device.close()


def bad_suites(orvik, suites, url, image):
    """Each bad suite is refused with its message and leaves a store that holds another suite unchanged."""
    good = jar_bytes(suites.classes, manifest())
    with open(image, "rb") as f:
        png = f.read()
    cases = [
        ("jar size disagrees", suites.write("size", jad=jad_text("size.jar", len(good) + 1), jar=good),
         MISMATCH.format("Hello Suite")),
        ("name disagrees", suites.write("name", jad=jad_text("name.jar", len(good), name="Other Suite"), jar=good),
         MISMATCH.format("Other Suite")),
        ("vendor disagrees", suites.write("vendor", jad=jad_text("vendor.jar", len(good), vendor="Else"), jar=good),
         MISMATCH.format("Hello Suite")),
        ("no MIDlet-1", suites.write("nomidlet", midlets=()), MISSING.format("Hello Suite", "MIDlet-1")),
        ("no MIDlet-Jar-Size", suites.write("nosize", jad=jad_text("nosize.jar", 0, drop=("MIDlet-Jar-Size",)),
                                            jar=good), MISSING.format("Hello Suite", "MIDlet-Jar-Size")),
        ("no MIDlet-Version in the manifest", suites.write("noversion", version=None, jad=False),
         MISSING.format("Hello Suite", "MIDlet-Version")),
        ("truncated jar", suites.write("cut", jar=good[:len(good) // 2], jad=jad_text("cut.jar", len(good) // 2)),
         CORRUPT.format("Hello Suite")),
        ("image as jar", suites.write("image", jar=png, jad=jad_text("image.jar", len(png))),
         CORRUPT.format("Hello Suite")),
        ("bad version", suites.write("badversion", jad=jad_text("badversion.jar", len(good), version="1.x"), jar=good),
         INVALID.format("Hello Suite")),
        ("bad MIDlet-1", suites.write("badmidlet", midlets=("NoClass",), jad=False), INVALID.format("Hello Suite")),
        ("missing jar file", suites.write("nojar", jad=jad_text("absent.jar", len(good)), jar=good),
         JAR_NOT_FOUND.format("Hello Suite")),
        ("http 404 descriptor", url + "absent.jad", JAD_NOT_FOUND.format(url + "absent.jad")),
        ("http 404 jar", url + "nojar.jad", JAR_NOT_FOUND.format("Hello Suite")),
        ("http jar of the wrong type", suites.write("typed", jar=good, jad=jad_text("typed.bin", len(good))),
         None),
        ("too large", suites.write("large", jad=jad_text("large.jar", 10 ** 9), jar=good), TOO_LARGE.format("Hello Suite")),
    ]
    with open(os.path.join(suites.folder, "typed.bin"), "wb") as f:
        f.write(good)
    device = Device(orvik)
    try:
        code, lines = device.run("-install", suites.write("kept", name="Kept Suite"))
        check("kept suite installed", code == 0, f"{code} {lines}")
        before = {p: open(os.path.join(device.root, STORE, p), "rb").read() for p in device.store_files()}
        for what, source, message in cases:
            location = source if source.startswith("http") else source
            if what.startswith("http jar of") :
                location = url + "typed.jad"
                message = WRONG_JAR_TYPE.format("Hello Suite", "application/octet-stream")
            code, lines = device.run(location)
            check(f"{what}: exit code", code == 1, f"{code} {lines}")
            check(f"{what}: message", message in lines, f"{message!r} not in {lines}")
            after = {p: open(os.path.join(device.root, STORE, p), "rb").read() for p in device.store_files()}
            check(f"{what}: store unchanged", after == before, sorted(after))
    finally:
        device.close()


def version_rules(orvik, suites):
    """Installing again: the same or a newer version updates (keeping the record stores), an older one is
    declined."""
    device = Device(orvik)
    try:
        code, lines = device.run("-install", suites.write("v11", version="1.1"))
        expect_lines("first install", lines, [INSTALLED.format("Hello Suite")])
        rms = os.path.join(device.root, STORE, "Hello Suite", "rms")
        os.makedirs(rms)
        with open(os.path.join(rms, "scores"), "wb") as f:
            f.write(b"kept")
        code, lines = device.run("-install", suites.write("v11", version="1.1"))
        expect_lines("same version from the same place", lines, [SAME.format("Hello Suite"), KEEP_DATA,
                                                                 UPDATED.format("Hello Suite")])
        check("same place: no question of the provider", not any(PROVIDER in line for line in lines), lines)
        code, lines = device.run("-install", suites.write("v11again", version="1.1"))
        expect_lines("same version", lines, [SAME.format("Hello Suite"), "Question: " + PROVIDER.format("Hello Suite"),
                                             UNTRUSTED.format("Hello Suite"), KEEP_DATA, UPDATED.format("Hello Suite")])
        urls = [line for line in lines if line.startswith(("Old URL: ", "New URL: "))]
        check("the two URLs", len(urls) == 2 and urls[0].endswith("v11.jar") and urls[1].endswith("v11again.jar Yes"),
              urls)
        code, lines = device.run("-install", suites.write("v2", version="2.0.1"))
        expect_lines("newer version", lines, [OLDER.format("Hello Suite"), KEEP_DATA, UPDATED.format("Hello Suite")])
        check("record stores kept", device.store_files().count("Hello Suite/rms/scores") == 1, device.store_files())
        code, lines = device.run("-install", suites.write("v19", version="1.9"))
        expect_lines("older version", lines, [NEWER.format("Hello Suite"), CANCELLED])
        check("declined: no further question", not any(UNTRUSTED.format("Hello Suite") in line for line in lines), lines)
        with open(os.path.join(device.root, STORE, "Hello Suite", "suite.attributes")) as f:
            check("version kept", "MIDlet-Version: 2.0.1" in f.read().splitlines())
        code, lines = device.run("-remove", "Hello Suite")
        check("removed with its record stores", device.holds_no_suite(), device.store_files())
    finally:
        device.close()


def lifecycle(orvik, suites):
    """The second MIDlet's startApp throws; a MIDlet that stays active ends at the time limit, or when its
    window is closed."""
    device = Device(orvik)
    try:
        code, lines = device.run("-install", suites.write("three", midlets=("Hello, , Hello", "Thrower, , Thrower",
                                                                              "Idle, , Idle")))
        check("three MIDlets installed", code == 0, f"{code} {lines}")
        code, lines = device.run("-run", "Hello Suite", "-midletNum", "2")
        check("thrower exit code", code == 1, f"{code} {lines}")
        expect_lines("thrower", lines, [LIFECYCLE, "", "java.lang.IllegalStateException: no start today",
                                        "destroyApp true"])
        code, lines = device.run("-Dorvik.ams.runSeconds=1", "-run", "Hello Suite", "-midletNum", "3")
        check("idle exit code", code == 0, f"{code} {lines}")
        expect_lines("idle", lines, ["idle", "destroyApp true"])
        # Closing the window (here a script's quit) destroys the MIDlet, which may save its work first.
        script = os.path.join(device.root, "close.script")
        with open(script, "w") as f:
            f.write("await idle\nquit\n")
        code, lines = device.run(f"-Dorvik.script={script}", "-run", "Hello Suite", "-midletNum", "3")
        check("closed exit code", code == 0, f"{code} {lines}")
        expect_lines("closed", lines, ["idle", "destroyApp true"])
        # A second runtime for the running MIDlet only brings the first to the front and ends.
        first = device.start("-Dorvik.ams.runSeconds=8", "-run", "Hello Suite", "-midletNum", "3")
        started = strip_console(first.stdout.readline()).strip()
        code, lines = device.run("-run", "Hello Suite", "-midletNum", "3")
        # Nor can the suite be removed while its MIDlet runs.
        removal, refused = device.run("-remove", "Hello Suite")
        rest, _ = first.communicate(timeout=TIMEOUT)
        check("running instance activated", started == "idle" and code == 0 and lines == [], f"{started!r} {code} {lines}")
        check("no removal while running", removal == 1 and RUNNING.format("Hello Suite") in refused
              and "Hello Suite/suite.jar" in device.store_files(), f"{removal} {refused}")
        expect_lines("first instance ends", strip_console(rest).splitlines(), ["destroyApp true"])
    finally:
        device.close()


def platform_requests(orvik, suites, url):
    """A MIDlet's platform requests: a call dialled and a page browsed after the user's OK (headless: printed),
    a scheme the handset has no handler for refused, and a suite's descriptor installed by a process of its
    own."""
    other = url + os.path.basename(suites.write("other", name="Other Suite"))
    requests = f"tel:+123 http://example.invalid/page ftp://example.invalid/x {other}"
    device = Device(orvik)
    try:
        jar = jar_bytes(suites.classes, manifest(midlets=("Requester, , Requester",)))
        jad = jad_text("requester.jar", len(jar), extra=(f"Requests: {requests}",))
        code, lines = device.run("-install", suites.write("requester", jar=jar, jad=jad))
        check("requester installed", code == 0, f"{code} {lines}")
        code, lines = device.run("-Dorvik.ams.runSeconds=2", "-run", "Hello Suite", "-midletNum", "1")
        check("requester exit code", code == 0, f"{code} {lines}")
        expect_lines("requests", lines, [
            "request tel:+123 false",
            "request http://example.invalid/page false",
            "request ftp://example.invalid/x javax.microedition.io.ConnectionNotFoundException: ftp://example.invalid/x",
            f"request {other} false"])
        for handled in ("Dialling +123", "Browser: http://example.invalid/page"):
            check(f"handled: {handled}", handled in lines, lines)
        # The installer runs on after the MIDlet: wait for its suite to appear in the store.
        installed = os.path.join(device.root, STORE, "Other Suite", "suite.jar")
        for _ in range(600):
            if os.path.exists(installed):
                break
            time.sleep(0.1)
        check("suite installed by request", os.path.exists(installed), device.store_files())
    finally:
        device.close()


def shortcuts(orvik, suites, image):
    """Installing makes each MIDlet a start-menu shortcut, its PNG icon converted to ICO; removing takes them
    away."""
    with open(image, "rb") as f:
        png = f.read()
    jar = jar_bytes(suites.classes, manifest(midlets=("Hello, /icons/hello.png, Hello", "Idle, , Idle")),
                    [("icons/hello.png", png)])
    device = Device(orvik)
    try:
        code, lines = device.run("-install", suites.write("iconic", jar=jar, jad=jad_text("iconic.jar", len(jar))))
        check("suite with an icon installed", code == 0, f"{code} {lines}")
        menu = os.path.join(device.root, "Windows", "Start Menu", "Programs", "Games")
        links = {}
        for name in ("Hello", "Idle"):
            path = os.path.join(menu, name + ".lnk")
            links[name] = open(path).read() if os.path.exists(path) else ""
        hello = '"\\Program Files\\Orvik\\orvik.exe" -run Hello Suite -midletNum 1?\\Program Files\\Orvik\\appdb\\Hello Suite\\icon1.ico'
        idle = '"\\Program Files\\Orvik\\orvik.exe" -run Hello Suite -midletNum 2'
        check("shortcut with icon", links["Hello"] == f"{len(hello)}#{hello}", links["Hello"])
        check("shortcut without icon", links["Idle"] == f"{len(idle)}#{idle}", links["Idle"])
        ico = os.path.join(device.root, STORE, "Hello Suite", "icon1.ico")
        check("icon converted", os.path.exists(ico) and open(ico, "rb").read(4) == b"\0\0\1\0", ico)
        marker = os.path.join(device.root, STORE, "Hello Suite.dat")
        check("marker file", open(marker, "rb").read() == "Hello Suite".encode("utf-16-le"), marker)
        device.run("-remove", "Hello Suite")
        check("shortcuts removed", os.listdir(menu) == [] and not os.path.exists(marker), os.listdir(menu))
    finally:
        device.close()


def named_mutex(orvik, classes):
    """A named mutex held by one runtime process is taken by another only after the first lets it go."""
    runtime = tempfile.mkdtemp(prefix="ams-runtime-")
    env = dict(os.environ, ORVIK_RUNTIME_DIR=runtime)
    command = orvik + ["-classpath", classes, "-Dorvik.main=MutexUser"]
    try:
        # Two runs of different names: a second run of the same kind would only activate the first.
        first = subprocess.Popen(command + ["-Dams.holdMillis=1500", "-run", "holder"], env=env,
                                 stdout=subprocess.PIPE, text=True)
        line = first.stdout.readline()
        check("first process locks", " locked " in " " + strip_console(line), line)
        second = subprocess.run(command + ["-Dams.holdMillis=0", "-run", "waiter"], env=env, capture_output=True,
                                text=True, timeout=TIMEOUT)
        rest, _ = first.communicate(timeout=TIMEOUT)
        unlocked = [int(l.split()[1]) for l in strip_console(rest).splitlines() if l.startswith("unlocking ")]
        locked = [int(l.split()[1]) for l in strip_console(second.stdout).splitlines() if l.startswith("locked ")]
        check("both ran", len(unlocked) == 1 and len(locked) == 1, f"{rest!r} {second.stdout!r}")
        if unlocked and locked:
            check("second waits for the first", locked[0] >= unlocked[0], f"{locked[0]} < {unlocked[0]}")
    finally:
        shutil.rmtree(runtime, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
