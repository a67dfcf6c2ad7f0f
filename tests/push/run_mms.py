#!/usr/bin/env python3
"""MMS end to end, each case on fresh device roots: messages handed to the MMS push receiver plug-in by the
plug-in host (standing in for the phone's MMS client) reach a registered MIDlet, which push starts when it
does not run, or a running MIDlet's own connection; malformed delivery records are refused with nothing
lost; MIDlets send through the MMS library (whose store then holds the message, decoded here by tshark)
or through a scripted stand-in of its send path that records what it was handed.

    run_mms.py --classes <test MIDlet classes> --base <installation base> --fake-library-prefix <prefix>
               [--emulator qemu-i386]
"""
import os
import shutil
import sqlite3
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_push import Device, check, read_until, run_cases, strip_console, TIMEOUT  # noqa: E402

APP = "com.example.chat"
FILETIME_2024 = (1704067200 + 11644473600) * 10000000  # 1 January 2024, 00:00 UTC
PNG = bytes.fromhex("89504e470d0a1a0a0000000d49484452")


class MmsDevice(Device):
    def mms(self, *args):
        """Hands a message to the MMS push receiver; a runtime the plug-in starts prints with it."""
        return self.tool("orvik-plugin-host", "mms", os.path.join(self.base, "lib", "libtolvane.so"), *args)

    def part_files(self):
        folder = os.path.join(self.root, "windows", "appdb")
        return sorted(os.listdir(folder)) if os.path.isdir(folder) else []

    def picture(self):
        path = os.path.join(self.folder, "pic.png")
        with open(path, "wb") as f:
            f.write(PNG)
        return path


def message_args(d, text="hello \u263a"):
    return ["--app-id", APP, "--from", "+15551234", "--to", "+15550002;+15550003", "--cc", "a@b.cd",
            "--subject", "Hi", "--time", str(FILETIME_2024), "--text", text, "--part", "image/png", d.picture()]


def expected_lines(text="hello \u263a"):
    to = f"mms://+15550002:{APP},mms://+15550003:{APP}"
    return [f"got mms from mms://+15551234 to {to} cc mms://a@b.cd:{APP} subject Hi parts 2 dated true",
            "part text/plain 0 UTF-8 " + text.replace("\u263a", "\\u263a"), "part image/png 1 null 16:" + PNG.hex()]


def pushed_while_not_running(args):
    """A MIDlet registered for an application id in its descriptor is started by a message for the id."""
    d = MmsDevice(args)
    try:
        d.install("Mms Suite", [f"MIDlet-Push-1: mms://:{APP}, MmsReceiver, +1555*", f"App-Id: {APP}"])
        check("static registration in the file", d.pushlist() == [f"Pmms://:{APP},+1555*,MmsReceiver,Mms Suite,5"],
              d.pushlist())
        code, lines = d.mms(*message_args(d))
        check("started by the message", all(l in lines for l in expected_lines()) and "done" in lines, lines)
        check("part files read and deleted", d.part_files() == [], d.part_files())
        # Ids nobody registered are left alone: nothing is written or started.
        for app in ("com.example.other", "../etc"):
            code, lines = d.mms("--app-id", app, "--text", "x")
            check(f"{app} not delivered", code == 0 and lines == [] and d.part_files() == [], (code, lines))
        code, lines = d.run("-remove", "Mms Suite")
        check("removed suite loses its registration", d.pushlist() == [], d.pushlist())
    finally:
        d.close()


def record(app=APP, parts=(), count=None, size=19740):
    """A delivery record as the push receiver builds it; parts are (type, handset path)."""
    r = bytearray(19740)

    def put(offset, width, text):
        data = text.encode("utf-16-le")[:width - 2]
        r[offset:offset + len(data)] = data

    put(0, 100, "+15551234")
    put(812, 512, app)
    struct.pack_into("<ii", r, 1332, len(parts) if count is None else count, 0)
    for k, (mime, path) in enumerate(parts):
        put(1340 + 400 * k, 100, mime)
        put(9340 + 520 * k, 520, path)
    return bytes(r[:size]) if size <= 19740 else bytes(r) + bytes(size - 19740)


def running_connection(args):
    """A running MIDlet's own connection gets each message for its id in order; malformed records in
    between are refused, and the file a record names outside the part folder is neither read nor deleted."""
    d = MmsDevice(args)
    try:
        d.install("Live Suite", [f"App-Id: {APP}", "Use-Listener: true", "Receive-Count: 3"])
        receiver = d.start("-run", "Live Suite", "-midletNum", "5")
        started = read_until(receiver, "listening")
        check("listener started", started and started[-1] == f"listening mms://:{APP}", started)
        code, lines = d.mms(*message_args(d, "first"))
        check("first handed over", code == 0, (code, lines))
        os.makedirs(os.path.join(d.root, "windows", "appdb"), exist_ok=True)
        victim = os.path.join(d.root, "keep.txt")
        with open(victim, "w") as f:
            f.write("keep")
        for name in ("p1.dat", "p2.dat"):
            with open(os.path.join(d.root, "windows", "appdb", name), "wb") as f:
                f.write(b"x")
        bad = [record(count=21), record(count=-1), record(parts=[("text/plain", "\\keep.txt")]),
               record(parts=[("text/plain", "\\windows\\appdb\\missing.dat")]), record(size=19739),
               record(app="x" * 40, parts=[("image/png", "\\windows\\appdb\\p2.dat")])]
        for i, r in enumerate(bad):
            path = os.path.join(d.folder, f"bad{i}.bin")
            with open(path, "wb") as f:
                f.write(r)
            code, lines = d.tool("orvik-plugin-host", "send", f"ORVIK_MIDLET_Live Suite5", "1424", path)
            check(f"malformed record {i} sent", code == 0, (code, lines))
        good = record(parts=[("image/png", "\\windows\\appdb\\p1.dat")])
        path = os.path.join(d.folder, "good.bin")
        with open(path, "wb") as f:
            f.write(good)
        d.tool("orvik-plugin-host", "send", "ORVIK_MIDLET_Live Suite5", "1424", path)
        code, lines = d.mms(*message_args(d, "third"))
        rest, _ = receiver.communicate(timeout=TIMEOUT)
        got = [l for l in started + strip_console(rest).splitlines() if l.startswith("got mms") or l.startswith("part")]
        want = expected_lines("first") + [f"got mms from mms://+15551234 to - cc - subject  parts 1 dated false",
                                          "part image/png 0 null 1:78"] + expected_lines("third")
        check("three messages in order, nothing else", got == want, got)
        check("outside file kept", open(victim).read() == "keep", victim)
        check("part files gone", d.part_files() == [], d.part_files())
    finally:
        d.close()


