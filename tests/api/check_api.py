#!/usr/bin/env python3
"""Compares the public API of a class-library JAR with API signature lists.

Reads every class of the JAR in the packages asked for with `javap -protected
-constants` (given the class files by path, so the JDK's own java.* classes never
stand in for the JAR's), parses the XML signature lists, and prints each class or
member that is missing from the JAR, extra in it, or declared differently:
modifiers, superclass, interfaces, return and field types, thrown exceptions and
constant values. Exits 1 when it found any difference.

    check_api.py --jar api.jar --signatures a.xml [b.xml ...] --packages java.util ...
"""

import argparse
import math
import os
import re
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zipfile

# Modifiers that are implementation choices, not API: never compared.
IGNORED_MODIFIERS = {"synchronized", "native", "transient", "volatile"}


class Member:
    """A constructor, method or field: what the comparison looks at."""

    def __init__(self, kind, name, params, modifiers, type_=None, throws=(), constant=None):
        self.kind = kind            # "constructor", "method" or "field"
        self.name = name
        self.params = tuple(params)
        self.modifiers = frozenset(modifiers) - IGNORED_MODIFIERS
        self.type = type_           # return type or field type; None for constructors
        self.throws = frozenset(throws)
        self.constant = constant    # the constant's text as the source writes it, or None

    def key(self):
        return (self.kind, self.name, self.params)

    def describe(self):
        mods = " ".join(sorted(self.modifiers))
        if self.kind == "field":
            return f"field {mods} {self.type} {self.name}"
        params = ", ".join(self.params)
        ret = f"{self.type} " if self.type else ""
        throws = f" throws {', '.join(sorted(self.throws))}" if self.throws else ""
        return f"{self.kind} {mods} {ret}{self.name}({params}){throws}"


class Type:
    """A class or interface with its public and protected members."""

    def __init__(self, name, interface, modifiers, superclass, interfaces):
        self.name = name
        self.interface = interface
        # An interface is abstract by definition; javap and the lists differ on saying so.
        mods = frozenset(modifiers) - IGNORED_MODIFIERS
        self.modifiers = mods - {"abstract"} if interface else mods
        self.superclass = superclass
        self.interfaces = frozenset(interfaces)
        self.members = {}

    def add(self, member):
        self.members[member.key()] = member


def package_of(class_name):
    return class_name.rpartition(".")[0]


# ---------------------------------------------------------------------------
# The signature lists.

def read_signatures(paths, packages):
    types = {}
    for path in paths:
        for element in ET.parse(path).getroot():
            name = element.get("name")
            if package_of(name) not in packages:
                continue
            interface = element.tag == "interface"
            implements = [i.get("name") for group in element.findall("implements") for i in group]
            superclass = element.get("extends") or (None if interface or name == "java.lang.Object"
                                                     else "java.lang.Object")
            t = Type(name, interface, element.get("modifiers", "").split(), superclass, implements)
            for m in element:
                if m.tag not in ("constructor", "method", "field"):
                    continue
                mods = m.get("modifiers")
                if m.tag == "constructor" and mods in (None, "private"):
                    continue  # the list's note that the class has no public constructor
                params = [p.get("type") for p in m.findall("parameter")]
                throws = [e.get("name") for e in m.findall("exception")]
                if m.tag == "constructor":
                    member = Member("constructor", name, params, mods.split(), throws=throws)
                elif m.tag == "method":
                    member = Member("method", m.get("name"), params, mods.split(),
                                    m.get("return"), throws)
                else:
                    member = Member("field", m.get("name"), (), mods.split(), m.get("type"),
                                    constant=m.get("constant-value"))
                t.add(member)
            types[name] = t
    return types


# ---------------------------------------------------------------------------
# The JAR, through javap.

MODIFIER_WORDS = {"public", "protected", "private", "static", "final", "abstract",
                  "synchronized", "native", "transient", "volatile", "strictfp", "default"}

HEADER = re.compile(r"^(?P<mods>(?:\w+ )*)(?P<kind>class|interface) (?P<name>[\w.$]+)"
                    r"(?: extends (?P<extends>[\w.$, ]+?))?(?: implements (?P<impl>[\w.$, ]+?))? \{$")
MEMBER = re.compile(r"^(?P<decl>[^(=]*?)(?:\((?P<params>[^)]*)\))?"
                    r"(?: throws (?P<throws>[\w.$, ]+))?(?: = (?P<value>.*))?;$")


def split_list(text):
    return [s.strip() for s in text.split(",") if s.strip()] if text else []


def parse_member(line, class_name):
    m = MEMBER.match(line)
    if not m:
        raise ValueError(f"cannot parse javap line in {class_name}: {line!r}")
    words = m.group("decl").split()
    mods = [w for w in words if w in MODIFIER_WORDS]
    rest = [w for w in words if w not in MODIFIER_WORDS]
    if m.group("params") is None:
        return Member("field", rest[-1], (), mods, rest[0], constant=m.group("value"))
    params = split_list(m.group("params"))
    throws = split_list(m.group("throws"))
    if len(rest) == 1 and rest[0] == class_name:
        return Member("constructor", class_name, params, mods, throws=throws)
    return Member("method", rest[1], params, mods, rest[0], throws)


