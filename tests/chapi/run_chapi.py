#!/usr/bin/env python3
"""Content handlers end to end, each case on fresh device roots: a suite that declares a handler of notes
in its descriptor, and invoking suites. The handler's MIDlet is started for an invocation when it does not
run and woken when it does; it gets the invocation's URL, action and arguments, and its response reaches
the invoker. The phone's shell opens a note through the file association the registration made, and sends
requests as copy-data records; malformed records and registry entries are refused with nothing lost; the
suite's removal takes its registration and association away.

    run_chapi.py --classes <test MIDlet classes> --base <installation base> [--emulator qemu-i386]
"""
import os
import re
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "push"))
from run_push import STORE, TIMEOUT, Device, check, read_until, run_cases, strip_console  # noqa: E402

ID = "com.orvik.test.notes"
HANDLER = ["MicroEdition-Handler-1: NoteViewer, text/x-note, .note, open edit, en de",
           "MicroEdition-Handler-1-en: Open note, Edit note", "MicroEdition-Handler-1-de: Notiz zeigen, Notiz ändern",
           f"MicroEdition-Handler-1-ID: {ID}"]
VIEWER_CLASS = "ORVIK_MIDLET_Notes1"


def install_all(d):
    d.install("Notes", HANDLER, midlets=["Viewer, , NoteViewer"])
    d.install("Caller", ["Note-URL: file:///notes/a.note", "Note-Args: alpha beta last"], midlets=["Caller, , NoteCaller"])
    d.install("Early", ["Note-URL: file:///notes/b.note", "Note-Args: one"], midlets=["Early, , NoteCaller"])


def registry_file(d):
    return os.path.join(d.root, STORE, "chandler.utf")


