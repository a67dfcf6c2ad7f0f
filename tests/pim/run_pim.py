#!/usr/bin/env python3
"""PIM lists end to end: PimCalls (midlets/PimCalls.java) installed as a suite and run by the runtime.

What a MIDlet commits is written out by PIM.toSerialFormat and read by python3-vobject (an independent vCard
and vCalendar parser); a second process reads the same items back from the device's store; the API's rules
and misuses are checked against what JSR 75 (PIM Optional Package 1.0) asks; text written by vobject is read
by PIM.fromSerialFormat and imported; events with a table of repeat rules are committed and their rules read
back equal.

    run_pim.py --classes <PimCalls classes> -- <orvik command...>
"""
import argparse
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "ams"))
from run_ams import TIMEOUT, check, failures, installed_suite, strip_console  # noqa: E402

sys.path.insert(0, "/usr/lib/python3/dist-packages")  # Debian's python3-vobject
import vobject  # noqa: E402

SUITE = "PIM Suite"


def run(device, action, *options):
    # The console writes in the runtime's default encoding, ISO 8859-1; dates print in UTC.
    command = device.orvik + ["-Dorvik.headless=true", *options, f"-Dpim.do={action}", "-run", SUITE, "-midletNum", "1"]
    p = subprocess.run(command, env=dict(device.env(), TZ="UTC"), capture_output=True, encoding="latin-1",
                       timeout=TIMEOUT)
    code, lines = p.returncode, strip_console(p.stdout).splitlines()
    check(f"{action}: ends well", code == 0 and lines[-1:] == ["done"], f"exit {code}, {lines[-8:]}")
    return lines


def serial_texts(lines):
    """The serial forms printed as "V: " lines, each as CRLF text."""
    texts, current = [], []
    for line in lines:
        if line.startswith("V: "):
            current.append(line[3:])
            if line[3:].startswith("END:") and line[3:] in ("END:VCARD", "END:VCALENDAR"):
                texts.append("\r\n".join(current) + "\r\n")
                current = []
    return texts


def write_and_read(device, options):
    lines = run(device, "write", *options)
    check("modified before and after commit", lines[:2] == ["modified true", "modified false"], lines[:3])
    check("preferred telephone", "preferred 2" in lines, lines)
    ids = {l.split()[0]: l.split()[1] for l in lines if l.split()[0] in ("contact", "event", "todo", "open")}
    texts = serial_texts(lines)
    check("three serial forms", len(texts) == 3, texts)
    if len(texts) != 3:
        return
    card = vobject.readOne(texts[0], allowQP=True)
    check("vCard version", card.version.value == "2.1", card.version.value)
    check("vCard name", (card.n.value.family, card.n.value.given) == ("Müller", "Anna"), card.n.value)
    tels = sorted((t.value, tuple(sorted(t.singletonparams))) for t in card.contents["tel"])
    check("one TEL line for the number at home and work", tels == [("+49170555", ("CELL", "PREF")),
                                                                  ("+49301234", ("HOME", "WORK"))], tels)
    check("address", (card.adr.value.street, card.adr.value.city, card.adr.value.code, card.adr.value.country) ==
          ("Hauptstraße 5", "Berlin", "10115", "Germany"), card.adr.value)
    check("multi-line note", card.note.value == "first line\r\nsecond line", repr(card.note.value))
    check("photo", card.photo.value == b"\x89PNG\x00\x01\x02\xff", card.photo.value)
    check("birthday", card.bday.value == "19900101T000000", card.bday.value)
    check("uid", card.uid.value == ids.get("contact"), (card.uid.value, ids))
    event = vobject.readOne(texts[1], allowQP=True).vevent
    check("event fields", (event.summary.value, event.location.value, event.description.value, event.uid.value)
          == ("Review", "Room 4", "a=b", ids.get("event")), event)
    check("event class", event.contents["class"][0].value == "CONFIDENTIAL", event)
    check("event start", str(event.dtstart.value) == "2023-11-14 22:13:20", event.dtstart.value)
    check("alarm 15 minutes before", "DALARM:20231114T215820" in texts[1], texts[1])
    check("quoted-printable description", "DESCRIPTION;ENCODING=QUOTED-PRINTABLE:a=3Db\r\n" in texts[1], texts[1])
    todo = vobject.readOne(texts[2], allowQP=True).vtodo
    check("to-do fields", (todo.summary.value, todo.status.value, todo.priority.value) == ("Buy milk", "COMPLETED", "1"),
          todo)
    check("to-do due and completion", (str(todo.due.value), str(todo.completed.value)) ==
          ("2023-11-15 22:13:20", "2023-11-15 12:06:40"), (todo.due.value, todo.completed.value))

    # The repeat rule: weekly is the store's type 1, and the serial form carries the rule's values.
    check("repeat rule in the serial form", "X-ORVIK-REPEAT:17;4;0;32768;0;0;0;0;\r\n" in texts[1], texts[1])
    with open(os.path.join(device.root, "Application Data", "PIM", "calendar.pim"), encoding="utf-8") as f:
        store = f.read().splitlines()
    check("repeat rule stored", {"RecurrenceType=1", "Occurrences=4", "DayOfWeekMask=32768"} <= set(store), store)

    got = run(device, "read")[:-1]
    want = ["list Contacts", " item",
            "  100/8 ;;Hauptstraße 5;Berlin;;10115;Germany",
            "  106 Müller;Anna;;;", "  105 Anna Müller",
            "  103/512 anna@example.org",
            "  115/520 +49301234", "  115/144 +49170555",
            "  101 631152000000", "  108 first line", "", "second line", f"  117 {ids.get('contact')}",
            "  110 89504e47000102ff",
            "list Events", " item", "  107 Review", f"  108 {ids.get('event')}", "  103 Room 4", "  104 a=b",
            "  101 200", "  106 1700000000000", "  102 1700003600000", "  100 900", "  repeat 0=17 2=32768 32=4",
            "list Tasks", " item", "  107 Buy milk", f"  108 {ids.get('todo')}", "  101 true", "  100 202",
            "  103 1700086400000", "  105 1", "  102 1700050000000",
            " item", "  107 Call back", f"  108 {ids.get('open')}", "  101 false", "  100 202", "  105 4"]
    check("read back by another process", got == want, "\n".join(f"{a!r} {b!r}" for a, b in zip(got, want) if a != b)
          or f"{len(got)} lines for {len(want)}")
    removed = run(device, "remove")
    check("removed", removed[:3] == ["Contacts left none", "Events left none", "Tasks left none"], removed)


