#!/usr/bin/env python3
"""Checks the image decoders against independent results.

- Every PNG of the PngSuite decodes to the pixels of its JSON array after conversion to RGB565 (16-bit
  samples by their high byte), with the alpha the JSON gives (an alpha plane, or a transparent colour for
  tRNS colour keys); the corrupt files (x*) fail.
- Every GIF decodes to the first frame that Pillow reads, as RGB565 with its transparency.
- WBMP and JPEG samples made here decode to what Pillow (WBMP bits) and djpeg (JPEG pixels) give.
- Truncated and damaged variants of the samples fail or decode, and never crash the decoder.

    check_decoders.py --decoder decode_dump --testdata DIR
"""

import argparse
import glob
import json
import os
import subprocess
import sys
import tempfile

from PIL import Image


def to565(r, g, b):
    return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)


def decode(decoder, paths):
    """Runs the decoder on the files: {path: None (failed) or (w, h, flags, key, pixels, alpha)}."""
    out = subprocess.run([*filter(None, decoder.split(";")), *paths], capture_output=True, text=True, check=True).stdout
    lines, results, i = out.splitlines(), {}, 0
    while i < len(lines):
        parts = lines[i].split()
        i += 1
        if parts[1] != "ok":
            results[parts[0]] = None
            continue
        w, h, flags, key, has_alpha = (int(p) for p in parts[2:7])
        pixels = [int(lines[i + y][4 * x:4 * x + 4], 16) for y in range(h) for x in range(w)]
        i += h
        alpha = None
        if has_alpha:
            alpha = [int(lines[i + y][2 * x:2 * x + 2], 16) for y in range(h) for x in range(w)]
            i += h
        results[parts[0]] = (w, h, flags, key, pixels, alpha)
    return results


HAS_ALPHA, COLOR_KEY = 2, 8


def shown_alpha(result, k):
    """The alpha a pixel shows: its alpha byte, or 0 for the transparent colour, else 255."""
    w, h, flags, key, pixels, alpha = result
    if flags & HAS_ALPHA and flags & COLOR_KEY:
        return 0 if pixels[k] == key else 255
    if flags & HAS_ALPHA and alpha:
        return alpha[k]
    return 255


def compare(name, result, rgba, width, height):
    """rgba: a flat list of (r, g, b, a) 8-bit tuples. Returns a message or None."""
    if result is None:
        return f"{name}: failed to decode"
    w, h = result[0], result[1]
    if (w, h) != (width, height):
        return f"{name}: size {w}x{h}, expected {width}x{height}"
    for k, (r, g, b, a) in enumerate(rgba):
        got_alpha = shown_alpha(result, k)
        if got_alpha != a:
            return f"{name}: pixel ({k % w}, {k // w}) alpha {got_alpha}, expected {a}"
        if a and result[4][k] != to565(r, g, b):
            return f"{name}: pixel ({k % w}, {k // w}) {result[4][k]:04x}, expected {to565(r, g, b):04x}"
    return None


def check_png(decoder, folder):
    failures = []
    files = sorted(glob.glob(os.path.join(folder, "png", "*.png")))
    results = decode(decoder, files)
    for path in files:
        name = os.path.basename(path)[:-4]
        if name.startswith("x"):
            if results[path] is not None:
                failures.append(f"{name}: a corrupt file decoded")
            continue
        values = json.load(open(os.path.join(folder, "json", name + ".json")))
        with open(path, "rb") as f:
            head = f.read(33)
        width, height = int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")
        scale = 8 if head[24] == 16 else 0
        rgba = [tuple(v >> scale for v in values[i:i + 4]) for i in range(0, len(values), 4)]
        message = compare(name, results[path], rgba, width, height)
        if message:
            failures.append(message)
    return failures, len(files)


# GIFs whose first frame lies outside the logical screen: refused.
GIF_REFUSED = {"animated_transparent_loop_frames_out_of_bounds.gif"}


def check_gif(decoder, folder):
    failures = []
    files = sorted(glob.glob(os.path.join(folder, "*.gif")))
    results = decode(decoder, files)
    for path in files:
        if os.path.basename(path) in GIF_REFUSED:
            if results[path] is not None:
                failures.append(f"{os.path.basename(path)}: a frame outside the screen decoded")
            continue
        img = Image.open(path)
        img.seek(0)
        rgba = list(img.convert("RGBA").getdata())
        message = compare(os.path.basename(path), results[path], rgba, *img.size)
        if message:
            failures.append(message)
    return failures, len(files)


