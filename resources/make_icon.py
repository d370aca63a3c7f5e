#!/usr/bin/env python3
"""Draws the launcher's icon: a cup with steam over a blue tile, as one 48x48 image in 32-bit
colour and one 16x16 image in the 16 standard colours. Writes launcher.ico beside this script.

The 32-bit image is stored PNG-compressed, as Windows reads icon images since Vista: a bitmap of
it would be 9.5 KB of the executable, which is copied beside every application."""
import os
import struct
import zlib


def shape(size):
    """Returns a size x size grid of colour names, drawn in a 48-unit design space."""
    grid = []
    for py in range(size):
        row = []
        for px in range(size):
            x = (px + 0.5) * 48.0 / size
            y = (py + 0.5) * 48.0 / size
            colour = None
            # rounded blue tile
            inset = 2.0
            r = 8.0
            cx = min(max(x, inset + r), 48 - inset - r)
            cy = min(max(y, inset + r), 48 - inset - r)
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                colour = 'blue'
            # cup body
            if 13 <= x <= 31 and 22 <= y <= 38:
                colour = 'white'
            # cup bottom rounding
            if 31 < y <= 38 and (x < 13 + (y - 31) * 0.6 or x > 31 - (y - 31) * 0.6):
                colour = 'blue' if colour == 'white' else colour
            # handle
            d = ((x - 32) ** 2 + (y - 28) ** 2) ** 0.5
            if 3.0 <= d <= 6.0 and x >= 31:
                colour = 'white'
            # saucer
            if 9 <= x <= 37 and 39 <= y <= 41:
                colour = 'white'
            # coffee
            if 14.5 <= x <= 29.5 and 22 <= y <= 25:
                colour = 'brown'
            # steam
            for sx in (18.0, 25.0):
                import math
                wave = sx + 1.8 * math.sin((y - 8) / 3.0)
                if 8 <= y <= 19 and abs(x - wave) <= 1.2:
                    colour = 'red'
            row.append(colour)
        grid.append(row)
    return grid


RGB = {'blue': (0x1e, 0x5a, 0xb4), 'white': (0xff, 0xff, 0xff), 'brown': (0x80, 0x40, 0x00),
       'red': (0xf0, 0x60, 0x30)}
# The 16-colour palette of the system, in its usual order.
PALETTE16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
             (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
             (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
INDEX16 = {'blue': 4, 'white': 15, 'brown': 1, 'red': 9}


def mask_rows(grid, size):
    rows = []
    stride = ((size + 31) // 32) * 4
    for y in range(size - 1, -1, -1):
        bits = bytearray(stride)
        for x in range(size):
            if grid[y][x] is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(bits))
    return b''.join(rows)


def image32(size):
    grid = shape(size)
    rows = bytearray()
    for y in range(size):
        rows += b'\0'  # no filter
        for x in range(size):
            c = grid[y][x]
            rows += b'\0\0\0\0' if c is None else bytes(RGB[c] + (255,))

    def chunk(kind, body):
        return (struct.pack('>I', len(body)) + kind + body
                + struct.pack('>I', zlib.crc32(kind + body) & 0xFFFFFFFF))

    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(bytes(rows), 9)) + chunk(b'IEND', b''))


def image4(size):
    grid = shape(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(bytes((b, g, r, 0)) for (r, g, b) in PALETTE16)
    stride = ((size * 4 + 31) // 32) * 4
    pixels = bytearray()
    for y in range(size - 1, -1, -1):
        row = bytearray(stride)
        for x in range(size):
            c = grid[y][x]
            index = 0 if c is None else INDEX16[c]
            row[x // 2] |= index << (4 if x % 2 == 0 else 0)
        pixels += row
    return header + palette + bytes(pixels) + mask_rows(grid, size)


def main():
    images = [(48, 0, 32, image32(48)), (16, 16, 4, image4(16))]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, colours, bits, data in images:
        out += struct.pack('<BBBBHHII', size, size, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    for _, _, _, data in images:
        out += data
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), 'launcher.ico'), 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
