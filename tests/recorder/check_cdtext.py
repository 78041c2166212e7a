#!/usr/bin/env python3
"""Parses every CD-Text file that the recorder tests wrote with one reader
(cdtext_check: libcdio, the default; cdtext-check-burn: libburn, with
--reader libburn) and compares the texts read back with the ones the disc was
given.

NAME.expected lists "TRACKS <first> <last>", as the size information block
gives them, and "TITLE <track> <text>" and "PERFORMER <track> <text>" lines
(UTF-8). For a file whose name starts with "cut-" the texts are too long for one
block: every text read back must be the start of its original, all of them cut
at one common length, and at least one must have been cut.

A checker that exits with 3 reads no texts of the file's character code
(libburn takes ISO 8859-1, ASCII and MS-JIS only)."""
import argparse
import pathlib
import subprocess
import sys

# How each reader hands out the texts of each character code.
CHARSETS = {
    "libcdio": {"CODE 81": "cp949", "CODE 82": "cp936"},
    "libburn": {"CODE 00": "latin-1", "CODE 01": "ascii", "CODE 80": "shift_jis"},
}


def parse(lines):
    texts = {}
    for line in lines:
        kind, _, rest = line.partition(" ")
        if kind == "TRACKS":
            texts[(kind, 0)] = rest
        elif kind in ("TITLE", "PERFORMER"):
            track, _, text = rest.partition(" ")
            texts[(kind, int(track))] = text
    return texts


def check_cut(expected, actual):
    if expected.keys() != actual.keys():
        return "tracks differ"
    lengths = set()
    cut = False
    for key, full in expected.items():
        got = actual[key]
        if not full.startswith(got):
            return f"{key}: {got!r} is not the start of {full!r}"
        if len(got) < len(full):
            cut = True
            lengths.add(len(got))
    if not cut:
        return "nothing was cut"
    if len(lengths) != 1:
        return f"texts cut at different lengths {sorted(lengths)}"
    return None


def main(reader, checker, folder):
    files = sorted(pathlib.Path(folder).glob("*.cdt"))
    if not files:
        print(f"no CD-Text files in {folder}")
        return 1
    failed = 0
    for cdt in files:
        run = subprocess.run([checker, str(cdt)], capture_output=True)
        lines = run.stdout.splitlines()
        code = lines[0].decode() if lines else ""
        charset = CHARSETS[reader].get(code, "utf-8")
        out = [line.decode(charset, "replace") for line in lines]
        if run.returncode == 3:
            print(f"{cdt.stem}: {reader} reads no texts of {code}")
            continue
        if run.returncode != 0:
            print(f"{cdt.stem}: {' '.join(out)}")
            failed += 1
            continue
        raw = cdt.with_suffix(".expected").read_bytes().decode("utf-8")
        expected = parse(raw.replace("\r", "").splitlines())
        actual = parse(out)
        if cdt.stem.startswith("cut-"):
            problem = check_cut(expected, actual)
        else:
            problem = None if expected == actual else f"read back {actual}, expected {expected}"
        if problem:
            print(f"{cdt.stem}: {problem}")
            failed += 1
        else:
            print(f"{cdt.stem}: ok ({len(expected)} texts)")
    return 1 if failed else 0


if __name__ == "__main__":
    args = argparse.ArgumentParser()
    args.add_argument("--reader", choices=sorted(CHARSETS), default="libcdio")
    args.add_argument("checker")
    args.add_argument("folder")
    a = args.parse_args()
    sys.exit(main(a.reader, a.checker, a.folder))
