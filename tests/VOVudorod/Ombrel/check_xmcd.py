#!/usr/bin/env python3
"""Reads the xmcd entries that the online client's tests left in DIR (as files of
libcddb's local cache) with libcddb's parser, through xmcd-check:
- rock/0b014802, the entry the client submitted: libcddb must find the texts,
  offsets, length and revision it was made of, and compute the same disc id;
- misc/0b014803, an entry whose values go on over several lines: libcddb must
  read the texts that the client read from it (misc/0b014803.parsed).

    check_xmcd.py XMCD_CHECK DIR"""
import os
import pathlib
import subprocess
import sys

SUBMITTED = [
    "revision 3",
    "length 330",
    "year 1999",
    "genre rock",
    "artist various",
    "title Café 東京",
    "track 1 150 Artist / Song",
    "track 2 13500 Guest / Duet",
    "discid 0b014802",
]


def libcddb(checker, folder, category, discid):
    result = subprocess.run([checker, folder, category, discid], capture_output=True,
                            text=True, encoding="utf-8",
                            timeout=30 * int(os.environ.get("TAVRIN_TIME_SCALE", "1") or "1"))
    if result.returncode != 0:
        raise RuntimeError(result.stderr.strip())
    return result.stdout.splitlines()


def texts(lines):
    """The genre, disc texts and track texts, without offsets and numbers."""
    kept = []
    for line in lines:
        kind, _, rest = line.partition(" ")
        if kind in ("genre", "artist", "title"):
            kept.append(line)
        elif kind == "track":
            number, _, rest = rest.partition(" ")
            if rest.split(" ", 1)[0].isdigit():  # libcddb's lines carry the offset
                rest = rest.split(" ", 1)[1]
            kept.append("track %s %s" % (number, rest))
    return kept


def compare(name, actual, expected):
    if actual == expected:
        print("%s: libcddb agrees" % name)
        return True
    print("%s: libcddb read\n  %s\nexpected\n  %s" % (name, "\n  ".join(actual),
                                                     "\n  ".join(expected)))
    return False


def main():
    checker, folder = sys.argv[1], sys.argv[2]
    ok = compare("submitted entry", libcddb(checker, folder, "rock", "0b014802"), SUBMITTED)
    parsed = pathlib.Path(folder, "misc", "0b014803.parsed").read_text(encoding="utf-8")
    ok &= compare("continued values", texts(libcddb(checker, folder, "misc", "0b014803")),
                  texts(parsed.splitlines()))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
