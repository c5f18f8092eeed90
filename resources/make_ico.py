#!/usr/bin/env python3
"""Turns the program's palette PNG images into the Windows icon and pointer files at build time:
make_ico.py icon OUT.ico IN.png...  (one image per size, 16 colours, index 0 transparent)
make_ico.py cursor OUT.cur IN.png HOTX HOTY
The images are stored as classic 4-bit bitmaps with a transparency mask, which every Windows
version reads."""
import struct
import sys
import zlib


def read_png(path):
    """Width, height, palette (list of RGB) and rows of palette indices of a 4-bit PNG."""
    data = open(path, 'rb').read()
    assert data[:8] == b'\x89PNG\r\n\x1a\n', path
    pos, idat, palette = 8, b'', []
    while pos < len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b'IHDR':
            width, height, depth, colour, _, _, interlace = struct.unpack('>IIBBBBB', body)
            assert depth == 4 and colour == 3 and interlace == 0, path
        elif kind == b'PLTE':
            palette = [tuple(body[i:i + 3]) for i in range(0, len(body), 3)]
        elif kind == b'IDAT':
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = (width + 1) // 2
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = line[x - 1] if x else 0
            up, corner = previous[x], previous[x - 1] if x else 0
            if kind == 1:
                line[x] = (line[x] + left) & 255
            elif kind == 2:
                line[x] = (line[x] + up) & 255
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[x] = (line[x] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        previous = line
        rows.append([(line[x // 2] >> (4 if x % 2 == 0 else 0)) & 15 for x in range(width)])
    palette += [(0, 0, 0)] * (16 - len(palette))
    return width, height, palette[:16], rows


def bitmap(width, height, palette, rows):
    """The image as a device-independent bitmap: header, palette, colours, transparency mask."""
    header = struct.pack('<IiiHHIIiiII', 40, width, height * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    colours = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in palette)
    xor, mask = b'', b''
    for row in reversed(rows):  # bottom-up
        line = bytes(((row[x] << 4) | (row[x + 1] if x + 1 < width else 0)) for x in range(0, width, 2))
        xor += line + b'\0' * (-len(line) % 4)
        bits = 0
        packed = bytearray()
        for x in range(width):
            bits = (bits << 1) | (1 if row[x] == 0 else 0)
            if x % 8 == 7:
                packed.append(bits)
                bits = 0
        mask += bytes(packed) + b'\0' * (-len(packed) % 4)
    return header + colours + xor + mask


def write(path, kind, images):
    """images: (png path, field1, field2) where the fields are planes and bits for an icon,
    the hot spot for a pointer."""
    entries, bodies = b'', b''
    offset = 6 + 16 * len(images)
    for png, one, two in images:
        width, height, palette, rows = read_png(png)
        body = bitmap(width, height, palette, rows)
        entries += struct.pack('<BBBBHHII', width % 256, height % 256, 16, 0, one, two, len(body), offset)
        bodies += body
        offset += len(body)
    with open(path, 'wb') as out:
        out.write(struct.pack('<HHH', 0, kind, len(images)) + entries + bodies)


if __name__ == '__main__':
    if sys.argv[1] == 'icon':
        write(sys.argv[2], 1, [(png, 1, 4) for png in sys.argv[3:]])
    else:
        write(sys.argv[2], 2, [(sys.argv[3], int(sys.argv[4]), int(sys.argv[5]))])
