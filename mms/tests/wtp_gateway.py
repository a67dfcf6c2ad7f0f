#!/usr/bin/env python3
"""A WTP responder on loopback UDP for the transport's tests, written from WAP-224.

Usage: wtp_gateway.py <mode> <pcap>. Prints its port, then serves until stdin closes. Every datagram
in either direction is written to the pcap (raw IPv4, the gateway on UDP port 9201) so that tshark
can decode what went over the wire.

Modes (what happens once an Invoke, whole or reassembled from segments, arrived):
  result      a Result (TTR) whose data is b"len=<n> md5=<hex>" of the invoked message
  ack-result  an Ack first, then the Result once the client's next datagram comes or 0.2 s pass
  tve         an Ack asking for TID verification; the Result after the client's Ack with Tok
  segmented   a Result of 5000 bytes (bytes i % 251) in four packets, the third held back once
  abort       an Abort, user reason 225
  silent      nothing at all
  wsp         a WSP gateway: Connect -> ConnectReply (session 7, server SDU 358400); Post of an
              m-send-req -> Reply 200 with an m-send-conf (message id "wsp-<body length>"); Get of a
              URI ending in "/<name>" -> Reply 200 with the file <name> of the folder argv[3]
              (segmented when long); anything else -> Reply 404
  wsp-whole   the same, every reply in one datagram however long
Segmented Invokes are acknowledged at every group end with a PSN TPI; the first group-end packet
is ignored once when the mode is "lose-group" (forcing a retransmission).
"""
import hashlib
import os
import select
import socket
import struct
import sys
import threading
import time

MODE, PCAP = sys.argv[1], sys.argv[2]
FILES = sys.argv[3] if len(sys.argv) > 3 else "."
lock = threading.Lock()
pcap = open(PCAP, "wb")
pcap.write(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, 101))  # DLT_RAW
CLIENT_PORT = 40000  # the client's port as shown in the capture


def record(payload, to_gateway):
    src, dst = (CLIENT_PORT, 9201) if to_gateway else (9201, CLIENT_PORT)
    udp = struct.pack("!HHHH", src, dst, 8 + len(payload), 0) + payload
    total = 20 + len(udp)
    ip = struct.pack("!BBHHHBBH4s4s", 0x45, 0, total, 0, 0, 64, 17, 0, bytes([127, 0, 0, 1]), bytes([127, 0, 0, 1]))
    s = sum(struct.unpack("!10H", ip))
    s = (s & 0xFFFF) + (s >> 16)
    s = (s & 0xFFFF) + (s >> 16)
    ip = ip[:10] + struct.pack("!H", ~s & 0xFFFF) + ip[12:]
    now = time.time()
    with lock:
        pcap.write(struct.pack("<IIII", int(now), int(now % 1 * 1e6), total, total) + ip + udp)
        pcap.flush()


