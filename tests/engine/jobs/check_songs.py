#!/usr/bin/python3
"""Checks the songs extracted from the backups in OUT/<name>/ with tools of
their own: mutagen reads the backup's chapters and every song's tag, ffprobe
gives the frame positions of each disc's audio, mp3splt cuts the same ranges
without re-encoding, mp3val and mpg123 judge the songs, soxi and mpg123's decode
of the whole disc judge the WAV files. Every track is a tone named by its title."""
import array
import os
import re
import subprocess
import sys
import tempfile

from mutagen.id3 import ID3

FAILURES = []


def check(ok, what):
    if not ok:
        FAILURES.append(what)
        print("FAIL:", what)


def run(*args):
    return subprocess.run(args, capture_output=True, check=False)


# The raw TOC (READ TOC format 0, MSF) taken apart.
def lba(toc, n):
    count = ((toc[0] << 8 | toc[1]) - 2) // 8
    n = count if n == 0 or n > count else n
    m, s, f = toc[8 * n + 1], toc[8 * n + 2], toc[8 * n + 3]
    return m * 4500 + s * 75 + f - 150


def track_count(toc):
    return toc[3] + 1 - toc[2]


def track_frames(toc, k):
    """CD frames of track k: start from the first track, and length."""
    return lba(toc, k) - lba(toc, 1), lba(toc, k + 1) - lba(toc, k)


def length_ms(toc, k):
    return lba(toc, k + 1) * 1000 // 75 - lba(toc, k) * 1000 // 75


def mp3_frames(start, length):
    return (start * 44100 + 1151) // 86400, (start + length) * 44100 // 86400


class Disc:
    def __init__(self, toc, audio, texts):
        self.toc, self.audio, self.texts = toc, audio, texts


def discs_of(backup):
    """Each disc's TOC, audio bytes and track texts, as the tag describes them."""
    tag = ID3(backup, translate=False)
    data = open(backup, "rb").read()
    chapters = {c.element_id: c for c in tag.getall("CHAP")}
    top = [c for c in tag.getall("CTOC") if c.element_id == "TOC"][0]

    def texts(chap, base=0):
        found = {k: str(chap.sub_frames[k]) for k in ("TIT2", "TPE1")}
        found["times"] = (chap.start_time - base, chap.end_time - base)  # ms into the disc
        return found

    if top.child_element_ids[0].startswith("track"):
        toc = tag.getall("MCDI")[0].data
        tracks = {k: texts(chapters["track%d" % k]) for k in range(1, track_count(toc) + 1)}
        return [Disc(toc, data[tag.size:], tracks)]
    discs = []
    for i, disc_id in enumerate(top.child_element_ids, 1):
        ctoc = [c for c in tag.getall("CTOC") if c.element_id == disc_id][0]
        toc = ctoc.sub_frames.getall("MCDI")[0].data
        chunk = chapters["chunk%d" % i]
        start = tag.size + chunk.start_offset
        end = len(data) if chunk.end_offset == 0xFFFFFFFF else tag.size + chunk.end_offset
        tracks = {k: texts(chapters["disc%d track%d" % (i, k)], chunk.start_time)
                  for k in range(1, track_count(toc) + 1)}
        discs.append(Disc(toc, data[start:end], tracks))
    return discs


def frame_positions(path):
    out = run("ffprobe", "-v", "error", "-show_entries", "packet=pos", "-of", "csv=p=0", path)
    return [int(line) for line in out.stdout.decode().split()]


