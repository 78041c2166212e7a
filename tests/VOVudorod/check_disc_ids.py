#!/usr/bin/env python3
"""Checks the disc ids and TOC hashes that the local plug-in reported under Wine
against libdiscid's freedb id and sha1sum of the same TOC bytes."""
import ctypes
import subprocess
import sys
from pathlib import Path

folder = Path(sys.argv[1])
lib = ctypes.CDLL("libdiscid.so.0")
lib.discid_new.restype = ctypes.c_void_p
lib.discid_put.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.POINTER(ctypes.c_int)]
lib.discid_get_freedb_id.argtypes = [ctypes.c_void_p]
lib.discid_get_freedb_id.restype = ctypes.c_char_p
lib.discid_free.argtypes = [ctypes.c_void_p]

lines = (folder / "ids.txt").read_text().split()
failures = 0
count = 0
for name, disc_id, digest in zip(lines[0::3], lines[1::3], lines[2::3]):
    toc = (folder / name).read_bytes()
    last = toc[3]
    frames = [toc[4 + 8 * i + 5] * 4500 + toc[4 + 8 * i + 6] * 75 + toc[4 + 8 * i + 7]
              for i in range(last + 1)]
    offsets = (ctypes.c_int * 100)(frames[-1], *frames[:-1])
    handle = lib.discid_new()
    if not lib.discid_put(handle, 1, last, offsets):
        sys.exit(f"libdiscid refused {name}")
    expected_id = lib.discid_get_freedb_id(handle).decode()
    lib.discid_free(handle)
    sha1 = subprocess.run(["sha1sum", str(folder / name)], check=True, capture_output=True,
                          text=True).stdout.split()[0]
    if expected_id != disc_id or sha1 != digest:
        print(f"{name}: plug-in {disc_id} {digest}, checkers {expected_id} {sha1}")
        failures += 1
    count += 1
if count < 30:
    sys.exit(f"only {count} discs reported")
print(f"{count} discs: disc ids and hashes agree with libdiscid and sha1sum")
sys.exit(1 if failures else 0)
