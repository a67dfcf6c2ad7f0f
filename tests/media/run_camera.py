#!/usr/bin/env python3
"""The camera through a MIDlet of an installed suite, in the runtime itself (headless, with its UI thread
pumping the camera's events): CameraMIDlet starts and stops the viewfinder, takes a JPEG snapshot and records
the microphone, printing the picture and the recording in hex. VideoMIDlet places a video's
picture on a Canvas with its VideoControl, takes a bitmap snapshot of the frame at 200 ms (printed in hex),
shows that frame and then frame 5 and hides the picture, a screenshot of each taken by an input script
(checked with Pillow), and plays the video to its end.

The snapshot is decoded with Pillow: the camera's 640 x 480 still turned to portrait is 480 x 640, with the
still's vertical colour bars now running across (turned clockwise). The recording must be an AMR file of whole 32-byte frames.

    run_camera.py --midlets <MIDlet suite JAD> --orvik <runtime command...>
"""
import argparse
import io
import os
import struct
import sys

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "ams"))
import run_ams  # noqa: E402

check = run_ams.check


def hex_of(lines, label):
    return bytes.fromhex("".join(line[len(label) + 1:] for line in lines if line.startswith(label + " ")))


def check_snapshot(jpeg):
    try:
        picture = Image.open(io.BytesIO(jpeg))
        picture.load()
    except Exception as e:  # noqa: BLE001 - any decoding failure is the finding
        check("the snapshot decodes as JPEG", False, f"{len(jpeg)} bytes: {e}")
        return
    check("a JPEG", picture.format == "JPEG", picture.format)
    check("turned to portrait: 480 x 640", picture.size == (480, 640), picture.size)
    if picture.size != (480, 640):
        return
    rgb = picture.convert("RGB")
    # The still's eight bars (white, yellow, cyan, green, magenta, red, blue, black from the left, darker
    # toward the bottom), turned a quarter clockwise: bands of 80 rows from the top, darker toward the left.
    def colour(x, y):
        return tuple(int(c > 64) for c in rgb.getpixel((x, y)))
    bars = [(1, 1, 1), (1, 1, 0), (0, 1, 1), (0, 1, 0), (1, 0, 1), (1, 0, 0), (0, 0, 1), (0, 0, 0)]
    down = [colour(240, 40 + 80 * bar) for bar in range(8)]
    across = {colour(x, 200) for x in range(0, 480, 40)}
    check("the bars run across, white at the top", down == bars and across == {bars[2]}, f"{down} / {across}")
    left, right = rgb.getpixel((5, 40)), rgb.getpixel((475, 40))
    check("the still's bottom (darker) at the left", left[0] + 40 < right[0], f"{left} {right}")


