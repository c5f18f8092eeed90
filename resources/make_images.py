#!/usr/bin/env python3
"""Draws Tidelin's images: the program's icon (32 x 32 and 16 x 16 pixels, 16 colours) and
the hand pointer shown over the web address (32 x 32, hot spot at 12, 1). Writes 4-bit
palette PNG files beside this script. Run it again after changing a drawing."""
import os
import struct
import zlib

# The 16-colour palette; index 0 is transparent.
PALETTE = [
    (0, 0, 0), (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (0, 255, 255), (255, 255, 255),
]
KEYS = {'.': 0, 'k': 1, 'g': 9, 's': 8, 'w': 15, 'b': 13, 'n': 5, 'c': 14}


def write_png(path, rows):
    height, width = len(rows), len(rows[0])
    raw = bytearray()
    for row in rows:
        assert len(row) == width, path
        raw.append(0)
        indices = [KEYS[ch] for ch in row] + [0]
        for x in range(0, width, 2):
            raw.append((indices[x] << 4) | indices[x + 1])

    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)

    png = b'\x89PNG\r\n\x1a\n'
    png += chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 4, 3, 0, 0, 0))
    png += chunk(b'PLTE', b''.join(struct.pack('BBB', *c) for c in PALETTE))
    png += chunk(b'tRNS', bytes([0] + [255] * 15))
    png += chunk(b'IDAT', zlib.compress(bytes(raw), 9))
    png += chunk(b'IEND', b'')
    with open(path, 'wb') as out:
        out.write(png)


def icon(size):
    """A sheet of text with the line-break arrow on it."""
    grid = [['.'] * size for _ in range(size)]
    s = size / 32
    left, right, top, bottom = round(5 * s), round(26 * s), round(1 * s), round(30 * s)
    fold = round(6 * s)
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            if x - left + (bottom - y) < 0:
                continue
            if x > right - fold and y < top + fold and (x - (right - fold)) > (y - top):
                continue  # the folded corner
            edge = y in (top, bottom) or x in (left, right) or (
                x > right - fold and y < top + fold and (x - (right - fold)) == (y - top))
            grid[y][x] = 'k' if edge else 'w'
    for y in range(round(5 * s), round(17 * s) + 1, max(2, round(3 * s))):
        for x in range(left + max(2, round(3 * s)), right - max(2, round(4 * s))):
            grid[y][x] = 'g'
    # The line-break arrow: down on the right, then left, with its head.
    thick = max(1, round(2 * s))
    ax, ay = right - round(5 * s), round(19 * s)
    by = round(25 * s)
    bx = left + round(5 * s)
    for y in range(ay, by + thick):
        for t in range(thick):
            grid[y][ax + t] = 'b'
    for x in range(bx, ax + thick):
        for t in range(thick):
            grid[by + t][x] = 'b'
    head = max(2, round(4 * s))
    for d in range(head):
        for t in range(thick):
            grid[by - d + t][bx + d] = 'b'
            grid[by + d + t][bx + d] = 'b'
    return [''.join(r) for r in grid]


HAND = """
..........kk....................
.........kwwk...................
.........kwwk...................
.........kwwk...................
.........kwwk...................
.........kwwkkk.................
.........kwwkwwkkk..............
.........kwwkwwkwwkk............
.........kwwkwwkwwkwk...........
......kk.kwwwwwwwwkwwk..........
......kwkkwwwwwwwwwwwk..........
......kwwkwwwwwwwwwwwk..........
.......kwkwwwwwwwwwwwk..........
.......kwwwwwwwwwwwwwk..........
........kwwwwwwwwwwwwk..........
........kwwwwwwwwwwwk...........
.........kwwwwwwwwwwk...........
.........kwwwwwwwwwk............
..........kwwwwwwwwk............
..........kwwwwwwwwk............
..........kkkkkkkkkk............
................................
................................
................................
................................
................................
................................
................................
................................
................................
................................
................................
"""


def hand():
    rows = [r for r in HAND.strip().splitlines()]
    # Shift so that the fingertip sits at (12, 1): the drawing's tip is at (10, 0).
    rows = ['..' + r[:-2] for r in rows]
    rows = ['.' * 32] + rows[:-1]
    return rows


if __name__ == '__main__':
    here = os.path.dirname(os.path.abspath(__file__))
    write_png(os.path.join(here, 'icon.png'), icon(32))
    write_png(os.path.join(here, 'icon16.png'), icon(16))
    write_png(os.path.join(here, 'hand.png'), hand())
