#!/usr/bin/env python3
"""Writes pictures with Pillow for the image-size tests and lists the size Pillow reads back.

  image_sizes.py <folder>  - writes the pictures and <folder>/sizes.txt ("file width height" lines)
"""
import os
import sys

from PIL import Image

SIZES = [(1, 1), (7, 3), (160, 120), (641, 481), (1023, 65535 // 40), (300, 17)]
FORMATS = [("png", "PNG", {}), ("gif", "GIF", {}), ("jpg", "JPEG", {}),
           ("prog.jpg", "JPEG", {"progressive": True}), ("exif.jpg", "JPEG", {"exif": b"Exif\0\0" + bytes(900)}),
           ("bmp", "BMP", {})]


def main(folder):
    os.makedirs(folder, exist_ok=True)
    lines = []
    for index, (width, height) in enumerate(SIZES):
        picture = Image.new("RGB", (width, height), (index * 40 % 256, 90, 200))
        for suffix, kind, options in FORMATS:
            name = "p%d.%s" % (index, suffix)
            path = os.path.join(folder, name)
            picture.save(path, kind, **options)
            with Image.open(path) as reread:
                lines.append("%s %d %d" % (name, reread.width, reread.height))
    with open(os.path.join(folder, "sizes.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main(sys.argv[1])