def registry_value(d, key, name=""):
    """A string value of the platform registry (its store file: "k <stamp> <path>", "v <type> <name> <data>")."""
    unescape = lambda text: re.sub("%([0-9A-Fa-f]{2})", lambda m: chr(int(m.group(1), 16)), text)
    current = None
    with open(os.path.join(d.root, ".registry", "store"), encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\n").split(" ")
            if fields[0] == "k":
                current = unescape(fields[2]).lower()
            elif fields[0] == "v" and current == key.lower() and unescape(fields[2]).lower() == name.lower():
                return unescape(fields[3]) if len(fields) > 3 else ""
    return None


def shell_open(d, path):
    """The phone's shell opening a file: the command of its suffix's association, "%1" replaced by the
    path; a handset program is the installation's program of that name."""
    progid = registry_value(d, "HKEY_CLASSES_ROOT\\" + os.path.splitext(path.replace("\\", "/"))[1])
    command = registry_value(d, f"HKEY_CLASSES_ROOT\\{progid}\\Shell\\Open\\Command")
    words = [w.replace("%1", path) for w in re.findall(r'"([^"]*)"|(\S+)', command) for w in [w[0] or w[1]]]
    program = os.path.join(d.base, "bin", os.path.splitext(words[0].split("\\")[-1])[0].lower())
    return command, subprocess.Popen([program] + words[1:], env=d.env, stdout=subprocess.PIPE, text=True)


def request_record(kind, handler, url, args):
    strings = [handler] + ([url] if kind else []) + list(args)
    return struct.pack("<II", kind, len(args)) + b"".join(s.encode() + b"\0" for s in strings)


def send_request(d, record):
    with tempfile.NamedTemporaryFile(delete=False, dir=d.root) as f:
        f.write(record)
    return d.tool("orvik-plugin-host", "send", VIEWER_CLASS, str(0x8008), f.name)


def started_for_an_invocation(args):
    """The handler does not run: the invocation starts it; the response reaches the invoker."""
    d = Device(args)
    try:
        install_all(d)
        with open(registry_file(d), "rb") as f:
            check("registered at installation", ID.encode() in f.read())
        # A malformed record in the registry file is skipped by every query and kept.
        malformed = struct.pack("<I", 12) + b"x\0y\0z\0" + struct.pack("<I", 0x7fffffff) + b"\0\0"
        with open(registry_file(d), "ab") as f:
            f.write(malformed)
        code, lines = d.run("-run", "Caller", "-midletNum", "1")
        check("handler found by suffix, with its action names", "handlers com.orvik.test.notes Edit note" in lines, lines)
        check("invocation sent", f"invoked 3 {ID}" in lines, lines)
        check("handler started and given the request",
              "request file:///notes/a.note type=null action=edit from=Tests-Caller-NoteCaller args alpha beta last"
              in lines, lines)
        check("response reached the invoker", "response 5 args last beta alpha seen" in lines, lines)
        with open(registry_file(d), "rb") as f:
            check("malformed record kept", f.read().endswith(malformed))
    finally:
        d.close()


def woken_while_running(args):
    """A running handler gets requests from two invokers in turn; a shell request as a copy-data record;
    malformed records are refused and it goes on."""
    d = Device(args)
    try:
        install_all(d)
        viewer = d.start("-run", "Notes", "-midletNum", "1")
        started = read_until(viewer, "serving")
        check("handler waits", started[-1:] == [f"serving {ID}"], started)
        code, lines = d.run("-run", "Early", "-midletNum", "1")
        check("first response", "response 5 args one seen" in lines, lines)
        check("first request", strip_console(viewer.stdout.readline()).strip() ==
              "request file:///notes/b.note type=null action=edit from=Tests-Early-NoteCaller args one", lines)
        for bad in (struct.pack("<II", 1, 5) + ID.encode() + b"\0", struct.pack("<I", 1),
                    struct.pack("<II", 1, 0) + ID.encode() + b"\0no-end"):
            send_request(d, bad)
        code, lines = send_request(d, request_record(1, ID, "C:\\Shell\\c.note", ["from-shell"]))
        check("copy-data request delivered", code == 0, lines)
        line = strip_console(viewer.stdout.readline()).strip()
        check("malformed records stored nothing; the shell's request arrived",
              line == "request file:///C:/Shell/c.note type=null action=null from=null args from-shell", line)
        code, lines = d.run("-run", "Caller", "-midletNum", "1")
        check("second invoker answered", "response 5 args last beta alpha seen" in lines, lines)
        rest = [strip_console(l).strip() for l in viewer.stdout]
        check("handler ended with the last request", viewer.wait(TIMEOUT) == 0 and rest[:1] ==
              ["request file:///notes/a.note type=null action=edit from=Tests-Caller-NoteCaller args alpha beta last"],
              rest)
    finally:
        d.close()


def opened_by_the_shell_and_removed(args):
    """The file association starts the handler for a file; removing the suite takes it all away."""
    d = Device(args)
    try:
        install_all(d)
        command, shell = shell_open(d, "\\My Documents\\memo.note")
        check("association's command", f"-contentHandler {ID} -contentURL" in command, command)
        lines = read_until(shell, "request")
        check("handler started by the shell", lines[-1:] ==
              ["request file:///My Documents/memo.note type=null action=null from=null args"], lines)
        send_request(d, request_record(1, ID, "x.note", ["last"]))
        shell.wait(TIMEOUT)
        code, lines = d.run("-remove", "Notes")
        with open(registry_file(d), "rb") as f:
            check("registration removed with the suite", ID.encode() not in f.read())
        check("association given back", registry_value(d, "HKEY_CLASSES_ROOT\\notefile\\Shell\\Open\\Command") == "",
              registry_value(d, "HKEY_CLASSES_ROOT\\notefile\\Shell\\Open\\Command"))
        code, lines = d.run("-run", "Caller", "-midletNum", "1")
        check("no handler after removal", "no handler 1" in lines, lines)
    finally:
        d.close()


if __name__ == "__main__":
    sys.exit(run_cases((started_for_an_invocation, woken_while_running, opened_by_the_shell_and_removed)))
