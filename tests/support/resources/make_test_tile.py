#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes test_tile.png: a 256x256 pale land-like picture (fields, a lake, two roads) that the
loopback tile server hands out for every tile. Made by us, so tests and screenshots never carry
a real map tile. Run once; the PNG is committed beside this script."""
import math
import struct
import sys
import zlib

SIZE = 256
LAND = (242, 239, 233)
FIELD = (222, 236, 204)
WATER = (181, 210, 224)
ROAD = (255, 255, 255)
EDGE = (214, 208, 200)


def colour(x, y):
    # A lake: a soft blob in the lower left.
    if (x - 60) ** 2 / 1600 + (y - 190) ** 2 / 900 < 1:
        return WATER
    # Two roads: one straight, one gently curving, each with a darker edge.
    for d in (abs(y - 90), abs(x - (170 + 20 * math.sin(y / 40)))):
        if d < 3:
            return ROAD
        if d < 4.5:
            return EDGE
    # Fields: a few rounded patches.
    for cx, cy, r in ((200, 40, 30), (120, 150, 24), (215, 200, 34)):
        if (x - cx) ** 2 + (y - cy) ** 2 < r * r:
            return FIELD
    return LAND


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def main(path):
    rows = b"".join(b"\0" + bytes(c for x in range(SIZE) for c in colour(x, y)) for y in range(SIZE))
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(rows, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "test_tile.png")
