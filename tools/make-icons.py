#!/usr/bin/env python3
"""Draws the program's icons (a violet disc with a lime plug) into src/win32/res as .ico files.

The .ico files are committed; run this only to change the artwork."""
import struct
import sys
from pathlib import Path

ART = [
    "......####......",
    "....########....",
    "...##########...",
    "..####LL##LL###.",
    ".#####LL##LL####",
    ".#####LL##LL####",
    "#####LLLLLLLL###",
    "#####LLLLLLLL###",
    "#####LLLLLLLL###",
    "######LLLLLL####",
    ".######LLLL#####",
    ".#######LL######",
    "..######LL#####.",
    "...#####LL####..",
    "....####LL###...",
    "......##LL#.....",
]
VIOLET = (68, 34, 119)
LIME = (0, 255, 0)
EDGE = (153, 119, 204)


def pixels(size):
    """Rows top to bottom of (r, g, b) or None for transparent, scaled from the 16 x 16 art."""
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            c = ART[y * 16 // size][x * 16 // size]
            row.append(None if c == "." else LIME if c == "L" else VIOLET)
        rows.append(row)
    # A lighter rim where the disc meets the transparent corners.
    for y in range(size):
        for x in range(size):
            if rows[y][x] == VIOLET and any(
                    not (0 <= y + dy < size and 0 <= x + dx < size) or rows[y + dy][x + dx] is None
                    for dy, dx in ((1, 0), (-1, 0), (0, 1), (0, -1))):
                rows[y][x] = EDGE
    return rows


def dib(size, bpp):
    rows = pixels(size)
    palette = [(0, 0, 0), VIOLET, LIME, EDGE]
    colours = 1 << bpp
    palette += [(0, 0, 0)] * (colours - len(palette))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, 0, 0, 0, colours, 0)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    xor = b""
    and_mask = b""
    stride = ((size * bpp + 31) // 32) * 4
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(rows):
        idx = [0 if p is None else palette.index(p) for p in row]
        if bpp == 8:
            line = bytes(idx)
        else:
            line = bytes((idx[i] << 4) | idx[i + 1] for i in range(0, size, 2))
        xor += line + b"\0" * (stride - len(line))
        bits = 0
        m = bytearray()
        for x, p in enumerate(row):
            bits = (bits << 1) | (1 if p is None else 0)
            if x % 8 == 7:
                m.append(bits)
                bits = 0
        and_mask += bytes(m) + b"\0" * (mask_stride - len(m))
    return header + pal + xor + and_mask


def ico(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for size, bpp in images:
        data = dib(size, bpp)
        colours = 0 if bpp == 8 else 1 << bpp
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bpp, len(data), offset)
        offset += len(data)
        blobs.append(data)
    return out + b"".join(blobs)


def main():
    res = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "src/win32/res")
    (res / "tray256.ico").write_bytes(ico([(16, 8)]))
    (res / "tray16.ico").write_bytes(ico([(16, 4)]))
    # The emblem at the sizes the windows draw it at 96, 120, 144 and 192 dpi.
    (res / "kiv.ico").write_bytes(ico([(16, 8), (20, 8), (24, 8), (32, 8), (40, 8), (48, 8), (60, 8), (64, 8), (72, 8), (96, 8)]))


if __name__ == "__main__":
    main()