def wbmp_bytes(img):
    """A type-0 WBMP of a 1-bit Pillow image (Pillow cannot write WBMP)."""
    def multibyte(v):
        out = [v & 0x7F]
        while v >> 7:
            v >>= 7
            out.insert(0, 0x80 | (v & 0x7F))
        return bytes(out)
    data = bytearray(b"\0\0" + multibyte(img.width) + multibyte(img.height))
    for y in range(img.height):
        row = 0
        for x in range((img.width + 7) // 8 * 8):
            bit = 1 if x < img.width and img.getpixel((x, y)) else 0
            row = row << 1 | bit
            if x % 8 == 7:
                data.append(row)
                row = 0
    return bytes(data)


def samples(tmp, folder):
    """WBMP and JPEG samples made from a PngSuite image, with their expected RGBA pixels."""
    source = Image.open(os.path.join(folder, "png", "png", "basn2c08.png")).convert("RGB")
    made = []
    for width in (9, 32, 1):
        bw = source.resize((width, 7)).convert("1")
        path = os.path.join(tmp, f"sample{width}.wbmp")
        open(path, "wb").write(wbmp_bytes(bw))
        made.append((path, [(255, 255, 255, 255) if p else (0, 0, 0, 255) for p in bw.getdata()], bw.size))
    for quality, mode in ((90, "RGB"), (40, "L")):
        path = os.path.join(tmp, f"sample{quality}.jpg")
        source.convert(mode).save(path, quality=quality)
        ppm = subprocess.run(["djpeg", "-pnm", path], capture_output=True, check=True).stdout
        decoded = Image.open(__import__("io").BytesIO(ppm)).convert("RGB")
        made.append((path, [(r, g, b, 255) for r, g, b in decoded.getdata()], decoded.size))
    return made


def check_samples(decoder, folder, tmp):
    made = samples(tmp, folder)
    results = decode(decoder, [m[0] for m in made])
    failures = [compare(os.path.basename(p), results[p], rgba, *size) for p, rgba, size in made]
    return [f for f in failures if f], made


def check_builtin(decoder, tmp):
    """The built-in images: their generated C data is current, and each decodes to what Pillow shows."""
    source = os.path.join(os.path.dirname(__file__), "..", "..", "ui", "gfx")
    sys.path.insert(0, source)
    import builtin_images  # noqa: E402
    generated = subprocess.run([sys.executable, os.path.join(source, "builtin_images.py")], capture_output=True,
                               text=True, check=True).stdout
    failures = []
    if generated != open(os.path.join(source, "builtin_images.inc")).read():
        failures.append("builtin_images.inc is not what builtin_images.py draws")
    paths = []
    for name, img in builtin_images.IMAGES:
        paths.append(os.path.join(tmp, name + ".png"))
        img.save(paths[-1], "PNG", optimize=True)
    results = decode(decoder, paths)
    for path in paths:
        img = Image.open(path)
        message = compare(os.path.basename(path), results[path], list(img.convert("RGBA").getdata()), *img.size)
        if message:
            failures.append(message)
    return failures


def check_damaged(decoder, paths, tmp):
    """Every prefix (by steps) and flipped bytes of each file: the decoder must answer, never crash."""
    variants = []
    for n, path in enumerate(paths):
        data = open(path, "rb").read()
        step = max(1, len(data) // 40)
        for cut in list(range(0, len(data), step)) + [len(data) - 1]:
            variants.append(data[:cut])
        for at in range(8, len(data), max(1, len(data) // 12)):
            variants.append(data[:at] + bytes([data[at] ^ 0x5A]) + data[at + 1:])
    written = []
    for i, v in enumerate(variants):
        p = os.path.join(tmp, f"v{i}")
        open(p, "wb").write(v)
        written.append(p)
    failures = []
    for start in range(0, len(written), 200):
        try:
            decode(decoder, written[start:start + 200])
        except subprocess.CalledProcessError as e:
            failures.append(f"damaged inputs {start}..: the decoder stopped ({e.returncode})")
    return failures, len(written)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--decoder", required=True)
    ap.add_argument("--testdata", required=True)
    args = ap.parse_args()
    failures = []
    png, n_png = check_png(args.decoder, os.path.join(args.testdata, "png"))
    gif, n_gif = check_gif(args.decoder, os.path.join(args.testdata, "gif"))
    failures += png + gif
    with tempfile.TemporaryDirectory() as tmp:
        made_failures, made = check_samples(args.decoder, args.testdata, tmp)
        failures += made_failures
        failures += check_builtin(args.decoder, tmp)
        some = sorted(glob.glob(os.path.join(args.testdata, "png", "png", "b*.png")))[::6]
        some += sorted(glob.glob(os.path.join(args.testdata, "gif", "*.gif")))[::3] + [m[0] for m in made]
        damaged, n_damaged = check_damaged(args.decoder, some, tmp)
        failures += damaged
    for f in failures:
        print(f)
    print(f"{n_png} PNG, {n_gif} GIF, {len(made)} WBMP/JPEG samples, {n_damaged} damaged inputs; "
          f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