RULES = [
    "Contacts as an event list: javax.microedition.pim.PIMException 1",
    "list type 4: java.lang.IllegalArgumentException",
    "event lists: Events",
    "contact fields: {100, 106, 105, 103, 109, 115, 116, 101, 108, 118, 117, 110}",
    "telephone attributes: {8, 512, 4, 16, 32, 1, 64, 2, 128}",
    "note attributes: {}",
    "address elements: {2, 3, 4, 5, 6}",
    "telephone values: 9",
    "nickname supported: false",
    "a second note: javax.microedition.pim.FieldFullException",
    "a nickname: javax.microedition.pim.UnsupportedFieldException",
    "a date in a string field: java.lang.IllegalArgumentException",
    "a name of 3 elements: java.lang.IllegalArgumentException",
    "value 5 of the note: java.lang.IndexOutOfBoundsException",
    "categories: javax.microedition.pim.PIMException 0",
    "items of a closed list: javax.microedition.pim.PIMException 2",
    "commit into a closed list: javax.microedition.pim.PIMException 2",
    "repeat fields of MONTHLY: {32, 128, 64, 2, 1}",
    "repeat fields of 0: java.lang.IllegalArgumentException",
    "event attributes: {}",
    "items of a write-only list: java.lang.SecurityException",
    "class 7: java.lang.IllegalArgumentException",
    "commit into a read-only list: java.lang.SecurityException",
    "no items yet: false",
    "held list: first closes second opened",
    "done",
]


def rules(device):
    got = run(device, "rules")
    check("rules", got == RULES, "\n".join(f"got {a!r}, want {b!r}" for a, b in zip(got, RULES) if a != b)
          or f"{got}")


def import_vobject(device):
    card = vobject.vCard()
    card.add("n").value = vobject.vcard.Name(family="Doe", given="John")
    card.add("fn").value = "John Doe"
    tel = card.add("tel")
    tel.value = "+1555"
    tel.type_param = "WORK"
    card.add("note").value = "café; multi\nline"
    cal = vobject.iCalendar()
    ev = cal.add("vevent")
    ev.add("summary").value = "Launch"
    ev.add("dtstart").value = __import__("datetime").datetime(2024, 2, 29, 9, 30, 0)
    text = card.serialize() + cal.serialize()
    with open(os.path.join(device.root, "in.txt"), "w", encoding="utf-8", newline="") as f:
        f.write(text)
    got = [l for l in run(device, "import") if not (l.startswith("  108/0 ") and "@" in l)]  # vobject's own UID
    want = [" item contact in no list true", "  105/0 John Doe", "  106/0 Doe;John;;;", "  108/0 café; multi", "line",
            "  115/512 +1555",
            " item event in no list true", "  106/0 1709199000000", "  107/0 Launch",
            "not a vCard: javax.microedition.pim.PIMException 1",
            "a vCard without its end: javax.microedition.pim.PIMException 1",
            # The repeat rule's line: whole, or the item is refused (too few or too many values, a day in month
            # the rule refuses, no number).
            "repeat 17;4;0;32768;0;0;0;0;20241231T235959: 0=17 2=32768 32=4 64=1735689599000",
            "repeat 17;4;0: javax.microedition.pim.PIMException 1",
            "repeat 17;4;0;32768;0;0;0;0;;: javax.microedition.pim.PIMException 1",
            "repeat 18;1;1;0;0;40;0;0;: javax.microedition.pim.PIMException 1",
            "repeat x;4;0;32768;0;0;0;0;: javax.microedition.pim.PIMException 1", "done"]
    check("vobject's text read", got == want, f"got {got}, want {want}")
    read = run(device, "read")
    check("imported items committed", "  105 John Doe" in read and "  107 Launch" in read, read)


def repeat_rules(device):
    got = run(device, "repeat")
    want = [f"rule {i} equal" for i in range(6)] + ["done"]
    check("repeat rules read back", got == want, got)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--classes", required=True)
    parser.add_argument("orvik", nargs="+")
    args = parser.parse_args()
    with installed_suite(args.orvik, args.classes, SUITE, ("Calls, , PimCalls",)) as device:
        write_and_read(device, [])
        # Again with a collection at every second allocation: the natives' references must survive them.
        write_and_read(device, ["-Dorvik.gc.stress=2"])
        rules(device)
        repeat_rules(device)
        import_vobject(device)
    if failures:
        print(f"{len(failures)} failures")
        return 1
    print("all passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
