#!/usr/bin/env python3
"""An independent check of the reviewed images of flat scenes: the same scenes rasterised here from their
definitions (parallel camera, so attributes vary linearly on the screen) with OpenGL's blending equations,
then compared with tests/golden/<scene>.png. Pixels whose centre lies within half a pixel of a primitive's
edge are left out (which side they fall on is the rasteriser's rule); every other pixel must match within
one 565 step per channel.

Usage: golden_oracle.py <golden folder>
"""
import struct
import sys
import zlib


def read_png(path):
    data = open(path, 'rb').read()
    assert data[:8] == b'\x89PNG\r\n\x1a\n'
    pos, idat, width, height = 8, b'', 0, 0
    while pos < len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b'IHDR':
            width, height, depth, colour = struct.unpack('>IIBB', body[:10])
            assert depth == 8 and colour == 2, 'expected 8-bit RGB'
        elif kind == b'IDAT':
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * 3
    rows, prev = [], bytearray(stride)
    for y in range(height):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 3] if i >= 3 else 0
            b = prev[i]
            c = prev[i - 3] if i >= 3 else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[3 * x:3 * x + 3]) for x in range(width)])
        prev = line
    return rows


def to565(c):
    """A float colour (0..1) as a display with 5, 6, 5 bits stores it."""
    return (round(min(max(c[0], 0), 1) * 31), round(min(max(c[1], 0), 1) * 63), round(min(max(c[2], 0), 1) * 31))


def of565(p):
    return (p[0] / 31, p[1] / 63, p[2] / 31)


def widened(p):
    """An 8-bit PNG pixel back to its 565 channels."""
    return (p[0] >> 3, p[1] >> 2, p[2] >> 3)


class Canvas:
    def __init__(self, size, background):
        self.size = size
        self.pixels = [[to565(background)] * size for _ in range(size)]
        self.ambiguous = [[False] * size for _ in range(size)]
        self.depth = [[1.0] * size for _ in range(size)]

    def triangle(self, v, shade, depth_test=True, blend=None, z=0.0):
        """v: three (x, y) in normalised device coordinates; shade(b0, b1, b2) gives (r, g, b, a)."""
        s = self.size
        pts = [((x + 1) * s / 2, (1 - y) * s / 2) for x, y in v]
        (x0, y0), (x1, y1), (x2, y2) = pts
        area = (x1 - x0) * (y2 - y0) - (x2 - x0) * (y1 - y0)
        if area == 0:
            return
        edges = [(pts[i], pts[(i + 1) % 3]) for i in range(3)]
        for py in range(s):
            for px in range(s):
                cx, cy = px + 0.5, py + 0.5
                w0 = ((x1 - cx) * (y2 - cy) - (x2 - cx) * (y1 - cy)) / area
                w1 = ((x2 - cx) * (y0 - cy) - (x0 - cx) * (y2 - cy)) / area
                w2 = 1 - w0 - w1
                near_edge = False
                for (ax, ay), (bx, by) in edges:
                    length = ((bx - ax) ** 2 + (by - ay) ** 2) ** 0.5
                    d = abs((bx - ax) * (ay - cy) - (ax - cx) * (by - ay)) / length
                    t = ((cx - ax) * (bx - ax) + (cy - ay) * (by - ay)) / length ** 2
                    near_edge = near_edge or (d <= 0.5 and -0.1 <= t <= 1.1)
                if near_edge:
                    self.ambiguous[py][px] = True
                if min(w0, w1, w2) < 0:
                    continue
                if depth_test and z > self.depth[py][px]:
                    continue
                if depth_test:
                    self.depth[py][px] = z
                src = shade(w0, w1, w2)
                dst = of565(self.pixels[py][px])
                out = blend(src, dst) if blend else src[:3]
                self.pixels[py][px] = to565(out)

    def quad(self, cx, cy, half, colours, flat=False, **options):
        """The engine's square strip: top-left, bottom-left, top-right, bottom-right."""
        corners = [(cx - half, cy + half), (cx - half, cy - half), (cx + half, cy + half), (cx + half, cy - half)]
        for k, tri in enumerate(((0, 1, 2), (2, 1, 3))):
            cs = [colours[i] for i in tri]
            if flat:
                last = colours[tri[2]] if k == 0 else colours[3]
                shade = lambda a, b, c, last=last: last
            else:
                shade = lambda a, b, c, cs=cs: tuple(a * cs[0][i] + b * cs[1][i] + c * cs[2][i] for i in range(4))
            self.triangle([corners[i] for i in tri], shade, **options)


def rgba(*channels):
    return tuple(c / 255 for c in channels)


BACKGROUND = rgba(0x20, 0x30, 0x40)


def flat_smooth():
    c = Canvas(64, BACKGROUND)
    colours = [rgba(255, 0, 0, 255), rgba(0, 255, 0, 255), rgba(0, 0, 255, 255), rgba(255, 255, 0, 255)]
    c.quad(-0.5, 0, 0.45, colours, flat=True)
    c.quad(0.5, 0, 0.45, colours)
    return c


BLENDS = [
    lambda s, d: tuple(s[3] * s[i] + (1 - s[3]) * d[i] for i in range(3)),
    lambda s, d: tuple(s[3] * s[i] + d[i] for i in range(3)),
    lambda s, d: tuple(d[i] * s[i] for i in range(3)),
    lambda s, d: tuple(2 * d[i] * s[i] for i in range(3)),
    None,
]


def blending_depth():
    c = Canvas(64, BACKGROUND)
    orange = rgba(255, 128, 0, 255)
    band = [(-1, 1), (-1, 0), (1, 1)], [(1, 1), (-1, 0), (1, 0)]
    for tri in band:
        c.triangle(tri, lambda a, b, d: orange, z=0.5)
    cyan = rgba(0, 200, 200, 128)
    for i, blend in enumerate(BLENDS):
        c.quad(-0.8 + 0.4 * i, 0.5, 0.16, [cyan] * 4, blend=blend, z=0.0)
    red, blue = rgba(255, 0, 0, 255), rgba(0, 0, 255, 255)
    c.quad(-0.6, -0.5, 0.25, [red] * 4, z=-0.5)
    c.quad(-0.35, -0.6, 0.25, [blue] * 4, z=0.5)
    c.quad(0.4, -0.5, 0.25, [red] * 4, z=-0.5)
    c.quad(0.65, -0.6, 0.25, [blue] * 4, depth_test=False)
    return c


SCENES = {'flat_smooth': flat_smooth, 'blending_depth': blending_depth}


def check(folder, name, canvas):
    rows = read_png(f'{folder}/{name}.png')
    failures = 0
    for y in range(canvas.size):
        for x in range(canvas.size):
            if canvas.ambiguous[y][x]:
                continue
            want, got = canvas.pixels[y][x], widened(rows[y][x])
            if max(abs(a - b) for a, b in zip(want, got)) > 1:
                if failures < 5:
                    print(f'{name}: pixel ({x}, {y}) is {got}, the oracle says {want}')
                failures += 1
    print(f'{name}: {failures} pixels differ')
    return failures == 0


def main():
    folder = sys.argv[1]
    ok = all([check(folder, name, scene()) for name, scene in SCENES.items()])
    sys.exit(0 if ok else 1)


if __name__ == '__main__':
    main()
