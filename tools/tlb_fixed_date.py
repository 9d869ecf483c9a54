#!/usr/bin/env python3
"""Gives a type library that widl wrote a fixed creation time, in place.

    tlb_fixed_date.py <file.tlb> <seconds since 1970>

widl records the time it ran twice among the library's custom data: as a
number (the time stamp entry) and inside the text "Created by WIDL version
... at <ctime>" (in local time). Both are set to the given time (the text
in UTC), so that two builds of one commit give the same file. Both have
fixed sizes, so nothing else in the file moves.
"""
import struct
import sys
import time
import uuid

HEADER_SIZE = 0x54
HELPDLL_FLAG = 0x100
SEG_GUID, SEG_CUSTDATA, SEG_CDGUIDS = 5, 11, 12
VT_BSTR, VT_UI4 = 8, 19
TIME_STAMP = uuid.UUID("DE77BA63-517C-11D1-A2DA-0000F8773CE9")
CREATED_BY = b"Created by WIDL version "


def fail(message):
    sys.exit("tlb_fixed_date: " + message)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    path, epoch = sys.argv[1], int(sys.argv[2])
    with open(path, "rb") as f:
        data = bytearray(f.read())
    if data[:4] != b"MSFT":
        fail("%s is not an MSFT type library" % path)
    i32 = lambda offset: struct.unpack_from("<i", data, offset)[0]  # noqa: E731
    segments = HEADER_SIZE + (4 if i32(0x14) & HELPDLL_FLAG else 0) + 4 * i32(0x20)
    guids, custdata, cdguids = (i32(segments + 16 * s) for s in (SEG_GUID, SEG_CUSTDATA, SEG_CDGUIDS))

    stamped = texts = 0
    entry = i32(0x40)  # the library's custom data list
    while entry >= 0:
        guid_offset, value, entry = struct.unpack_from("<iii", data, cdguids + entry)
        if value < 0:  # a small value packed into the offset itself: no time
            continue
        value += custdata
        kind, = struct.unpack_from("<H", data, value)
        guid = uuid.UUID(bytes_le=bytes(data[guids + guid_offset:guids + guid_offset + 16]))
        if kind == VT_UI4 and guid == TIME_STAMP:
            struct.pack_into("<I", data, value + 2, epoch)
            stamped += 1
        elif kind == VT_BSTR:
            length = i32(value + 2)
            text = value + 6
            if data[text:text + len(CREATED_BY)] != CREATED_BY:
                continue
            at = data.rfind(b" at ", text, text + length) + 4
            when = time.asctime(time.gmtime(epoch)).encode("ascii")
            if at < 4 or data[at + len(when):at + len(when) + 1] != b"\n":
                fail("unexpected text %r" % bytes(data[text:text + length]))
            data[at:at + len(when)] = when
            texts += 1
    if stamped != 1 or texts != 1:
        fail("%s: expected one time stamp and one creation text, found %d and %d" % (path, stamped, texts))
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
