#!/usr/bin/env python3
"""Build the look's glyph bitmap: res/glyphs.txt -> a bottom-up 4-bit BMP.

Usage: gen_glyphs.py GLYPHS_TXT OUTPUT_BMP

The BMP has a 40-byte BITMAPINFOHEADER, 70 x 39 pixels, one plane, 4 bits per
pixel, no compression and a full 16-entry colour table: the usual 16 colours,
with entries 0, 7, 8, 10, 11 and 15 holding the marker colours black, dark
grey, light grey, green, yellow and white that the look replaces at run time.
"""
import struct
import sys

WIDTH = 70
HEIGHT = 39
CELLS_PER_ROW = 5
CELL_WIDTH = 14
USED_ENTRIES = set("078ABF")

# (red, green, blue) per colour table entry.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (128, 128, 128),
    (192, 192, 192), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def read_rows(path):
    rows = []
    with open(path, encoding="ascii") as f:
        for number, line in enumerate(f, 1):
            text = line.strip()
            if not text or text.startswith("#"):
                continue
            cells = text.split()
            if len(cells) != CELLS_PER_ROW or any(len(c) != CELL_WIDTH for c in cells):
                sys.exit(f"{path}:{number}: expected {CELLS_PER_ROW} cells of {CELL_WIDTH} digits")
            pixels = "".join(cells).upper()
            bad = set(pixels) - USED_ENTRIES
            if bad:
                sys.exit(f"{path}:{number}: colour entries {sorted(bad)} are not markers")
            rows.append([int(d, 16) for d in pixels])
    if len(rows) != HEIGHT:
        sys.exit(f"{path}: {len(rows)} pixel rows, expected {HEIGHT}")
    return rows


def build_bmp(rows):
    stride = ((WIDTH * 4 + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(rows):          # bottom-up
        line = bytearray(stride)
        for x, entry in enumerate(row):
            if x % 2 == 0:
                line[x // 2] |= entry << 4
            else:
                line[x // 2] |= entry
        pixels += line
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 4, 0, len(pixels),
                       0, 0, 16, 0)
    offset = 14 + len(info) + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + table + bytes(pixels)


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    data = build_bmp(read_rows(argv[1]))
    with open(argv[2], "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv)
