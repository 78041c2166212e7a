#!/usr/bin/env python3
"""Writes one picture as BMP files of every packed-DIB layout the picture
readers take, and what ImageMagick decodes from each (top-down RGB, 8 bits per
channel). Every file is a 14-byte file header followed by the packed DIB as a
clipboard, a drop or a scanner gives it: the pixels lie where a reader of the
packed block must find them, and bfOffBits points there for ImageMagick. The
script stops when ImageMagick reads another picture than the one written.

Usage: make-dib-table.py <folder>; the names are written to <folder>/dibs.txt.
"""
import os
import random
import shutil
import struct
import subprocess
import sys

WIDTH, HEIGHT, BLOCK = 35, 21, 16
JUNK = 0xEE  # in row padding and unused bits: no reader may take it for pixels
LCS_SRGB, PROFILE_LINKED, PROFILE_EMBEDDED = 0x73524742, 0x4C494E4B, 0x4D424544
MASKS_565 = (0xF800, 0x07E0, 0x001F)
MASKS_555 = (0x7C00, 0x03E0, 0x001F)
MASKS_888 = (0xFF0000, 0x00FF00, 0x0000FF)

# name: header size, bits, masks (BI_BITFIELDS) or None (BI_RGB), entries of
# the colour table (None: as many as the depth has), rows top-down, and where
# a version-5 colour profile lies: 'front', between table and pixels (a linked
# profile: its file name), or 'after' the pixels (an embedded one).
CASES = {
    "info1": (40, 1, None, None, False, None),
    "core1": (12, 1, None, None, False, None),
    "info4": (40, 4, None, None, False, None),
    "info4_six_colours": (40, 4, None, 6, True, None),
    "info8_topdown": (40, 8, None, None, True, None),
    "info16_555": (40, 16, None, 0, False, None),
    "info16_555_table": (40, 16, None, 3, False, None),
    "info16_555_fields": (40, 16, MASKS_555, 0, True, None),
    "info16_565": (40, 16, MASKS_565, 0, False, None),
    "info16_565_table_topdown": (40, 16, MASKS_565, 2, True, None),
    "info24": (40, 24, None, 0, False, None),
    "info24_table": (40, 24, None, 2, False, None),
    "info24_table_topdown": (40, 24, None, 256, True, None),
    "info32": (40, 32, None, 0, False, None),
    "info32_table": (40, 32, None, 4, False, None),
    "info32_fields_table_topdown": (40, 32, MASKS_888, 1, True, None),
    "core24": (12, 24, None, 0, False, None),
    "v2_32_fields": (52, 32, MASKS_888, 0, False, None),
    "v3_16_565_table": (56, 16, MASKS_565, 5, False, None),
    "v4_8": (108, 8, None, None, False, None),
    "v4_24_table": (108, 24, None, 3, False, None),
    "v4_16_565_topdown": (108, 16, MASKS_565, 0, True, None),
    "v5_4_profile_front": (124, 4, None, None, False, "front"),
    "v5_24_table_profile_front": (124, 24, None, 2, True, "front"),
    "v5_32_fields_profile_after": (124, 32, MASKS_888, 0, True, "after"),
    "v5_24_profile_after": (124, 24, None, 0, False, "after"),
    "v5_24_profile_after_topdown": (124, 24, None, 0, True, "after"),
}


