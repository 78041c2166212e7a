#!/usr/bin/env python3
"""Writes the virtual server's message table (a MESSAGETABLE resource's bytes),
so that error texts are looked up in it as in the system's service."""
import struct
import sys

# Own wording, one line each, ending in CR LF as message tables do.
MESSAGES = {
    0xC0AA0002: "The virtual drive cancelled the request.",
    0xC0AA0202: "There is no disc in the virtual drive.",
    0xC0AA0300: "The virtual drive lost streaming while writing.",
    0xC0AA060A: "No recorder was chosen for the virtual raw writer.",
}


def entry(text):
    data = (text + "\r\n\0").encode("utf-16-le")
    while (4 + len(data)) % 4:
        data += b"\0"
    return struct.pack("<HH", 4 + len(data), 1) + data


ids = sorted(MESSAGES)
entries = [entry(MESSAGES[i]) for i in ids]
offset = 4 + 12 * len(ids)
blocks = b""
for i, e in zip(ids, entries):
    blocks += struct.pack("<III", i, i, offset)
    offset += len(e)
with open(sys.argv[1], "wb") as out:
    out.write(struct.pack("<I", len(ids)) + blocks + b"".join(entries))
