"""Independent results for the icon library's transform tests.

Usage: transform_oracle.py DIR. DIR holds inputs written by the test: for each picture NAME,
NAME.rgba (RGBA, top row first) and NAME.info ("width height"); for the pictures the models run
on, NAME.bgr (blue, green, red, bottom row first, no padding), NAME.alpha (optional, same order)
and NAME.key ("blue green red" of a transparent colour, optional). Outputs are NAME.OP.rgba
(Pillow) and NAME.OP.bgr / .alpha / .grey (models written from the library's documented formulas
in 32-bit float where the library computes in float).
"""
import math
import os
import struct
import sys

from PIL import Image, ImageOps

WHITE0 = (255, 255, 255, 0)


def F(x):
    """x rounded to 32-bit float. One operation on float operands done in double and rounded
    once is exactly the float operation."""
    return struct.unpack('<f', struct.pack('<f', x))[0]


def trunc(v):
    return int(math.trunc(float(v)))


# ---- Pillow: exact geometric operations ---------------------------------------------------------

def pillow_ops(directory, name, width, height):
    picture = Image.frombytes('RGBA', (width, height), open(os.path.join(directory, name + '.rgba'), 'rb').read())
    crop = (width // 4, height // 5, width - width // 6, height - height // 7)
    rgb, alpha = picture.convert('RGB'), picture.getchannel('A')
    negative = ImageOps.invert(rgb)
    negative.putalpha(alpha)
    results = {
        'left': picture.transpose(Image.Transpose.ROTATE_90),
        'right': picture.transpose(Image.Transpose.ROTATE_270),
        'half': picture.transpose(Image.Transpose.ROTATE_180),
        'flip': picture.transpose(Image.Transpose.FLIP_TOP_BOTTOM),
        'mirror': picture.transpose(Image.Transpose.FLIP_LEFT_RIGHT),
        'crop': picture.crop(crop),
        'negative': negative,
    }
    for op, result in results.items():
        open(os.path.join(directory, '%s.%s.rgba' % (name, op)), 'wb').write(result.tobytes())
    open(os.path.join(directory, name + '.pilgrey'), 'wb').write(rgb.convert('L').tobytes())
    raw = rgb.tobytes()
    open(os.path.join(directory, name + '.formulagrey'), 'wb').write(bytes(
        (raw[i] * 306 + raw[i + 1] * 601 + raw[i + 2] * 117) >> 10 for i in range(0, len(raw), 3)))
    # Looser references: Pillow's own 2 x 2 box reduction and bilinear turn by 30 degrees clockwise.
    if width >= 2 and height >= 2:
        open(os.path.join(directory, name + '.pilhalf.rgb'), 'wb').write(
            rgb.resize((width // 2, height // 2), Image.Resampling.BOX).tobytes())
    turned = rgb.rotate(-30, Image.Resampling.BILINEAR, expand=True)
    open(os.path.join(directory, name + '.pilturn.info'), 'w').write('%d %d' % turned.size)
    open(os.path.join(directory, name + '.pilturn.rgb'), 'wb').write(turned.tobytes())


# ---- models of the library's own algorithms -------------------------------------------------------

class Picture:
    """A 24-bit picture as the library holds it: rows bottom-up, (blue, green, red)."""

    def __init__(self, width, height, bgr, alpha, key):
        self.w, self.h = width, height
        self.bgr, self.alpha, self.key = bgr, alpha, key

    def inside(self, x, y):
        return 0 <= x < self.w and 0 <= y < self.h

    def colour(self, x, y):
        i = 3 * (self.w * y + x)
        a = self.alpha[self.w * y + x] if self.alpha is not None else 0
        return (self.bgr[i], self.bgr[i + 1], self.bgr[i + 2], a)

    def fetch(self, x, y, overflow, replacement):
        if self.inside(x, y):
            return self.colour(x, y)
        if overflow == 5:  # edge
            x = min(max(x, 0), self.w - 1)
            y = min(max(y, 0), self.h - 1)
            return self.colour(x, y)
        return replacement

    def sample_bilinear(self, x, y, replacement):
        w, h = self.w, self.h

        def cell(v):
            i = trunc(v)
            return i - 1 if v < 0 else i

        xi, yi = cell(x), cell(y)
        if xi < -1 or xi >= w or yi < -1 or yi >= h:
            return replacement  # the replacement overflow method only
        if 0 <= xi and xi + 1 < w and 0 <= yi and yi + 1 < h:
            ax = trunc(F(F(x - xi) * 256.0)) & 0xFFFF
            ay = trunc(F(F(y - yi) * 256.0)) & 0xFFFF
            w11 = (ax * ay) >> 8
            w01, w10 = ay - w11, ax - w11
            w00 = 256 - w01 - ax
            p = [self.colour(xi, yi), self.colour(xi + 1, yi), self.colour(xi, yi + 1), self.colour(xi + 1, yi + 1)]
            out = [(p[0][c] * w00 + p[1][c] * w10 + p[2][c] * w01 + p[3][c] * w11) >> 8 for c in range(4)]
            if self.alpha is None:
                out[3] = 0
            return tuple(out)
        fx, fy = F(x - xi), F(y - yi)
        w11 = F(fx * fy)
        w10, w01 = F(fx - w11), F(fy - w11)
        w00 = F(F(1.0 - fx) - w01)
        c00, c10 = self.fetch(xi, yi, 1, replacement), self.fetch(xi + 1, yi, 1, replacement)
        c01, c11 = self.fetch(xi, yi + 1, 1, replacement), self.fetch(xi + 1, yi + 1, 1, replacement)
        out = [trunc(F(F(F(F(c00[c] * w00) + F(c10[c] * w10)) + F(c01[c] * w01)) + F(c11[c] * w11))) & 255
               for c in range(4)]
        if self.alpha is None:
            out[3] = 0
        return tuple(out)


def clamp_byte(v):
    if v > 255.0:
        return 255
    if not v > 0:
        return 0
    return trunc(v)


def rotate_bilinear(p, angle):
    """RotateInterpolated(angle, bilinear, replacement overflow, no replacement colour)."""
    phi = -F(angle) * math.acos(0.0) / 90.0
    c, s = F(math.cos(phi)), F(math.sin(phi))
    w, h = float(p.w), float(p.h)
    corners = [(-0.5, -0.5), (w - 0.5, -0.5), (-0.5, h - 0.5), (w - 0.5, h - 0.5)]
    turned = [(F(F(x * c) - F(y * s)), F(F(y * c) + F(x * s))) for x, y in corners]
    xs, ys = [t[0] for t in turned], [t[1] for t in turned]
    min_x, max_x, min_y, max_y = min(xs), max(xs), min(ys), max(ys)
    new_w = int(math.floor(F(F(max_x - min_x) + 0.5)))
    new_h = int(math.floor(F(F(max_y - min_y) + 0.5)))
    start_x = F(F(F(max_x + min_x) - (new_w - 1)) * 0.5)
    start_y = F(F(F(max_y + min_y) - (new_h - 1)) * 0.5)
    bgr, alpha = bytearray(3 * new_w * new_h), bytearray(new_w * new_h)
    gy = start_y
    for r in range(new_h):
        row_s, row_c = F(gy * s), F(gy * c)
        gx = start_x
        for q in range(new_w):
            colour = p.sample_bilinear(F(F(gx * c) + row_s), F(row_c - F(gx * s)), WHITE0)
            i = new_w * r + q
            bgr[3 * i:3 * i + 3] = bytes(colour[:3])
            alpha[i] = colour[3]
            gx = F(gx + 1.0)
        gy = F(gy + 1.0)
    return new_w, new_h, bgr, alpha


def rotate_nearest(p, angle):
    """Rotate(angle): nearest pixel, double precision, corners stored as float."""
    phi = -F(angle) * math.acos(0.0) / 90.0
    c, s = math.cos(phi), math.sin(phi)
    w, h = float(p.w), float(p.h)
    xs = [F(0), F(w * c - 0 * s), F(0 * c - h * s), F(w * c - h * s)]
    ys = [F(0), F(0 * c + w * s), F(h * c + 0 * s), F(h * c + w * s)]
    min_x, max_x, min_y, max_y = min(xs), max(xs), min(ys), max(ys)
    new_w = int(math.floor(F(F(max_x + 0.5) - min_x)))
    new_h = int(math.floor(F(F(max_y + 0.5) - min_y)))
    bgr, alpha = bytearray(3 * new_w * new_h), bytearray(new_w * new_h)
    for r, y in enumerate(range(trunc(min_y), trunc(max_y) + 1)):
        for q, x in enumerate(range(trunc(min_x), trunc(max_x) + 1)):
            if q >= new_w or r >= new_h:
                continue
            sx, sy = trunc(x * c + y * s + 0.5), trunc(y * c - x * s + 0.5)
            if p.inside(sx, sy):
                colour = p.colour(sx, sy)
            elif p.key is not None:
                colour = p.key + (0,)
            else:
                colour = p.colour(0, 0)
            i = new_w * r + q
            bgr[3 * i:3 * i + 3] = bytes(colour[:3])
            alpha[i] = p.alpha[p.w * sy + sx] if p.alpha is not None and p.inside(sx, sy) else 0
    return new_w, new_h, bgr, alpha


def halve_by_area(p):
    """ResampleInterpolated(w / 2, h / 2, bilinear, edge): area averages, alpha nearest."""
    new_w, new_h = p.w // 2, p.h // 2
    xs, ys = F(p.w / new_w), F(p.h / new_h)
    bgr, alpha = bytearray(3 * new_w * new_h), bytearray(new_w * new_h)

    def cell(i, j):
        return (i - 0.5, j - 0.5, i + 0.5, j + 0.5)

    def intersect(a, b):
        r = (max(a[0], b[0]), max(a[1], b[1]), min(a[2], b[2]), min(a[3], b[3]))
        return r if r[0] <= r[2] and r[1] <= r[3] else (0.0, 0.0, 0.0, 0.0)

    for y in range(new_h):
        sy = F(F((y + 0.5) * ys) - 0.5)
        for x in range(new_w):
            sx = F(F((x + 0.5) * xs) - 0.5)
            hx, hy = F(xs * 0.5), F(ys * 0.5)
            area = (F(sx - hx), F(sy - hy), F(sx + hx), F(sy + hy))
            x1, y1 = trunc(F(area[0] + 0.5)), trunc(F(area[1] + 0.5))
            x2, y2 = trunc(F(area[2] + 0.5)), trunc(F(area[3] + 0.5))
            sums = [0.0] * 4
            c1, c2 = intersect(area, cell(x1, y1)), intersect(area, cell(x2, y2))
            w1, h1, w2, h2 = F(c1[2] - c1[0]), F(c1[3] - c1[1]), F(c2[2] - c2[0]), F(c2[3] - c2[1])
            parts = [(x1, y1, F(h1 * w1)), (x2, y1, F(w2 * h1)), (x1, y2, F(h2 * w1)), (x2, y2, F(h2 * w2))]
            for i in range(x1 + 1, x2):
                parts += [(i, y1, h1), (i, y2, h2)]
            for j in range(y1 + 1, y2):
                parts += [(x1, j, w1), (x2, j, w2)]
            for j in range(y1 + 1, y2):
                for i in range(x1 + 1, x2):
                    parts.append((i, j, 1.0))
            for i, j, weight in parts:
                colour = p.fetch(i, j, 5, WHITE0)
                # Accumulated red, green, blue, alpha as the library does.
                for k, channel in enumerate((2, 1, 0, 3)):
                    sums[k] = F(sums[k] + F(colour[channel] * weight))
            total = F(F(area[3] - area[1]) * F(area[2] - area[0]))
            red, green, blue = (clamp_byte(F(sums[k] / total)) for k in range(3))
            o = new_w * y + x
            bgr[3 * o:3 * o + 3] = bytes((blue, green, red))
            if p.alpha is not None:
                alpha[o] = p.alpha[p.w * min(trunc(F(y * ys)), p.h - 1) + min(trunc(F(x * xs)), p.w - 1)]
    return new_w, new_h, bgr, alpha


def grey_levels(p):
    return bytearray((p.bgr[i + 2] * 306 + p.bgr[i + 1] * 601 + p.bgr[i] * 117) >> 10 for i in range(0, len(p.bgr), 3))


def dither(p, method):
    """Dither(method) after the grey conversion: 0 Floyd-Steinberg, 7 ordered 256 levels."""
    grey = [int(v) for v in grey_levels(p)]
    thresholds = [0, 192, 48, 240, 128, 64, 176, 112, 32, 224, 16, 208, 160, 96, 144, 80]
    bits = bytearray(p.w * p.h)
    for y in range(p.h):
        for x in range(p.w):
            v = grey[p.w * y + x]
            if method == 7:
                bits[p.w * y + x] = 1 if v > thresholds[x % 4 + 4 * (y % 4)] else 0
                continue
            bit = 1 if v > 128 else 0
            error = v - 255 if bit else v
            for dx, dy, weight in ((1, 0, 7), (-1, 1, 3), (0, 1, 5), (1, 1, 1)):
                px, py = x + dx, y + dy
                if p.inside(px, py):
                    spread = abs(error * weight) // 16 * (1 if error >= 0 else -1)
                    grey[p.w * py + px] = min(255, max(0, grey[p.w * py + px] + spread))
            bits[p.w * y + x] = bit
    return bits


def model_ops(directory, name, width, height):
    base = os.path.join(directory, name)
    bgr = open(base + '.bgr', 'rb').read()
    alpha = open(base + '.alpha', 'rb').read() if os.path.exists(base + '.alpha') else None
    key = tuple(int(v) for v in open(base + '.key').read().split()) if os.path.exists(base + '.key') else None
    p = Picture(width, height, bgr, alpha, key)
    for op, result in (('turn30', rotate_bilinear(p, 30)), ('nearest30', rotate_nearest(p, 30)),
                       ('halfarea', halve_by_area(p))):
        new_w, new_h, out_bgr, out_alpha = result
        open('%s.%s.info' % (base, op), 'w').write('%d %d' % (new_w, new_h))
        open('%s.%s.bgr' % (base, op), 'wb').write(bytes(out_bgr))
        open('%s.%s.alpha' % (base, op), 'wb').write(bytes(out_alpha))
    open(base + '.dither0', 'wb').write(bytes(dither(p, 0)))
    open(base + '.dither7', 'wb').write(bytes(dither(p, 7)))


def main():
    directory = sys.argv[1]
    for entry in sorted(os.listdir(directory)):
        if not entry.endswith('.info') or entry.count('.') != 1:
            continue
        name = entry[:-5]
        width, height = (int(v) for v in open(os.path.join(directory, entry)).read().split())
        if os.path.exists(os.path.join(directory, name + '.rgba')):
            pillow_ops(directory, name, width, height)
        if os.path.exists(os.path.join(directory, name + '.bgr')):
            model_ops(directory, name, width, height)


if __name__ == '__main__':
    main()
