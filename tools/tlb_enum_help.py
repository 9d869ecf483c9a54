#!/usr/bin/env python3
"""Adds help strings to the values of the enumerations in a type library.

widl writes help strings for libraries, types and functions, but it rejects
the helpstring attribute on an enumeration value and has no way to store one.
This step writes them into widl's output (the MSFT format) afterwards:

    tlb_enum_help.py <in.tlb> <help.tsv> <out.tlb>

help.tsv has one line per value: "<Enumeration>.<VALUE><TAB><help string>".
Every value of every enumeration must have a line and every line must name a
value; anything else stops the build.

What changes in the file: each value's record grows from the five fixed
fields to seven (help context 0 and the offset of its help string), the
strings are appended to the string segment, and every segment and member
block behind the change moves by the bytes inserted. Everything else is
copied byte for byte.
"""
import struct
import sys

HEADER_SIZE = 0x54
HELPDLL_FLAG = 0x100
SEGMENT_COUNT = 15
SEG_TYPEINFO, SEG_NAME, SEG_STRING = 0, 7, 8
TYPEINFO_SIZE = 0x64
TKIND_ENUM = 0
VAR_RECORD_BASE = 0x14     # Info, DataType, Flags, VarKind/size, OffsValue
VAR_RECORD_WITH_HELP = 0x1C  # ... HelpContext, oHelpString


def fail(message):
    sys.exit("tlb_enum_help: " + message)


def u32(data, offset):
    return struct.unpack_from("<i", data, offset)[0]


class TypeLibrary:
    def __init__(self, data):
        self.data = bytearray(data)
        if self.data[:4] != b"MSFT":
            fail("not an MSFT type library")
        varflags = u32(self.data, 0x14)
        self.count = u32(self.data, 0x20)
        self.segdir = HEADER_SIZE + (4 if varflags & HELPDLL_FLAG else 0) + 4 * self.count

    def segment(self, index):
        base = self.segdir + 16 * index
        return u32(self.data, base), u32(self.data, base + 4)

    def set_segment(self, index, offset, length):
        struct.pack_into("<ii", self.data, self.segdir + 16 * index, offset, length)

    def typeinfo(self, index):
        return self.segment(SEG_TYPEINFO)[0] + TYPEINFO_SIZE * index

    def name(self, offset):
        base = self.segment(SEG_NAME)[0] + offset
        length = u32(self.data, base + 8) & 0xFF
        return self.data[base + 12:base + 12 + length].decode("latin-1")


def member_block_size(library, info):
    """Bytes of a type's member block: its length word, the records, then
    the member ids, names and record offsets of every member."""
    elements = u32(library.data, info + 0x18)
    members = (elements & 0xFFFF) + ((elements >> 16) & 0xFFFF)
    if members == 0:
        return 0
    records = u32(library.data, u32(library.data, info + 4))
    return 4 + records + 12 * members


def enum_block_with_help(library, info, help_for, enum_name, string_offsets):
    """The member block of one enumeration, its value records carrying help."""
    data = library.data
    block = u32(data, info + 4)
    values = (u32(data, info + 0x18) >> 16) & 0xFFFF
    if u32(data, info + 0x18) & 0xFFFF:
        fail(enum_name + " has functions")
    records_length = u32(data, block)
    tables = block + 4 + records_length
    ids = [u32(data, tables + 4 * i) for i in range(values)]
    names = [u32(data, tables + 4 * (values + i)) for i in range(values)]
    offsets = [u32(data, tables + 4 * (2 * values + i)) for i in range(values)]

    records = bytearray()
    new_offsets = []
    for i in range(values):
        start = block + 4 + offsets[i]
        info_word = u32(data, start)
        if info_word & 0xFF != VAR_RECORD_BASE:
            fail("%s: value record of %d bytes, expected %d" % (enum_name, info_word & 0xFF, VAR_RECORD_BASE))
        key = enum_name + "." + library.name(names[i])
        if key not in help_for:
            fail("no help string for " + key)
        new_offsets.append(len(records))
        records += struct.pack("<i", (info_word & ~0xFF) | VAR_RECORD_WITH_HELP)
        records += data[start + 4:start + VAR_RECORD_BASE]
        records += struct.pack("<ii", 0, string_offsets[key])
    out = bytearray(struct.pack("<i", len(records))) + records
    for table in (ids, names, new_offsets):
        out += struct.pack("<%di" % values, *table)
    return out, [enum_name + "." + library.name(n) for n in names]


