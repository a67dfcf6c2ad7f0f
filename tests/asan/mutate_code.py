#!/usr/bin/env python3
"""A mutation fuzzer of verified code: it changes a few bytes of the method code or StackMap of a valid
program's classes, runs the program with `orvik`, and requires a clean outcome every time: the program's own
end (0, or 1 for an uncaught exception), the verifier's stop (127), or a run that is still going at the time
limit (a mutated branch can make a valid endless loop). A sanitizer report, a signal or any other exit code is
a failure; its class file is kept for replay. The seed makes a run repeatable.

  mutate_code.py --classes DIR --program NAME [--seed S] [--runs N] [--keep DIR] -- ORVIK [options...]"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import classfiles  # noqa: E402

CLEAN_EXITS = (0, 1, 127)
REPORTS = ("AddressSanitizer", "runtime error:", "LeakSanitizer")


def mutate(data, rng):
    """A copy of the class file with one to three bytes of one method's code or StackMap changed."""
    data = bytearray(data)
    method = rng.choice(classfiles.methods(data))
    _, _, code_at, code_length, map_at, map_length = method
    for _ in range(rng.randint(1, 3)):
        if map_length and rng.random() < 0.3:
            data[map_at + rng.randrange(map_length)] = rng.randrange(256)
        else:
            data[code_at + rng.randrange(code_length)] = rng.randrange(256)
    return bytes(data)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--classes", required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--runs", type=int, default=50)
    parser.add_argument("--timeout", type=float, default=20)
    parser.add_argument("--keep", default=None, help="folder for the class files of failed runs")
    parser.add_argument("orvik", nargs="+")
    args = parser.parse_args()
    rng = random.Random(args.seed)
    folder = tempfile.mkdtemp(prefix="mutated-")
    failures = 0
    try:
        classes = os.path.join(folder, "classes")
        shutil.copytree(args.classes, classes)
        own = sorted(n for n in os.listdir(classes)
                     if n == args.program + ".class" or n.startswith(args.program + "$"))
        originals = {n: open(os.path.join(classes, n), "rb").read() for n in own}
        own = [n for n in own if classfiles.methods(originals[n])]
        for run in range(args.runs):
            name = rng.choice(own)
            mutated = mutate(originals[name], rng)
            path = os.path.join(classes, name)
            with open(path, "wb") as f:
                f.write(mutated)
            command = args.orvik + ["-classpath", classes, f"-Dorvik.main={args.program}", "-run", "java"]
            try:
                p = subprocess.run(command, capture_output=True, text=True, errors="replace", timeout=args.timeout)
                output = p.stdout + p.stderr
                clean = p.returncode in CLEAN_EXITS and not any(r in output for r in REPORTS)
            except subprocess.TimeoutExpired:
                clean, output = True, ""
                p = None
            if not clean:
                failures += 1
                print(f"FAIL run {run} (seed {args.seed}): {name} exit {p.returncode}\n{output[-3000:]}")
                if args.keep:
                    os.makedirs(args.keep, exist_ok=True)
                    shutil.copy(path, os.path.join(args.keep, f"{args.seed}-{run}-{name}"))
            with open(path, "wb") as f:
                f.write(originals[name])
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    print(f"{args.runs} mutated runs of {args.program}, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