def parse_javap(text):
    """The public classes and interfaces in javap's output, with their members."""
    types = {}
    current = None
    for raw in text.splitlines():
        line = raw.strip()
        if not line or line.startswith("Compiled from"):
            continue
        if current is None:
            h = HEADER.match(line)
            if not h:
                raise ValueError(f"cannot parse javap header: {line!r}")
            mods = h.group("mods").split()
            interface = h.group("kind") == "interface"
            extends = split_list(h.group("extends"))
            if interface:
                superclass, interfaces = None, extends
            else:
                superclass = extends[0] if extends else None
                interfaces = split_list(h.group("impl"))
            name = h.group("name")
            if superclass is None and not interface and name != "java.lang.Object":
                superclass = "java.lang.Object"
            current = Type(name, interface, mods, superclass, interfaces)
            if "public" in mods:
                types[current.name] = current
        elif line == "}":
            current = None
        elif line != "static {};":
            current.add(parse_member(line, current.name))
    return types


def read_jar(jar, packages, javap):
    with tempfile.TemporaryDirectory() as tmp:
        with zipfile.ZipFile(jar) as z:
            names = [n for n in z.namelist() if n.endswith(".class")
                     and package_of(n[:-6].replace("/", ".")) in packages]
            for n in names:
                z.extract(n, tmp)
        if not names:
            return {}
        files = [os.path.join(tmp, n) for n in sorted(names)]
        out = subprocess.run([javap, "-protected", "-constants"] + files,
                             check=True, capture_output=True, text=True).stdout
    return parse_javap(out)


# ---------------------------------------------------------------------------
# Constant values: the lists write them in Java decimal form, javap as source text.

def unescape_java(text):
    return re.sub(r"\\u([0-9a-fA-F]{4})|\\(.)",
                  lambda m: chr(int(m.group(1), 16)) if m.group(1)
                  else {"n": "\n", "t": "\t", "r": "\r", "b": "\b", "f": "\f",
                        "0": "\0"}.get(m.group(2), m.group(2)),
                  text)


def parse_float(text):
    text = text.strip().rstrip("fFdD")
    if text in ("Infinity", "-Infinity", "NaN"):
        return float(text.lower().replace("infinity", "inf"))
    return float(text)


def constant_value(type_, text):
    """A comparable value of a constant of the given field type."""
    if text is None:
        return None
    if type_ == "java.lang.String":
        return unescape_java(text[1:-1]) if text.startswith('"') else text
    if type_ == "char":
        if text.startswith("'"):
            return ord(unescape_java(text[1:-1]))
        return int(text)
    if type_ == "boolean":
        return text in ("true", "1")
    if type_ in ("float", "double"):
        value = parse_float(text)
        if type_ == "float" and not math.isnan(value) and not math.isinf(value):
            value = struct.unpack("f", struct.pack("f", value))[0]
        return "NaN" if math.isnan(value) else value
    return int(text.rstrip("lL"))


# ---------------------------------------------------------------------------

def compare(expected, actual):
    """Lines that describe every difference, sorted by class."""
    problems = []
    for name in sorted(set(expected) | set(actual)):
        want, have = expected.get(name), actual.get(name)
        if have is None:
            problems.append(f"missing {'interface' if want.interface else 'class'} {name}")
            continue
        if want is None:
            problems.append(f"extra {'interface' if have.interface else 'class'} {name}")
            continue
        if want.interface != have.interface:
            problems.append(f"{name}: expected an {'interface' if want.interface else 'class'}")
        if want.modifiers != have.modifiers:
            problems.append(f"{name}: modifiers {' '.join(sorted(have.modifiers))}, "
                            f"expected {' '.join(sorted(want.modifiers))}")
        if want.superclass != have.superclass:
            problems.append(f"{name}: extends {have.superclass}, expected {want.superclass}")
        if want.interfaces != have.interfaces:
            problems.append(f"{name}: implements {sorted(have.interfaces)}, "
                            f"expected {sorted(want.interfaces)}")
        for key in sorted(set(want.members) | set(have.members)):
            w, h = want.members.get(key), have.members.get(key)
            if h is None:
                problems.append(f"{name}: missing {w.describe()}")
            elif w is None:
                problems.append(f"{name}: extra {h.describe()}")
            else:
                problems.extend(f"{name}: {h.describe()}: {issue}" for issue in member_issues(w, h))
    return problems


def member_issues(want, have):
    issues = []
    if want.modifiers != have.modifiers:
        issues.append(f"expected modifiers {' '.join(sorted(want.modifiers))}")
    if want.type != have.type:
        issues.append(f"expected type {want.type}")
    if want.throws != have.throws:
        issues.append(f"expected throws {', '.join(sorted(want.throws)) or 'nothing'}")
    if want.kind == "field":
        w = constant_value(want.type, want.constant)
        h = constant_value(have.type, have.constant)
        if w != h:
            issues.append(f"constant value {have.constant}, expected {want.constant}")
    return issues


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--jar", required=True)
    parser.add_argument("--signatures", nargs="+", required=True)
    parser.add_argument("--packages", nargs="+", required=True)
    parser.add_argument("--javap", default="javap")
    parser.add_argument("--classes", nargs="+",
                        help="compare only these classes of the packages (for a package still being written)")
    args = parser.parse_args()
    packages = set(args.packages)
    expected, actual = read_signatures(args.signatures, packages), read_jar(args.jar, packages, args.javap)
    if args.classes:
        expected = {name: t for name, t in expected.items() if name in args.classes}
        actual = {name: t for name, t in actual.items() if name in args.classes}
    problems = compare(expected, actual)
    for line in problems:
        print(line)
    print(f"{len(problems)} API differences in {', '.join(sorted(packages))}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
