#!/usr/bin/env python3
"""Checks the disc images that the recorder tests wrote with tools of others:
bchunk splits each image by its cue sheet into one WAV per track, cdrdao and
libcdio's cd-info read the sheet's track layout (and cd-info its texts), and
mpg123 decodes the disc's MP3 audio for comparison with the image's samples.

Each case folder holds "disc image.bin", "disc image.cue", audio.mp3 and
layout.txt ("TRACK <n> <start> <length>" in sectors from the image's start).
A folder may also hold burned.cdt, the CD-Text a recorder burned for the same
disc: cd-info then reads it beside the sheet's tracks, and each track must get
its own texts."""
import array
import pathlib
import re
import subprocess
import sys
import tempfile

SECTOR = 2352


def run(*args, cwd=None):
    return subprocess.run(args, cwd=cwd, capture_output=True, text=True, errors="replace")


def check_case(folder):
    bin_path, cue = folder / "disc image.bin", folder / "disc image.cue"
    image = bin_path.read_bytes()
    layout = []
    for line in (folder / "layout.txt").read_text().replace("\r", "").splitlines():
        _, n, start, length = line.split()
        layout.append((int(n), int(start), int(length)))
    total = layout[-1][1] + layout[-1][2]
    if len(image) != total * SECTOR:
        return f"image of {len(image)} bytes, expected {total * SECTOR}"

    with tempfile.TemporaryDirectory() as tmp:
        r = run("bchunk", "-w", str(bin_path), str(cue), "tr", cwd=tmp)
        if r.returncode != 0:
            return "bchunk: " + r.stdout + r.stderr
        for n, start, length in layout:
            wav = pathlib.Path(tmp) / f"tr{n:02d}.wav"
            if not wav.exists():
                return f"bchunk wrote no {wav.name}"
            data = wav.read_bytes()
            if len(data) != length * SECTOR + 44:
                return f"bchunk track {n}: {len(data)} bytes, expected {length * SECTOR + 44}"
            if data[44:] != image[start * SECTOR:(start + length) * SECTOR]:
                return f"bchunk track {n}: samples are not the image's from sector {start}"

    # Both resolve the sheet's FILE against the working folder.
    r = run("cdrdao", "show-toc", cue.name, cwd=folder)
    if r.returncode != 0:
        return "cdrdao: " + r.stderr.strip().splitlines()[-1]
    starts = [int(m) for m in re.findall(r"START\s+\S+\(\s*(\d+)\)", r.stdout)]
    ends = [int(m) for m in re.findall(r"END\s+\S+\(\s*(\d+)\)", r.stdout)]
    if starts != [s for _, s, _ in layout] or ends != [s + l for _, s, l in layout]:
        return f"cdrdao: tracks {list(zip(starts, ends))}"

    r = run("cd-info", "--no-device-info", "--no-disc-mode", "--cue-file", cue.name, cwd=folder)
    if r.returncode != 0:
        return "cd-info: " + r.stdout[-300:] + r.stderr[-300:]
    lsns = [int(m) for m in re.findall(r"^\s*\d+: \d\d:\d\d:\d\d\s+(\d+) audio", r.stdout, re.M)]
    leadout = re.search(r"^170: \d\d:\d\d:\d\d\s+(\d+) leadout", r.stdout, re.M)
    if lsns != [s for _, s, _ in layout] or not leadout or int(leadout.group(1)) != total:
        return f"cd-info: tracks at {lsns}, lead-out {leadout and leadout.group(1)}"
    for n, _, _ in layout:
        if f"TITLE: Song {n}" not in r.stdout or f"PERFORMER: Singer {n}" not in r.stdout:
            return f"cd-info: no texts of track {n}"

    if (folder / "burned.cdt").exists():
        problem = check_burned_texts(folder, layout)
        if problem:
            return problem

    r = subprocess.run(["mpg123", "-q", "--no-gapless", "-s", str(folder / "audio.mp3")],
                       capture_output=True)
    reference = array.array("h", r.stdout[: len(r.stdout) // 2 * 2])
    decoded = array.array("h", image[: len(reference) * 2])
    n = min(len(reference), len(decoded))
    if n < 44100:
        return f"mpg123 gave {len(reference)} samples"
    diffs = [abs(a - b) for a, b in zip(reference[:n], decoded[:n])]
    worst, mean = max(diffs), sum(diffs) / n
    if worst > 2 or mean >= 0.5:
        return f"samples differ from mpg123's: largest {worst}, mean {mean:.2f}"
    tail = image[(len(reference) * 2 + 10 * SECTOR):]
    if any(tail):
        return "the image is not silent past the decoded audio"
    return None


def check_burned_texts(folder, layout):
    """cd-info on the image's sheet with its texts taken out and the burned
    CD-Text named instead."""
    sheet = (folder / "disc image.cue").read_text(errors="replace").replace("\r", "").splitlines()
    kept = [line for line in sheet if line.split()[:1] not in (["TITLE"], ["PERFORMER"])]
    kept.insert(1, 'CDTEXTFILE "burned.cdt"')
    with tempfile.TemporaryDirectory() as tmp:
        # cd-info takes the image beside the sheet, of the sheet's own name.
        (pathlib.Path(tmp) / "disc image.bin").symlink_to(folder / "disc image.bin")
        (pathlib.Path(tmp) / "burned.cdt").symlink_to(folder / "burned.cdt")
        (pathlib.Path(tmp) / "disc image.cue").write_text("\n".join(kept) + "\n")
        r = run("cd-info", "--no-device-info", "--no-disc-mode", "--cue-file", "disc image.cue",
                cwd=tmp)
    if r.returncode != 0:
        return "cd-info with the burned CD-Text: " + r.stdout[-300:] + r.stderr[-300:]
    texts = dict((int(n), (t, p)) for n, t, p in re.findall(
        r"CD-TEXT for Track\s+(\d+):\s*\n\s*TITLE: (.*)\n\s*PERFORMER: (.*)", r.stdout))
    wanted = {n: (f"Song {n}", f"Singer {n}") for n, _, _ in layout}
    if texts != wanted:
        return f"cd-info reads the burned CD-Text as {texts}, expected {wanted}"
    return None


def main(root):
    cases = sorted(p for p in pathlib.Path(root).iterdir() if (p / "layout.txt").exists())
    if not cases:
        print(f"no images in {root}")
        return 1
    failed = 0
    for folder in cases:
        problem = check_case(folder)
        print(f"{folder.name}: {problem or 'ok'}")
        failed += problem is not None
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
