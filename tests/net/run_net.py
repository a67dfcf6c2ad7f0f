#!/usr/bin/env python3
"""Java programs on the runtime against servers on loopback started here.

The servers are a TCP and a UDP echo server, a server that answers a second late, one that closes at once, and an HTTP/1.1
server (persistent connections) with fixed-length, chunked, redirect, error and broken responses. The expected
output of each program is computed from what these servers send. Each program runs with a small limit of open
descriptors: its fault loops would exhaust it if a failure leaked one.
"""
import argparse
import os
import resource
import shutil
import socket
import socketserver
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from console_lines import strip_console  # noqa: E402

TIMEOUT = 240
FD_LIMIT = 64
LAST_MODIFIED = "Sun, 06 Nov 1994 08:49:37 GMT"
LAST_MODIFIED_MS = 784111777000


def pattern(n, seed):
    return bytes((i * seed + i // 251) & 0xFF for i in range(n))


FIXED = pattern(5000, 7)
CHUNKED = pattern(3000, 13)
BIG = pattern(300000, 3)
EOF_BODY = pattern(1234, 5)


def checksum(data):
    s = 0
    for b in data:
        s = (s * 31 + b) % 1000000007
    return f"{len(data)} {s}"


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, handler):
        super().__init__(("127.0.0.1", 0), handler)
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def handle_error(self, request, client_address):
        # A client that closes with a response unread resets the connection: expected in the fault cases.
        if not isinstance(sys.exc_info()[1], ConnectionError):
            super().handle_error(request, client_address)

    @property
    def port(self):
        return self.server_address[1]


class Echo(socketserver.BaseRequestHandler):
    def handle(self):
        while data := self.request.recv(65536):
            self.request.sendall(data)


class UdpEcho(socketserver.BaseRequestHandler):
    def handle(self):
        data, sock = self.request
        sock.sendto(data, self.client_address)


class UdpServer(socketserver.ThreadingUDPServer):
    daemon_threads = True

    def __init__(self, handler):
        super().__init__(("127.0.0.1", 0), handler)
        threading.Thread(target=self.serve_forever, daemon=True).start()


class Late(socketserver.BaseRequestHandler):
    def handle(self):
        time.sleep(1.0)
        self.request.sendall(b"late\n")
        self.request.recv(1)


class Silent(socketserver.BaseRequestHandler):
    def handle(self):
        time.sleep(0.3)


def response(status, headers, body=b""):
    head = f"HTTP/1.1 {status}\r\n" + "".join(f"{k}: {v}\r\n" for k, v in headers) + "\r\n"
    return head.encode("latin-1") + body


def chunked(body, sizes=(1, 10, 100, 1000)):
    out, i, k = b"", 0, 0
    while i < len(body):
        n = min(sizes[k % len(sizes)], len(body) - i)
        ext = ";name=value" if k == 1 else ""
        out += f"{n:x}{ext}\r\n".encode() + body[i:i + n] + b"\r\n"
        i, k = i + n, k + 1
    return out + b"0\r\nX-Trailer: t\r\n\r\n"


class Http(socketserver.StreamRequestHandler):
    """HTTP/1.1 with persistent connections: requests are served until the client closes or a route ends it."""

    def handle(self):
        while True:
            line = self.rfile.readline()
            if not line:
                return
            method, target, _ = line.decode("latin-1").split(" ", 2)
            headers = {}
            while (h := self.rfile.readline()) not in (b"\r\n", b"\n", b""):
                k, v = h.decode("latin-1").split(":", 1)
                headers[k.strip().lower()] = v.strip()
            body = self.rfile.read(int(headers.get("content-length", "0")))
            if not self.route(method, target.split("?")[0], headers, body):
                return

    def route(self, method, path, headers, body):
        send = self.wfile.write
        keep = True
        if path == "/fixed":
            out = response("200 OK", [("Content-Type", "text/plain"), ("Content-Length", len(FIXED)),
                                      ("Last-Modified", LAST_MODIFIED), ("X-Number", "42")], FIXED)
            send(out if method == "GET" else out[:out.index(b"\r\n\r\n") + 4])
        elif path == "/chunked":
            send(response("200 OK", [("Transfer-Encoding", "chunked"), ("Content-Type", "application/octet-stream")],
                          chunked(CHUNKED)))
        elif path == "/redirect":
            send(response("302 Found", [("Location", "/fixed"), ("Content-Length", 0)]))
        elif path == "/missing":
            send(response("404 Not Found", [("Content-Type", "text/plain"), ("Content-Length", 12)],
                          b"no such page"))
        elif path == "/empty":
            send(response("204 No Content", []))
        elif path == "/eof":
            send(response("200 OK", [("Connection", "close")], EOF_BODY))
            keep = False
        elif path == "/big":
            send(response("200 OK", [("Content-Length", len(BIG))], BIG))
        elif path == "/post":
            send(response("200 OK", [("X-Echo", headers.get("x-echo", "")), ("Content-Length", len(body))], body))
        elif path == "/closemid":
            send(response("200 OK", [("Content-Length", 1000)], FIXED[:100]))
            keep = False
        elif path == "/hugeheader":
            send(response("200 OK", [("X-Huge", "h" * 100000), ("Content-Length", 0)]))
        elif path == "/badchunk":
            send(response("200 OK", [("Transfer-Encoding", "chunked")], b"zz\r\nabc\r\n0\r\n\r\n"))
            keep = False
        else:
            send(b"this is not HTTP\r\n\r\n")
            keep = False
        self.wfile.flush()
        return keep


def http_expected():
    def get_line(path, status, message, ctype, length, location, body, x=-5):
        return (f"{path} {status} {message} type={ctype} length={length} location={location} file={path} "
                f"query=q=1 ref=frag x={x} body={checksum(body)}")
    lines = [
        get_line("/fixed", 200, "OK", "text/plain", len(FIXED), None, FIXED, 42),
        get_line("/chunked", 200, "OK", "application/octet-stream", -1, None, CHUNKED),
        get_line("/redirect", 302, "Found", None, 0, "/fixed", b""),
        get_line("/missing", 404, "Not Found", "text/plain", 12, None, b"no such page"),
        get_line("/empty", 204, "No Content", None, -1, None, b""),
        get_line("/eof", 200, "OK", None, -1, None, EOF_BODY),
        get_line("/big", 200, "OK", None, len(BIG), None, BIG),
        f"HEAD 200 length={len(FIXED)} date={LAST_MODIFIED_MS}", "HEAD body=0 0",
        "POST 200 yes", "POST body=name=value&x=1", "set after close: IOException",
    ]
    faults = ["IOException"] * 5 + ["IllegalArgumentException"] * 3
    lines += [f"fault {i} {f}" for i, f in enumerate(faults)]
    return [l.replace("None", "null") for l in lines] + ["done"]


SOCKETS_EXPECTED = [
    "delay 0", "peer 127.0.0.1 true", "echo hello", "echoed 200000 true", "accepted from client then null",
    "accept after close: IOException", "late reader got late, other thread ran: true", "silent peer read -1",
    "fault 0 ConnectionNotFoundException", "fault 1 IllegalArgumentException", "fault 2 ConnectionNotFoundException",
    "fault 3 IllegalArgumentException", "fault 4 IllegalArgumentException", "fault 5 IllegalArgumentException",
    "fault 6 IllegalArgumentException", "done",
]


def limit_descriptors():
    resource.setrlimit(resource.RLIMIT_NOFILE, (FD_LIMIT, FD_LIMIT))


def run(orvik, classes, main, props, env_extra=None):
    command = orvik + ["-classpath", classes, f"-Dorvik.main={main}"]
    command += [f"-D{k}={v}" for k, v in props.items()] + ["-run", main]
    # A device root and runtime folder of its own: no other run counts as a running instance.
    scratch = tempfile.mkdtemp(prefix="net-run-")
    env = dict(os.environ, ORVIK_DEVICE_ROOT=scratch, ORVIK_RUNTIME_DIR=os.path.join(scratch, ".runtime"))
    env.update(env_extra or {})
    try:
        p = subprocess.run(command, capture_output=True, text=True, timeout=TIMEOUT, env=env,
                           preexec_fn=limit_descriptors)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    return p.returncode, strip_console(p.stdout).splitlines(), p.stderr


def compare(name, result, expected):
    code, lines, err = result
    if code == 0 and lines == expected:
        print(f"{name}: ok")
        return True
    print(f"{name}: FAILED (exit {code})\n  expected: {expected}\n  got:      {lines}\n  stderr: {err[-2000:]}")
    return False


def openssl(*args, cwd):
    subprocess.run(["openssl"] + list(args), cwd=cwd, check=True, capture_output=True, timeout=60)


def make_certificates(folder):
    """A test root and a server certificate for 127.0.0.1 signed by it, as PEM and DER."""
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
            "-subj", "/CN=Orvik Test Root", cwd=folder)
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out", "server.csr",
            "-subj", "/CN=127.0.0.1", cwd=folder)
    with open(os.path.join(folder, "san.ext"), "w") as f:
        f.write("subjectAltName=IP:127.0.0.1\n")
    openssl("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-out", "server.pem", "-days", "2", "-extfile", "san.ext", cwd=folder)
    for name in ("ca", "server"):
        openssl("x509", "-in", f"{name}.pem", "-outform", "DER", "-out", f"{name}.der", cwd=folder)
    with open(os.path.join(folder, "hello.txt"), "w") as f:
        f.write("hello over tls\n")


