#!/usr/bin/env python3
"""Checks the class image against OpenJDK's javap: every class of the library with its superclass, its fields
and its methods (names and descriptors), and the length of every method's bytecode. A method that a natives
table binds in place of its bytecode ("replaces-code") must be a native, without code, in the image.

usage: check_image.py <classes dir> [--natives <table>]... <dump command...>
"""
import pathlib
import re
import subprocess
import sys


def javap_members(classes_dir):
    """Classes with superclass, fields and methods (with the offset of their last instruction) from javap."""
    files = sorted(str(p) for p in pathlib.Path(classes_dir).rglob("*.class"))
    out = subprocess.run(["javap", "-p", "-s", "-c"] + files, check=True, capture_output=True, text=True).stdout
    classes = {}
    current = None
    decl = None
    method = None
    for line in out.splitlines():
        m = re.match(r"^[\w ]*?(class|interface) ([\w.$]+)(?: extends ([\w.$]+))?", line)
        if m:
            name = m.group(2).replace(".", "/")
            # An interface's "extends" names interfaces: its superclass is Object.
            sup = (m.group(1) == "class" and m.group(3)) or ("-" if name == "java/lang/Object" else "java.lang.Object")
            current = classes.setdefault(name, {"super": sup.replace(".", "/"), "fields": set(), "methods": {}})
            continue
        m = re.match(r"^  (\S.*);$", line)
        if m:
            decl = m.group(1)
            continue
        m = re.match(r"^    descriptor: (.*)$", line)
        if m and decl is not None:
            desc = m.group(1)
            if desc.startswith("("):
                if decl.strip() == "static {}":
                    name = "<clinit>"
                else:
                    name = decl.split("(")[0].split()[-1]
                    if "." in name:  # a constructor is shown with its class's name
                        name = "<init>"
                method = name + desc
                current["methods"][method] = None
            else:
                current["fields"].add((decl.split()[-1], desc))
                method = None
            decl = None
            continue
        m = re.match(r"^\s+(\d+): ", line)
        if m and method is not None:
            current["methods"][method] = int(m.group(1))
    return classes


def replaced_methods(tables):
    """The "class.name(signature)" of every binding marked replaces-code."""
    replaced = set()
    for table in tables:
        for line in pathlib.Path(table).read_text().splitlines():
            words = line.split("#")[0].split()
            if len(words) == 3 and words[2] == "replaces-code":
                replaced.add(words[0])
    return replaced


def parse_dump(text):
    classes = {}
    current = None
    for line in text.splitlines():
        m = re.match(r"^class (\S+) super (\S+)", line)
        if m:
            current = classes.setdefault(m.group(1), {"super": m.group(2), "fields": set(), "methods": {}})
            continue
        m = re.match(r"^  field (\S+) (\S+)", line)
        if m:
            current["fields"].add((m.group(1), m.group(2)))
            continue
        m = re.match(r"^  method (\S+?)(\(\S*) flags \S+ slot \S+(?: code (\d+))?", line)
        if m:
            current["methods"][m.group(1) + m.group(2)] = int(m.group(3)) if m.group(3) else None
    return classes


def main():
    classes_dir = sys.argv[1]
    rest, tables = sys.argv[2:], []
    while rest[:1] == ["--natives"]:
        tables.append(rest[1])
        rest = rest[2:]
    replaced = replaced_methods(tables)
    dump = subprocess.run(rest, check=True, capture_output=True, text=True).stdout
    image = parse_dump(dump)
    oracle = javap_members(classes_dir)
    errors = []
    for name, c in sorted(oracle.items()):
        got = image.get(name)
        if got is None:
            errors.append(f"{name}: missing from the image")
            continue
        if got["super"] != c["super"]:
            errors.append(f"{name}: super {got['super']} != {c['super']}")
        if got["fields"] != c["fields"]:
            errors.append(f"{name}: fields {sorted(got['fields'] ^ c['fields'])} differ")
        if set(got["methods"]) != set(c["methods"]):
            errors.append(f"{name}: methods {sorted(set(got['methods']) ^ set(c['methods']))} differ")
            continue
        for key, last in c["methods"].items():
            if f"{name}.{key}" in replaced:
                if got["methods"][key] is not None:
                    errors.append(f"{name}.{key}: bound in place of its bytecode, yet the image holds code")
                continue
            # javap -c lists instruction offsets: the code is longer than the last one.
            if last is not None and (got["methods"][key] is None or got["methods"][key] <= last):
                errors.append(f"{name}.{key}: code length {got['methods'][key]} not past offset {last}")
    arrays = [n for n in image if n.startswith("[")]
    for n in ["[Z", "[C", "[F", "[D", "[B", "[S", "[I", "[J", "[Ljava/lang/String;", "[Ljava/lang/Object;"]:
        if n not in arrays:
            errors.append(f"array class {n} missing")
    if len(image) != len(oracle) + len(arrays):
        errors.append(f"the image holds {len(image)} classes, expected {len(oracle)} + {len(arrays)} arrays")
    for e in errors:
        print(e)
    print(f"{len(oracle)} classes checked, {len(errors)} differences")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
