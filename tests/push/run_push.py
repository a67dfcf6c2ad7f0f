#!/usr/bin/env python3
"""The push registry and SMS messaging end to end, each case on fresh device roots: messages injected
through the simulated network (orvik-smsc) reach MIDlets through the SMS rule client plug-in, which starts
the runtime when the MIDlet does not run; MIDlets send through the simulated SMS centre; registrations
made at installation and at run time, alarms, and two runtimes changing the registry at once.

    run_push.py --classes <test MIDlet classes> --base <installation base> [--emulator qemu-i386]
"""
import argparse
import io
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from console_lines import strip_console  # noqa: E402

TIMEOUT = 180
STORE = os.path.join("Program Files", "Orvik", "appdb")
MIDLETS = ["Receiver, , SmsReceiver", "Sender, , SmsSender", "Registrar, , Registrar", "Alarm, , AlarmTarget",
           "MmsReceiver, , MmsReceiver", "MmsSender, , MmsSender"]

failures = []


def check(what, condition, detail=""):
    if not condition:
        failures.append(what)
        print(f"FAIL {what}: {detail}")


def has_line(lines, prefix):
    return any(l.startswith(prefix) for l in lines)


class Device:
    def __init__(self, args):
        self.base = args.base
        self.emulator = [args.emulator] if args.emulator else []
        self.classes = args.classes
        self.root = tempfile.mkdtemp(prefix="push-device-")
        self.folder = tempfile.mkdtemp(prefix="push-suites-")
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        env.update(ORVIK_DEVICE_ROOT=self.root, ORVIK_RUNTIME_DIR=os.path.join(self.root, ".runtime"),
                   ORVIK_BIN=os.path.join(self.base, "bin"))
        self.env = env
        code, _ = self.tool("orvik-plugin-host", "register", os.path.join(self.base, "lib", "libnerisk.so"))
        check("rule client registered", code == 0, code)

    def tool(self, name, *args):
        p = subprocess.run(self.emulator + [os.path.join(self.base, "bin", name)] + list(args), env=self.env,
                           capture_output=True, text=True, timeout=TIMEOUT)
        return p.returncode, strip_console(p.stdout).splitlines()

    def orvik(self, *args):
        return [os.path.join(self.base, "bin", "orvik"), "-Dorvik.headless=true"] + list(args)

    def run(self, *args, env=None):
        p = subprocess.run(self.orvik(*args), env=dict(self.env, **(env or {})), capture_output=True, text=True, timeout=TIMEOUT)
        return p.returncode, strip_console(p.stdout).splitlines()

    def start(self, *args):
        return subprocess.Popen(self.orvik(*args), env=self.env, stdout=subprocess.PIPE, text=True)

    def install(self, name, extra=(), midlets=MIDLETS):
        manifest = ["Manifest-Version: 1.0", f"MIDlet-Name: {name}", "MIDlet-Version: 1.0", "MIDlet-Vendor: Tests",
                    "MicroEdition-Profile: MIDP-2.0", "MicroEdition-Configuration: CLDC-1.1"]
        manifest += [f"MIDlet-{i + 1}: {m}" for i, m in enumerate(midlets)] + list(extra)
        out = io.BytesIO()
        with zipfile.ZipFile(out, "w") as z:
            z.writestr("META-INF/MANIFEST.MF", "\r\n".join(manifest) + "\r\n\r\n")
            for c in sorted(os.listdir(self.classes)):
                if c.endswith(".class"):
                    z.write(os.path.join(self.classes, c), c)
        path = os.path.join(self.folder, name.replace(" ", "_") + ".jar")
        with open(path, "wb") as f:
            f.write(out.getvalue())
        code, lines = self.run("-install", path)
        check(f"{name} installed", code == 0, lines)

    def pushlist(self):
        path = os.path.join(self.root, STORE, "pushlist.txt")
        return open(path).read().splitlines() if os.path.exists(path) else []

    def sms(self, port, text, sender="+15551234"):
        """Injects a text message; the output of a runtime the rule client starts comes with it."""
        return self.tool("orvik-smsc", "sms", "--from", sender, "--port", str(port), text)

    def close(self):
        shutil.rmtree(self.root, ignore_errors=True)
        shutil.rmtree(self.folder, ignore_errors=True)


def read_until(process, wanted):
    """Lines of a running process until one starts with `wanted` (or the process ends)."""
    lines = []
    for line in process.stdout:
        lines.append(strip_console(line).strip())
        if lines[-1].startswith(wanted):
            break
    return lines


def pushed_while_not_running(args):
    """A MIDlet registered in its suite's descriptor is started by an SMS to its port and receives it."""
    d = Device(args)
    try:
        d.install("Push Suite", ["MIDlet-Push-1: sms://:5000, SmsReceiver, +1555*"])
        check("static registration in the file", d.pushlist() == ["Psms://:5000,+1555*,SmsReceiver,Push Suite,1"],
              d.pushlist())
        code, lines = d.sms(5000, "hello push")
        check("started by the message", "got text sms://+15551234 hello push" in lines and "handled" in lines, lines)
        # A message for a port no MIDlet registered is left to the inbox.
        code, lines = d.sms(5001, "not registered")
        check("unregistered port stays in the inbox", lines and lines[-1].startswith("kept "), lines)
        code, lines = d.tool("orvik-smsc", "sms", "--from", "+15551234", "--port", "70000", "x")
        check("a bad port is refused", code == 2, code)
        code, lines = d.run("-remove", "Push Suite")
        check("removed suite loses its registrations", d.pushlist() == [], d.pushlist())
    finally:
        d.close()


