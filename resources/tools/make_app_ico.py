#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Packs the icon's PNG sizes into one Windows icon (.ico): each size is stored as its PNG, as Windows reads
icons since Vista. Usage: make_app_ico.py OUT.ico IMAGE.png..."""
import struct
import sys


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise ValueError("not a PNG image")
    return struct.unpack(">II", data[16:24])


def main(out, images):
    pictures = []
    for name in images:
        with open(name, "rb") as f:
            data = f.read()
        width, height = png_size(data)
        if width > 256 or height > 256:
            raise ValueError(f"{name}: an icon image is at most 256 pixels wide")
        pictures.append((width, height, data))
    pictures.sort(key=lambda p: p[0])
    offset = 6 + 16 * len(pictures)
    head = struct.pack("<HHH", 0, 1, len(pictures))
    entries = b""
    for width, height, data in pictures:
        # 256 is written as 0; 32 bits a pixel, one plane.
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(out, "wb") as f:
        f.write(head + entries + b"".join(p[2] for p in pictures))


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2:])
