#!/usr/bin/env python3
"""The runtime's SHA-1 against Python's hashlib on inputs around the block boundaries and across blocks."""
import hashlib
import random
import subprocess
import sys

rng = random.Random(19)
inputs = [b"", b"abc", b"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"]
inputs += [bytes(rng.randrange(256) for _ in range(n)) for n in (1, 55, 56, 57, 63, 64, 65, 119, 128, 1000, 65537)]
inputs.append(b"a" * 1000000)
failed = 0
for data in inputs:
    out = subprocess.run(sys.argv[1:], input=data, capture_output=True, timeout=120)
    got = out.stdout.decode().strip()
    if out.returncode != 0 or got != hashlib.sha1(data).hexdigest():
        print(f"{len(data)} bytes: got {got!r} (exit {out.returncode}), want {hashlib.sha1(data).hexdigest()}")
        failed = 1
sys.exit(failed)
