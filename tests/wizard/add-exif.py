#!/usr/bin/env python3
"""Copies a JFIF file with an Exif segment after its JFIF one, stating a
resolution of 300/1 across and 600/2 down in the given unit (1 none, 2 inch,
3 centimetre), in the given byte order (II or MM).

Usage: add-exif.py <in.jpg> <out.jpg> <II|MM> <unit>
"""
import struct
import sys


def exif(order, unit):
    e = "<" if order == "II" else ">"
    rationals = 8 + 2 + 3 * 12 + 4
    tiff = order.encode() + struct.pack(e + "HI", 42, 8) + struct.pack(e + "H", 3)
    tiff += struct.pack(e + "HHII", 282, 5, 1, rationals)
    tiff += struct.pack(e + "HHII", 283, 5, 1, rationals + 8)
    tiff += struct.pack(e + "HHIHH", 296, 3, 1, unit, 0)
    tiff += struct.pack(e + "I", 0) + struct.pack(e + "IIII", 300, 1, 600, 2)
    body = b"Exif\0\0" + tiff
    return b"\xFF\xE1" + struct.pack(">H", len(body) + 2) + body


def main():
    source, target, order, unit = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
    jpeg = open(source, "rb").read()
    after_jfif = 4 + struct.unpack(">H", jpeg[4:6])[0]
    with open(target, "wb") as f:
        f.write(jpeg[:after_jfif] + exif(order, unit) + jpeg[after_jfif:])


if __name__ == "__main__":
    main()
