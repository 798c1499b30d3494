#!/usr/bin/env python3
"""Writes the skin folders the framework tests archive with 7zz.

usage: make_skin_fixture.py OUT_DIR

OUT_DIR/skin    markup files and small PNG images with known pixels
OUT_DIR/limits  markup files around the 4 MiB size limit
"""
import os
import struct
import sys
import zlib


def png(width, height, pixels):
    """PNG bytes of RGBA pixels given row by row as (r, g, b, a) tuples."""
    raw = b"".join(b"\x00" + b"".join(struct.pack("4B", *p) for p in row) for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


# Nine-slice test image, 9 x 9: 2-pixel borders, 5-pixel centre, one colour per part.
NINE_COLORS = [
    [(255, 0, 0), (0, 255, 0), (0, 0, 255)],
    [(255, 255, 0), (128, 128, 128), (0, 255, 255)],
    [(255, 0, 255), (255, 255, 255), (64, 32, 16)],
]


def nine(alpha):
    def part(i):
        return 0 if i < 2 else (1 if i < 7 else 2)

    return [[NINE_COLORS[part(y)][part(x)] + (alpha,) for x in range(9)] for y in range(9)]


def main():
    out = sys.argv[1]
    skin = os.path.join(out, "skin")
    limits = os.path.join(out, "limits")

    main_wnd = (
        '<?xml version="1.0" encoding="utf-8"?>\n'
        "<!-- the main window of the tests -->\n"
        '<Window size="300,200" caption="0,0,0,30" roundcorner="2,2" showshadow="true">\n'
        '  <Font id="0" name="\u5fae\u8f6f\u96c5\u9ed1" size="12" default="true" />\n'
        '  <VerticalLayout bkcolor="#FFFFFFFF">\n'
        '    <Label name="title" text="Transvera &amp; friends" />\n'
        '    <Button name="closebtn" normalimage="res\\common\\closebtn1.png" disabledimage="res\\common\\closebtn4.png"/>\n'
        "  </VerticalLayout>\n"
        "</Window>\n"
    )
    write(os.path.join(skin, "mainWnd.xml"), main_wnd.encode("utf-8"))
    write(os.path.join(skin, "MessageBox1Wnd.xml"), b"\xef\xbb\xbf" + main_wnd.replace("300,200", "200,100").encode("utf-8"))
    write(os.path.join(skin, "broken.xml"), b"<Window><Label text='x'/></Window>")
    write(os.path.join(skin, "empty.xml"), b"")

    # Opaque 8 x 4: red = 30 x, green = 60 y, blue 100.
    write(os.path.join(skin, "res", "mainWnd", "bg1.png"),
          png(8, 4, [[(30 * x, 60 * y, 100, 255) for x in range(8)] for y in range(4)]))
    # Translucent pixels for premultiplication.
    write(os.path.join(skin, "res", "common", "minbtn1.png"),
          png(2, 2, [[(200, 100, 50, 128), (255, 255, 255, 0)], [(10, 20, 30, 255), (255, 0, 0, 64)]]))
    write(os.path.join(skin, "res", "common", "closebtn1.png"), png(2, 1, [[(0, 0, 0, 255), (0, 0, 0, 255)]]))
    write(os.path.join(skin, "res", "nine.png"), png(9, 9, nine(255)))
    write(os.path.join(skin, "res", "nine_alpha.png"), png(9, 9, nine(255)[:8] + [nine(128)[8]]))
    # Four columns of distinct colours for tiling.
    columns = [(255, 0, 0, 255), (0, 255, 0, 255), (0, 0, 255, 255), (255, 255, 0, 255)]
    write(os.path.join(skin, "res", "tile.png"), png(4, 2, [columns, columns]))
    write(os.path.join(skin, "res", "mask.png"), png(2, 1, [[(255, 0, 0, 255), (0, 255, 0, 255)]]))
    write(os.path.join(skin, "res", "mainWnd", "installPrg2.png"), png(9, 9, nine(255)))

    # Markup around the 4 MiB limit: the root element padded with spaces.
    limit = 4194304
    for name, size in (("limit_ok.xml", limit), ("limit_over.xml", limit + 1)):
        head, tail = b"<Window>", b"</Window>"
        write(os.path.join(limits, name), head + b" " * (size - len(head) - len(tail)) + tail)


if __name__ == "__main__":
    main()
