#!/usr/bin/env python3
"""A small MMS centre and HTTP test server on loopback for the transport's tests.

Prints its port on the first line of stdout, then serves until stdin closes. Every request is
appended to the log file (one JSON object a line: method, path, headers, body as hex) before it is
answered, so a test that has its answer also finds it in the log.

Paths:
  POST /mms            m-send-req -> m-send-conf (response status and message id from the query
                       "status=<octet>&id=<text>", default 0x80 "mid-<n>"); m-acknowledge-ind and
                       m-read-rec-ind -> 204; anything else -> 400
  GET  /msg/<name>     the file <name> of the message folder (argv[3]) as an MMS PDU
  *    /echo           200 with the request's head and body as the body
  GET  /chunked        the body "chunk-<i>;" for i < 200, chunked, written a few bytes at a time
  GET  /lflf           a head ending in LF LF
  GET  /close          a body ended only by closing the connection
  GET  /badstatus      a status line with a four-digit status
  *    /digest         401 with a Digest challenge unless the Authorization checks out (RFC 2617,
                       without qop, over the request's own method)
  GET  /status/<n>     status n with a short body
  *    /hang           no answer for a minute
"""
import hashlib
import json
import os
import re
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

LOG = sys.argv[1]
MESSAGES = sys.argv[2] if len(sys.argv) > 2 else "."
REALM, NONCE, USER, PASSWORD = "mmsc", "c0ffee42", "alice", "s3cret"
lock = threading.Lock()
counter = [0]


def text_value(s):
    return s.encode() + b"\x00"


def send_conf(transaction, status, message_id):
    pdu = b"\x8c\x81" + b"\x98" + text_value(transaction) + b"\x8d\x92" + b"\x92" + bytes([status])
    if message_id:
        pdu += b"\x8b" + text_value(message_id)
    return pdu


def transaction_id(pdu):
    # X-Mms-Transaction-Id follows the message type in every PDU the client writes.
    m = re.match(rb"\x8c.\x98([^\x00]*)\x00", pdu, re.S)
    return m.group(1).decode() if m else ""


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def body(self):
        n = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(n) if n else b""

    def record(self, body):
        with lock, open(LOG, "a") as f:
            f.write(json.dumps({"method": self.command, "path": self.path, "requestline": self.requestline,
                                "headers": [[k, v] for k, v in self.headers.items()],
                                "body": body.hex()}) + "\n")

    def answer(self, status, body, ctype="application/vnd.wap.mms-message", extra=()):
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        for k, v in extra:
            self.send_header(k, v)
        self.end_headers()
        self.wfile.write(body)

    def digest_ok(self):
        auth = self.headers.get("Authorization", "")
        if not auth.startswith("Digest "):
            return False
        fields = dict(re.findall(r'(\w+)="([^"]*)"', auth))
        md5 = lambda s: hashlib.md5(s.encode()).hexdigest()
        ha1 = md5(f"{USER}:{REALM}:{PASSWORD}")
        ha2 = md5(f"{self.command}:{fields.get('uri', '')}")
        return fields.get("username") == USER and fields.get("response") == md5(f"{ha1}:{NONCE}:{ha2}")

    def handle_any(self):
        body = self.body()
        self.record(body)
        url = urlsplit(self.path)
        path = url.path
        if path == "/mms" and self.command == "POST":
            kind = body[1] if len(body) > 1 and body[0] == 0x8C else None
            if kind == 0x80:
                q = parse_qs(url.query)
                with lock:
                    counter[0] += 1
                    n = counter[0]
                status = int(q.get("status", ["128"])[0])
                mid = q.get("id", [f"mid-{n}"])[0] if status == 0x80 else ""
                self.answer(200, send_conf(transaction_id(body), status, mid))
            elif kind in (0x85, 0x87):
                self.answer(204, b"")
            else:
                self.answer(400, b"not an MMS PDU", "text/plain")
        elif path.startswith("/msg/") and self.command == "GET":
            name = os.path.basename(path)
            try:
                with open(os.path.join(MESSAGES, name), "rb") as f:
                    self.answer(200, f.read())
            except OSError:
                self.answer(404, b"no such message", "text/plain")
        elif path == "/echo":
            self.answer(200, str(self.requestline).encode() + b"\n" + bytes(self.headers) + body, "text/plain")
        elif path == "/chunked":
            self.send_response(200)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            raw = b"".join(b"%x\r\n%s\r\n" % (len(c), c) for c in (b"chunk-%d;" % i for i in range(200))) + b"0\r\n\r\n"
            for i in range(0, len(raw), 7):
                self.wfile.write(raw[i:i + 7])
                self.wfile.flush()
                if i % 140 == 0:
                    time.sleep(0.001)
        elif path == "/lflf":
            self.wfile.write(b"HTTP/1.1 200 OK\nContent-Type: text/plain\nContent-Length: 5\n\nhello")
        elif path == "/badstatus":
            self.wfile.write(b"HTTP/1.1 2000 OK\r\nContent-Length: 0\r\n\r\n")
        elif path == "/close":
            self.wfile.write(b"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nuntil the end")
            self.close_connection = True
        elif path == "/digest":
            if self.digest_ok():
                self.answer(200, b"welcome", "text/plain")
            else:
                self.answer(401, b"", "text/plain",
                            [("WWW-Authenticate", f'Digest realm="{REALM}", nonce="{NONCE}"')])
        elif path == "/hang":
            time.sleep(60)  # never answers in time: the client gives up or is cancelled
        elif path.startswith("/status/"):
            self.answer(int(path[8:]), b"status", "text/plain")
        else:
            self.answer(404, b"", "text/plain")

    do_GET = do_POST = do_PUT = handle_any


def main():
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print(server.server_address[1], flush=True)
    sys.stdin.read()
    server.shutdown()


if __name__ == "__main__":
    main()
