#!/usr/bin/python3
"""Makes the seed corpora of the Numbers 2013 fuzz targets. Run from this
folder. Messages are encoded here by hand and snappy blocks are written as
literals, so the seeds need nothing but Python.

iwa seeds: 0 then a chunked stream, or 1 then the object layer.
numbers13_tiles seeds: 0 then a TST.Tile, or 1 then a cell count, a slot
count, the offsets and the cell records of one row."""
import struct


def varint(n):
    out = b""
    while n >= 0x80:
        out += bytes([n & 0x7F | 0x80])
        n >>= 7
    return out + bytes([n])


def field(number, value):
    """A varint field for an int, a length-delimited one for bytes."""
    if isinstance(value, int):
        return varint(number << 3) + varint(value)
    return varint(number << 3 | 2) + varint(len(value)) + value


def archive(identifier, payloads):
    header = field(1, identifier) + b"".join(field(2, field(1, t) + field(3, len(p))) for t, p in payloads)
    return varint(len(header)) + header + b"".join(p for _, p in payloads)


def block(data):
    out = varint(len(data))
    for i in range(0, len(data), 60):
        piece = data[i:i + 60]
        out += bytes([(len(piece) - 1) << 2]) + piece
    return out


def chunked(data):
    body = block(data)
    return bytes([0]) + struct.pack("<I", len(body))[:3] + body


def record(kind, value=0.0, key=0, flags=0xA0):
    length = 12 + sum(n for bit, n in ((2, 4), (4, 8), (8, 4), (0x20, 8), (0x40, 8), (0x80, 4)) if flags & bit)
    r = bytearray(length)
    r[0], r[2], r[3], r[4] = 3, kind, 0xFF, flags
    r[length - 12:length - 4] = struct.pack("<d", value)
    r[length - 4:] = struct.pack("<I", key)
    return bytes(r)


def row(index, records):
    storage, offsets, count = b"", b"", 0
    for r in records:
        offsets += struct.pack("<H", 0xFFFF if r is None else len(storage))
        if r is not None:
            storage += r
            count += 1
    return field(1, index) + field(2, count) + field(3, storage) + field(4, offsets)


def tile(rows):
    return field(1, 0) + field(2, 0) + field(3, 0) + field(4, len(rows)) + b"".join(
        field(5, row(i, r)) for i, r in enumerate(rows))


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


ROWS = [[record(3, key=1), record(3, key=2), record(3, key=3), record(3, key=1)],
        [record(2, 1.5, 1), record(5, 347241600.0, 2), record(6, 1.0), record(7, 90.0)],
        [None, record(9, key=3), None, record(5, 3600.0, 3)]]
TILE = tile(ROWS)
metadata = field(1, 1) + field(3, field(1, 2) + field(2, b"Tables/Tile")) + field(3, field(1, 3) + field(2, b"Tables/DataList") + field(3, b"Tables/DataList-1"))
sheet = field(1, b"Sheet 1") + field(2, field(1, 20))
document = field(1, field(1, 10))
strings = field(1, 1) + field(3, field(1, 1) + field(2, 1) + field(3, b"text"))
formats = field(1, 2) + field(3, field(1, 1) + field(2, 1) + field(6, field(1, 258) + field(2, 2) + field(5, 0)))
rich = field(1, 8) + field(3, field(1, 3) + field(2, 1) + field(9, field(1, 41)))
store = (field(3, field(1, field(1, 0) + field(2, field(1, 30)))) + field(4, field(1, 50)) + field(5, field(1, 51))
         + field(9, field(1, field(1, 0) + field(2, 0))) + field(11, field(1, 52)) + field(17, field(1, 53)))
model = field(4, store) + field(6, 3) + field(7, 4) + field(8, b"Table 1")
objects = {
    "metadata": archive(1, [(11006, metadata)]),
    "document": archive(1, [(1, document)]) + archive(10, [(2, sheet)]),
    "engine": archive(20, [(6001, model)]),
    "tile": archive(30, [(7, b"seven"), (6002, TILE), (9, b"nine")]),
    "datalist": archive(50, [(6005, strings)]) + archive(52, [(6005, formats)]) + archive(53, [(6005, rich)])
                + archive(41, [(6218, field(1, field(1, 42)))]) + archive(42, [(2001, field(3, b"rich") + field(3, b" text"))]),
    "empty-header": archive(0, []) + archive(5, []),
}
for name, data in objects.items():
    write("corpus/iwa/" + name + ".chunks", b"\0" + chunked(data))
    write("corpus/iwa/" + name + ".objects", b"\1" + data)
write("corpus/iwa/two-chunks.chunks", b"\0" + chunked(objects["tile"][:20]) + chunked(objects["tile"][20:]) + b"\0\0")

write("corpus/numbers13_tiles/tile.message", b"\0" + TILE)
data_row = ROWS[1]
storage, offsets = b"", b""
for r in data_row:
    offsets += struct.pack("<H", len(storage))
    storage += r
write("corpus/numbers13_tiles/row.cells", b"\1" + bytes([len(data_row), len(data_row)]) + offsets + storage)
write("corpus/numbers13_tiles/sparse.cells", b"\1" + bytes([2, 4]) + bytes.fromhex("ffff0000ffff0c00")
      + bytes.fromhex("030003ff00000000") + struct.pack("<I", 2) + record(2, 7.0, 1))