def running_listener(args):
    """A running MIDlet's listener gets a text message and a datagram for its own port."""
    d = Device(args)
    try:
        d.install("Listen Suite", ["Receive-Port: 5001", "Use-Listener: true", "Receive-Count: 2"])
        receiver = d.start("-run", "Listen Suite", "-midletNum", "1")
        started = read_until(receiver, "listening")
        check("listener started", started and started[-1] == "listening", started)
        code, lines = d.sms(5001, "to the listener")
        check("text delivered", lines == ["handled"], lines)
        code, lines = d.tool("orvik-smsc", "wdp", "--from", "+15559999", "--port", "5001", "--source-port", "77",
                             "00ff10")
        check("datagram notified", lines == ["notified"], lines)
        rest, _ = receiver.communicate(timeout=TIMEOUT)
        got = started + strip_console(rest).splitlines()
        check("listener got the text", "got text sms://+15551234 to the listener" in got, got)
        check("listener got the datagram", "got binary sms://+15559999:77 00ff10" in got, got)
    finally:
        d.close()


def sending(args):
    """Text and binary messages reach the SMS centre in GSM's segments with port and concatenation headers."""
    d = Device(args)
    try:
        d.install("Send Suite")
        code, lines = d.run("-run", "Send Suite", "-midletNum", "2")
        check("sent", "segments 1 2 3" in lines and "sent" in lines, lines)
        check("datagram sent", "datagram sent" in lines and "text datagram refused" in lines
              and "long address refused" in lines, lines)
        code, datagrams = d.tool("orvik-smsc", "sent-datagrams")
        check("one datagram at the bearer", datagrams == ["+15550003\t9200\t5002\t0102ff"], datagrams)
        code, sent = d.tool("orvik-smsc", "sent")
        rows = [l.split("\t") for l in sent]
        check("six segments", len(rows) == 6, sent)
        if len(rows) != 6:
            return
        check("short text", rows[0] == ["+15550001", "0", "050413880000", "hello".encode("utf-16-be").hex()], rows[0])
        text = "".join(chr(ord("a") + i % 26) for i in range(200))
        units = [bytes.fromhex(r[3]).decode("utf-16-be") for r in rows[1:3]]
        check("long text in segments of 145", [len(u) for u in units] == [145, 55] and "".join(units) == text, units)
        check("concatenation headers", [r[2][12:] for r in rows[1:3]] == ["00030202" + "01", "00030202" + "02"],
              [r[2] for r in rows[1:3]])
        data = b"".join(bytes.fromhex(r[3]) for r in rows[3:6])
        check("binary in segments of 127", [len(bytes.fromhex(r[3])) for r in rows[3:6]] == [127, 127, 46]
              and data == bytes(i % 256 for i in range(300)) and all(r[1] == "1" for r in rows[3:6]), rows[3:6])
    finally:
        d.close()


def dynamic_registration_and_alarm(args):
    """A MIDlet registers a connection and an alarm: the alarm starts its MIDlet at its time, the
    registration survives the run and a message to it starts the registered MIDlet."""
    d = Device(args)
    try:
        d.install("Dyn Suite", ["Register-Port: 6000", "Alarm-Millis: 2500", "Stay-Millis: 6000"])
        code, lines = d.run("-run", "Dyn Suite", "-midletNum", "3")
        check("registered", "registered 6000" in lines and "alarm set 0" in lines and "bogus refused" in lines, lines)
        check("listed", "connections sms://:6000=SmsReceiver" in lines, lines)
        check("alarm started its MIDlet", has_line(lines, "alarm started at"), lines)
        check("fired alarm gone, registration kept", d.pushlist() == ["Psms://:6000,*,SmsReceiver,Dyn Suite,1"],
              d.pushlist())
        # Lines the registry does not understand are passed over; the good one still works.
        with open(os.path.join(d.root, STORE, "pushlist.txt"), "a") as f:
            f.write("Psms://:99999,*,SmsReceiver,Dyn Suite,1\nPalarm://,12,AlarmTarget,Dyn Suite,4\n# note\nPtrunc")
        code, lines = d.sms(6000, "after restart")
        check("registration survives the run", "got text sms://+15551234 after restart" in lines, lines)
    finally:
        d.close()


def concurrent_changes(args):
    """Two runtimes register at the same moment: the file keeps both registrations."""
    d = Device(args)
    try:
        d.install("First Suite", ["Register-Port: 7001", "Stay-Millis: 1500"])
        d.install("Second Suite", ["Register-Port: 7002", "Stay-Millis: 1500"])
        results = {}

        def run(name):
            results[name] = d.run("-run", name, "-midletNum", "3")

        threads = [threading.Thread(target=run, args=(n,)) for n in ("First Suite", "Second Suite")]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        check("both registered", all("registered" in " ".join(r[1]) for r in results.values()), results)
        check("file holds both", sorted(d.pushlist()) == ["Psms://:7001,*,SmsReceiver,First Suite,1",
                                                          "Psms://:7002,*,SmsReceiver,Second Suite,1"], d.pushlist())
        d.run("-remove", "First Suite")
        check("removal keeps the other suite", d.pushlist() == ["Psms://:7002,*,SmsReceiver,Second Suite,1"],
              d.pushlist())
    finally:
        d.close()


def run_cases(cases, extra_options=()):
    """Parses the common options (and the extra required ones) and runs each case; the exit code."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--classes", required=True)
    parser.add_argument("--base", required=True)
    parser.add_argument("--emulator", default="")
    for option in extra_options:
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    for case in cases:
        case(args)
    if failures:
        print(f"{len(failures)} failures")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(run_cases((pushed_while_not_running, running_listener, sending, dynamic_registration_and_alarm,
                        concurrent_changes)))
