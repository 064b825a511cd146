#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes drag.ico, the pointer the file list shows while an entry is dragged to a new place.

A 32x32 Windows icon file with one 32-bit image (alpha included) and its AND mask: a vertical double
arrow over a small list, centred, since a pointer made from an icon has its hot spot in the middle.
Run from anywhere; the file is written to resources/beside/.
"""
import os
from iconfile import image_file_bytes

# '.' or ' ' transparent, 'X' outline, 'o' fill, '=' list line. 32 columns wide, centred on (16, 16).
ARROWS = [
    "                                ",
    "                                ",
    "               XX               ",
    "              XooX              ",
    "             XooooX             ",
    "            XooooooX            ",
    "           XooooooooX           ",
    "          XooooooooooX          ",
    "          XXXXooooXXXX          ",
    "             XooooX             ",
    "      XXXXXXXXooooXXXXXXXX      ",
    "      X======XooooX======X      ",
    "      XXXXXXXXooooXXXXXXXX      ",
    "             XooooX             ",
    "      XXXXXXXXooooXXXXXXXX      ",
    "      X======XooooX======X      ",
    "      X======XooooX======X      ",
    "      XXXXXXXXooooXXXXXXXX      ",
    "             XooooX             ",
    "      XXXXXXXXooooXXXXXXXX      ",
    "      X======XooooX======X      ",
    "      XXXXXXXXooooXXXXXXXX      ",
    "             XooooX             ",
    "          XXXXooooXXXX          ",
    "          XooooooooooX          ",
    "           XooooooooX           ",
    "            XooooooX            ",
    "             XooooX             ",
    "              XooX              ",
    "               XX               ",
    "                                ",
    "                                ",
]
SIZE = 32
COLOURS = {
    "X": (0, 0, 0, 255),
    "o": (255, 255, 255, 255),
    "=": (70, 110, 190, 255),
}


def pixel(x, y):
    if y >= len(ARROWS) or x >= len(ARROWS[y]):
        return None
    return COLOURS.get(ARROWS[y][x])


def icon_bytes():
    return image_file_bytes(SIZE, pixel)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = os.path.join(here, "..", "beside", "drag.ico")
    with open(target, "wb") as f:
        f.write(icon_bytes())
    print(os.path.normpath(target))


if __name__ == "__main__":
    main()
