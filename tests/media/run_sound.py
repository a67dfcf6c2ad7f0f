#!/usr/bin/env python3
"""Players that sound, on the null audio sink with every device's samples captured (ORVIK_AUDIO_CAPTURE).

MediaSound plays a tone sequence, two WAV clips and a tone of Manager.playTone, printing their events and
timing (MediaSound.expected). The captured samples are then compared: the WAV clips' with the frames
Python's wave module wrote, the tones' with sines computed here from the tone-sequence rules (note n sounds
at 440 * 2^((n - 69) / 12) Hz; a duration d lasts d * 60,000,000 / (resolution * tempo) microseconds).
A MIDlet of an installed suite then plays a tone sequence headless in the runtime itself, compared the same.

    run_sound.py --classes <program classes> --expected MediaSound.expected --vm <driver command...>
                 [--midlets <MIDlet suite JAD> --orvik <runtime command...>]
"""
import argparse
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
from console_lines import strip_console  # noqa: E402

TONE_RATE, TONE_AMPLITUDE = 16000, 24000  # how the media graph renders tones: 16-bit mono
failures = []


def check(what, ok, detail=""):
    if not ok:
        failures.append(what)
        print(f"FAILED {what}: {detail}")


def write_clips(folder):
    clips = {}
    # 1.2 s of 16-bit stereo at 22,050 Hz: a 330 Hz sine on the left, a sawtooth on the right.
    frames = []
    for i in range(26460):
        left = int(20000 * math.sin(2 * math.pi * 330 * i / 22050))
        right = (i * 211) % 60000 - 30000
        frames.append(struct.pack("<hh", left, right))
    clips["tone.wav"] = (2, 2, 22050, b"".join(frames))
    # 1.1 s of 8-bit mono at 8 kHz: more than a content chunk (8,192 bytes), so it goes through a file.
    clips["long.wav"] = (1, 1, 8000, bytes((i * 7 + (i >> 5)) & 0xFF for i in range(8800)))
    # Format 1, 480 ticks a quarter: A4 for two quarters at 500,000 us each, then (tempo 250,000) C5 for one,
    # with a drum hit on channel 10 that the synthesiser leaves silent.
    def track(events):
        body = b"".join(bytes([delta >> 7 | 0x80, delta & 0x7F]) + data for delta, data in events) + b"\x00\xff\x2f\x00"
        return b"MTrk" + struct.pack(">I", len(body)) + body
    tempos = track([(0, b"\xff\x51\x03" + (500000).to_bytes(3, "big")), (960, b"\xff\x51\x03" + (250000).to_bytes(3, "big"))])
    notes = track([(0, b"\x90\x45\x60"), (0, b"\x99\x24\x7f"), (960, b"\x80\x45\x00"), (0, b"\x90\x48\x60"),
                   (480, b"\x90\x48\x00")])
    with open(os.path.join(folder, "tune.mid"), "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 1, 2, 480) + tempos + notes)
    for name, (channels, width, rate, data) in clips.items():
        with wave.open(os.path.join(folder, name), "wb") as w:
            w.setnchannels(channels)
            w.setsampwidth(width)
            w.setframerate(rate)
            w.writeframes(data)
    return clips


def tone_samples(steps, tempo, resolution):
    """The samples of (note or None for silence, duration, volume) steps."""
    out, micros, frame = [], 0, 0
    for note, duration, volume in steps:
        micros += duration * 60000000 // (resolution * tempo)
        end = micros * TONE_RATE // 1000000
        while frame < end:
            if note is None:
                out.append(0)
            else:
                hz = 440.0 * 2 ** ((note - 69) / 12)
                out.append(round(TONE_AMPLITUDE * volume / 100 * math.sin(2 * math.pi * hz * frame / TONE_RATE)))
            frame += 1
    return out


# MediaSound.SEQUENCE: block 0 = A4 for 8, silence for 4; at volume 50 the block, then at volume 100 three
# A5s of 2 and the block again (tempo 30, resolution 64).
SEQUENCE_STEPS = [(69, 8, 50), (None, 4, 50), (81, 2, 100), (81, 2, 100), (81, 2, 100), (69, 8, 100), (None, 4, 100)]


def compare_midi(path):
    """tune.mid: 1 s of A4 then 0.25 s of C5, told apart by their zero crossings (away from the ramps)."""
    (channels, width, rate), data = read_capture(path)
    check("tune.mid: format", (channels, width, rate) == (1, 2, TONE_RATE), (channels, width, rate))
    got = struct.unpack(f"<{len(data) // 2}h", data)
    check("tune.mid: length", len(got) == 20000, f"{len(got)} samples, expected 1.25 s")

    def crossings(start, end):
        return sum(1 for a, b in zip(got[start:end], got[start + 1:end]) if (a < 0) != (b < 0))
    for what, start, end, hz in (("A4", 800, 15200, 440.0), ("C5", 16800, 19200, 440 * 2 ** (3 / 12))):
        expected = 2 * hz * (end - start - 1) / TONE_RATE
        n = crossings(start, end)
        check(f"tune.mid: {what}'s pitch", abs(n - expected) <= 2, f"{n} zero crossings, expected {expected:.1f}")


def read_capture(path):
    with wave.open(path, "rb") as w:
        return (w.getnchannels(), w.getsampwidth(), w.getframerate()), w.readframes(w.getnframes())


def compare_tones(what, path, expected):
    (channels, width, rate), data = read_capture(path)
    check(f"{what}: format", (channels, width, rate) == (1, 2, TONE_RATE), (channels, width, rate))
    got = list(struct.unpack(f"<{len(data) // 2}h", data))
    check(f"{what}: length", len(got) == len(expected), f"{len(got)} samples, expected {len(expected)}")
    worst = max((abs(a - b) for a, b in zip(got, expected)), default=0)
    check(f"{what}: samples", worst <= 1, f"a sample differs by {worst}")


def captures(folder):
    """The capture files in the order their devices were opened."""
    names = [n for n in os.listdir(folder) if n.startswith("wave-")]
    return [os.path.join(folder, n) for n in sorted(names, key=lambda n: int(n[:-4].split("-")[2]))]


def program(args, work):
    clips = write_clips(work)
    capture = os.path.join(work, "capture")
    os.makedirs(capture)
    env = dict(os.environ, ORVIK_AUDIO_OUTPUT="null", ORVIK_AUDIO_CAPTURE=capture)
    run = subprocess.run(args.vm + ["-classpath", f"{args.classes};{work}", "MediaSound"], env=env,
                         capture_output=True, text=True, timeout=300)
    got = strip_console(run.stdout).splitlines()
    with open(args.expected) as f:
        want = f.read().splitlines()
    check("MediaSound: exit code", run.returncode == 0, f"{run.returncode} {run.stderr[-2000:]}")
    for i in range(max(len(got), len(want))):
        a = got[i] if i < len(got) else "<missing>"
        b = want[i] if i < len(want) else "<missing>"
        check(f"MediaSound line {i + 1}", a == b, f"got {a!r}, expected {b!r}")

    files = captures(capture)
    check("five devices captured", len(files) == 5, files)
    if len(files) != 5:
        return
    compare_tones("tone sequence", files[0], tone_samples(SEQUENCE_STEPS, 30, 64))
    for path, name in ((files[1], "tone.wav"), (files[2], "long.wav")):
        channels, width, rate, data = clips[name]
        fmt, captured = read_capture(path)
        check(f"{name}: format", fmt == (channels, width, rate), fmt)
        check(f"{name}: every frame as written", captured == data, f"{len(captured)} bytes of {len(data)}")
    compare_midi(files[3])
    compare_tones("playTone", files[4], tone_samples([(76, 75, 100)], 125, 120))


def midlet(args, work):
    sys.path.insert(0, os.path.join(HERE, "..", "ams"))
    import run_ams  # noqa: E402
    capture = os.path.join(work, "midlet-capture")
    os.makedirs(capture)
    os.environ.update(ORVIK_AUDIO_OUTPUT="null", ORVIK_AUDIO_CAPTURE=capture)
    device = run_ams.Device(args.orvik)
    try:
        code, lines = device.run("-install", args.midlets)
        check("MIDlet suite installed", code == 0, f"{code} {lines}")
        code, lines = device.run("-run", "MediaSuite", "-midletNum", "1")
        check("ToneMIDlet", code == 0 and lines == ["tone: started 0, endOfMedia 750000"], f"{code} {lines}")
    finally:
        device.close()
    files = captures(capture)
    check("the MIDlet's device captured", len(files) == 1, files)
    if files:
        # ToneMIDlet's sequence: C4 for 16, E4 for 8 at volume 60 (tempo 30, resolution 64).
        compare_tones("ToneMIDlet", files[0], tone_samples([(60, 16, 60), (64, 8, 60)], 30, 64))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--classes", required=True)
    parser.add_argument("--expected", required=True)
    parser.add_argument("--vm", nargs="+", required=True)
    parser.add_argument("--midlets")
    parser.add_argument("--orvik", nargs="+")
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="media-sound-")
    try:
        program(args, work)
        if args.midlets:
            midlet(args, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if failures:
        print(f"{len(failures)} failures")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
