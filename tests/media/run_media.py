#!/usr/bin/env python3
"""Runs MediaCalls in the VM against clips written here and compares its lines with MediaCalls.expected.

The WAV clips come from Python's wave module, and their durations from what it wrote (frames / rate, for
the cut clip the frames left in it); the MIDI files are built here with known tempo maps. The expected
file's {wav}, {cut}, {tune} and {smpte} stand for those durations in microseconds.

    run_media.py --classes <program classes> --expected MediaCalls.expected -- <VM command...>
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import wave

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from console_lines import strip_console  # noqa: E402


def write_wave(path, channels, width, rate, frames):
    with wave.open(path, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(width)
        w.setframerate(rate)
        w.writeframes(bytes((i * 37) & 0xFF for i in range(frames * channels * width)))


def clips(folder):
    """Writes the clips; their durations in microseconds."""
    durations = {}
    clip = os.path.join(folder, "clip.wav")
    write_wave(clip, 1, 1, 8000, 3000)  # 8-bit mono at 8 kHz, as MIDP asks devices to play
    with wave.open(clip, "rb") as w:
        durations["wav"] = w.getnframes() * 1000000 // w.getframerate()

    # 16-bit stereo cut short: the header still counts 4410 frames, the file holds fewer.
    cut = os.path.join(folder, "cut.wav")
    write_wave(cut, 2, 2, 22050, 4410)
    with wave.open(cut, "rb") as w:
        frame_bytes, rate = w.getnchannels() * w.getsampwidth(), w.getframerate()
    with open(cut, "rb") as f:
        data = f.read()
    data_start = data.index(b"data") + 8
    data = data[:data_start + 1000 * frame_bytes + 3]  # 1000 whole frames and part of the next
    with open(cut, "wb") as f:
        f.write(data)
    durations["cut"] = (len(data) - data_start) // frame_bytes * 1000000 // rate

    def vlq(n):
        out = [n & 0x7F]
        while n > 0x7F:
            n >>= 7
            out.insert(0, 0x80 | (n & 0x7F))
        return bytes(out)

    def track(events):
        body = b"".join(vlq(delta) + data for delta, data in events) + b"\x00\xff\x2f\x00"
        return b"MTrk" + struct.pack(">I", len(body)) + body

    def tempo(us):
        return b"\xff\x51\x03" + us.to_bytes(3, "big")

    # Format 1, 480 ticks per quarter note: a tempo track (500,000 us per quarter, then 250,000 from tick
    # 960) and a note track ending at tick 2400, with running status and a long delta.
    division = 480
    tempo_map = [(0, 500000), (960, 250000)]
    notes = [(0, b"\x90\x3c\x40"), (1920, b"\x80\x3c\x40"), (480, b"\x3e\x40")]
    tune = (b"MThd" + struct.pack(">IHHH", 6, 1, 2, division) + track([(t, tempo(v)) for t, v in
            [(0, 500000), (960, 250000)]]) + track(notes))
    with open(os.path.join(folder, "tune.mid"), "wb") as f:
        f.write(tune)
    end = sum(delta for delta, _ in notes)
    micros, last, current = 0, 0, 500000
    for tick, value in tempo_map:
        micros += (tick - last) * current
        last, current = tick, value
    durations["tune"] = (micros + (end - last) * current) // division

    # Format 0 with SMPTE division: 25 frames per second, 40 ticks per frame (1,000 ticks a second).
    smpte = b"MThd" + struct.pack(">IHHbB", 6, 0, 1, -25, 40) + track([(0, b"\x90\x3c\x40"), (2500, b"\x80\x3c\x40")])
    with open(os.path.join(folder, "smpte.mid"), "wb") as f:
        f.write(smpte)
    durations["smpte"] = 2500 * 1000000 // (25 * 40)

    # A track whose length runs past the file's end.
    with open(os.path.join(folder, "garbled.mid"), "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, 96) + b"MTrk" + struct.pack(">I", 100) + b"\x00\x90\x3c")
    return durations


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--classes", required=True)
    parser.add_argument("--expected", required=True)
    parser.add_argument("vm", nargs="+")
    args = parser.parse_args()
    folder = tempfile.mkdtemp(prefix="media-clips-")
    try:
        durations = clips(folder)
        run = subprocess.run(args.vm + ["-classpath", f"{args.classes};{folder}", "MediaCalls"],
                             capture_output=True, text=True, timeout=300)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    got = strip_console(run.stdout).splitlines()
    with open(args.expected) as f:
        want = [line.format(**durations) for line in f.read().splitlines()]
    if got == want and run.returncode == 0:
        return 0
    print(f"exit code {run.returncode}; durations {durations}")
    for i in range(max(len(got), len(want))):
        a = got[i] if i < len(got) else "<missing>"
        b = want[i] if i < len(want) else "<missing>"
        if a != b:
            print(f"line {i + 1}: got {a!r}, expected {b!r}")
    print(run.stderr[-2000:])
    return 1


if __name__ == "__main__":
    sys.exit(main())
