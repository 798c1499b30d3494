#!/usr/bin/env python3
"""Writes a skin folder shaped like the installer's: 93 files, about 1.2 MB.

usage: make_bench_skin.py OUT_DIR

10 markup files (windows with nested layouts, labels, buttons with image
descriptions, comments, entities) and 83 PNG images of typical skin sizes
(buttons, backgrounds, icons, progress bars, frame sequences) with gradients
and noise, so they compress about as well as real artwork. Deterministic.
"""
import os
import random
import struct
import sys
import zlib


def png(width, height, rows):
    raw = b"".join(b"\x00" + row for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def image(rng, width, height, noise, alpha_edges):
    base = [rng.randrange(256) for _ in range(3)]
    step = [rng.uniform(-1.5, 1.5) for _ in range(3)]
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            pixel = []
            for c in range(3):
                v = base[c] + step[c] * (x + y) + rng.randint(-noise, noise)
                pixel.append(max(0, min(255, int(v))))
            edge = min(x, y, width - 1 - x, height - 1 - y)
            a = 255 if not alpha_edges or edge >= 3 else 80 * edge
            row += bytes(pixel + [a])
        rows.append(bytes(row))
    return png(width, height, rows)


def markup(rng, index, images):
    lines = ['<?xml version="1.0" encoding="utf-8"?>',
             '<Window size="480,%d" caption="0,0,0,35" roundcorner="2,2" showshadow="true" shadowsize="6">' % (300 + index),
             '  <Font id="0" name="\u5fae\u8f6f\u96c5\u9ed1" size="12" default="true"/>',
             '  <Font id="1" name="\u5fae\u8f6f\u96c5\u9ed1" size="14" bold="true"/>',
             '  <!-- page %d of the test skin -->' % index,
             '  <VerticalLayout bkimage="%s" width="480" height="100">' % images[0]]
    for page in range(5):
        lines.append('    <TabLayout name="pages%d" selectedid="0">' % page)
        for item in range(rng.randint(6, 12)):
            img = images[rng.randrange(len(images))]
            lines.append('      <HorizontalLayout height="%d" padding="10,0,0,0" childvalign="vcenter">' % rng.randint(20, 60))
            lines.append('        <Control width="%d"/>' % rng.randint(4, 40))
            lines.append('        <Label name="lbl%d_%d" text="\u5b89\u88c5 Transvera &amp; friends %d" font="0" '
                         'textcolor="#FF333333" textpadding="4,0,4,0" align="left"/>' % (page, item, item))
            lines.append("        <Button name=\"btn%d_%d\" width=\"%d\" height=\"%d\" "
                         "normalimage=\"file='%s' corner='2,2,2,2' fade='255'\" "
                         "hotimage=\"file='%s' dest='0,2,15,16' \" pushedimage=\"%s\" tooltip=\"%%{%d}\"/>"
                         % (page, item, rng.randint(40, 120), rng.randint(20, 36), img, img, img, item))
            lines.append('        <CheckBox name="chk%d_%d" selected="%s" width="16" height="16"/>'
                         % (page, item, "true" if item % 2 else "false"))
            lines.append('      </HorizontalLayout>')
        lines.append('      <Progress name="prg%d" foreimage="file=\'%s\' corner=\'2,2,2,2\'" value="50" height="8"/>'
                     % (page, images[1]))
        lines.append('    </TabLayout>')
    lines.append('  </VerticalLayout>')
    lines.append('</Window>')
    return ("\n".join(lines) + "\n").encode("utf-8")


def main():
    out = sys.argv[1]
    rng = random.Random(93)
    sizes = [(16, 16), (24, 24), (32, 32), (48, 48), (60, 24), (90, 30), (120, 36), (200, 8), (480, 100), (300, 60)]
    names = []
    for i in range(83):
        width, height = sizes[i % len(sizes)]
        folder = ("common", "mainWnd", "msgbox", "anim")[i % 4]
        name = "res/%s/img%02d.png" % (folder, i)
        data = image(rng, width, height, noise=6 if i % 3 else 2, alpha_edges=i % 2 == 0)
        path = os.path.join(out, *name.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        names.append(name.replace("/", "\\"))
    for i in range(10):
        with open(os.path.join(out, "window%02d.xml" % i), "wb") as f:
            f.write(markup(rng, i, names))


if __name__ == "__main__":
    main()
