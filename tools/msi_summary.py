#!/usr/bin/env python3
"""Reads and rewrites the package code and dates of a Windows Installer package.

    msi_summary.py PACKAGE.msi                  prints the package code and both dates
    msi_summary.py PACKAGE.msi GUID EPOCH       sets the package code (the summary's
                                                revision number) and its creation and
                                                last-saved times to EPOCH (seconds)

wixl gives every package a new random package code and the current time, so
two builds of the same sources would never match byte for byte. A package is
a compound file; its summary information is a property set in the stream
"\\x05SummaryInformation". The three values have fixed sizes, so they are
rewritten in place and nothing else in the file moves.
"""
import struct
import sys

SIGNATURE = b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1"
END_OF_CHAIN = 0xFFFFFFFE
SUMMARY_STREAM = "\x05SummaryInformation"
PID_REVNUMBER, PID_CREATE_DTM, PID_LASTSAVE_DTM = 9, 12, 13
VT_LPSTR, VT_FILETIME = 30, 64
# Seconds from 1601-01-01 (FILETIME's origin) to 1970-01-01.
FILETIME_EPOCH_OFFSET = 11644473600


class CompoundFile:
    """The sector chains of a compound file, enough to find one stream's bytes."""

    def __init__(self, data):
        if data[:8] != SIGNATURE:
            raise ValueError("not a compound file")
        self.data = data
        self.sector_size = 1 << struct.unpack_from("<H", data, 0x1E)[0]
        self.mini_sector_size = 1 << struct.unpack_from("<H", data, 0x20)[0]
        first_directory, = struct.unpack_from("<I", data, 0x30)
        self.mini_cutoff, first_mini_fat, _ = struct.unpack_from("<III", data, 0x38)
        first_difat, difat_count = struct.unpack_from("<II", data, 0x44)

        fat_sectors = [s for s in struct.unpack_from("<109I", data, 0x4C) if s < END_OF_CHAIN]
        per_sector = self.sector_size // 4
        sector = first_difat
        for _ in range(difat_count):
            entries = struct.unpack_from("<%dI" % per_sector, data, self.offset(sector))
            fat_sectors += [s for s in entries[:-1] if s < END_OF_CHAIN]
            sector = entries[-1]
        self.fat = []
        for s in fat_sectors:
            self.fat += struct.unpack_from("<%dI" % per_sector, data, self.offset(s))

        directory = b"".join(self.sector_bytes(s) for s in self.chain(first_directory, self.fat))
        self.entries = [directory[i:i + 128] for i in range(0, len(directory), 128)]
        mini_fat_bytes = b"".join(self.sector_bytes(s) for s in self.chain(first_mini_fat, self.fat))
        self.mini_fat = list(struct.unpack("<%dI" % (len(mini_fat_bytes) // 4), mini_fat_bytes))
        root_start, = struct.unpack_from("<I", self.entries[0], 0x74)
        self.mini_stream_sectors = self.chain(root_start, self.fat)

    def offset(self, sector):
        return (sector + 1) * self.sector_size

    def sector_bytes(self, sector):
        start = self.offset(sector)
        return self.data[start:start + self.sector_size]

    @staticmethod
    def chain(start, table):
        sectors = []
        while start < END_OF_CHAIN:
            if len(sectors) > len(table):
                raise ValueError("a sector chain loops")
            sectors.append(start)
            start = table[start]
        return sectors

    def stream_extents(self, name):
        """(file offset, length) of each piece of the named stream, in order."""
        for entry in self.entries:
            name_length, kind = struct.unpack_from("<HB", entry, 0x40)
            if kind != 2 or entry[:max(name_length - 2, 0)].decode("utf-16-le") != name:
                continue
            start, size = struct.unpack_from("<II", entry, 0x74)
            extents = []
            if size < self.mini_cutoff:
                per_sector = self.sector_size // self.mini_sector_size
                for mini in self.chain(start, self.mini_fat):
                    sector = self.mini_stream_sectors[mini // per_sector]
                    extents.append((self.offset(sector) + (mini % per_sector) * self.mini_sector_size,
                                    self.mini_sector_size))
            else:
                extents = [(self.offset(s), self.sector_size) for s in self.chain(start, self.fat)]
            pieces, left = [], size
            for offset, length in extents:
                pieces.append((offset, min(length, left)))
                left -= pieces[-1][1]
            return pieces
        raise ValueError("no stream %r" % name)


def properties(stream):
    """{property id: offset of its typed value in the stream} of the first section."""
    section, = struct.unpack_from("<I", stream, 44)
    _, count = struct.unpack_from("<II", stream, section)
    return {pid: section + offset
            for pid, offset in (struct.unpack_from("<II", stream, section + 8 + 8 * i) for i in range(count))}


def read_summary(path):
    with open(path, "rb") as f:
        data = f.read()
    extents = CompoundFile(data).stream_extents(SUMMARY_STREAM)
    stream = bytearray(b"".join(data[o:o + n] for o, n in extents))
    return data, extents, stream, properties(stream)


def show(path):
    _, _, stream, props = read_summary(path)
    kind, length = struct.unpack_from("<II", stream, props[PID_REVNUMBER])
    start = props[PID_REVNUMBER] + 8
    print("package code:", stream[start:start + length - 1].decode("ascii"))
    for label, pid in (("created", PID_CREATE_DTM), ("last saved", PID_LASTSAVE_DTM)):
        _, filetime = struct.unpack_from("<IQ", stream, props[pid])
        print("%s: %d" % (label, filetime // 10**7 - FILETIME_EPOCH_OFFSET))


def rewrite(path, package_code, epoch):
    data, extents, stream, props = read_summary(path)
    kind, length = struct.unpack_from("<II", stream, props[PID_REVNUMBER])
    code = package_code.encode("ascii") + b"\0"
    if kind != VT_LPSTR or length != len(code):
        raise ValueError("the package code is not a %d-character text" % (len(code) - 1))
    stream[props[PID_REVNUMBER] + 8:props[PID_REVNUMBER] + 8 + length] = code
    filetime = (epoch + FILETIME_EPOCH_OFFSET) * 10**7
    for pid in (PID_CREATE_DTM, PID_LASTSAVE_DTM):
        if struct.unpack_from("<I", stream, props[pid])[0] != VT_FILETIME:
            raise ValueError("property %d is not a time" % pid)
        struct.pack_into("<Q", stream, props[pid] + 4, filetime)
    with open(path, "r+b") as f:
        position = 0
        for offset, length in extents:
            f.seek(offset)
            f.write(stream[position:position + length])
            position += length


def main():
    if len(sys.argv) == 2:
        show(sys.argv[1])
    elif len(sys.argv) == 4:
        rewrite(sys.argv[1], sys.argv[2], int(sys.argv[3]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
