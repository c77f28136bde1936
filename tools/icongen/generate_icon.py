#!/usr/bin/env python3
"""Draws the configuration utility's icon, utility/win32/zorn_utility.ico.

    python3 tools/icongen/generate_icon.py           rewrite the committed icon
    python3 tools/icongen/generate_icon.py --check   exit 1 if it differs from a fresh drawing

The picture is a customer pole display: a dark two-line screen showing two rows
of lit dot-matrix characters, on a grey pole with a foot. The shapes are given
on a 32-unit square and drawn at 16, 32 and 48 pixels, each pixel covered by
4 x 4 samples so that edges are smoothed. Each size is a 32-bit image with
alpha and the 1-bit mask that older renderers use.
"""

import struct
import sys
from pathlib import Path

OUTPUT = Path(__file__).resolve().parents[2] / "utility" / "win32" / "zorn_utility.ico"
SIZES = (16, 32, 48)
SAMPLES = 4

BEZEL = (40, 44, 52)
SCREEN = (16, 34, 30)
LIT = (96, 240, 176)
POLE = (150, 156, 166)
POLE_SHADE = (110, 116, 126)


def in_rounded_rect(x, y, left, top, right, bottom, radius):
    if not (left <= x < right and top <= y < bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


# Two rows of five characters; each character is 3 x 4 dots, "#" lit.
CHARACTERS = [
    ["###", "#.#", "###", "#.#"],
    ["##.", "###", "#.#", "##."],
    ["###", "#..", "#..", "###"],
    ["#.#", "###", "###", "#.#"],
    [".#.", "###", ".#.", ".#."],
]
ROWS = [CHARACTERS, CHARACTERS[::-1]]


def lit_dot(x, y):
    """Whether (x, y) in units falls on a lit dot of the screen."""
    for row_index, row in enumerate(ROWS):
        top = 6.0 + row_index * 6.0
        for char_index, char in enumerate(row):
            left = 4.0 + char_index * 5.0
            column = int((x - left) // 1.0)
            line = int((y - top) // 1.0)
            if 0 <= column < 3 and 0 <= line < 4 and char[line][column] == "#":
                # A dot is a little smaller than its cell, as on the glass.
                fx = x - left - column
                fy = y - top - line
                if 0.1 <= fx < 0.9 and 0.1 <= fy < 0.9:
                    return True
    return False


def colour_at(x, y):
    """The colour at (x, y) in units, or None where the icon is transparent."""
    if in_rounded_rect(x, y, 1.0, 3.0, 31.0, 19.5, 2.5):
        if in_rounded_rect(x, y, 2.5, 4.5, 29.5, 18.0, 1.0):
            return LIT if lit_dot(x, y) else SCREEN
        return BEZEL
    if 14.0 <= x < 18.0 and 19.5 <= y < 29.0:
        return POLE if x < 16.5 else POLE_SHADE
    if in_rounded_rect(x, y, 9.0, 28.0, 23.0, 31.0, 1.2):
        return POLE_SHADE
    return None


def render(size):
    """Rows of (r, g, b, a) from the top, `size` pixels square."""
    pixels = []
    unit = 32.0 / size
    for py in range(size):
        row = []
        for px in range(size):
            totals = [0.0, 0.0, 0.0]
            covered = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) * unit
                    y = (py + (sy + 0.5) / SAMPLES) * unit
                    colour = colour_at(x, y)
                    if colour is None:
                        continue
                    covered += 1
                    for channel in range(3):
                        totals[channel] += colour[channel]
            if covered == 0:
                row.append((0, 0, 0, 0))
            else:
                alpha = round(255 * covered / (SAMPLES * SAMPLES))
                row.append(tuple(round(t / covered) for t in totals) + (alpha,))
        pixels.append(row)
    return pixels


def bitmap(size, pixels):
    """An icon image: header, BGRA rows bottom-up, then the AND mask bottom-up."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            colour += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(colour) + bytes(mask)


def icon_file():
    images = [(size, bitmap(size, render(size))) for size in SIZES]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for size, data in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, data in images)


def main(argv):
    data = icon_file()
    if argv[1:] == ["--check"]:
        if OUTPUT.read_bytes() != data:
            print(f"{OUTPUT} differs from a fresh drawing; run {argv[0]}", file=sys.stderr)
            return 1
        return 0
    if argv[1:]:
        print(__doc__, file=sys.stderr)
        return 2
    OUTPUT.write_bytes(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
