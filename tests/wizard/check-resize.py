#!/usr/bin/env python3
"""Recomputes the pictures that the resizer test scaled, with a separate
implementation of the box filter written from its description, and compares
them byte for byte. Usage: check-resize.py FOLDER (holding cases.txt and the
.src/.dst DIBs)."""
import struct
import sys

HEADER = 40


def bytes_per_pixel(fmt):
    return {0: 3, 1: 4, 2: 2}.get(fmt, 1)


def row_bytes(width, fmt):
    if fmt == 0:
        return (3 * width + 3) & ~3
    if fmt == 1:
        return 4 * width
    if fmt == 2:
        return 2 * width
    return (width + 3) & ~3


def taps(n, m):
    """For each of m outputs, the list of source indexes summed (with repeats)."""
    out = []
    if n > m:
        previous = -1
        for k in range(m):
            bound = (n - 1) * k // m
            out.append(list(range(previous + 1, bound + 1)))
            previous = bound
        return out
    taken = 0
    current = []
    for k in range(m):
        bound = (n - 1) * k // m
        if bound >= taken:
            current = [taken]
            taken += 1
        else:
            current = current + [min(taken, n - 1)]
        out.append(current)
    return out


def mean(values):
    return sum(values) // len(values)


def scale(rows, sw, sh, tw, th, fmt, flip):
    """rows: source memory rows (bytes); returns th target memory rows."""
    bpp = bytes_per_pixel(fmt)
    across = taps(sw, tw)
    between = []  # between[i] = horizontally scaled row i
    for i in range(sh):
        src = rows[i if flip else sh - 1 - i]
        out = bytearray(tw * bpp)
        if fmt == 2:
            for k, t in enumerate(across):
                out[2 * k] = mean([src[2 * p] for p in t])
                if k % 2 == 0 and k + 1 < tw:
                    chroma = [p for p in t if sw > tw or p % 2 == 0] or [t[0] - t[0] % 2]
                    out[2 * k + 1] = mean([src[4 * (p // 2) + 1] for p in chroma])
                    out[2 * k + 3] = mean([src[4 * (p // 2) + 3] for p in chroma])
        else:
            for k, t in enumerate(across):
                for c in range(min(bpp, 3)):
                    out[k * bpp + c] = mean([src[p * bpp + c] for p in t])
        between.append(out)
    down = taps(sh, th)
    target = [None] * th
    for k, t in enumerate(down):
        row = bytearray(tw * bpp)
        for j in range(tw * bpp):
            if fmt == 1 and j % 4 == 3:
                row[j] = 0xEE  # never written
                continue
            row[j] = mean([between[i][j] for i in t])
        target[th - 1 - k] = row
    return target


def bars(sw, sh, sa, tw, th, ta):
    """(left, top, right, bottom, source aspect after the video rule)."""
    if ta == 2 and sa == 3 and ((sw in (704, 720) and sh in (576, 480)) or
                                (sw in (352, 360) and sh in (288, 240))):
        sa = 2
    if sa == 1 and ta == 2:
        extra = sh * 4 // 3 - sh
        return 0, extra // 2, 0, extra - extra // 2
    if sa == 2 and ta == 1:
        extra = sw * 4 // 3 - sw
        return extra // 2, 0, extra - extra // 2, 0
    if sa == 3:
        a, b = {1: (16, 9), 2: (4, 3)}.get(ta, (tw * 256 // th, 256))
        if sw * b > sh * a:
            extra = (sw * b // a - sh) // 2 * 2
            return 0, extra // 2, 0, extra // 2
        extra = (sh * a // b - sw) // 2 * 2
        return extra // 2, 0, extra // 2, 0
    return 0, 0, 0, 0


def expected(sw, sh, sa, sdown, srb, tw, th, ta, tdown, fmt, rows):
    flip = fmt != 2 and sdown != tdown
    trb = row_bytes(tw, fmt)
    bpp = bytes_per_pixel(fmt)
    same = sw == tw and sh == th and not (sa and ta and sa != ta)
    if same and srb == trb:
        return [bytes(rows[i if flip else sh - 1 - i][:sw * bpp]) for i in range(sh)][::-1]
    if not sa or not ta:
        return scale(rows, sw, sh, tw, th, fmt, flip)
    left, top, right, bottom = bars(sw, sh, sa, tw, th, ta)
    field_wise = (sh, th) in ((480, 576), (576, 480))
    one_field = not field_wise and sh in (480, 576) and th in (288, 240)
    if left or top or right or bottom:
        pw, ph = sw + left + right, sh + top + bottom
        black = bytes([16, 128, 16, 128] * pw)[:pw * bpp] if fmt == 2 else bytes(pw * bpp)
        padded = [bytearray(black) for _ in range(ph)]
        for i in range(sh):
            padded[ph - top - 1 - i][left * bpp:(left + sw) * bpp] = \
                rows[i if flip else sh - 1 - i][:sw * bpp]
        rows, sw, sh, flip = padded, pw, ph, False
    if field_wise:
        even = scale(rows[0::2][:sh // 2], sw, sh // 2, tw, th // 2, fmt, flip)
        odd = scale(rows[1::2][:sh // 2], sw, sh // 2, tw, th // 2, fmt, flip)
        out = [None] * th
        out[0::2], out[1::2] = even, odd
        return out
    if one_field:
        return scale(rows[0::2][:sh // 2], sw, sh // 2, tw, th, fmt, flip)
    return scale(rows, sw, sh, tw, th, fmt, flip)


def main(folder):
    failures = 0
    count = 0
    for line in open(folder + "/cases.txt"):
        name, *numbers = line.split()
        sw, sh, sa, sdown, srb, tw, th, ta, tdown, fmt = map(int, numbers)
        src = open(f"{folder}/{name}.src", "rb").read()
        dst = open(f"{folder}/{name}.dst", "rb").read()
        width, height = struct.unpack_from("<ii", src, 4)
        assert (width, abs(height)) == (sw, sh), name
        rows = [src[HEADER + i * srb:HEADER + (i + 1) * srb] for i in range(sh)]
        want = expected(sw, sh, sa, sdown, srb, tw, th, ta, tdown, fmt, rows)
        trb = row_bytes(tw, fmt)
        bpp = bytes_per_pixel(fmt)
        got = [dst[HEADER + i * trb:HEADER + i * trb + tw * bpp] for i in range(th)]
        count += 1
        if fmt == 2 and tw % 2:
            got = [g[:-2] for g in got]
            want = [w[:-2] for w in want]
        if [bytes(w) for w in want] != [bytes(g) for g in got]:
            failures += 1
            bad = next(i for i in range(th) if bytes(want[i]) != bytes(got[i]))
            print(f"{name}: row {bad} differs\n want {bytes(want[bad])[:24].hex()}\n"
                  f"  got {bytes(got[bad])[:24].hex()}")
    if count == 0:
        print("no cases")
        return 1
    print(f"{count} cases, {failures} differ")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
