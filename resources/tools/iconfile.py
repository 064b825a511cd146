# SPDX-License-Identifier: MIT
"""Writes 32-bit Windows icon (.ico) and cursor (.cur) files of one image from a character picture."""
import struct


def image_file_bytes(size, pixel, cursor_hot_spot=None):
    """One size x size image; pixel(x, y) gives (r, g, b, a) or None for transparent.

    With a hot spot the file is a cursor (type 2), otherwise an icon (type 1).
    """
    colour = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):  # bottom-up rows
        bits = 0
        for x in range(size):
            p = pixel(x, y)
            if p is None:
                colour += bytes((0, 0, 0, 0))
                bits |= 1 << (size - 1 - x)
            else:
                r, g, b, a = p
                colour += bytes((b, g, r, a))
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    image = header + colour + mask
    if cursor_hot_spot is None:
        directory = struct.pack("<HHH", 0, 1, 1)
        entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 6 + 16)  # planes 1, 32 bits
    else:
        directory = struct.pack("<HHH", 0, 2, 1)
        entry = struct.pack("<BBBBHHII", size, size, 0, 0, cursor_hot_spot[0], cursor_hot_spot[1], len(image), 6 + 16)
    return directory + entry + image