def picture(rng):
    """Blocks of mid-tone colours (no scanner background), top-down rows."""
    cols, rows = (WIDTH + BLOCK - 1) // BLOCK, (HEIGHT + BLOCK - 1) // BLOCK
    blocks = [[rng.randrange(1 << 30) for _ in range(cols)] for _ in range(rows)]
    return [[blocks[y // BLOCK][x // BLOCK] for x in range(WIDTH)] for y in range(HEIGHT)]


def mid_tone(rng):
    return tuple(rng.randrange(48, 208) for _ in range(3))


def pack_row(values, bits):
    if bits >= 8:
        return b"".join(v.to_bytes(bits // 8, "little") for v in values)
    out, acc, used = bytearray(), 0, 0
    for v in values:
        acc, used = (acc << bits) | v, used + bits
        if used == 8:
            out.append(acc)
            acc, used = 0, 0
    if used:  # the rest of the last byte is junk
        out.append((acc << (8 - used)) | (JUNK >> used))
    return bytes(out)


def pixel_value(seed, bits, masks, palette):
    if bits <= 8:
        return seed % len(palette)
    r, g, b = (48 + (seed >> s) % 160 for s in (0, 8, 16))
    if bits == 24:
        return b | g << 8 | r << 16
    if bits == 32:  # the fourth byte is no colour
        return b | g << 8 | r << 16 | JUNK << 24
    masks = masks or MASKS_555
    value = 0
    for channel, mask in zip((r, g, b), masks):
        shift = (mask & -mask).bit_length() - 1
        width = bin(mask).count("1")
        value |= (channel >> (8 - width)) << shift
    if bits == 16 and masks == MASKS_555:
        value |= 0x8000  # the unused top bit
    return value


def colour_of(seed, bits, masks, palette):
    """The colour a pixel stands for: as stored, 5 or 6 bits widened by
    repeating their top bits."""
    if bits <= 8:
        return palette[seed % len(palette)]
    value = pixel_value(seed, bits, masks, palette)
    if bits in (24, 32):
        return ((value >> 16) & 255, (value >> 8) & 255, value & 255)
    channels = []
    for mask in masks or MASKS_555:
        shift = (mask & -mask).bit_length() - 1
        width = bin(mask).count("1")
        c = (value & mask) >> shift
        channels.append((c << (8 - width)) | (c >> (2 * width - 8)))
    return tuple(channels)


def write_case(folder, name, spec, rng):
    header_size, bits, masks, entries, top_down, profile = spec
    core = header_size == 12
    if bits <= 8:
        colours = entries or (1 << bits)
        palette = [mid_tone(rng) for _ in range(colours)]
        table_entries = entries or 0
    else:
        palette = [tuple(rng.randrange(256) for _ in range(3)) for _ in range(entries)]
        table_entries = entries
    entry = b"".join(bytes((b, g, r)) if core else bytes((b, g, r, 0)) for r, g, b in palette)
    image = picture(rng)
    stride = (WIDTH * bits + 31) // 32 * 4
    rows = []
    for y in range(HEIGHT):
        packed = pack_row([pixel_value(v, bits, masks, palette) for v in image[y]], bits)
        rows.append(packed + bytes([JUNK]) * (stride - len(packed)))
    if not top_down:
        rows.reverse()
    pixels = b"".join(rows)

    compression = 3 if masks else 0
    if core:
        header = struct.pack("<IHHHH", 12, WIDTH, HEIGHT, 1, bits)
    else:
        height = -HEIGHT if top_down else HEIGHT
        header = struct.pack("<IiiHHIIiiII", header_size, WIDTH, height, 1, bits, compression,
                             len(pixels), 0, 0, table_entries, 0)
    trailer = b""
    if masks and header_size == 40:
        trailer = struct.pack("<III", *masks)
    elif header_size > 40:
        extra = struct.pack("<IIII", *(masks or (0, 0, 0)), 0)
        if header_size >= 108:
            space = {"front": PROFILE_LINKED, "after": PROFILE_EMBEDDED}.get(profile, LCS_SRGB)
            extra += struct.pack("<I", space) + bytes(48)
        if header_size == 124:
            extra += bytes(16)
        header += extra[: header_size - 40]
    before_pixels = header + trailer + entry
    after_pixels = b""
    if profile == "front":
        blob = b"C:\\Windows\\System32\\spool\\drivers\\color\\sRGB Color Space Profile.icm\0"
        profile_at = len(before_pixels)
        before_pixels += blob
    elif profile == "after":
        blob = bytes(range(128))  # bytes nobody reads here, more than a 24-bit row
        profile_at = len(before_pixels) + len(pixels)
        after_pixels = blob
    if profile:
        v5 = bytearray(before_pixels)
        struct.pack_into("<II", v5, 112, profile_at, len(blob))
        before_pixels = bytes(v5)
    dib = before_pixels + pixels + after_pixels
    file_header = b"BM" + struct.pack("<IHHI", 14 + len(dib), 0, 0, 14 + len(before_pixels))
    path = os.path.join(folder, name + ".bmp")
    with open(path, "wb") as f:
        f.write(file_header + dib)
    rgb = os.path.join(folder, name + ".rgb")
    subprocess.run(["convert", path, "-depth", "8", "rgb:" + rgb], check=True)
    # ImageMagick must read what was written, or the table proves nothing.
    meant = bytes(c for row in image for seed in row for c in colour_of(seed, bits, masks, palette))
    with open(rgb, "rb") as f:
        if f.read() != meant:
            sys.exit(name + ": ImageMagick reads another picture")


def main():
    folder = sys.argv[1]
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    rng = random.Random(14)
    for name, spec in CASES.items():
        write_case(folder, name, spec, rng)
    with open(os.path.join(folder, "dibs.txt"), "w") as f:
        f.write("".join(name + "\n" for name in CASES))


if __name__ == "__main__":
    main()
