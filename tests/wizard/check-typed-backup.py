#!/usr/bin/python3
"""Checks the backup that the wizard's walk with texts typed into the track
editor left (WizardRunTest): mutagen reads the disc's texts from the tag and
each track's from its chapter.

    check-typed-backup.py BACKUP.mp3
"""
import sys

from mutagen.id3 import ID3

EXPECTED = {
    None: ("Typed Album", "Typed Artist"),
    "track1": ("Track 1", "Typed Artist"),
    "track2": ("Second Song", "Typed Artist"),
}


def texts(frames):
    return tuple(frames.getall(i)[0].text[0] if frames.getall(i) else None
                 for i in ("TIT2", "TPE1"))


def main(path):
    tag = ID3(path, translate=False)
    chapters = {c.element_id: c.sub_frames for c in tag.getall("CHAP")}
    failures = []
    for chapter, want in EXPECTED.items():
        if chapter is not None and chapter not in chapters:
            failures.append("no chapter %s" % chapter)
            continue
        got = texts(tag if chapter is None else chapters[chapter])
        if got != want:
            failures.append("%s: title and artist %r, typed %r" % (chapter or "disc", got, want))
    for failure in failures:
        print("FAIL: " + failure, file=sys.stderr)
    if not failures:
        print("the typed texts are in %s" % path)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
