#!/usr/bin/env python3
"""Draws the small images of the option dialogs' buttons as 16 x 16 bitmaps.

"Save" shows a blue floppy disk with a white label and a grey shutter;
"Cancel" shows a red cross. Both are drawn from a few rectangles and lines, so
every run writes the same bytes; the .bmp files are committed beside the
dialogs and compiled in by dialogs/dialogs.rc.

Bitmaps rather than icons: each resource script numbers the images of its
icons from 1, so a second script with icons would clash with the program's own
icons once both are linked. Magenta (255, 0, 255) marks the transparent
pixels; the dialogs turn it into a mask when they load the images.

Usage: scripts/make-button-glyphs.py [output folder]   (default: dialogs/res)
"""
import os
import struct
import sys

SIZE = 16
CLEAR = (255, 0, 255, 0)


def blank():
    return [[CLEAR for _ in range(SIZE)] for _ in range(SIZE)]


def fill(pixels, left, top, right, bottom, rgba):
    """Fills the rectangle from (left, top) to (right, bottom), both included."""
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            pixels[y][x] = rgba


def floppy():
    p = blank()
    body = (32, 64, 160, 255)
    edge = (16, 32, 96, 255)
    fill(p, 1, 1, 14, 14, edge)
    fill(p, 2, 2, 13, 13, body)
    # The cut corner at the upper right.
    p[1][14] = CLEAR
    p[2][13] = edge
    # The shutter with its window.
    fill(p, 4, 1, 11, 5, (192, 192, 200, 255))
    fill(p, 9, 2, 10, 4, edge)
    # The label.
    fill(p, 3, 8, 12, 13, (250, 250, 250, 255))
    for y in (10, 12):
        fill(p, 4, y, 11, y, (150, 150, 170, 255))
    return p


def cross():
    p = blank()
    red = (208, 16, 16, 255)
    # Two strokes, two pixels thick, from corner to corner.
    for i in range(3, 13):
        for x in (i, i + 1):
            p[i][x] = red
        for x in (15 - i, 14 - i):
            p[i][x] = red
    return p


def bmp(pixels):
    """A 24-bit bottom-up bitmap; transparent pixels in magenta."""
    rows = b""
    for row in reversed(pixels):
        line = b"".join(struct.pack("<BBB", b, g, r) if a else struct.pack("<BBB", 255, 0, 255)
                        for (r, g, b, a) in row)
        rows += line + b"\0" * ((4 - len(line) % 4) % 4)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(rows), 0, 0, 14 + len(info))
    return header + info + rows


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join("dialogs", "res")
    os.makedirs(out, exist_ok=True)
    for name, pixels in (("Save.bmp", floppy()), ("Cancel.bmp", cross())):
        with open(os.path.join(out, name), "wb") as f:
            f.write(bmp(pixels))


if __name__ == "__main__":
    main()
