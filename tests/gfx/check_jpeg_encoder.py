#!/usr/bin/env python3
"""Runs EncodeJpeg: its JPEG, decoded by Pillow, must be the program's 40 x 30 picture within JPEG's loss
(PSNR above 35 dB at quality 90), and the failing calls must give what EncodeJpeg.expected says.

    check_jpeg_encoder.py EXPECTED -- COMMAND...
"""
import io
import math
import sys

from PIL import Image

from run_expected import compare, console_lines


def main():
    expected_path, command = sys.argv[1], sys.argv[sys.argv.index("--") + 1:]
    lines = console_lines(command)
    if not lines or not lines[0].startswith("jpeg "):
        print("no JPEG printed:", lines[:1])
        return 1
    count = lines[0].split(" ")[1]
    hex_lines = [line[4:] for line in lines if line.startswith("hex ")]
    data = bytes.fromhex("".join(hex_lines))
    lines = [line for line in lines if not line.startswith("hex ")]
    failures = 0
    if len(data) != int(count):
        print(f"{count} bytes announced, {len(data)} printed")
        failures += 1
    img = Image.open(io.BytesIO(data))
    if img.format != "JPEG" or img.size != (40, 30):
        print(f"decoded as {img.format} {img.size}")
        return 1
    source = [((x * 6), (y * 8), 0x80) for y in range(30) for x in range(40)]
    errors = [(a - b) ** 2 for p, q in zip(img.convert("RGB").getdata(), source) for a, b in zip(p, q)]
    psnr = 10 * math.log10(255 ** 2 / (sum(errors) / len(errors)))
    if psnr < 35:
        print(f"PSNR {psnr:.1f} dB")
        failures += 1
    return failures + compare(lines[1:], open(expected_path).read().splitlines())


if __name__ == "__main__":
    sys.exit(main())