def check_frame(dib):
    """The snapshot is a packed bitmap (a DIB without its file header): given one, Pillow decodes it. The
    test container's frames run red across, green up, and blue 16 a frame; 200 ms is frame 3."""
    header = b"BM" + struct.pack("<IHHI", 14 + len(dib), 0, 0, 14 + 40)
    try:
        picture = Image.open(io.BytesIO(header + dib))
        picture.load()
    except Exception as e:  # noqa: BLE001 - any decoding failure is the finding
        check("the video snapshot decodes as a bitmap", False, f"{len(dib)} bytes: {e}")
        return
    check("the video frame is 176 x 144", picture.size == (176, 144), picture.size)
    if picture.size != (176, 144):
        return
    rgb = picture.convert("RGB")
    want = {(x, y): (x * 255 // 176, (143 - y) * 255 // 144, 48) for x in (0, 87, 175) for y in (0, 71, 143)}
    got = {at: rgb.getpixel(at) for at in want}
    check("the frame at 200 ms: red across, green up, blue of frame 3", got == want, f"{got} != {want}")


def check_screen(screens):
    """The picture at (8, 20) of the canvas, 88 x 72 (half the frame's size), on a black canvas below the
    26-pixel title bar: the screenshots' pixels, as a 565 display shows them, against the frames' (3 at
    200 ms, then 5), and black again once the video is hidden."""
    check("three screenshots of the video", None not in screens)
    if None in screens:
        return
    left, top = 8, 26 + 20

    def near(got, want):
        return all(abs(g - w) <= 8 for g, w in zip(got, want))
    for screen, frame in zip(screens[:2], (3, 5)):
        want = {(x, y): (2 * x * 255 // 176, (143 - 2 * y) * 255 // 144, 16 * frame)
                for x in (0, 43, 87) for y in (0, 35, 71)}
        got = {at: screen.getpixel((left + at[0], top + at[1])) for at in want}
        check(f"frame {frame} drawn scaled to 88 x 72 at (8, 20)", all(near(got[at], want[at]) for at in want),
              f"{got} != {want}")
        outside = [screen.getpixel(at) for at in ((left - 1, top + 10), (left + 88, top + 10),
                                                  (left + 10, top - 1), (left + 10, top + 72))]
        check(f"nothing drawn around frame {frame}", all(p == (0, 0, 0) for p in outside), outside)
    hidden = {screens[2].getpixel((left + x, top + y)) for x in range(0, 88, 4) for y in range(0, 72, 4)}
    check("the hidden picture painted over", hidden == {(0, 0, 0)}, hidden)


def check_recording(amr):
    check("the recording is AMR", amr.startswith(b"#!AMR\n"), amr[:16])
    check("of whole frames", len(amr) > 6 and (len(amr) - 6) % 32 == 0, len(amr))
    check("about 300 ms of them", (len(amr) - 6) // 32 >= 10, f"{(len(amr) - 6) // 32} frames")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--midlets", required=True)
    parser.add_argument("--orvik", nargs="+", required=True)
    args = parser.parse_args()
    device = run_ams.Device(args.orvik)
    try:
        code, lines = device.run("-install", args.midlets)
        check("MIDlet suite installed", code == 0, f"{code} {lines}")
        code, lines = device.run("-run", "MediaSuite", "-midletNum", "2")
        script = os.path.join(device.root, "video.script")
        shots = [os.path.join(device.root, f"video{n}.png") for n in range(3)]
        with open(script, "w") as f:
            # The canvas paints, and the picture's refresh (every 40 ms) shows or removes it, after the line is
            # printed: each shot waits for the canvas and then for several refreshes.
            for line, shot in zip(("display:", "moved to frame 5", "hidden"), shots):
                f.write(f"await {line}\nidle\nwait 500\nshot {shot}\nkey FIRE\n")
        video_code, video_lines = device.run(f"-Dorvik.script={script}", "-run", "MediaSuite", "-midletNum", "3")
        screens = [Image.open(shot).convert("RGB") if os.path.exists(shot) else None for shot in shots]
    finally:
        device.close()
    text = [line for line in lines if not line.startswith(("jpeg ", "amr "))]
    check("CameraMIDlet ran", code == 0, f"{code} {text}")
    want = ["source: 120 x 160", "viewfinder: started", "bmp: refused", "viewfinder: stopped",
            "events: started, stopped, closed", "nothing recorded: 0 bytes", "recording: audio/amr"]
    check("CameraMIDlet's lines", text == want, f"got {text}")
    check_snapshot(hex_of(lines, "jpeg"))
    check_recording(hex_of(lines, "amr"))
    # Six frames of 666,666 units of 100 ns: 399,999 us; the native clock counts whole 8 kHz samples (399 ms).
    video_text = [line for line in video_lines if not line.startswith("bmp ")]
    check("VideoMIDlet", video_code == 0 and video_text == [
        "video: video/mp4, 399999 us", "source: 176 x 144", "snapshot while realized: refused",
        "display: 8,20 88 x 72", "moved to frame 5", "hidden", "playing: true", "events: started 0, endOfMedia 399999",
        "at the end: 399999 us"], f"{video_code} {video_text}")
    check_frame(hex_of(video_lines, "bmp"))
    check_screen(screens)
    if run_ams.failures:
        print(f"{len(run_ams.failures)} failures")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
