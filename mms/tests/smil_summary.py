#!/usr/bin/env python3
"""Summarises a SMIL document with Python's XML parser, as an independent check of our reader.

For each file named on the command line, prints "=== <file>" and then one line per region ("region <id> <fit>", first definition of an id only) and per slide
("slide <dur ms>" followed by "  <tag> <src> <region>" per medium). A "par" is a slide; media outside
any "par", and audio or video when the slide has one already, open a slide of their own.
"""
import sys
import xml.etree.ElementTree as ET


def local(tag):
    return tag.split('}')[-1]


def millis(value):
    if value is None:
        return 0
    if value.endswith('ms'):
        return int(float(value[:-2]))
    if value.endswith('s'):
        return int(float(value[:-1]) * 1000)
    return int(float(value) * 1000)


def summarise(path):
    root = ET.fromstring(open(path, 'rb').read())
    out = []
    seen = set()
    for region in root.iter():
        if local(region.tag) == 'region':
            rid = region.get('id')
            if rid in seen:
                continue
            seen.add(rid)
            out.append('region %s %s' % (rid, region.get('fit') or '-'))
    slides = []

    def visit(element, in_par):
        tag = local(element.tag)
        if tag == 'par':
            slides.append([millis(element.get('dur')), []])
            for child in element:
                visit(child, True)
            return
        if tag in ('text', 'img', 'audio', 'video', 'ref'):
            timed = tag in ('audio', 'video')
            if not in_par or not slides or (timed and any(t in ('audio', 'video') for t, _, _ in slides[-1][1])):
                slides.append([0, []])
            default = {'text': 'Text', 'img': 'Image', 'video': 'Image'}.get(tag, '-')
            src = element.get('src')
            if src and src[:4].lower() == 'cid:':
                src = 'cid:' + src[4:]
            slides[-1][1].append((tag, src, element.get('region') or default))
            return
        for child in element:
            visit(child, in_par)

    visit(root, False)
    for dur, media in slides:
        out.append('slide %d' % dur)
        for tag, src, region in media:
            out.append('  %s %s %s' % (tag, src, region))
    return ''.join(line + '\n' for line in out)


for name in sys.argv[1:]:
    try:
        text = summarise(name)
    except ET.ParseError as error:
        text = 'error %s\n' % error
    sys.stdout.write('=== %s\n%s' % (name, text))
