#!/usr/bin/env python3
"""Draws the small images of the option dialogs' buttons as 16 x 16 icons.

"Save" shows a blue floppy disk with a white label and a grey shutter;
"Cancel" shows a red cross. Both are drawn from a few rectangles and lines, so
every run writes the same bytes; the .ico files are committed beside the
dialogs and compiled in by dialogs/dialogs.rc.

Usage: scripts/make-button-glyphs.py [output folder]   (default: dialogs/res)
"""
import os
import struct
import sys

SIZE = 16
CLEAR = (0, 0, 0, 0)


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
    red = (208, 24, 24, 255)
    dark = (128, 0, 0, 255)
    for i in range(2, 14):
        for x, y in ((i, i), (15 - i, i)):
            # A thick stroke with a darker rim.
            for dx in (-1, 0, 1):
                xx = x + dx
                if 0 <= xx < SIZE and p[y][xx] != red:
                    p[y][xx] = red if dx == 0 else dark
    for i in range(2, 14):
        p[i][i] = red
        p[i][15 - i] = red
    return p


def ico(pixels):
    """One 16 x 16 image, 32 bits per pixel with alpha, plus the 1-bit mask."""
    rows = []
    for row in reversed(pixels):  # bottom-up
        rows.append(b"".join(struct.pack("<BBBB", b, g, r, a) for (r, g, b, a) in row))
    colour = b"".join(rows)
    mask = b""
    for row in reversed(pixels):
        bits = 0
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits |= 1 << (15 - x)
        mask += struct.pack(">H", bits) + b"\0\0"  # rows padded to 32 bits
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(colour) + len(mask),
                         0, 0, 0, 0)
    image = header + colour + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join("dialogs", "res")
    os.makedirs(out, exist_ok=True)
    for name, pixels in (("Save.ico", floppy()), ("Cancel.ico", cross())):
        with open(os.path.join(out, name), "wb") as f:
            f.write(ico(pixels))


if __name__ == "__main__":
    main()
