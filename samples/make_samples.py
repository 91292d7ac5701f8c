#!/usr/bin/env python3
"""Makes the ten sample pictures 1.bmp..10.bmp that serve the default paths c:\\pictures\\N.bmp.

Each has its own colours and pattern so that every picture can be told apart on screen, and
together they cover the bitmap kinds the saver meets: 1, 4, 8, 24 and 32 bits per pixel,
run-length encoded ones, and sizes from smaller than a tenth of a 1280x1024 screen to one
(700x500) that has to be shrunk. Only the standard library is used.
Usage: make_samples.py OUTPUT_DIRECTORY
"""

import math
import os
import struct
import sys


def _stride(width, bits):
    return (width * bits + 31) // 32 * 4


def _pack_row(row, bits):
    """One row of palette indices or (r, g, b) tuples as stored uncompressed, padded."""
    if bits == 24:
        data = b"".join(bytes((b, g, r)) for r, g, b in row)
    elif bits == 32:
        data = b"".join(bytes((b, g, r, 0)) for r, g, b in row)
    elif bits == 8:
        data = bytes(row)
    elif bits == 4:
        padded = list(row) + [0] * (len(row) % 2)
        data = bytes(padded[i] << 4 | padded[i + 1] for i in range(0, len(padded), 2))
    elif bits == 1:
        padded = list(row) + [0] * (-len(row) % 8)
        data = bytes(sum(padded[i + k] << (7 - k) for k in range(8))
                     for i in range(0, len(padded), 8))
    else:
        raise ValueError(f"unsupported depth {bits}")
    return data + b"\0" * (_stride(len(row), bits) - len(data))


def _rle_row(row, bits):
    """One row in RLE8 or RLE4 encoded mode: (count, index) pairs, then end of line."""
    out = bytearray()
    x = 0
    while x < len(row):
        run = 1
        while x + run < len(row) and run < 255 and row[x + run] == row[x]:
            run += 1
        index = row[x]
        out += bytes((run, index if bits == 8 else index << 4 | index))
        x += run
    return bytes(out + b"\0\0")


def write_bmp(path, pixels, bits, palette=None, rle=False):
    """Writes rows (top row first) of palette indices or (r, g, b) tuples as a bottom-up BMP."""
    height = len(pixels)
    width = len(pixels[0])
    rows = list(reversed(pixels))
    if rle:
        data = b"".join(_rle_row(row, bits) for row in rows)
        data = data[:-2] + b"\0\1"   # the last end of line becomes end of bitmap
        compression = 1 if bits == 8 else 2
    else:
        data = b"".join(_pack_row(row, bits) for row in rows)
        compression = 0
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in (palette or []))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, len(data),
                       2835, 2835, len(palette or []), 0)
    offset = 14 + len(info) + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + table + data)


def mix(a, b, t):
    """The colour a fraction t of the way from a to b."""
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def grid(width, height, colour_at):
    return [[colour_at(x, y) for x in range(width)] for y in range(height)]


def sunset(width, height):
    """24-bit: orange at the top fading to deep purple, with a low pale sun."""
    sun_x, sun_y, sun_r = width * 0.7, height * 0.72, height * 0.18

    def colour(x, y):
        if (x - sun_x) ** 2 + (y - sun_y) ** 2 < sun_r ** 2:
            return (255, 236, 170)
        return mix((255, 140, 0), (70, 0, 110), y / (height - 1))
    return grid(width, height, colour)


def checkers(width, height, square):
    """Palette indices 0 and 1 in squares."""
    return grid(width, height, lambda x, y: (x // square + y // square) % 2)


def rings(width, height, ring_width, shades):
    """Palette indices cycling through the shades in rings around the centre."""
    cx, cy = width / 2, height / 2
    return grid(width, height,
                lambda x, y: int(math.hypot(x - cx, y - cy) // ring_width) % shades)


def diagonal_stripes(width, height, period, first, second):
    return grid(width, height, lambda x, y: first if (x + y) % period < period // 2 else second)


def disc(width, height, inside, outside, edge):
    cx, cy, r = width / 2, height / 2, min(width, height) * 0.42

    def colour(x, y):
        d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
        if d < r - 4:
            return inside
        return edge if d < r else outside
    return grid(width, height, colour)


def plaid(width, height):
    """24-bit: crossing bands of orange and brown over cream."""
    def colour(x, y):
        vertical = x % 30 < 10
        horizontal = y % 30 < 10
        if vertical and horizontal:
            return (120, 60, 20)
        if vertical or horizontal:
            return (240, 130, 30)
        return (250, 235, 200)
    return grid(width, height, colour)


def diamond(width, height):
    """32-bit: a purple diamond with a dark outline on white."""
    cx, cy = (width - 1) / 2, (height - 1) / 2

    def colour(x, y):
        d = abs(x - cx) / cx + abs(y - cy) / cy
        if d < 0.85:
            return mix((200, 120, 255), (90, 0, 160), d / 0.85)
        return (40, 0, 70) if d < 0.95 else (255, 255, 255)
    return grid(width, height, colour)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)

    def path(number):
        return os.path.join(out, f"{number}.bmp")

    write_bmp(path(1), sunset(200, 150), 24)

    navy_and_sky = [(0, 0, 128), (140, 200, 255)] + [(0, 0, 0)] * 14
    write_bmp(path(2), checkers(120, 120, 15), 4, navy_and_sky)

    # The large one: 700x500 is far beyond a tenth of 1280x1024 and gets shrunk.
    greens = [mix((0, 60, 0), (160, 255, 120), i / 7) for i in range(8)]
    write_bmp(path(3), rings(700, 500, 20, 8), 8, greens + [(0, 0, 0)] * 248, rle=True)

    stripes = diagonal_stripes(128, 102, 16, (220, 20, 30), (255, 255, 255))
    write_bmp(path(4), stripes, 24)

    write_bmp(path(5), disc(150, 150, (255, 220, 0), (0, 128, 128), (120, 60, 0)), 32)

    magenta_dots = grid(96, 160, lambda x, y: 1 if (x % 16 - 8) ** 2 + (y % 16 - 8) ** 2 < 25
                        else 0)
    write_bmp(path(6), magenta_dots, 1, [(40, 0, 40), (255, 0, 200)])

    greys = [(i, i, i) for i in range(256)]
    write_bmp(path(7), grid(256, 64, lambda x, y: x), 8, greys)

    write_bmp(path(8), plaid(180, 90), 24)

    cyans = [mix((0, 40, 60), (180, 255, 255), i / 15) for i in range(16)]
    write_bmp(path(9), grid(140, 100, lambda x, y: y * 16 // 100), 4, cyans, rle=True)

    write_bmp(path(10), diamond(110, 110), 32)


if __name__ == "__main__":
    main()
