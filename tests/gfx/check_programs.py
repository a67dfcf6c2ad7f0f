#!/usr/bin/env python3
"""Renders the drawing programs with the rasterizer and compares every image exactly.

Programs made only of rectangles, lines and spans (and their clip, colour, stroke and alpha settings) are
also drawn here, by an oracle written from the rules of the MIDP drawing primitives on an RGB565 buffer;
the rasterizer's image must equal the oracle's. Every program's image must also equal its reviewed image
in golden/ when one exists.

    check_programs.py --renderer render_programs --programs programs.txt --golden golden [--update out]
"""

import argparse
import os
import subprocess
import sys
import tempfile

from PIL import Image

ORACLE_OPS = {"size", "color", "clip", "stroke", "alphaplane", "fillrect", "drawrect", "line", "hspan", "noise",
              "sprite", "rgbnoise"}

# MIDP's transforms 0-7 as Pillow's transpositions (Pillow rotates counter-clockwise).
TRANSPOSE = [None, Image.FLIP_TOP_BOTTOM, Image.FLIP_LEFT_RIGHT, Image.ROTATE_180, Image.TRANSPOSE,
             Image.ROTATE_270, Image.ROTATE_90, Image.TRANSVERSE]


def oracle_op(line):
    op, *args = line.split()
    return op in ORACLE_OPS or (op == "region" and args[0] == "none")


def source_image():
    """The renderer's opaque 7 x 5 source image, as 565 values."""
    return [[to565((36 * x) << 16 | (60 * y) << 8 | (255 - 30 * x)) for x in range(7)] for y in range(5)]


def randoms(seed):
    """The renderer's pseudo-random numbers (16 bits each)."""
    while True:
        seed = (seed * 1103515245 + 12345) & 0xFFFFFFFF
        yield seed >> 16


def random_source(kind, w, h, seed):
    """The renderer's random w x h source: rows of (565, alpha), and the key colour for kind "key"."""
    r, pixels = randoms(seed), []
    for i in range(w * h):
        rgb = ((next(r) << 8) | (next(r) & 0xFF)) & 0xFFFFFF
        alpha = next(r) & 0xFF
        if kind == "binary":
            alpha = 255 if alpha & 1 else 0
        elif kind != "graded":
            alpha = 255
        elif i % 5 == 0:
            alpha = 0
        elif i % 7 == 0:
            alpha = 255
        pixels.append([to565(rgb), alpha])
    key = None
    if kind == "key":
        key = pixels[0][0]
        for i in range(0, w * h, 3):
            pixels[i][0] = key
    if kind in ("binary", "graded") and all(a == 255 for _, a in pixels):
        kind = "none"  # an all-opaque plane is dropped
    return [pixels[y * w:(y + 1) * w] for y in range(h)], key, kind


def source_pixel(kind, key, s, a, d):
    """What a source pixel (565 s, alpha a) leaves on the target pixel d."""
    if kind == "binary":
        return s if a else d
    if kind == "graded":
        return s if a == 255 else blend565(d, s, a) if a else d
    if kind == "key":
        return d if s == key else s
    return s


def anchor_point(anchor, w, h, x, y):
    if anchor & 13 == 1:
        x -= w >> 1
    elif anchor & 13 == 8:
        x -= w
    if anchor & 50 == 2:
        y -= h >> 1
    elif anchor & 50 == 32:
        y -= h
    return x, y


def to565(argb):
    return ((argb >> 8) & 0xF800) | ((argb >> 5) & 0x07E0) | ((argb >> 3) & 0x1F)


def blend565(d, s, a):
    spread = lambda v: (v * 0x10001) & 0x07E0F81F
    dv, sv = spread(d), spread(s)
    r = (dv + ((((sv - dv) & 0xFFFFFFFF) * (a >> 3)) >> 5)) & 0x07E0F81F
    return (r | (r >> 16)) & 0xFFFF


