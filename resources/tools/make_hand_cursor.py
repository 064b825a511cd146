#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes HAND-M.CUR, the hand pointer shown over the main window's push buttons.

A 32x32 Windows cursor file with one 32-bit image (alpha included) and its AND mask; the hot spot is the
tip of the pointing finger. Run from anywhere; the file is written to resources/beside/.
"""
import os
from iconfile import image_file_bytes

# '.' transparent, 'X' outline, 'o' fill. The hot spot is the top of the finger.
HAND = [
    "     XX",
    "    XooX",
    "    XooX",
    "    XooX",
    "    XooX",
    "    XooXXX",
    "    XooXooXXX",
    "    XooXooXooXX",
    " XX XooXooXooXoX",
    "XooXXooooooooXooX",
    "XoooXooooooooooooX",
    " XooXooooooooooooX",
    "  XoXooooooooooooX",
    "  XooooooooooooooX",
    "   XoooooooooooooX",
    "   XooooooooooooX",
    "    XoooooooooooX",
    "    XooooooooooX",
    "     XoooooooooX",
    "     XoooooooooX",
    "     XXXXXXXXXXX",
]
HOT_SPOT = (5, 0)
SIZE = 32
OUTLINE = (0, 0, 0, 255)
FILL = (255, 255, 255, 255)


def pixel(x, y):
    if y >= len(HAND) or x >= len(HAND[y]):
        return None
    return {"X": OUTLINE, "o": FILL}.get(HAND[y][x])


def cursor_bytes():
    return image_file_bytes(SIZE, pixel, HOT_SPOT)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = os.path.join(here, "..", "beside", "HAND-M.CUR")
    with open(target, "wb") as f:
        f.write(cursor_bytes())
    print(os.path.normpath(target))


if __name__ == "__main__":
    main()
