#!/usr/bin/python3
"""Checks the backup files written under Wine with programs written elsewhere.

Usage: checks.py CHECK DIR [TOOL]   (CHECK: mutagen, taglib, ffprobe, mp3val, cue, touch)
Every expectation is derived from the discs' own description (DIR/*.json: the
TOC addresses, texts, pictures and audio sizes), never from the tag itself.
"""
import array
import glob
import json
import os
import shutil
import subprocess
import sys
import tempfile

from mutagen.id3 import ID3

GAP_BLOCK, GAP_BLOCKS, GAP_MS = 627, 77, 2011
PICTURE_TYPES = {0: 0, 1: 3, 2: 4, 3: 5, 4: 6}
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def manifests(folder):
    for path in sorted(glob.glob(os.path.join(folder, "*.json"))):
        with open(path, encoding="utf-8") as f:
            m = json.load(f)
        m["path"] = os.path.join(folder, m["file"])
        yield m


def ms(lba):
    return lba * 1000 // 75


def raw_toc(lbas):
    n = len(lbas) - 1
    length = 8 * (n + 1) + 2
    toc = bytearray([length >> 8, length & 0xFF, 1, n])
    for i, lba in enumerate(lbas):
        f = lba + 150
        toc += bytes([0, 0x10, 0xAA if i == n else i + 1, 0, 0, f // 4500, f // 75 % 60, f % 75])
    return bytes(toc)


def text_ids(disc, k, length, set_position):
    year = disc["texts"][k][3]
    ids = ["TIT2", "TPE1", "TPE2", "TALB", "TCON"] + (["TRCK"] if k else [])
    ids += (["TYER"] if year else []) + (["TLEN"] if length else []) + ["TMED"]
    return ids + (["TSET"] if set_position else [])


def expected_layout(m):
    """Top-level frames in order, and every chapter as (id, start, end, so, eo, texts of entry)."""
    discs = m["discs"]
    frames, chapters = [], []
    none = 0xFFFFFFFF
    if len(discs) == 1:
        d = discs[0]
        frames = text_ids(d, 0, 1, False) + ["COMM", "MCDI", "CTOC"]
        lbas = d["lbas"]
        for k in range(1, len(lbas)):
            start = ms(lbas[k - 1]) - ms(lbas[0])
            chapters.append(("track%d" % k, start, start + ms(lbas[k]) - ms(lbas[k - 1]), none, none, (0, k)))
    else:
        frames = text_ids(discs[0], 0, 0, False) + ["CTOC"] * (len(discs) + 1)
        base = 0
        first = discs[0]["audioStart"]
        for i, d in enumerate(discs):
            lbas = d["lbas"]
            so = d["audioStart"] - first
            eo = none if i == len(discs) - 1 else so + d["audioSize"]
            end = base + ms(lbas[-1]) - ms(lbas[0])
            chapters.append(("chunk%d" % (i + 1), base, end, so, eo, None))
            for k in range(1, len(lbas)):
                start = base + ms(lbas[k - 1]) - ms(lbas[0])
                end = start + ms(lbas[k]) - ms(lbas[k - 1])
                chapters.append(("disc%d track%d" % (i + 1, k), start, end, none, none, (i, k)))
            base = end + GAP_MS
    frames += ["CHAP"] * len(chapters) + ["APIC"] * len(m["pictures"])
    return frames, chapters


def check_mutagen(folder):
    for m in manifests(folder):
        name = m["file"]
        t = ID3(m["path"], translate=False)
        check(t.version == (2, 3, 0), name + ": version")
        check(t.size == m["tagSize"] and t.size % 4096 == 0, name + ": tag size %d" % t.size)
        frames, chapters = expected_layout(m)
        check([f.FrameID for f in t.values()] == frames, name + ": frame order")
        discs = m["discs"]
        ctocs = {c.element_id: c for c in t.getall("CTOC")}
        top = ctocs["TOC"]
        check(int(top.flags) == 3, name + ": top-level flags")
        if len(discs) == 1:
            d = discs[0]
            check(t.getall("MCDI")[0].data == raw_toc(d["lbas"]), name + ": MCDI")
            check(top.child_element_ids == ["track%d" % k for k in range(1, len(d["lbas"]))],
                  name + ": TOC children")
            check([f.FrameID for f in top.sub_frames.values()] == text_ids(d, 0, 1, False),
                  name + ": TOC embedded frames")
            comments = [t.getall("COMM")[0]]
        else:
            check(top.child_element_ids == ["disc%d" % (i + 1) for i in range(len(discs))],
                  name + ": TOC children")
            comments = []
            for i, d in enumerate(discs):
                c = ctocs["disc%d" % (i + 1)]
                check(int(c.flags) == 1, name + ": disc flags")
                tracks = ["disc%d track%d" % (i + 1, k) for k in range(1, len(d["lbas"]))]
                check(c.child_element_ids == ["chunk%d" % (i + 1)] + tracks, name + ": disc children")
                sub = c.sub_frames
                check(sub.getall("MCDI")[0].data == raw_toc(d["lbas"]), name + ": embedded MCDI")
                check(str(sub["TIT2"]) == d["texts"][0][1] and str(sub["TPE1"]) == d["texts"][0][0],
                      name + ": disc texts")
                tset = [f for f in sub.unknown_frames if f[:4] == b"TSET"]
                check(tset and tset[0][10:] == b"\0%d/%d" % (i + 1, len(discs)), name + ": TSET")
                comments.append(sub.getall("COMM")[0])
        for c in comments:
            check(c.desc == "TAVRIN cue sheet data" and len(c.lang) == 3 and c.encoding == 0,
                  name + ": COMM header")
            lines = c.text[0].split("\r\n")
            check(lines[0] == "REM cue sheet created by Velmora TAVRIN", name + ": cue first line")
            check(lines[1] == 'FILE "%s" MP3' % name, name + ": cue FILE line")
        chaps = {c.element_id: c for c in t.getall("CHAP")}
        for cid, start, end, so, eo, entry in chapters:
            c = chaps[cid]
            check((c.start_time, c.end_time, c.start_offset, c.end_offset) == (start, end, so, eo),
                  "%s: %s times/offsets" % (name, cid))
            if entry:
                d = discs[entry[0]]
                artist, title, _, _ = d["texts"][entry[1]]
                length = ms(d["lbas"][entry[1]]) - ms(d["lbas"][entry[1] - 1])
                sub = c.sub_frames
                check([f.FrameID for f in sub.values()] == text_ids(d, entry[1], length, False),
                      "%s: %s embedded frames" % (name, cid))
                check(str(sub["TIT2"]) == title and str(sub["TPE1"]) == artist and
                      str(sub["TRCK"]) == str(entry[1]) and str(sub["TLEN"]) == str(length),
                      "%s: %s texts" % (name, cid))
            else:
                check(len(c.sub_frames) == 0, "%s: %s has no texts" % (name, cid))
        pictures = t.getall("APIC")
        check(len(pictures) == len(m["pictures"]), name + ": picture count")
        for p, want in zip(pictures, m["pictures"]):
            check(p.mime == "image/jpeg" and p.type == PICTURE_TYPES[want["kind"]] and
                  p.desc == want["description"] and len(p.data) == want["size"] and
                  p.data[:2] == b"\xff\xd8" and p.data[-2:] == b"\xff\xd9", name + ": picture " + p.desc)


def check_taglib(folder, tool):
    for m in manifests(folder):
        name = m["file"]
        out = subprocess.run([tool, m["path"]], capture_output=True, text=True, check=True).stdout
        rows = [line.split("\t") for line in out.splitlines()]
        check(rows[0] == ["tag", str(m["tagSize"]), "3"], name + ": TagLib tag size")
        check(rows[1] == ["first", str(m["tagSize"])], name + ": first audio frame at the tag size")
        frames, chapters = expected_layout(m)
        ids = ["TYER" if r[1] == "TDRC" else r[1] for r in rows[2:]]
        check(ids == frames, name + ": TagLib frame order")
        got = [tuple(r[2:7]) for r in rows[2:] if r[1] == "CHAP"]
        want = [(c[0],) + tuple(str(v) for v in c[1:5]) for c in chapters]
        check(got == want, name + ": TagLib chapters")
        for r in rows[2:]:
            if r[1] == "CHAP" and r[2].find("track") >= 0:
                check("TSET" not in r[7], name + ": no set position in " + r[2])
        pictures = [r[2:] for r in rows[2:] if r[1] == "APIC"]
        check(pictures == [["image/jpeg", str(PICTURE_TYPES[p["kind"]]), p["description"], str(p["size"])]
                           for p in m["pictures"]], name + ": TagLib pictures")


def run(args):
    return subprocess.run(args, capture_output=True, check=True)


def frame_positions(folder, m):
    with open(os.path.join(folder, m["file"][:-4] + ".frames")) as f:
        return [int(line) for line in f if line.strip()]


def check_ffprobe(folder):
    for m in manifests(folder):
        name, discs = m["file"], m["discs"]
        _, chapters = expected_layout(m)
        info = json.loads(run(["ffprobe", "-v", "error", "-show_chapters", "-show_streams",
                               "-of", "json", m["path"]]).stdout)
        got = sorted((round(float(c["start_time"]) * 1000), round(float(c["end_time"]) * 1000),
                      c.get("tags", {}).get("title")) for c in info["chapters"])
        want = sorted((c[1], c[2], discs[c[5][0]]["texts"][c[5][1]][1] if c[5] else c[0]) for c in chapters)
        check(got == want, name + ": ffprobe chapters")
        audio = [s for s in info["streams"] if s["codec_type"] == "audio"]
        check(len(audio) == 1 and audio[0]["sample_rate"] == "44100", name + ": one 44100 Hz stream")
        # Packets: the scanner's frames of every disc and the gap frames between them.
        frames = frame_positions(folder, m)
        gaps = [d["audioStart"] - GAP_BLOCK * (GAP_BLOCKS - j) for d in discs[1:] for j in range(GAP_BLOCKS)]
        out = run(["ffprobe", "-v", "error", "-select_streams", "a", "-show_entries", "packet=pos",
                   "-of", "csv=p=0", m["path"]]).stdout.decode()
        packets = [int(p) for p in out.split()]
        check(packets == sorted(frames + gaps), name + ": ffprobe packets = scanned frames and gaps")
        # Decoding: no complaint, every frame gives 1152 samples, every gap is digital silence.
        r = subprocess.run(["ffmpeg", "-v", "error", "-i", m["path"], "-map", "0:a", "-f", "s16le",
                            "-ac", "2", "-"], capture_output=True)
        check(r.returncode == 0 and not r.stderr, name + ": ffmpeg decodes cleanly: " + r.stderr.decode()[:200])
        samples = array.array("h", r.stdout)
        check(len(samples) // 2 == len(packets) * 1152, name + ": decoded length")
        at = 0
        for d in discs:
            disc_frames = [p for p in frames if d["audioStart"] <= p < d["audioStart"] + d["audioSize"]]
            check(len(disc_frames) * 1152 >= d["pcmFrames"], name + ": disc shorter than its PCM")
            if at:
                # Past the overlap of the disc's last frame (576 samples), a gap is digital silence.
                gap = samples[2 * (at + 576):2 * (at + GAP_BLOCKS * 1152)]
                check(len(gap) == 2 * (88704 - 576) and max(map(abs, gap)) == 0, name + ": silent gap")
                at += GAP_BLOCKS * 1152
            at += len(disc_frames) * 1152


def check_mp3val(folder):
    for m in manifests(folder):
        out = run(["mp3val", m["path"]]).stdout.decode()
        problems = [line for line in out.splitlines() if line.startswith(("WARNING", "ERROR"))
                    and "VBR detected, but no VBR header" not in line]
        check(not problems, m["file"] + ": mp3val: " + "; ".join(problems))
        frames = len(frame_positions(folder, m)) + GAP_BLOCKS * (len(m["discs"]) - 1)
        check(": %d MPEG frames (MPEG 1 Layer III)" % frames in out, m["file"] + ": mp3val frame count")


def breakpoints(lbas):
    out = []
    for lba in lbas[1:-1]:
        f = lba - lbas[0]
        out.append("%d:%02d.%02d" % (f // 4500, f // 75 % 60, f % 75))
    return out


def cue_tools(path, tracks):
    bp = subprocess.run(["cuebreakpoints", path], capture_output=True)
    pr = subprocess.run(["cueprint", "-d", "%N\n", "-t", "%n\n", path], capture_output=True)
    ok = bp.returncode == 0 and pr.returncode == 0 and not bp.stderr and not pr.stderr
    return ok, bp.stdout.decode("latin-1").split(), pr.stdout.decode().split()


def check_cue(folder):
    tmp = tempfile.mkdtemp()
    try:
        for m in manifests(folder):
            name, discs = m["file"], m["discs"]
            t = ID3(m["path"], translate=False)
            comms = [t.getall("COMM")[0]] if len(discs) == 1 else [
                c.sub_frames.getall("COMM")[0] for c in t.getall("CTOC") if c.element_id != "TOC"]
            for i, (c, d) in enumerate(zip(comms, discs)):
                path = os.path.join(tmp, "%s-%d.cue" % (name, i + 1))
                with open(path, "wb") as f:
                    f.write(c.text[0].encode("latin-1"))
                n = len(d["lbas"]) - 1
                ok, bp, tracks = cue_tools(path, n)
                check(ok, "%s disc %d: cue tools complain" % (name, i + 1))
                check(bp == breakpoints(d["lbas"]), "%s disc %d: breakpoints" % (name, i + 1))
                check(tracks == [str(n)] + [str(k) for k in range(1, n + 1)], "%s disc %d: tracks" % (name, i + 1))
            image = os.path.join(folder, name[:-4] + "-image.cue")
            if not os.path.exists(image):
                continue
            d = discs[0]
            ok, bp, tracks = cue_tools(image, len(d["lbas"]) - 1)
            check(ok and bp == breakpoints(d["lbas"]), name + ": disc image cue")
            out = os.path.join(tmp, name[:-4])
            run(["bchunk", "-w", image[:-4] + ".bin", image, out])
            with open(image[:-4] + ".bin", "rb") as f:
                pcm = f.read()
            for k in range(1, len(d["lbas"])):
                with open("%s%02d.wav" % (out, k), "rb") as f:
                    wav = f.read()
                start = (d["lbas"][k - 1] - d["lbas"][0]) * 2352
                length = (d["lbas"][k] - d["lbas"][k - 1]) * 2352
                check(len(wav) == length + 44 and wav[44:] == pcm[start:start + length],
                      "%s: bchunk track %d" % (name, k))
    finally:
        shutil.rmtree(tmp)


def touch(folder):
    """Copies touched by other tools, listed for the reader: an ID3v1 tag
    appended, and the tag re-saved as ID3v2.3 by mutagen (with an ID3v1 tag)."""
    lines = []
    structure = ("MCDI", "CTOC", "CHAP", "APIC")
    for m in manifests(folder):
        base = m["file"][:-4]
        v1 = os.path.join(folder, base + "-v1.mp3")
        shutil.copy(m["path"], v1)
        with open(v1, "ab") as f:
            f.write(b"TAG" + b"Appended title".ljust(30, b"\0") + b"\0" * 94 + b"\x0c")
        lines.append("%s-v1.mp3 %s same" % (base, base))
        resaved = os.path.join(folder, base + "-mutagen.mp3")
        shutil.copy(m["path"], resaved)
        t = ID3(resaved, translate=False)
        before = [f.FrameID for f in t.values() if f.FrameID in structure]
        t.save(v2_version=3, v1=2)
        after = [f.FrameID for f in ID3(resaved, translate=False).values() if f.FrameID in structure]
        lines.append("%s-mutagen.mp3 %s %s" % (base, base, "same" if before == after else "reordered"))
    with open(os.path.join(folder, "touched.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")


def main():
    what, folder = sys.argv[1], sys.argv[2]
    checks = {"mutagen": check_mutagen, "ffprobe": check_ffprobe, "mp3val": check_mp3val,
              "cue": check_cue, "touch": touch}
    if what == "taglib":
        check_taglib(folder, sys.argv[3])
    else:
        checks[what](folder)
    for f in failures:
        print("FAILED:", f)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
