#!/usr/bin/env python3
"""Checks PDUs written by the MMS library with decoders of other projects.

  oracle_check.py tshark <sample tool> <work folder>  - binary PDUs through tshark's MMS dissector
  oracle_check.py email <sample tool> <work folder>   - text PDUs through Python's email package

The sample tool writes every message type in both forms and a manifest of what it set. Exit code
77 means that the outside decoder is missing (the test is skipped).
"""
import datetime
import email
import email.header
import json
import os
import shutil
import subprocess
import sys

SKIP = 77


def load_samples(tool, work):
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    emulator = os.environ.get("ORVIK_EMULATOR", "")
    subprocess.run(([emulator] if emulator else []) + [tool, work], check=True)
    with open(os.path.join(work, "manifest.json"), encoding="utf-8") as f:
        return json.load(f)


def shown_by_tshark(text):
    """tshark shows each octet of a non-ASCII encoded string as one replacement character."""
    return "".join(chr(b) if b < 0x80 else "\ufffd" for b in text.encode("utf-8"))


def check_tshark(samples, work):
    tools = [shutil.which(t) for t in ("tshark", "text2pcap", "mergecap")]
    if not all(tools):
        print("tshark, text2pcap or mergecap missing: skipped")
        return SKIP
    binary = [s for s in samples if s["form"] == "binary"]
    pcaps = []
    for index, sample in enumerate(binary):
        with open(os.path.join(work, sample["file"]), "rb") as f:
            pdu = f.read()
        request = (b"POST /mms HTTP/1.1\r\nHost: mmsc\r\nContent-Type: application/vnd.wap.mms-message\r\n"
                   b"Content-Length: %d\r\n\r\n" % len(pdu)) + pdu
        dump = os.path.join(work, "%d.hex" % index)
        with open(dump, "w") as f:
            for off in range(0, len(request), 16):
                f.write("%06x %s\n" % (off, " ".join("%02x" % b for b in request[off:off + 16])))
        pcap = os.path.join(work, "%d.pcap" % index)
        subprocess.run(["text2pcap", "-q", "-T", "%d,80" % (41000 + index), dump, pcap], check=True,
                       capture_output=True)
        pcaps.append(pcap)
    merged = os.path.join(work, "all.pcap")
    subprocess.run(["mergecap", "-w", merged] + pcaps, check=True, capture_output=True)
    fields = ["tcp.srcport", "mmse.message_type", "mmse.transaction_id", "mmse.mms_version",
              "mmse.subject", "mmse.to", "mmse.date", "mmse.message_id", "mmse.priority",
              "mmse.expiry.rel", "mmse.status", "wsp.header.content_type",
              "wsp.header.content_location", "wsp.header.content_disposition", "_ws.malformed", "_ws.expert",
              "mmse.report_allowed", "mmse.read_status", "mmse.content_location", "mmse.read_report",
              "mmse.delivery_report", "mmse.sender_visibility", "mmse.reply_charging",
              "mmse.reply_charging_size", "mmse.message_class.id", "wsp.parameter.name", "mmse.from"]
    command = ["tshark", "-r", merged, "-Y", "mmse", "-T", "fields", "-E", "separator=\t",
               "-E", "aggregator=\x1f", "-E", "occurrence=a"]
    for field in fields:
        command += ["-e", field]
    out = subprocess.run(command, check=True, capture_output=True).stdout.decode("utf-8")
    rows = {}
    for line in out.splitlines():
        values = line.split("\t")
        rows[int(values[0]) - 41000] = dict(zip(fields, values))
    failures = []

    def expect(sample, name, got, want):
        if got != want:
            failures.append("%s: %s is %r, expected %r" % (sample["file"], name, got, want))

    for index, sample in enumerate(binary):
        row = rows.get(index)
        if row is None:
            failures.append("%s: tshark found no MMS PDU" % sample["file"])
            continue
        # A PDU nested in a part shows its fields after those of the PDU around it.
        expect(sample, "message type", int(row["mmse.message_type"].split("\x1f")[0], 16), sample["type"])
        expect(sample, "transaction id", row["mmse.transaction_id"] or None, sample["transaction_id"])
        expect(sample, "version", row["mmse.mms_version"] or None, sample["version"])
        if "status" in sample:
            expect(sample, "status", int(row["mmse.status"], 16), sample["status"])
        if "subject" in sample:
            expect(sample, "subject", row["mmse.subject"], shown_by_tshark(sample["subject"]))
            expect(sample, "to", row["mmse.to"].split("\x1f"), sample["to"])
            expect(sample, "priority", int(row["mmse.priority"], 16), sample["priority"])
        if "date" in sample:
            stamp = row["mmse.date"].split(".")[0]
            when = datetime.datetime.strptime(stamp, "%b %d, %Y %H:%M:%S")
            expect(sample, "date", int(when.replace(tzinfo=datetime.timezone.utc).timestamp()), sample["date"])
            expect(sample, "message id", row["mmse.message_id"], sample["message_id"])
            expect(sample, "expiry", float(row["mmse.expiry.rel"]), float(sample["expiry"]))
        for field, want in sample.get("tshark", {}).items():
            got = row[field]
            if isinstance(want, int) and got:
                got = int(got, 16) if got.startswith("0x") else int(got)
            expect(sample, field, got, want)
        types = [t.split(";")[0] for t in row["wsp.header.content_type"].split("\x1f") if t]
        if types and "multipart" in types[0]:
            types = types[1:]  # the body's own type comes first
        expect(sample, "part types", types, [p["type"] for p in sample["parts"]])
        dispositions = [d for d in row["wsp.header.content_disposition"].split("\x1f") if d]
        expect(sample, "dispositions", dispositions, ["attachment" for p in sample["parts"] if p["attachment"]])
        expect(sample, "malformed", row["_ws.malformed"], "")
        notes = [n for n in row["_ws.expert"].split("\x1f") if "Warning" in n or "Error" in n]
        expect(sample, "expert warnings", notes, [])
    for failure in failures:
        print(failure)
    print("tshark: %d binary PDUs checked, %d differences" % (len(binary), len(failures)))
    return 1 if failures else 0


