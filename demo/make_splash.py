#!/usr/bin/env python3
"""Draws the demo's splash image: "LAUNCHER DEMO" in block letters over a blue gradient with the
launcher's cup, 400 by 240 pixels. Writes splash.png beside this script (standard library only)."""
import os
import struct
import zlib

WIDTH, HEIGHT = 400, 240
# 5 by 7 block letters, one string per row.
GLYPHS = {
    'A': ['01110', '10001', '10001', '11111', '10001', '10001', '10001'],
    'C': ['01111', '10000', '10000', '10000', '10000', '10000', '01111'],
    'D': ['11110', '10001', '10001', '10001', '10001', '10001', '11110'],
    'E': ['11111', '10000', '10000', '11110', '10000', '10000', '11111'],
    'H': ['10001', '10001', '10001', '11111', '10001', '10001', '10001'],
    'L': ['10000', '10000', '10000', '10000', '10000', '10000', '11111'],
    'M': ['10001', '11011', '10101', '10101', '10001', '10001', '10001'],
    'N': ['10001', '11001', '10101', '10011', '10001', '10001', '10001'],
    'O': ['01110', '10001', '10001', '10001', '10001', '10001', '01110'],
    'R': ['11110', '10001', '10001', '11110', '10100', '10010', '10001'],
    'U': ['10001', '10001', '10001', '10001', '10001', '10001', '01110'],
    ' ': ['00000'] * 7,
}


def text_pixels(text, left, top, scale):
    """The set of (x, y) pixels covered by text in block letters."""
    covered = set()
    for i, letter in enumerate(text):
        for row, bits in enumerate(GLYPHS[letter]):
            for col, bit in enumerate(bits):
                if bit == '1':
                    x0, y0 = left + (i * 6 + col) * scale, top + row * scale
                    covered.update((x, y) for x in range(x0, x0 + scale) for y in range(y0, y0 + scale))
    return covered


def colour_at(x, y, title, subtitle):
    if (x, y) in title:
        return (255, 255, 255)
    if (x, y) in subtitle:
        return (200, 225, 255)
    # the cup: a white body with brown coffee, a handle and a saucer
    if 100 <= x <= 148 and 150 <= y <= 196:
        return (110, 70, 40) if y <= 158 else (255, 255, 255)
    if 148 < x <= 160 and 160 <= y <= 186 and not (148 < x <= 154 and 166 <= y <= 180):
        return (255, 255, 255)
    if 90 <= x <= 158 and 200 <= y <= 205:
        return (255, 255, 255)
    # a gradient from deep blue at the top to teal at the bottom, with a lighter band
    t = y / (HEIGHT - 1)
    base = (int(20 + 10 * t), int(40 + 100 * t), int(110 + 40 * t))
    if 120 <= y <= 122:
        return (90, 160, 220)
    return base


def png(width, height, pixel):
    rows = b''.join(b'\x00' + bytes(c for x in range(width) for c in pixel(x, y)) for y in range(height))

    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))

    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(rows, 9)) + chunk(b'IEND', b''))


def main():
    title = text_pixels('LAUNCHER', 59, 40, 6)
    subtitle = text_pixels('DEMO', 190, 155, 5)
    data = png(WIDTH, HEIGHT, lambda x, y: colour_at(x, y, title, subtitle))
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), 'splash.png'), 'wb') as out:
        out.write(data)


if __name__ == '__main__':
    main()
