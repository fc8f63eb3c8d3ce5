#!/usr/bin/python3
"""Writes the seed corpora of fuzz_stored_column and fuzz_object_graph_decoder.

    make_store_seeds.py CORPUS_FOLDER   (tests/fuzz/corpus)

stored_column/: a kind byte, two bytes of rows, then zlib streams (as
Python's zlib writes them, which the program reads) of doubles, or of texts
and offsets; sound ones and damaged ones (a flipped byte, a trailing byte,
more values than rows, a stream cut short, two gzip members).
object_graph/: CBOR archives as pasted: a table with two columns owning
their own formatters, the same two columns sharing one formatter, and a
column alone.
"""
import gzip
import os
import struct
import sys
import zlib


def doubles(values):
    return struct.pack("<%dd" % len(values), *values)


def numeric(rows, stream):
    return bytes([0]) + struct.pack("<H", rows) + stream


def texts(rows, texts_stream, offsets_stream):
    return bytes([1]) + struct.pack("<H", rows) + struct.pack("<H", len(texts_stream)) + texts_stream + offsets_stream


def cbor(value):
    def head(major, n):
        if n < 24:
            return bytes([major << 5 | n])
        if n < 256:
            return bytes([major << 5 | 24, n])
        if n < 65536:
            return bytes([major << 5 | 25]) + struct.pack(">H", n)
        return bytes([major << 5 | 26]) + struct.pack(">I", n)
    if isinstance(value, bool):
        return bytes([0xF5 if value else 0xF4])
    if isinstance(value, int):
        return head(0, value) if value >= 0 else head(1, -1 - value)
    if isinstance(value, float):
        return bytes([0xFB]) + struct.pack(">d", value)
    if isinstance(value, bytes):
        return head(2, len(value)) + value
    if isinstance(value, str):
        encoded = value.encode()
        return head(3, len(encoded)) + encoded
    if isinstance(value, list):
        return head(4, len(value)) + b"".join(cbor(v) for v in value)
    if isinstance(value, dict):
        return head(5, len(value)) + b"".join(cbor(k) + cbor(v) for k, v in value.items())
    raise TypeError(value)


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def main(corpus):
    columns = os.path.join(corpus, "stored_column")
    values = doubles([1.5, -2.0, float("nan"), 4.0, 1e300, 0.0, 7.25, 8.0])
    sound = zlib.compress(values)
    flipped = bytearray(sound)
    flipped[len(flipped) // 2] ^= 0x40
    write(columns, "numeric_sound", numeric(8, sound))
    write(columns, "numeric_fewer_values", numeric(12, sound))
    write(columns, "numeric_more_values", numeric(5, sound))
    write(columns, "numeric_flipped_byte", numeric(8, bytes(flipped)))
    write(columns, "numeric_trailing_byte", numeric(8, sound + b"\x00"))
    write(columns, "numeric_cut", numeric(8, sound[:-5]))
    write(columns, "numeric_gzip_members", numeric(8, gzip.compress(values[:16]) + gzip.compress(values[16:])))
    write(columns, "numeric_empty", numeric(3, b""))
    text = b"alpha\x00beta\x00\xc3\xa9t\xc3\xa9\x00"
    offsets = struct.pack("<4q", 0, -1, 6, 11)
    write(columns, "text_sound", texts(4, zlib.compress(text), zlib.compress(offsets)))
    write(columns, "text_offset_outside", texts(4, zlib.compress(text), zlib.compress(struct.pack("<4q", 0, -1, 6, 99))))
    write(columns, "text_no_final_nul", texts(4, zlib.compress(text[:-1]), zlib.compress(offsets)))
    write(columns, "text_fewer_rows", texts(2, zlib.compress(text), zlib.compress(offsets)))

    graphs = os.path.join(corpus, "object_graph")
    table = {"id": "t", "class": "DSDataTable", "name": "Pasted", "num_records": 3, "columns": ["a", "b"]}
    a = {"id": "a", "class": "DSNumericDataColumn", "name": "a", "index": 0, "number_formatter": "fa",
         "values": zlib.compress(doubles([1, 2, 3]))}
    b = {"id": "b", "class": "DSNumericDataColumn", "name": "b", "index": 1, "number_formatter": "fb"}
    fa = {"id": "fa", "class": "DSNumberFormatter"}
    fb = {"id": "fb", "class": "DSNumberFormatter"}
    write(graphs, "table_two_columns", cbor([table, a, b, fa, fb]))
    shared = dict(b, number_formatter="fa")
    write(graphs, "table_shared_formatter", cbor([table, a, shared, fa]))
    write(graphs, "column_alone", cbor([dict(a, index=0)]))


if __name__ == "__main__":
    main(sys.argv[1])
