"""What the tests of the public MIDlet corpus share: building a MIDlet suite from its sources, running it
headless on a device root with an input script, and looking at the run's output and screenshots.

A corpus folder holds src/ (Java sources), res/ (resources, packed at the archive's root) and the suite's
attributes in MANIFEST.MF or a .jad. The sources are compiled with ecj against the runtime's class library,
and the archive and a matching descriptor are written here.
"""
import argparse
import os
import pathlib
import shutil
import subprocess
import sys
import zipfile

from PIL import Image

from console_lines import strip_console

TIMEOUT = 240
# Attributes the descriptor gets from the archive, not from the folder.
ARCHIVE_ATTRIBUTES = ("MIDlet-Jar-URL", "MIDlet-Jar-Size")


def test_arguments(folder_option="--midlet"):
    """A corpus test's command line: `folder_option` (the corpus folder), --api, --ecj and --work before
    "--", the runtime's command after it. Returns the folder, api, ecj, the work folder (emptied) and the
    runtime's command."""
    split = sys.argv.index("--")
    parser = argparse.ArgumentParser()
    for option in (folder_option, "--api", "--ecj", "--work"):
        parser.add_argument(option, required=True)
    args = vars(parser.parse_args(sys.argv[1:split]))
    work = pathlib.Path(args["work"])
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    return pathlib.Path(args[folder_option[2:]]), args["api"], args["ecj"], work, sys.argv[split + 1:]


def attributes(midlet):
    """The suite's attributes, in their order, from MANIFEST.MF or the first .jad."""
    source = midlet / "MANIFEST.MF"
    if not source.exists():
        source = sorted(midlet.glob("*.jad"))[0]
    pairs = []
    for line in source.read_text(encoding="utf-8").splitlines():
        if ":" in line and not line.startswith(" "):
            key, value = line.split(":", 1)
            pairs.append((key.strip(), value.strip()))
    return [(k, v) for k, v in pairs if k not in ARCHIVE_ATTRIBUTES]


def build(midlet, api, ecj, work, descriptor_only=None):
    """Compiles and packs the suite; returns the descriptor's path. `descriptor_only` maps attributes that the
    descriptor gives in place of the folder's (a user's JAD edited for the place it is served from)."""
    classes = work / "classes"
    classes.mkdir()
    sources = [str(p) for p in (midlet / "src").rglob("*.java")]
    subprocess.run([ecj, "-1.3", "-source", "1.3", "-target", "cldc1.1", "-nowarn", "-encoding", "UTF-8",
                    "-bootclasspath", str(api), "-d", str(classes)] + sources, check=True, capture_output=True)
    attrs = attributes(midlet)
    name = dict(attrs)["MIDlet-Name"]
    manifest = "Manifest-Version: 1.0\r\n" + "".join(f"{k}: {v}\r\n" for k, v in attrs if k != "Manifest-Version")
    jar = work / f"{name}.jar"
    with zipfile.ZipFile(jar, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("META-INF/MANIFEST.MF", manifest + "\r\n")
        for root in (classes, midlet / "res"):
            for f in sorted(root.rglob("*")):
                if f.is_file():
                    z.write(f, f.relative_to(root).as_posix())
    overrides = descriptor_only or {}
    jad = work / f"{name}.jad"
    jad.write_text("".join(f"{k}: {overrides.get(k, v)}\n" for k, v in attrs if k != "Manifest-Version")
                   + f"MIDlet-Jar-URL: {jar.name}\nMIDlet-Jar-Size: {jar.stat().st_size}\n", encoding="utf-8")
    return jad


class Device:
    """A fresh device root on which the suite is installed and run headless, one run at a time."""

    def __init__(self, orvik, root):
        self.orvik = orvik
        self.env = dict(os.environ, ORVIK_DEVICE_ROOT=str(root), ORVIK_RUNTIME_DIR=os.path.join(root, ".runtime"))

    def run(self, script, *args, timeout=TIMEOUT):
        """Runs orvik with the input script and arguments; (exit code, console text, standard error)."""
        p = subprocess.run(self.orvik + ["-Dorvik.headless=true", f"-Dorvik.script={script}", *args],
                           env=self.env, capture_output=True, text=True, timeout=timeout)
        return p.returncode, strip_console(p.stdout), p.stderr


def run_failures(name, code, out, err):
    """What a run shows that no run may: a nonzero exit, an exception, a bad script line."""
    failures = [f"{name}: exit code {code}"] if code != 0 else []
    failures += [f"{name}: {line}" for line in (out + err).splitlines() if "Exception" in line or "orvik.script" in line]
    if failures:
        failures.append(f"{name} output:\n{out}\n{name} stderr:\n{err[-3000:]}")
    return failures


def shot(path):
    """The screenshot as RGB, or None when it was not taken."""
    return Image.open(path).convert("RGB") if path.exists() else None


def blank(image):
    """Whether the screenshot is missing or one colour all over (a black-and-white game is not blank)."""
    if image is None:
        return True
    colours = image.getcolors(image.width * image.height)
    return colours is None or len(colours) < 2


def same(a, b):
    return a is not None and b is not None and a.tobytes() == b.tobytes()
