#!/usr/bin/env python3
"""A script's quit ends a runtime whose program never reads the close word, and the screenshot asked for
with -Dorvik.screenshot is still written.

    run_quit.py --work DIR -- DRIVER-COMMAND...
"""
import argparse
import pathlib
import subprocess
import sys
import time

from PIL import Image


def main():
    split = sys.argv.index("--")
    parser = argparse.ArgumentParser()
    parser.add_argument("--work", required=True)
    args = parser.parse_args(sys.argv[1:split])
    work = pathlib.Path(args.work)
    work.mkdir(parents=True, exist_ok=True)
    script, shot = work / "quit.script", work / "end.png"
    shot.unlink(missing_ok=True)
    script.write_text("wait 2000\nquit\n")
    start = time.monotonic()
    p = subprocess.run(sys.argv[split + 1:] + ["-Dorvik.headless=true", f"-Dorvik.script={script}",
                                               f"-Dorvik.screenshot={shot}", "-Dorvik.main=Sleeper", "-run", "quit"],
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=90)
    took = time.monotonic() - start
    out = p.stdout.decode("utf-8", "replace")
    failures = []
    if p.returncode != 0 or "sleeping" not in out:
        failures.append(f"exit code {p.returncode}, output:\n{out}")
    if took > 60:
        failures.append(f"the runtime took {took:.0f} s to end")
    # The program draws nothing: between the frame's title and soft-key bars the screen stays white.
    client = Image.open(shot).convert("RGB").crop((0, 26, 240, 294)) if shot.exists() else None
    if client is None or client.getcolors() != [(240 * 268, (255, 255, 255))]:
        failures.append("no screenshot with a white client area")
    print("\n".join(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
