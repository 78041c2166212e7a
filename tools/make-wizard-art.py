#!/usr/bin/env python3
"""Draws the wizard's pictures: the program icon, the eject icon, the header
bitmap of the interior pages and the watermark of the exterior pages.

    make-wizard-art.py OUTPUT_FOLDER

Writes Tavrin.ico (32x32 and 16x16), Eject.ico (16x16), Header.bmp (49x49,
16 colours) and Watermark.bmp (164x314, 256 colours).
"""

import math
import os
import struct
import sys

NAVY = (0x1F, 0x3A, 0x68)
SILVER = (0xC8, 0xCC, 0xD4)
SKY = (0x6F, 0x9F, 0xD8)
WHITE = (0xFF, 0xFF, 0xFF)


def disc(x, y, cx, cy, r):
    """The colour of a compact disc of radius r centred at (cx, cy), or None."""
    d = math.hypot(x - cx, y - cy)
    if d > r:
        return None
    if d < r * 0.12:
        return None  # the hole
    if d < r * 0.3:
        return WHITE
    shade = 0.5 + 0.5 * math.cos(math.atan2(y - cy, x - cx) * 2)
    return tuple(int(SILVER[i] * (1 - shade * 0.35) + SKY[i] * shade * 0.35) for i in range(3))


def bitmap_info(width, height, bits, colours):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, 0, 3780, 3780,
                       colours, colours)


def rows_bottom_up(width, height, pixel):
    return [[pixel(x, height - 1 - y) for x in range(width)] for y in range(height)]


def indexed_bmp(width, height, bits, palette, pixel):
    """A BMP file of a picture whose pixels are palette indices."""
    body = bytearray()
    row_bytes = (width * bits + 31) // 32 * 4
    for row in rows_bottom_up(width, height, pixel):
        packed = bytearray(row_bytes)
        for x, index in enumerate(row):
            if bits == 8:
                packed[x] = index
            else:
                packed[x // 2] |= index << (4 if x % 2 == 0 else 0)
        body += packed
    colours = 1 << bits
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    table += b"\0\0\0\0" * (colours - len(palette))
    info = bitmap_info(width, height, bits, colours)
    offset = 14 + len(info) + len(table)
    return struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset) + info + table + body


def icon_image(size, pixel):
    """One 32-bit image of an icon: header of twice the height, pixels, AND mask."""
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    body = bytearray()
    mask = bytearray()
    mask_row = (size + 31) // 32 * 4
    for row in rows_bottom_up(size, size, pixel):
        bits = bytearray(mask_row)
        for x, colour in enumerate(row):
            if colour is None:
                body += b"\0\0\0\0"
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                body += struct.pack("<BBBB", colour[2], colour[1], colour[0], 255)
        mask += bits
    return info + bytes(body) + bytes(mask)


def icon_file(images):
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    data = b""
    for size, image in images:
        entries += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
        data += image
    return head + entries + data


def program_icon(size):
    return icon_image(size, lambda x, y: disc(x + 0.5, y + 0.5, size / 2, size / 2, size / 2 - 0.5))


def eject_icon():
    def pixel(x, y):
        if 3 <= y <= 8 and abs(x - 7.5) <= y - 2.5:
            return NAVY  # the triangle
        if 11 <= y <= 12 and 2 <= x <= 13:
            return NAVY  # the bar
        return None
    return icon_image(16, pixel)


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((palette[i][c] - colour[c]) ** 2 for c in range(3)))


def header_bitmap():
    palette = [WHITE, NAVY, SILVER, SKY] + [
        tuple(int(SILVER[c] * (1 - t / 11) + SKY[c] * t / 11) for c in range(3)) for t in range(12)]

    def pixel(x, y):
        colour = disc(x + 0.5, y + 0.5, 24.5, 24.5, 23)
        return 0 if colour is None else nearest(palette, colour)
    return indexed_bmp(49, 49, 4, palette, pixel)


def watermark_bitmap():
    ramp = [tuple(int(NAVY[c] + (SKY[c] - NAVY[c]) * t / 199) for c in range(3)) for t in range(200)]
    discs = [tuple(int(SILVER[c] * (1 - t / 49) + SKY[c] * t / 49) for c in range(3))
             for t in range(50)]
    palette = ramp + discs + [WHITE]

    def pixel(x, y):
        colour = disc(x + 0.5, y + 0.5, 82, 230, 60)
        if colour is not None:
            if colour == WHITE:
                return len(palette) - 1
            return 200 + nearest(discs, colour)
        return min(199, y * 200 // 314)
    return indexed_bmp(164, 314, 8, palette, pixel)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    files = {
        "Tavrin.ico": icon_file([(32, program_icon(32)), (16, program_icon(16))]),
        "Eject.ico": icon_file([(16, eject_icon())]),
        "Header.bmp": header_bitmap(),
        "Watermark.bmp": watermark_bitmap(),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
