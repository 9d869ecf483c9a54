#!/usr/bin/env python3
"""Draws Dovetta's program icon and writes it as a Windows .ico file.

The picture: a blue globe (the Internet) with a white meridian grid and an
orange toggle switch across its lower right, for "switching" the dial-up
setting. Images of 16, 32 and 48 pixels, 32-bit with alpha, each with the
AND mask that older shells still read. Supersampled 4x4 for smooth edges.

    python3 autodial/make_icon.py autodial/dovetta.ico
"""
import math
import struct
import sys

SUPERSAMPLE = 4


def shade(x, y):
    """Colour (r, g, b, a) at a point of the unit square, y downwards."""
    # Toggle switch: a rounded bar with a knob at its right end.
    bx0, bx1, by, br = 0.42, 0.90, 0.80, 0.12
    cx = min(max(x, bx0), bx1)
    if math.hypot(x - cx, y - by) <= br:
        if math.hypot(x - 0.78, y - by) <= 0.085:
            return (255, 255, 255, 255)
        return (232, 118, 20, 255)
    if math.hypot(x - cx, y - by) <= br + 0.04:
        return (255, 255, 255, 255)  # white rim that separates it from the globe

    # Globe.
    gx, gy, gr = 0.44, 0.44, 0.40
    dx, dy = (x - gx) / gr, (y - gy) / gr
    d = math.hypot(dx, dy)
    if d > 1.0:
        return (0, 0, 0, 0)
    if d > 0.92:
        return (16, 52, 120, 255)  # outline
    line = 0.06
    grid = False
    # Meridians: ellipses through the poles with half-widths 0, 0.5.
    for w in (0.0, 0.5):
        half = w * math.sqrt(max(0.0, 1 - dy * dy))
        if abs(abs(dx) - half) < line:
            grid = True
    # Parallels.
    for p in (-0.5, 0.0, 0.5):
        if abs(dy - p) < line * 0.9:
            grid = True
    if grid:
        return (230, 240, 255, 255)
    # Light from the upper left.
    light = max(0.0, 1.0 - math.hypot(dx + 0.4, dy + 0.4) / 1.6)
    return (int(30 + 60 * light), int(100 + 90 * light), int(200 + 55 * light), 255)


def render(size):
    """Rows of BGRA pixels, bottom row first (DIB order)."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    r, g, b, a = shade((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            a = acc[3] / (n * n)
            if acc[3]:
                r, g, b = (round(acc[i] / acc[3]) for i in range(3))
            else:
                r = g = b = 0
            row.append((b, g, r, round(a)))
        rows.append(row)
    rows.reverse()
    return rows


def image_entry(size):
    rows = render(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b''.join(bytes(c for px in row for c in px) for row in rows)
    # AND mask: 1 bit per pixel, rows padded to 32 bits; set where transparent.
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in rows:
        bits = bytearray(stride)
        for x, px in enumerate(row):
            if px[3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def main(path):
    sizes = (16, 32, 48)
    images = [image_entry(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for size, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'dovetta.ico')
