#!/usr/bin/python3
"""Checks the backup files that the ripper's output tests left in a folder.

Each NAME.mp3 comes with NAME.json: the discs it must hold in file order (each
with its tracks as [start LBA, tone Hz], 0 for silence or data, its lead-out,
and sector ranges the drive could not deliver) and the picture files whose
bytes its APIC frames must carry. Checked with tools of their own: mutagen (the
tag and its chapter tree against the TOC), ffprobe (the stream and chapters),
mp3val (the frames), and ffmpeg's decode of each disc's byte range against the
tones the virtual drive plays, cross-correlated at the chapter times.
"""
import glob
import json
import os
import subprocess
import sys

import numpy
from mutagen.id3 import ID3

RATE = 44100
GAP_MS = 2011
MAX_LAG = RATE // 10  # the encoder's and decoder's delay is far below 100 ms
failures = []


def fail(name, why):
    failures.append("%s: %s" % (name, why))


def toc_bytes(disc):
    """The READ TOC reply the virtual drive gives for the disc."""
    tracks = disc["tracks"]
    data = disc["data"]
    first = disc.get("first", 1)
    out = bytearray([0, 0, first, first + len(tracks) - 1])
    entries = [(t[0], first + i, data[i]) for i, t in enumerate(tracks)]
    entries.append((disc["leadout"], 0xAA, data[-1]))
    for lba, number, is_data in entries:
        a = lba + 150
        out += bytes([0, 0x14 if is_data else 0x10, number, 0, 0, a // 4500, a // 75 % 60, a % 75])
    length = len(out) - 2
    out[0], out[1] = length >> 8, length & 0xFF
    return bytes(out)


def ms(lba):
    return (lba + 150) * 1000 // 75


def track_times(disc):
    """(start, end) in ms of each track, from the first track's start."""
    starts = [t[0] for t in disc["tracks"]] + [disc["leadout"]]
    base = ms(starts[0])
    return [(ms(starts[k]) - base, ms(starts[k + 1]) - base) for k in range(len(disc["tracks"]))]


def reference(disc, first_sample, count):
    """The left channel the drive plays (or zeros where it could not read)."""
    table = numpy.round(8000.0 * numpy.sin(numpy.arange(1024) * 2 * numpy.pi / 1024))
    n = numpy.arange(first_sample, first_sample + count)
    origin = disc["tracks"][0][0]
    lba = origin + numpy.floor_divide(n, 588)
    out = numpy.zeros(count)
    bounds = [t[0] for t in disc["tracks"]] + [disc["leadout"]]
    for k, (start, hz) in enumerate(disc["tracks"]):
        inside = (lba >= start) & (lba < bounds[k + 1]) & (n >= 0)
        if not hz or not inside.any():
            continue
        rel = n[inside] - (start - origin) * 588
        out[inside] = table[(rel * hz * 1024 // RATE) % 1024]
    for first, last in disc.get("silence", []):
        out[(lba >= first) & (lba < last)] = 0
    return out


def decode(data):
    pcm = subprocess.run(["ffmpeg", "-v", "error", "-f", "mp3", "-i", "pipe:0", "-f", "s16le",
                          "-ac", "2", "-ar", str(RATE), "pipe:1"], input=data,
                         stdout=subprocess.PIPE, check=True).stdout
    return numpy.frombuffer(pcm, dtype="<i2").reshape(-1, 2)[:, 0].astype(numpy.float64)


def correlation(decoded, ref, at, lag):
    seg = decoded[at + lag:at + lag + len(ref)]
    if len(seg) < len(ref):
        return 0.0
    denom = numpy.sqrt(numpy.dot(seg, seg) * numpy.dot(ref, ref))
    return float(numpy.dot(seg, ref) / denom) if denom else 0.0


def correlations(decoded, ref, at, lags):
    """Normalised correlation of ref with the decoded audio from `at` on, for lags 0..lags-1."""
    seg = decoded[at:at + len(ref) + lags]
    if len(seg) < len(ref) + lags:
        return numpy.zeros(lags)
    size = 1 << (len(seg) + len(ref)).bit_length()
    dots = numpy.fft.irfft(numpy.fft.rfft(seg, size) * numpy.conj(numpy.fft.rfft(ref, size)), size)
    energy = numpy.concatenate(([0.0], numpy.cumsum(seg * seg)))
    windows = energy[len(ref):len(ref) + lags] - energy[:lags]
    denom = numpy.sqrt(numpy.maximum(windows, 1e-9) * numpy.dot(ref, ref))
    return dots[:lags] / denom


def check_audio(name, index, disc, decoded, chapter_ms):
    """Each chapter time must fall where the drive's audio changes tone."""
    half = RATE * 3 // 10
    lags = {}
    for k, start in enumerate(chapter_ms):
        if not disc["tracks"][k][1]:
            continue
        at = max(0, start * RATE // 1000 - half)
        ref = reference(disc, at, 2 * half)
        if k == 0 or not disc["tracks"][k - 1][1]:
            continue
        lags[k] = int(numpy.argmax(correlations(decoded, ref, at, MAX_LAG)))
    if not lags:
        return
    common = sorted(lags.values())[len(lags) // 2]
    print("  disc %d: audio %d samples behind its chapters" % (index + 1, common))
    if common >= MAX_LAG - 1:
        fail(name, "disc %d: audio lags its chapters by %d samples" % (index + 1, common))
    for k, lag in lags.items():
        if abs(lag - common) > 2:
            fail(name, "disc %d track %d: tone change at lag %d, others at %d"
                 % (index + 1, k + 1, lag, common))
    for k, start in enumerate(chapter_ms):
        if not disc["tracks"][k][1]:
            continue
        at = max(0, start * RATE // 1000 - half) if k else 0
        score = correlation(decoded, reference(disc, at, 2 * half), at, common)
        if score < 0.9:
            fail(name, "disc %d track %d: correlation %.3f with the drive's audio"
                 % (index + 1, k + 1, score))
    for first, last in disc.get("silence", []):
        a = (first - disc["tracks"][0][0]) * 588 + common + RATE // 10
        b = (last - disc["tracks"][0][0]) * 588 + common - RATE // 10
        if b > a and numpy.abs(decoded[a:b]).max(initial=0) > 50:
            fail(name, "disc %d: sectors %d-%d are not silent" % (index + 1, first, last))


def check(folder, expect_path):
    name = os.path.basename(expect_path)[:-5]
    path = os.path.join(folder, name + ".mp3")
    expect = json.load(open(expect_path))
    discs = expect["discs"]
    for d in discs:
        kinds = d.get("kinds", "")
        d["data"] = [i < len(kinds) and kinds[i] == "d" for i in range(len(d["tracks"]))]
    raw = open(path, "rb").read()
    tag = ID3(path, translate=False)
    if tag.version != (2, 3, 0) or tag.size % 4096:
        fail(name, "tag version %s size %d" % (tag.version, tag.size))
    top = [f for f in tag.getall("CTOC") if f.element_id == "TOC"]
    chaps = {c.element_id: c for c in tag.getall("CHAP")}
    if len(top) != 1:
        return fail(name, "no top-level CTOC")
    audio = []  # (first byte, end byte, disc-relative chapter times)
    if len(discs) == 1:
        d = discs[0]
        if tag.getall("MCDI")[0].data != toc_bytes(d):
            fail(name, "MCDI is not the disc's TOC")
        ids = ["track%d" % (k + 1) for k in range(len(d["tracks"]))]
        if list(top[0].child_element_ids) != ids:
            fail(name, "CTOC children %s" % top[0].child_element_ids)
        times = track_times(d)
        got = [(chaps[i].start_time, chaps[i].end_time) for i in ids if i in chaps]
        if got != times:
            fail(name, "chapters %s, TOC gives %s" % (got, times))
        audio.append((tag.size, len(raw), [t[0] for t in times]))
    else:
        if list(top[0].child_element_ids) != ["disc%d" % (i + 1) for i in range(len(discs))]:
            fail(name, "CTOC children %s" % top[0].child_element_ids)
        ctocs = {f.element_id: f for f in tag.getall("CTOC")}
        base = 0
        for i, d in enumerate(discs):
            n = i + 1
            tracks = ["disc%d track%d" % (n, k + 1) for k in range(len(d["tracks"]))]
            sub = ctocs.get("disc%d" % n)
            if sub is None or list(sub.child_element_ids) != ["chunk%d" % n] + tracks:
                fail(name, "CTOC disc%d" % n)
                continue
            if sub.sub_frames.getall("MCDI")[0].data != toc_bytes(d):
                fail(name, "disc %d: MCDI is not the disc's TOC" % n)
            chunk = chaps["chunk%d" % n]
            times = track_times(d)
            got = [(chaps[t].start_time - base, chaps[t].end_time - base) for t in tracks]
            if chunk.start_time != base or got != times:
                fail(name, "disc %d: chapters %s from %d, TOC gives %s" % (n, got, base, times))
            end = len(raw) if chunk.end_offset == 0xFFFFFFFF else tag.size + chunk.end_offset
            audio.append((tag.size + chunk.start_offset, end, [t[0] for t in times]))
            if i + 1 < len(discs) and chunk.end_offset == 0xFFFFFFFF:
                fail(name, "disc %d: open end before the last disc" % n)
            base = chaps[tracks[-1]].end_time + GAP_MS
    pictures = tag.getall("APIC")
    if [p.data for p in pictures] != [open(os.path.join(folder, f), "rb").read()
                                      for f in expect["pictures"]]:
        fail(name, "APIC frames do not hold the pictures byte for byte")

    probe = subprocess.run(["ffprobe", "-v", "error", "-show_entries",
                            "stream=codec_name,sample_rate,channels", "-show_chapters",
                            "-of", "json", path], capture_output=True, text=True)
    # Pictures that are not JPEG files keep their bytes under the JPEG type, which
    # ffprobe's picture decoder then refuses; the audio must probe cleanly.
    jpeg_only = all(f.endswith(".jpg") for f in expect["pictures"])
    errors = [l for l in probe.stderr.splitlines() if jpeg_only or not l.startswith("[mjpeg")]
    if probe.returncode or errors:
        fail(name, "ffprobe: %s" % "; ".join(errors))
    info = json.loads(probe.stdout)
    stream = info["streams"][0]
    if (stream["codec_name"], stream["sample_rate"], stream["channels"]) != ("mp3", "44100", 2):
        fail(name, "stream %s" % stream)
    if len(info["chapters"]) < sum(len(d["tracks"]) for d in discs):
        fail(name, "ffprobe sees %d chapters" % len(info["chapters"]))

    val = subprocess.run(["mp3val", path], capture_output=True, text=True).stdout
    for line in val.splitlines():
        # A disc of one sector is two frames, which mp3val deems too few for
        # an MPEG file; it still checks each of them.
        if (line.startswith(("WARNING", "ERROR")) and "VBR detected" not in line
                and "Too few MPEG frames" not in line):
            fail(name, "mp3val: " + line.strip())

    for i, (first, end, chapter_ms) in enumerate(audio):
        decoded = decode(raw[first:end])
        # The ripper pads the disc's samples to whole frames; the encoder adds
        # its delay and flushes one more frame.
        samples = (discs[i]["leadout"] - discs[i]["tracks"][0][0]) * 588
        frames = -(-samples // 1152) + 1
        if len(decoded) != frames * 1152:
            fail(name, "disc %d decodes to %d samples, %d frames give %d"
                 % (i + 1, len(decoded), frames, frames * 1152))
        check_audio(name, i, discs[i], decoded, chapter_ms)
    return name


def main():
    folder = sys.argv[1]
    expects = sorted(glob.glob(os.path.join(folder, "*.json")))
    if not expects:
        print("no backup files in", folder)
        return 1
    for e in expects:
        print("checked", check(folder, e))
    for f in failures:
        print("FAIL", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
