"""Writes Windows bitmap files for the end-to-end tests."""

import struct


def solid_bmp(width, height, rgb, bits=24):
    """A bottom-up BMP of one colour, 24 or 32 bits per pixel."""
    red, green, blue = rgb
    pixel = bytes((blue, green, red)) if bits == 24 else bytes((blue, green, red, 0))
    row = pixel * width
    row += b"\0" * ((4 - len(row) % 4) % 4)
    pixels = row * height
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 2835, 2835,
                       0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + pixels


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
