#!/usr/bin/python3
"""Writes the sidebar's 16-pixel icons: a data table (a grid), a stacked
table (two grids, one behind the other) and a regression model (points
under a fitted line). Plain Python, so the icons can be remade anywhere."""
import struct, zlib

def png(path, pixels):
    rows = b''.join(b'\0' + bytes(c for px in row for c in px) for row in pixels)
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 16, 16, 8, 6, 0, 0, 0))
                + chunk(b'IDAT', zlib.compress(rows)) + chunk(b'IEND', b''))

CLEAR, LINE, FILL, HEAD, DOT = (0, 0, 0, 0), (60, 90, 130, 255), (250, 252, 255, 255), (150, 185, 225, 255), (200, 70, 50, 255)

def grid(img, x0, y0, x1, y1):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            edge = x in (x0, x1) or y in (y0, y1) or (x - x0) % 4 == 0 or (y - y0) % 3 == 0
            img[y][x] = LINE if edge else (HEAD if y < y0 + 3 else FILL)

def blank():
    return [[CLEAR] * 16 for _ in range(16)]

table = blank(); grid(table, 1, 2, 14, 14)
png('128-16px.png', table)

stacked = blank(); grid(stacked, 4, 0, 15, 10); grid(stacked, 0, 5, 11, 15)
png('stacked tables2-16px.png', stacked)

model = blank()
for i in range(16):
    model[15][i] = LINE; model[i][0] = LINE
for x in range(1, 16):
    model[14 - (x * 12) // 15][x] = LINE
for x, y in ((3, 10), (5, 13), (7, 7), (9, 9), (11, 4), (13, 6), (12, 2)):
    for dx, dy in ((0, 0), (1, 0), (0, 1), (1, 1)):
        if 0 <= x + dx < 16 and 0 <= y + dy < 16:
            model[y + dy][x + dx] = DOT
png('112-16px.png', model)
