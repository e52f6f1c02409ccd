#!/usr/bin/python3
"""Writes a structural compound index (.cdx, Visual FoxPro's compact layout) beside a table of
make_big_table.py, with one tag per named character field whose key is the field itself
(every record, deleted ones too, in byte order of the key), and marks the table's header as
having it (byte 28, bit 0x01), as FoxPro does. For benchmarks: nothing here is Tavlo's code.

usage: make_cdx.py TABLE.dbf FIELD [FIELD ...]
"""
import mmap
import os
import struct
import sys

PAGE = 512
NONE = 0xFFFFFFFF


def fields_of(header):
    count, header_size, record_size = struct.unpack_from("<IHH", header, 4)
    fields, offset, at = {}, 1, 32
    while header[at] != 0x0D:
        name = header[at:at + 11].split(b"\0")[0].decode()
        length = header[at + 16]
        fields[name] = (offset, length)
        offset += length
        at += 32
    return count, header_size, record_size, fields


class Writer:
    def __init__(self, out):
        self.out = out
        self.pages = 0

    def allocate(self, pages=1):
        offset = self.pages * PAGE
        self.pages += pages
        return offset

    def put(self, offset, data):
        assert len(data) <= PAGE * 2
        self.out.seek(offset)
        self.out.write(data)


def tag_header(root, key_length, options, expression):
    page = bytearray(1024)
    struct.pack_into("<IIIHBB", page, 0, root, NONE, 1, key_length, options, 1)
    struct.pack_into("<H", page, 502, 0)  # ascending
    struct.pack_into("<HH", page, 506, 0, 0)  # no FOR expression
    struct.pack_into("<H", page, 510, len(expression) + 1)
    page[512:512 + len(expression)] = expression
    return bytes(page)


def leaves(entries, key_length, record_bits):
    """Packs sorted (key, record) entries into compact leaf pages: (pages, last keys)."""
    dup_bits = trail_bits = key_length.bit_length()
    entry_bytes = (record_bits + dup_bits + trail_bits + 7) // 8
    record_bits = entry_bytes * 8 - dup_bits - trail_bits
    masks = ((1 << record_bits) - 1, (1 << dup_bits) - 1, (1 << trail_bits) - 1)
    result = []
    i, n = 0, len(entries)
    while i < n:
        table, keys, used, previous = bytearray(), [], 24, b""
        first = i
        while i < n:
            key, record = entries[i]
            dup = 0
            if i > first:
                limit = min(len(previous), len(key))
                while dup < limit and key[dup] == previous[dup]:
                    dup += 1
            stripped = key.rstrip(b" ")
            trail = len(key) - len(stripped)
            if dup > len(stripped):
                dup = len(stripped)
            stored = key[dup:len(key) - trail]
            if used + entry_bytes + len(stored) > PAGE:
                break
            value = record | dup << record_bits | trail << (record_bits + dup_bits)
            table += value.to_bytes(entry_bytes, "little")
            keys.append(stored)
            used += entry_bytes + len(stored)
            previous = key
            i += 1
        page = bytearray(PAGE)
        page[24:24 + len(table)] = table
        end = PAGE
        for stored in keys:
            end -= len(stored)
            page[end:end + len(stored)] = stored
        struct.pack_into("<HHIIHIBBBBBB", page, 0, 2, len(keys), NONE, NONE, PAGE - used,
                         masks[0], masks[1], masks[2], record_bits, dup_bits, trail_bits,
                         entry_bytes)
        result.append((page, entries[i - 1]))
    return result


def write_tree(writer, entries, key_length, record_bits):
    """Writes the leaves and the interior levels above them; the root's offset."""
    level = leaves(entries, key_length, record_bits)
    leaf = True
    while True:
        offsets = [writer.allocate() for _ in level]
        root = len(level) == 1
        for index, (page, _) in enumerate(level):
            struct.pack_into("<HHI", page, 0, (2 if leaf else 0) | (1 if root else 0),
                             page[2] | page[3] << 8, offsets[index - 1] if index > 0 else NONE)
            struct.pack_into("<I", page, 8, offsets[index + 1] if index + 1 < len(level) else NONE)
            writer.put(offsets[index], page)
        if root:
            return offsets[0]
        per_page = (PAGE - 12) // (key_length + 8)
        upper = []
        for start in range(0, len(level), per_page):
            group = list(range(start, min(start + per_page, len(level))))
            page = bytearray(PAGE)
            struct.pack_into("<HH", page, 0, 0, len(group))
            at = 12
            for child in group:
                key, record = level[child][1]
                page[at:at + key_length] = key
                struct.pack_into(">II", page, at + key_length, record, offsets[child])
                at += key_length + 8
            upper.append((page, level[group[-1]][1]))
        level, leaf = upper, False


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    table, names = argv[1], argv[2:]
    with open(table, "r+b") as data:
        view = mmap.mmap(data.fileno(), 0)
        count, header_size, record_size, fields = fields_of(view[:header_size_of(view)])
        record_bits = max(count, 1).bit_length()
        path = os.path.splitext(table)[0] + ".cdx"
        with open(path, "wb") as out:
            writer = Writer(out)
            writer.allocate(2)  # the tag list's header
            tag_headers = []
            for name in sorted(names):
                offset, length = fields[name]
                keys = [(view[header_size + r * record_size + offset:
                              header_size + r * record_size + offset + length], r + 1)
                        for r in range(count)]
                keys.sort()
                header = writer.allocate(2)
                root = write_tree(writer, keys, length, record_bits)
                writer.put(header, tag_header(root, length, 0x20, name.encode()))
                tag_headers.append((name.encode().ljust(10), header))
                del keys
            tag_headers.sort()
            root = write_tree(writer, [(n, h) for n, h in tag_headers], 10, 32)
            writer.put(0, tag_header(root, 10, 0xE0, b""))
        view[28] = view[28] | 0x01
        view.close()


def header_size_of(view):
    return struct.unpack_from("<H", view, 8)[0]


if __name__ == "__main__":
    main(sys.argv)
