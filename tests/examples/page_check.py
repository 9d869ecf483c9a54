#!/usr/bin/env python3
"""Renders a printed PostScript page at 72 dpi with Ghostscript and checks
what lies where (1 pixel = 1 point, from the sheet's top-left corner).

    page_check.py <page.ps> <check>...

Checks:
    colour:X,Y,RRGGBB     the pixel at X,Y has that colour (each part within 40)
    dark-column:X,Y0,Y1   column X (or X+1) is dark on most rows from Y0 to Y1
    count:RRGGBB,N        at least N pixels have that colour (within 40)
"""
import subprocess
import sys
import tempfile


def render(ps):
    with tempfile.NamedTemporaryFile(suffix=".ppm") as out:
        subprocess.run(["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=ppmraw", "-r72",
                        "-sOutputFile=" + out.name, ps], check=True)
        data = open(out.name, "rb").read()
    # P6 header: magic, width, height, maximum, each ended by white space;
    # "#" starts a comment up to the end of its line.
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace() or data[pos:pos + 1] == b"#":
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos)
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[pos + 1:]


def main(argv):
    width, height, pixels = render(argv[1])

    def at(x, y):
        i = (y * width + x) * 3
        return tuple(pixels[i:i + 3])

    def near(rgb, hex_colour):
        want = (int(hex_colour[0:2], 16), int(hex_colour[2:4], 16), int(hex_colour[4:6], 16))
        return all(abs(a - b) <= 40 for a, b in zip(rgb, want))

    failed = 0
    for check in argv[2:]:
        kind, _, args = check.partition(":")
        parts = args.split(",")
        if kind == "colour":
            x, y = int(parts[0]), int(parts[1])
            ok = near(at(x, y), parts[2])
            detail = "%s at %d,%d" % ("%02X%02X%02X" % at(x, y), x, y)
        elif kind == "dark-column":
            x, y0, y1 = int(parts[0]), int(parts[1]), int(parts[2])
            dark = sum(1 for y in range(y0, y1) if min(sum(at(x, y)), sum(at(x + 1, y))) < 200)
            ok = dark >= 0.9 * (y1 - y0)
            detail = "%d of %d rows dark" % (dark, y1 - y0)
        elif kind == "count":
            n = sum(1 for i in range(0, len(pixels), 3) if near(tuple(pixels[i:i + 3]), parts[0]))
            ok = n >= int(parts[1])
            detail = "%d pixels" % n
        else:
            sys.exit("unknown check " + check)
        print("%s %s (%s)" % ("ok  " if ok else "FAIL", check, detail))
        failed += not ok
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