def tone_hz(pcm):
    """Rough frequency of the left channel of 16-bit stereo PCM by zero crossings,
    over its middle (the ends hold the neighbours' tones after a cut)."""
    left = pcm[0::2]
    middle = left[len(left) // 4: 3 * len(left) // 4]
    crossings = sum(1 for a, b in zip(middle, middle[1:]) if a < 0 <= b)
    return crossings * 44100 / max(1, len(middle))


def samples(raw):
    a = array.array("h")
    a.frombytes(raw[: len(raw) // 2 * 2])
    return a


def mmss(cd_frames):
    return "%d.%02d.%02d" % (cd_frames // 4500, cd_frames // 75 % 60, cd_frames % 75 * 100 // 75)


def check_mp3(song, disc, k, positions, disc_file, work):
    tag = ID3(song, translate=False)
    check(tag.version == (2, 3, 0), "%s: ID3v2.3 tag, got %s" % (song, tag.version))
    check(tag.size % 4096 == 0, "%s: tag ends on a multiple of 4096" % song)
    for frame in ("TIT2", "TPE1"):
        check(str(tag.get(frame)) == disc.texts[k][frame],
              "%s: %s %r, chapter has %r" % (song, frame, str(tag.get(frame)), disc.texts[k][frame]))
    check(str(tag.get("TRCK")) == str(k), "%s: TRCK %s" % (song, tag.get("TRCK")))
    check(str(tag.get("TLEN")) == str(length_ms(disc.toc, k)),
          "%s: TLEN %s, TOC gives %d" % (song, tag.get("TLEN"), length_ms(disc.toc, k)))

    payload = open(song, "rb").read()[tag.size:]
    start, length = track_frames(disc.toc, k)
    f0, f1 = mp3_frames(start, length)
    # The frames lie between the chapter's times (to a frame, and the chapters' whole ms).
    first_ms, end_ms = f0 * 1152000 / 44100, f1 * 1152000 / 44100
    chapter = disc.texts[k]["times"]
    check(abs(first_ms - chapter[0]) < 28 and abs(end_ms - chapter[1]) < 28,
          "%s: frames %.0f..%.0f ms, chapter %d..%d ms" % (song, first_ms, end_ms, *chapter))
    end = positions[f1] if f1 < len(positions) else len(disc.audio)
    check(payload == disc.audio[positions[f0]:end],
          "%s: payload is the disc's frames %d..%d (bytes %d..%d)" % (song, f0, f1, positions[f0], end))

    # Where both ends fall on frame boundaries, mp3splt's frame-mode cut holds
    # the same frames, led by the frame before the first one (for its bit
    # reservoir) unless the track starts the disc.
    if start % 96 == 0 and length % 96 == 0:
        out = run("mp3splt", "-q", "-f", "-n", "-x", "-d", work, "-o", "cut", disc_file,
                  mmss(start), mmss(start + length))
        cut = os.path.join(work, "cut.mp3")
        check(out.returncode == 0 and os.path.exists(cut), "%s: mp3splt ran" % song)
        if os.path.exists(cut):
            lead = positions[f0] - positions[f0 - 1] if f0 > 0 else 0
            piece = open(cut, "rb").read()
            check(piece[lead:] == payload and piece[:lead] == disc.audio[positions[f0] - lead:positions[f0]],
                  "%s: the frames of mp3splt's cut" % song)
            os.remove(cut)

    report = run("mp3val", song).stdout.decode(errors="replace")
    # Songs of a variable-rate backup carry no VBR header, as the backup does not.
    faults = [l for l in report.splitlines()
              if ("WARNING" in l or "PROBLEM" in l) and "VBR detected" not in l]
    check(not faults, "%s: mp3val: %s" % (song, report))
    decoded = run("mpg123", "-q", "-s", song)
    check(decoded.returncode == 0 and not decoded.stderr, "%s: mpg123 decodes cleanly: %s"
          % (song, decoded.stderr.decode(errors="replace")))
    return samples(decoded.stdout)


def check_wav(song, disc, k):
    data = open(song, "rb").read()
    info = [run("soxi", flag, song).stdout.decode().strip() for flag in ("-r", "-c", "-b", "-s")]
    start, length = track_frames(disc.toc, k)
    f0, f1 = mp3_frames(start, length)
    check(info[:3] == ["44100", "2", "16"], "%s: 44100 Hz 16-bit stereo, soxi gives %s" % (song, info))
    n = len(data) - 44
    check(int.from_bytes(data[4:8], "little") == 36 + n and int.from_bytes(data[40:44], "little") == n,
          "%s: RIFF and data sizes" % song)
    count = int(info[3]) if info[3].isdigit() else -1
    check(count == (f1 - f0) * 1152, "%s: %d samples, frames give %d" % (song, count, (f1 - f0) * 1152))
    check(abs(count - length * 588) < 1152, "%s: %d samples, track has %d" % (song, count, length * 588))

    # The track's samples of the disc decoded as a whole: no dropout at its start.
    ours = samples(data[44:])
    reference = disc.pcm[f0 * 2304:f0 * 2304 + len(ours)]
    check(len(reference) == len(ours), "%s: mpg123 gives %d samples there, we %d"
          % (song, len(reference) // 2, len(ours) // 2))
    worst = max((abs(a - b) for a, b in zip(ours, reference)), default=0)
    check(worst <= 4, "%s: samples within 4 LSB of mpg123's decode of the disc, worst %d"
          % (song, worst))
    return ours


def main(out):
    checked = 0
    for name in sorted(os.listdir(out)):
        folder = os.path.join(out, name)
        discs = discs_of(os.path.join(folder, name + ".mp3"))
        with tempfile.TemporaryDirectory() as work:
            for d, disc in enumerate(discs, 1):
                disc_file = os.path.join(work, "disc%d.mp3" % d)
                open(disc_file, "wb").write(disc.audio)
                positions = frame_positions(disc_file)
                disc.pcm = samples(run("mpg123", "-q", "--no-gapless", "-s", disc_file).stdout)
                for k in range(1, track_count(disc.toc) + 1):
                    hz = int(re.search(r"\d+", disc.texts[k]["TIT2"]).group())
                    base = os.path.join(folder, "d%dt%d" % (d, k))
                    for pcm, kind in ((check_mp3(base + ".mp3", disc, k, positions, disc_file, work), "mp3"),
                                      (check_wav(base + ".wav", disc, k), "wav")):
                        got = tone_hz(pcm)
                        check(abs(got - hz) < hz * 0.03, "%s.%s: tone %.0f Hz, title says %d"
                              % (base, kind, got, hz))
                    checked += 1
    check(checked > 0, "songs found under " + out)
    print("%d tracks checked, %d failures" % (checked, len(FAILURES)))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