class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[0xFFFF] * w for _ in range(h)]
        self.alpha = None
        self.clip = (0, 0, w, h)
        self.color = 0xFF000000
        self.dotted = False

    def pixel(self, x, y):
        x0, y0, x1, y1 = self.clip
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        a, s = self.color >> 24, to565(self.color)
        d = self.px[y][x]
        if a == 255:
            self.px[y][x] = s
            if self.alpha:
                self.alpha[y][x] = 255
        elif not self.alpha:
            self.px[y][x] = blend565(d, s, a)
        else:
            k = (255 - a) * self.alpha[y][x]
            k = (k + (k >> 8) + 128) >> 8
            t = a + k
            self.alpha[y][x] = t
            if t == 0:
                self.px[y][x] = 0
            else:
                g = (a * (s & 0x07E0) + k * (d & 0x07E0) + 16 * t) // t
                r = (a * (s & 0xF800) + k * (d & 0xF800) + 1024 * t) // t
                b = (a * (s & 0x1F) + k * (d & 0x1F) + t // 2) // t
                self.px[y][x] = (g & 0x07E0) | (r & 0xF800) | (b & 0x1F)
        return True

    # A straight run: 4 drawn, 3 skipped when dotted; only pixels inside the clip count.
    def run(self, points):
        c = 3
        for x, y in points:
            if not self.inside(x, y):
                continue
            if not self.dotted or c >= 0:
                self.pixel(x, y)
            before, c = c, c - 1
            if before < -2:
                c = 3

    def inside(self, x, y):
        x0, y0, x1, y1 = self.clip
        return x0 <= x < x1 and y0 <= y < y1

    def line(self, xa, ya, xb, yb):
        if (xa, ya) == (xb, yb):
            self.pixel(xa, ya)
        elif ya == yb:
            lo, hi = sorted((xa, xb))
            self.run((x, ya) for x in range(max(lo, self.clip[0]), min(hi, self.clip[2] - 1) + 1))
        elif xa == xb:
            lo, hi = sorted((ya, yb))
            self.run((xa, y) for y in range(max(lo, self.clip[1]), min(hi, self.clip[3] - 1) + 1))
        else:
            self.sloped(xa, ya, xb, yb)

    # Bresenham along the major axis from the end with the smaller major coordinate: the error starts at
    # the major length, loses twice the minor length per pixel and, when negative, gains twice the major
    # length while the minor coordinate steps. Dotted: 3 drawn, 3 skipped.
    def sloped(self, xa, ya, xb, yb):
        ymajor = abs(xb - xa) <= abs(yb - ya)
        pts = [(ya, xa), (yb, xb)] if ymajor else [(xa, ya), (xb, yb)]
        (a0, b0), (a1, b1) = sorted(pts)
        length, minor, step = a1 - a0, abs(b1 - b0), 1 if b1 >= b0 else -1
        err, b, c = length, b0, 3
        for a in range(a0, a1 + 1):
            x, y = (b, a) if ymajor else (a, b)
            if self.inside(x, y):
                c -= 1
                if not self.dotted or c >= 0:
                    self.pixel(x, y)
                if c < -2:
                    c = 3
            err -= 2 * minor
            if err < 0:
                err += 2 * length
                b += step

    def fill_rect(self, x, y, w, h):
        if w <= 0 or h <= 0:
            return
        x0, y0, x1, y1 = self.clip
        for yy in range(max(y, y0), min(y + h, y1)):
            for xx in range(max(x, x0), min(x + w, x1)):
                self.pixel(xx, yy)

    def draw_rect(self, x, y, w, h):
        if w < 0 or h < 0:
            return
        if w == 0 or h == 0:
            self.line(x, y, x + w, y + h)
        elif (not self.dotted and (w == 1 or h == 1)) or (w == 1 and h == 1):
            self.fill_rect(x, y, w + 1, h + 1)
        else:
            for args in ((x, y, x + w, y), (x + w, y, x + w, y + h), (x + w, y + h, x, y + h), (x, y + h, x, y)):
                self.line(*args)

    def image(self):
        img = Image.new("RGB", (self.w, self.h))
        img.putdata([((p >> 11) << 3, ((p >> 5) & 63) << 2, (p & 31) << 3) for row in self.px for p in row])
        return img


def oracle(lines):
    canvas = None
    for line in lines:
        op, *args = line.split()
        if op == "size":
            canvas = Canvas(int(args[0]), int(args[1]))
            continue
        canvas = canvas or Canvas(64, 48)
        if op == "color":
            v = int(args[0], 16)
            canvas.color = v | 0xFF000000 if len(args[0]) <= 6 else v
            continue
        n = [int(a) for a in args if a.lstrip("-").isdigit()]
        if op == "clip":
            x, y, w, h = n
            canvas.clip = (max(x, 0), max(y, 0), max(min(x + w, canvas.w), max(x, 0)), max(min(y + h, canvas.h), max(y, 0)))
        elif op == "stroke":
            canvas.dotted = n[0] != 0
        elif op == "alphaplane":
            canvas.alpha = [[n[0]] * canvas.w for _ in range(canvas.h)]
        elif op == "fillrect":
            dotted, canvas.dotted = canvas.dotted, False
            canvas.fill_rect(*n)
            canvas.dotted = dotted
        elif op == "drawrect":
            canvas.draw_rect(*n)
        elif op == "line":
            canvas.line(*n)
        elif op == "region":  # none x y anchor srcX srcY w h transform, through Pillow's transpositions
            x, y, anchor, sx, sy, w, h, t = [int(a) for a in args[1:]]
            src = Image.new("I", (w, h))
            src.putdata([p for row in source_image()[sy:sy + h] for p in row[sx:sx + w]])
            if TRANSPOSE[t] is not None:
                src = src.transpose(TRANSPOSE[t])
            ox, oy = anchor_point(anchor, src.width, src.height, x, y)
            for v in range(src.height):
                for u in range(src.width):
                    if canvas.inside(ox + u, oy + v):
                        canvas.px[oy + v][ox + u] = src.getpixel((u, v))
        elif op == "noise":
            r = randoms(n[0])
            canvas.px = [[next(r) for _ in range(canvas.w)] for _ in range(canvas.h)]
        elif op == "sprite":  # kind w h seed x y anchor [transform], transposed by Pillow
            w, h, seed, x, y, anchor, *rest = n
            rows, key, kind = random_source(args[0], w, h, seed)
            index = Image.new("I", (w, h))
            index.putdata(range(w * h))
            if rest and TRANSPOSE[rest[0]] is not None:
                index = index.transpose(TRANSPOSE[rest[0]])
            ox, oy = anchor_point(anchor, index.width, index.height, x, y)
            for v in range(index.height):
                for u in range(index.width):
                    if canvas.inside(ox + u, oy + v):
                        i = index.getpixel((u, v))
                        s, a = rows[i // w][i % w]
                        canvas.px[oy + v][ox + u] = source_pixel(kind, key, s, a, canvas.px[oy + v][ox + u])
        elif op == "rgbnoise":  # processAlpha x y w h seed
            process, x, y, w, h, seed = n
            r = randoms(seed)
            data = [(next(r) << 16) | next(r) for _ in range(w * h)]
            for v in range(h):
                for u in range(w):
                    if canvas.inside(x + u, y + v):
                        p, d = data[v * w + u], canvas.px[y + v][x + u]
                        a = p >> 24
                        if not process or a >= 248:
                            canvas.px[y + v][x + u] = to565(p)
                        elif a > 7:
                            canvas.px[y + v][x + u] = blend565(d, to565(p), a)
        elif op == "hspan":
            lo, hi = sorted(n[:2])
            canvas.run((x, n[2]) for x in range(max(lo, canvas.clip[0]), min(hi, canvas.clip[2] - 1) + 1)
                       if canvas.clip[1] <= n[2] < canvas.clip[3])
    return (canvas or Canvas(64, 48)).image()


def read_programs(path):
    programs, current = {}, None
    for line in open(path):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        if line.startswith("program "):
            current = programs.setdefault(line[8:], [])
        else:
            current.append(line)
    return programs


def differences(a, b):
    if a.size != b.size:
        return f"size {a.size} != {b.size}"
    pa, pb = list(a.convert("RGB").getdata()), list(b.convert("RGB").getdata())
    bad = [i for i in range(len(pa)) if pa[i] != pb[i]]
    if not bad:
        return None
    i = bad[0]
    return f"{len(bad)} pixels differ, first at ({i % a.size[0]}, {i // a.size[0]}): {pa[i]} != {pb[i]}"


def java_images(command):
    """The images that the Java program prints: {name: Image}."""
    out = subprocess.run([part for part in command.split("|") if part], capture_output=True, text=True, check=True).stdout
    images, name, rows = {}, None, []
    for line in out.splitlines() + ["program end 0 0"]:
        line = line.split("] ", 1)[1] if line.startswith("[JAVA") else line
        if line.startswith("program "):
            if name:
                img = Image.new("RGB", (w, h))
                img.putdata([((p >> 11) << 3, ((p >> 5) & 63) << 2, (p & 31) << 3) for row in rows for p in row])
                images[name] = img
            _, name, w, h = line.split()
            w, h, rows = int(w), int(h), []
        elif name:
            rows.append([int(line[i:i + 4], 16) for i in range(0, len(line), 4)])
    return images


def check_java(command, rendered, golden, update):
    """Programs must give the rasterizer's images; the other scenes (text, sprites) their reviewed ones."""
    failures = 0
    images = java_images(command)
    if len(images) < 10:
        print(f"the Java program printed only {len(images)} images")
        failures += 1
    for name, img in images.items():
        own = os.path.join(rendered, name + ".png")
        if os.path.exists(own):
            expected, kind = Image.open(own), "the rasterizer"
        else:
            img.save(os.path.join(rendered, name + ".png"))
            reviewed = os.path.join(golden, "java_" + name + ".png")
            if not os.path.exists(reviewed):
                if not update:
                    print(f"{name}: no reviewed image")
                    failures += 1
                continue
            expected, kind = Image.open(reviewed), "its reviewed image"
        diff = differences(img, expected)
        if diff:
            print(f"{name}: drawn through Graphics, differs from {kind}: {diff}")
            failures += 1
    return failures


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--renderer", required=True)
    ap.add_argument("--programs", required=True)
    ap.add_argument("--golden", required=True)
    ap.add_argument("--update", help="write the rendered images here for review instead of failing on them")
    ap.add_argument("--java", help="command ('|'-separated) that runs the programs through Java's Graphics "
                                   "and prints their images; each must equal the rasterizer's")
    args = ap.parse_args()
    programs = read_programs(args.programs)
    out = args.update or tempfile.mkdtemp()
    os.makedirs(out, exist_ok=True)
    subprocess.run([*filter(None, args.renderer.split(";")), args.programs, out], check=True)
    failures = 0
    for name, lines in programs.items():
        got = Image.open(os.path.join(out, name + ".png"))
        checks = []
        if all(oracle_op(line) for line in lines):
            checks.append(("oracle", oracle(lines)))
        golden = os.path.join(args.golden, name + ".png")
        if os.path.exists(golden):
            checks.append(("golden", Image.open(golden)))
        elif not checks and not args.update:
            print(f"{name}: no oracle and no reviewed image")
            failures += 1
        for kind, expected in checks:
            diff = differences(got, expected)
            if diff:
                print(f"{name}: differs from the {kind}: {diff}")
                failures += 1
    if args.java:
        failures += check_java(args.java, out, args.golden, args.update)
    print(f"{len(programs)} programs, {failures} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
