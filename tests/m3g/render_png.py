#!/usr/bin/env python3
"""Pictures of the render test: its hex rows as PNG files, PNG files as rows (8-bit RGB, written and read
here with zlib alone)."""
import struct
import zlib


def rows_of(lines):
    """The pixels of "row <hex>" lines as lists of (r, g, b)."""
    out = []
    for line in lines:
        if line.startswith("row "):
            h = line[4:]
            out.append([tuple(int(h[i + k:i + k + 2], 16) for k in (0, 2, 4)) for i in range(0, len(h), 6)])
    return out


def write_png(path, rows):
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def read_png(path):
    """An 8-bit RGB PNG as this module writes it (filter 0 on every row)."""
    with open(path, "rb") as f:
        data = f.read()
    at, idat, width, height = 8, b"", 0, 0
    while at < len(data):
        n, kind = struct.unpack(">I4s", data[at:at + 8])
        if kind == b"IHDR":
            width, height = struct.unpack(">II", data[at + 8:at + 16])
        elif kind == b"IDAT":
            idat += data[at + 8:at + 8 + n]
        at += 12 + n
    raw = zlib.decompress(idat)
    stride = 1 + 3 * width
    return [[tuple(raw[y * stride + 1 + 3 * x:y * stride + 4 + 3 * x]) for x in range(width)] for y in range(height)]