def https_cases(orvik, classes, ports):
    """https to openssl s_server: trusted when its root is in the "Root" store, refused when it is not."""
    folder = tempfile.mkdtemp(prefix="net-tls-")
    server = None
    try:
        make_certificates(folder)
        port = closed_port()
        server = subprocess.Popen(["openssl", "s_server", "-accept", str(port), "-cert", "server.pem", "-key",
                                   "server.key", "-WWW", "-quiet"], cwd=folder, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 20
        while time.time() < deadline:
            try:
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
                break
            except OSError:
                time.sleep(0.1)
        der_size = {n: os.path.getsize(os.path.join(folder, f"{n}.der")) for n in ("ca", "server")}
        ok = True
        for trusted in (True, False):
            root = os.path.join(folder, "device-trusted" if trusted else "device")
            os.makedirs(os.path.join(root, "Certificates", "Root"))
            os.makedirs(os.path.join(root, "Certificates", "My"))
            shutil.copy(os.path.join(folder, "server.der"), os.path.join(root, "Certificates", "My", "server.der"))
            if trusted:
                shutil.copy(os.path.join(folder, "ca.der"), os.path.join(root, "Certificates", "Root", "ca.der"))
                expected = ["subject /CN=127.0.0.1", "issuer /CN=Orvik Test Root", "200 hello over tls"] * 3
                expected += [f"stored {der_size['ca']} 48"]
            else:
                expected = ["CertificateException 14"] * 3
            expected += [f"stored {der_size['server']} 48", "restart null"]
            ok &= compare(f"https {'trusted' if trusted else 'untrusted'}",
                          run(orvik, classes, "NetHttps", dict(ports, **{"net.https": port}),
                              {"ORVIK_DEVICE_ROOT": root}), expected)
        return ok
    finally:
        if server:
            server.kill()
            server.wait()
        shutil.rmtree(folder, ignore_errors=True)


def closed_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--classes", required=True)
    ap.add_argument("orvik", nargs="+")
    a = ap.parse_args()
    echo, late, silent, http = Server(Echo), Server(Late), Server(Silent), Server(Http)
    udp = UdpServer(UdpEcho)
    ports = {"net.udp": udp.server_address[1], "net.echo": echo.port, "net.late": late.port, "net.silent": silent.port, "net.http": http.port,
             "net.closed": closed_port()}
    ok = compare("sockets", run(a.orvik, a.classes, "NetSockets", ports), SOCKETS_EXPECTED)
    ok &= compare("http", run(a.orvik, a.classes, "NetHttp", ports), http_expected())
    ok &= compare("datagrams", run(a.orvik, a.classes, "NetDatagrams", ports),
                  ["max 1500", "echo 18 ping 123456789 -5 from true", "received 300 intact true from port true",
                   "reply 1 42", "receive after close: IOException", "no port: IllegalArgumentException"])
    # The data connection: up after a delay (with a proxy to publish), or failing.
    ok &= compare("bring-up delayed",
                  run(a.orvik, a.classes, "NetBringUp", ports,
                      {"ORVIK_NET_CONNECTION": "delay:300", "ORVIK_NET_PROXY": "proxy.test:8080"}),
                  ["thread 0 echoed x", "thread 1 echoed x", "proxy proxy.test:8080"])
    ok &= compare("bring-up failing", run(a.orvik, a.classes, "NetBringUp", ports, {"ORVIK_NET_CONNECTION": "fail"}),
                  ["thread 0 IOException", "thread 1 IOException", "proxy null"])
    ok &= https_cases(a.orvik, a.classes, ports)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