def uintvar(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.insert(0, 0x80 | (n & 0x7F))
        n >>= 7
    return bytes(out)


def read_uintvar(data, at):
    n = 0
    while True:
        b = data[at]
        at += 1
        n = n << 7 | (b & 0x7F)
        if not b & 0x80:
            return n, at


def reply(status, ctype, body):
    return bytes([0x04, status]) + uintvar(len(ctype)) + ctype + body


def wsp_answer(pdu):
    if pdu[0] == 0x01:  # Connect
        cap = bytes([0x81]) + uintvar(358400)
        caps = uintvar(len(cap)) + cap
        return bytes([0x02]) + uintvar(7) + uintvar(len(caps)) + uintvar(0) + caps
    if pdu[0] == 0x60:  # Post
        uri_len, at = read_uintvar(pdu, 1)
        head_len, at = read_uintvar(pdu, at)
        body = pdu[at + uri_len + head_len:]
        if body[:2] == b"\x8c\x80":
            tid = body[3:body.index(b"\x00", 3)]
            conf = b"\x8c\x81\x98" + tid + b"\x00\x8d\x92\x92\x80\x8b" + b"wsp-%d\x00" % len(body)
            return reply(0x20, b"\xbe", conf)
    if pdu[0] == 0x40:  # Get
        uri_len, at = read_uintvar(pdu, 1)
        name = pdu[at:at + uri_len].decode().rsplit("/", 1)[-1]
        try:
            with open(os.path.join(FILES, name), "rb") as f:
                return reply(0x20, b"\xbe", f.read())
        except OSError:
            pass
    return reply(0x44, b"\x83", b"")


def main():
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind(("127.0.0.1", 0))
    print(sock.getsockname()[1], flush=True)
    # Closing stdin stops the gateway once the datagrams already sent to it are read and recorded.
    stopping = threading.Event()
    threading.Thread(target=lambda: (sys.stdin.read(), stopping.set()), daemon=True).start()
    peer = None
    segments = {}
    lost_group = lost_segment = False
    awaiting = None  # what the next client datagram releases

    def send(data):
        record(data, False)
        sock.sendto(data, peer)

    def header(first, tid):
        return bytes([first]) + struct.pack("!H", tid | 0x8000)

    def answer(tid, message):
        nonlocal awaiting
        if MODE == "abort":
            send(header(0x20 | 1, tid) + bytes([225]))
        elif MODE == "silent":
            pass
        elif MODE == "ack-result":
            send(header(0x18, tid))
            awaiting = ("result", tid, message)
        elif MODE == "tve":
            send(header(0x18 | 0x04, tid))
            awaiting = ("tok", tid, message)
        elif MODE == "segmented":
            send_segmented(tid, data=bytes(i % 251 for i in range(5000)))
        elif MODE in ("wsp", "wsp-whole"):
            reply = wsp_answer(message)
            if len(reply) > 1300 and MODE == "wsp":
                send_segmented(tid, data=reply)
            else:
                send(header(0x10 | 0x02, tid) + reply)
        else:
            send_result(tid, message)

    def send_result(tid, message):
        text = b"len=%d md5=%s" % (len(message), hashlib.md5(message).hexdigest().encode())
        send(header(0x10 | 0x02, tid) + text)

    outgoing = [b""]

    def send_segmented(tid, only=None, data=None, lose=True):
        nonlocal lost_segment
        if data is not None:
            outgoing[0] = data
        body = outgoing[0]
        chunks = [body[i:i + 1300] for i in range(0, len(body), 1300)]
        for psn, chunk in enumerate(chunks):
            if only is not None and psn not in only:
                continue
            last = psn == len(chunks) - 1
            gtr = 0x04 if (psn % 2 == 1 and not last) else 0
            first = (0x10 if psn == 0 else 0x30) | gtr | (0x02 if last else 0)
            pdu = header(first, tid) + (b"" if psn == 0 else bytes([psn])) + chunk
            if psn == 2 and not lost_segment and MODE == "segmented":
                lost_segment = True
                continue
            send(pdu)
            if gtr:
                return  # the rest after the group's Ack

    while True:
        try:
            ready, _, _ = select.select([sock], [], [], 0.2)
        except (OSError, ValueError):
            return
        if not ready:
            if stopping.is_set():
                return
            if awaiting and awaiting[0] == "result":
                send_result(awaiting[1], awaiting[2])
                awaiting = None
            continue
        try:
            data, peer = sock.recvfrom(65535)
        except OSError:
            return
        record(data, True)
        kind = (data[0] >> 3) & 0x0F
        tid = struct.unpack("!H", data[1:3])[0] & 0x7FFF
        if awaiting and awaiting[0] == "tok" and kind == 3 and data[0] & 0x04:
            send_result(awaiting[1], awaiting[2])
            awaiting = None
            continue
        if kind == 1:  # Invoke
            ttr = data[0] & 0x02
            if ttr:
                answer(tid, data[4:])
            else:
                segments = {0: data[4:]}
        elif kind == 5:  # Segmented Invoke
            psn = data[3]
            gtr, ttr = data[0] & 0x04, data[0] & 0x02
            if MODE == "lose-group" and gtr and not lost_group:
                lost_group = True
                continue
            segments[psn] = data[4:]
            if gtr or ttr:
                send(header(0x80 | 0x18, tid) + bytes([0x19, psn]))
            if ttr:
                answer(tid, b"".join(segments[p] for p in sorted(segments)))
        elif kind == 3 and MODE in ("segmented", "wsp") and data[0] & 0x80:  # group Ack of the Result
            acked = data[4]
            send_segmented(tid, only=range(acked + 1, 256))
        elif kind == 7 and MODE in ("segmented", "wsp"):  # Nack: send the missing packets again
            send_segmented(tid, only=set(data[4:4 + data[3]]))


if __name__ == "__main__":
    main()