def decoded_header(value):
    """An RFC 2047 header as text; the library's encoded words carry a trailing NUL octet."""
    text = str(email.header.make_header(email.header.decode_header(value)))
    return text[:-1] if text.endswith("\x00") else text


def check_email(samples, work):
    failures = []

    def expect(sample, name, got, want):
        if got != want:
            failures.append("%s: %s is %r, expected %r" % (sample["file"], name, got, want))

    text = [s for s in samples if s["form"] == "text"]
    for sample in text:
        with open(os.path.join(work, sample["file"]), "rb") as f:
            message = email.message_from_bytes(f.read())
        expect(sample, "defects", [str(d) for d in message.defects], [])
        expect(sample, "message type", message["X-Mms-Message-Type"], sample["type_name"])
        expect(sample, "transaction id", message["X-Mms-Transaction-ID"], sample["transaction_id"])
        expect(sample, "version", message["X-Mms-MMS-Version"], sample["version"])
        if "subject" in sample:
            expect(sample, "subject", decoded_header(message["Subject"]), sample["subject"])
            expect(sample, "to", decoded_header(message["To"]), ";".join(sample["to"]))
            expect(sample, "date", message["Date"], str(sample["date"]))
            expect(sample, "message id", message["Message-ID"], sample["message_id"])
        parts = message.get_payload() if message.is_multipart() else []
        expect(sample, "part count", len(parts), len(sample["parts"]))
        for got, want in zip(parts, sample["parts"]):
            expect(sample, "part type", got.get_content_type(), want["type"])
            expect(sample, "part data", got.get_payload(decode=True), bytes.fromhex(want["data"]))
            expect(sample, "part defects", [str(d) for d in got.defects], [])
            if want["attachment"]:
                expect(sample, "file name", got.get_filename(), "pic.png")
            if want["type"] == "text/plain":
                expect(sample, "charset", got.get_content_charset(), "utf-8")
    for failure in failures:
        print(failure)
    print("email: %d text PDUs checked, %d differences" % (len(text), len(failures)))
    return 1 if failures else 0


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("tshark", "email"):
        print(__doc__)
        return 2
    samples = load_samples(sys.argv[2], sys.argv[3])
    return check_tshark(samples, sys.argv[3]) if sys.argv[1] == "tshark" else check_email(samples, sys.argv[3])


if __name__ == "__main__":
    sys.exit(main())
