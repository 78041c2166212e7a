#!/usr/bin/env python3
"""Reads the entry that the online client submitted with libcddb's parser
(through xmcd-check) and compares what libcddb finds with the texts, offsets,
length, revision and disc id that the submission was made of.

    check_xmcd.py XMCD_CHECK DIR"""
import subprocess
import sys

EXPECTED = [
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


def main():
    checker, folder = sys.argv[1], sys.argv[2]
    result = subprocess.run([checker, folder, "rock", "0b014802"], capture_output=True,
                            text=True, encoding="utf-8", timeout=30)
    if result.returncode != 0:
        print(result.stderr.strip())
        return 1
    actual = result.stdout.splitlines()
    if actual != EXPECTED:
        print("libcddb read:\n  " + "\n  ".join(actual))
        print("expected:\n  " + "\n  ".join(EXPECTED))
        return 1
    print("libcddb reads the submitted entry as it was made")
    return 0


if __name__ == "__main__":
    sys.exit(main())
