#!/usr/bin/env python3
"""Converts an X window dump (xwd, TrueColor) to PNG, standard library only.

    xwd_to_png.py in.xwd out.png [--crop]

--crop keeps only the bounding box of the pixels that differ from the
top-left pixel (the bare root background), with a small margin: a screenshot
of the windows on an otherwise empty Xvfb screen.
"""
import struct
import sys
import zlib

FIELDS = ('header_size file_version pixmap_format pixmap_depth width height xoffset byte_order '
          'bitmap_unit bitmap_bit_order bitmap_pad bits_per_pixel bytes_per_line visual_class '
          'red_mask green_mask blue_mask bits_per_rgb colormap_entries ncolors').split()


def read_xwd(data):
    h = dict(zip(FIELDS, struct.unpack('>20I', data[:80])))
    if h['file_version'] != 7 or h['pixmap_format'] != 2:
        raise SystemExit('not a ZPixmap xwd file of version 7')
    bpp = h['bits_per_pixel']
    if bpp not in (24, 32):
        raise SystemExit('unsupported bits per pixel: %d' % bpp)
    step = bpp // 8
    start = h['header_size'] + 12 * h['ncolors']
    stride = h['bytes_per_line']  # rows are padded: never assume width * step
    order = 'little' if h['byte_order'] == 0 else 'big'

    def shift_of(mask):
        return (mask & -mask).bit_length() - 1

    masks = [(h[k], shift_of(h[k])) for k in ('red_mask', 'green_mask', 'blue_mask')]
    rows = []
    for y in range(h['height']):
        line = data[start + y * stride: start + y * stride + h['width'] * step]
        row = bytearray()
        for x in range(0, len(line), step):
            value = int.from_bytes(line[x:x + step], order)
            for mask, shift in masks:
                row.append((value & mask) >> shift)
        rows.append(row)
    return h['width'], h['height'], rows


def crop(width, height, rows, margin=8):
    background = bytes(rows[0][0:3])
    xs, ys = [], []
    for y, row in enumerate(rows):
        for x in range(width):
            if row[3 * x:3 * x + 3] != background:
                xs.append(x)
                ys.append(y)
    if not xs:
        return width, height, rows
    x0, x1 = max(0, min(xs) - margin), min(width, max(xs) + 1 + margin)
    y0, y1 = max(0, min(ys) - margin), min(height, max(ys) + 1 + margin)
    return x1 - x0, y1 - y0, [row[3 * x0:3 * x1] for row in rows[y0:y1]]


def write_png(path, width, height, rows):
    def chunk(kind, payload):
        return (struct.pack('>I', len(payload)) + kind + payload +
                struct.pack('>I', zlib.crc32(kind + payload) & 0xffffffff))

    raw = b''.join(b'\0' + bytes(row) for row in rows)
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n')
        f.write(chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b'IDAT', zlib.compress(raw, 9)))
        f.write(chunk(b'IEND', b''))


def main(argv):
    if len(argv) < 3:
        raise SystemExit(__doc__)
    with open(argv[1], 'rb') as f:
        image = read_xwd(f.read())
    if '--crop' in argv[3:]:
        image = crop(*image)
    write_png(argv[2], *image)


if __name__ == '__main__':
    main(sys.argv)