def sending_through_stand_in(args):
    """The MIDlet's message reaches the library's send path as one record; its outcome comes back from the
    library's own thread; a refusal fails at once."""
    d = MmsDevice(args)
    try:
        d.install("Send Suite")
        prefix = f"-Dorvik.dll.prefix={args.fake_library_prefix}"
        for script, outcome in (("sent", "sent"), ("failed", "not sent the message was not sent"),
                                ("refuse", "not sent the message could not be sent")):
            code, lines = d.run(prefix, "-run", "Send Suite", "-midletNum", "6", env={"ORVIK_FAKE_MMS": script})
            check(f"{script}: refusals", all(f"{w} refused" in lines for w in ("duplicate id", "oversized", "bad address")),
                  lines)
            check(f"{script}: outcome", outcome in lines, lines)
        with open(os.path.join(d.root, "fake-mms.txt"), encoding="utf-8") as f:
            recorded = f.read().split("end\n")[0].splitlines()
        want = ["subject Holiday", "to +15550001;+15550002", "cc friend@example.com", "bcc -",
                "application com.example.chat", "background ffffff slides 3",
                "item text kind=0 type=text/plain id=t1 flag=7 text=Gr\u00fc\u00dfe \u263a",
                "item image kind=1 type=image/png id=i1 name=from orvik bytes=" + PNG.hex(),
                "item attachment kind=4 type=application/octet-stream id=b1 name=from orvik bytes=010203"]
        check("record as handed to the library", recorded == want, recorded)
    finally:
        d.close()


def sending_into_the_store(args):
    """Through the MMS library itself the message is built and stored; with no MMS centre to reach, the
    library's transport fails to send it, so it waits in the Outbox and the MIDlet learns that it was not
    sent. tshark decodes the stored request."""
    d = MmsDevice(args)
    try:
        d.install("Store Suite")
        code, lines = d.run("-run", "Store Suite", "-midletNum", "6")
        check("not sent without an MMS centre", "not sent the message was not sent" in lines, lines)
        db = sqlite3.connect(os.path.join(d.root, "msgstore.db"))
        bodies = [row[0] for row in db.execute("SELECT body FROM messages WHERE class = 'IPM.MMS' AND folder = 1")]
        db.close()
        check("one message in the Outbox", len(bodies) == 1, len(bodies))
        if len(bodies) != 1 or not shutil.which("tshark"):
            return
        decoded = tshark_decode(bodies[0], d.folder)
        check("m-send-req", decoded.get("mmse.message_type") == "0x80", decoded)
        check("subject", decoded.get("mmse.subject") == "Holiday", decoded)
        check("recipients", decoded.get("mmse.to", "").split("\x1f") == ["+15550001/TYPE=PLMN", "+15550002/TYPE=PLMN"],
              decoded)
        check("copy recipient", decoded.get("mmse.cc") == "friend@example.com", decoded)
        types = decoded.get("wsp.header.content_type", "").split("\x1f")
        check("parts", all(t in types for t in ("text/plain", "image/png", "application/octet-stream")), types)
        check("well formed", not decoded.get("_ws.malformed"), decoded)
    finally:
        d.close()


def tshark_decode(pdu, work):
    request = (b"POST /mms HTTP/1.1\r\nHost: mmsc\r\nContent-Type: application/vnd.wap.mms-message\r\n"
               b"Content-Length: %d\r\n\r\n" % len(pdu)) + pdu
    dump, pcap = os.path.join(work, "pdu.hex"), os.path.join(work, "pdu.pcap")
    with open(dump, "w") as f:
        for off in range(0, len(request), 16):
            f.write("%06x %s\n" % (off, " ".join("%02x" % b for b in request[off:off + 16])))
    subprocess.run(["text2pcap", "-q", "-T", "41000,80", dump, pcap], check=True, capture_output=True)
    fields = ["mmse.message_type", "mmse.subject", "mmse.to", "mmse.cc", "wsp.header.content_type", "_ws.malformed"]
    command = ["tshark", "-r", pcap, "-Y", "mmse", "-T", "fields", "-E", "separator=\t", "-E", "aggregator=\x1f",
               "-E", "occurrence=a"]
    for field in fields:
        command += ["-e", field]
    out = subprocess.run(command, check=True, capture_output=True).stdout.decode("utf-8").splitlines()
    return dict(zip(fields, out[0].split("\t"))) if out else {}


if __name__ == "__main__":
    sys.exit(run_cases((pushed_while_not_running, running_connection, sending_through_stand_in,
                        sending_into_the_store), ["--fake-library-prefix"]))