def encode_string(text):
    raw = text.encode("cp1252")
    if len(raw) > 0xFFFF:
        fail("help string too long: " + text[:40])
    entry = struct.pack("<H", len(raw)) + raw
    return entry + b"W" * (-len(entry) % 4)  # the format pads strings with 'W'


def patch(data, help_for):
    library = TypeLibrary(data)
    string_offset, string_length = library.segment(SEG_STRING)
    if string_length % 4:
        fail("string segment not 4-byte aligned")

    # The new strings go at the end of the string segment.
    added = bytearray()
    string_offsets = {}
    for key in sorted(help_for):
        string_offsets[key] = string_length + len(added)
        added += encode_string(help_for[key])
    insert_at = string_offset + string_length

    # Member blocks follow the segments; rebuild them in file order.
    infos = [library.typeinfo(i) for i in range(library.count)]
    blocks = sorted((u32(library.data, info + 4), info) for info in infos if member_block_size(library, info))
    tail_start = blocks[0][0] if blocks else len(library.data)
    if tail_start < insert_at:
        fail("member blocks before the string segment")
    position = tail_start
    for start, info in blocks:
        if start != position:
            fail("member blocks are not contiguous")
        position += member_block_size(library, info)
    if position != len(library.data):
        fail("unexpected data after the member blocks")

    seen = []
    new_tail = bytearray()
    new_block_offset = {}
    for start, info in blocks:
        new_block_offset[info] = tail_start + len(added) + len(new_tail)
        kind = u32(library.data, info) & 0xF
        if kind == TKIND_ENUM:
            enum_name = library.name(u32(library.data, info + 0x34))
            block, keys = enum_block_with_help(library, info, help_for, enum_name, string_offsets)
            seen += keys
        else:
            block = library.data[start:start + member_block_size(library, info)]
        new_tail += block
    unknown = sorted(set(help_for) - set(seen))
    if unknown:
        fail("help strings for values the type library does not have: " + ", ".join(unknown))

    # Types without members point past the end of the file.
    new_end = tail_start + len(added) + len(new_tail)
    for info in infos:
        if info in new_block_offset:
            struct.pack_into("<i", library.data, info + 4, new_block_offset[info])
        elif u32(library.data, info + 4) >= insert_at:
            struct.pack_into("<i", library.data, info + 4, new_end)

    for index in range(SEGMENT_COUNT):
        offset, length = library.segment(index)
        if index == SEG_STRING:
            library.set_segment(index, offset, length + len(added))
        elif offset >= insert_at and offset != -1:
            library.set_segment(index, offset + len(added), length)

    head = library.data[:insert_at] + added + library.data[insert_at:tail_start]
    return bytes(head + new_tail)


def read_help(path):
    help_for = {}
    with open(path, encoding="utf-8") as lines:
        for number, line in enumerate(lines, 1):
            line = line.rstrip("\n")
            if not line:
                continue
            key, _, text = line.partition("\t")
            if not text:
                fail("%s:%d: no help string" % (path, number))
            help_for[key] = text
    return help_for


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__)
    with open(argv[1], "rb") as f:
        data = f.read()
    patched = patch(data, read_help(argv[2]))
    with open(argv[3], "wb") as f:
        f.write(patched)


if __name__ == "__main__":
    main(sys.argv)
