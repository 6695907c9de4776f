#!/usr/bin/env python3
"""Draws ORVANE's icons and writes them as .ico files into app/res/.

The program icon is a chequered flag on a blue disc (16 x 16 and 32 x 32); the
two chat lamps are 16 x 16 red and green lamps with a highlight. Everything is
computed from a few shapes, so the output is the same byte for byte on every
run; the generated files are committed beside this script.

Usage: scripts/make-icons.py [output folder]   (default: app/res)
"""
import math
import os
import struct
import sys


def clamp(v):
    return max(0, min(255, int(round(v))))


def coverage(size, inside, samples=4):
    """Anti-aliased coverage of a shape: the share of sub-pixel samples inside."""
    def cov(x, y):
        hits = 0
        for sy in range(samples):
            for sx in range(samples):
                px = x + (sx + 0.5) / samples
                py = y + (sy + 0.5) / samples
                if inside(px, py):
                    hits += 1
        return hits / (samples * samples)
    return cov


def lamp(size, rgb):
    """A round lamp: dark rim, body shaded towards the lower right, a soft highlight."""
    c = size / 2.0
    r = size / 2.0 - 1.0
    in_disc = coverage(size, lambda x, y: (x - c) ** 2 + (y - c) ** 2 <= r * r)
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            a = in_disc(x, y)
            if a == 0:
                row.append((0, 0, 0, 0))
                continue
            dx, dy = x + 0.5 - c, y + 0.5 - c
            d = math.hypot(dx, dy) / r
            # Light comes from the upper left.
            shade = 1.0 - 0.45 * max(0.0, min(1.0, (dx + dy) / (2 * r) + 0.5)) * d
            col = [v * shade for v in rgb]
            hx, hy = x + 0.5 - (c - r * 0.35), y + 0.5 - (c - r * 0.35)
            h = max(0.0, 1.0 - math.hypot(hx, hy) / (r * 0.55))
            col = [v + (255 - v) * h * 0.85 for v in col]
            if d > 0.82:  # the rim
                col = [v * 0.55 for v in col]
            row.append((clamp(col[0]), clamp(col[1]), clamp(col[2]), clamp(255 * a)))
        pixels.append(row)
    return pixels


def program_icon(size):
    """A chequered flag on a blue disc."""
    c = size / 2.0
    r = size / 2.0 - 0.5
    in_disc = coverage(size, lambda x, y: (x - c) ** 2 + (y - c) ** 2 <= r * r)
    # The flag: a square field of 4 x 4 squares, a little left of the centre.
    fx0, fy0 = size * 0.30, size * 0.22
    fw = size * 0.50
    cell = fw / 4
    pole_x0, pole_x1 = size * 0.22, size * 0.29
    pole_y0, pole_y1 = size * 0.18, size * 0.84
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            a = in_disc(x, y)
            if a == 0:
                row.append((0, 0, 0, 0))
                continue
            dx, dy = x + 0.5 - c, y + 0.5 - c
            t = math.hypot(dx, dy) / r
            col = (20 + 40 * (1 - t), 60 + 70 * (1 - t), 150 + 80 * (1 - t))
            px, py = x + 0.5, y + 0.5
            if pole_x0 <= px < pole_x1 and pole_y0 <= py < pole_y1:
                col = (230, 230, 230)
            # The flag waves: each column is shifted down by a small sine.
            wave = math.sin((px - fx0) / fw * math.pi * 1.5) * size * 0.04
            qy = py - wave
            if fx0 <= px < fx0 + fw and fy0 <= qy < fy0 + fw:
                i = int((px - fx0) / cell)
                j = int((qy - fy0) / cell)
                col = (250, 250, 250) if (i + j) % 2 == 0 else (15, 15, 15)
            if t > 0.9:  # a dark ring around the disc
                col = tuple(v * 0.6 for v in col)
            row.append((clamp(col[0]), clamp(col[1]), clamp(col[2]), clamp(255 * a)))
        pixels.append(row)
    return pixels


def ico_image(pixels):
    """One icon image: BITMAPINFOHEADER, 32-bit BGRA rows bottom-up, AND mask."""
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:  # transparent where the 1-bit mask is used (no alpha)
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(xor) + bytes(mask)


def write_ico(path, images):
    count = len(images)
    out = bytearray(struct.pack("<HHH", 0, 1, count))
    offset = 6 + 16 * count
    blobs = []
    for pixels in images:
        blob = ico_image(pixels)
        size = len(pixels)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    for blob in blobs:
        out += blob
    with open(path, "wb") as f:
        f.write(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "app", "res")
    os.makedirs(folder, exist_ok=True)
    write_ico(os.path.join(folder, "orvane.ico"), [program_icon(16), program_icon(32)])
    write_ico(os.path.join(folder, "LedRosso.ico"), [lamp(16, (235, 30, 25))])
    write_ico(os.path.join(folder, "LedVerde.ico"), [lamp(16, (30, 190, 45))])


if __name__ == "__main__":
    main()
