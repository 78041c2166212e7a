#!/usr/bin/env python3
"""Checks one MP3 file that the encoding tests left, with tools of the host:
ffprobe (stream format), mp3val (frame structure), mpg123 (decoding), sox
(resampling), and audioop for the signal measures.

    check_encoded.py DIR ENCODER QUALITY
"""
import warnings

warnings.filterwarnings("ignore", category=DeprecationWarning)
import audioop  # noqa: E402  (Debian 12's Python 3.11 has it)
import json
import math
import os
import subprocess
import sys
import tempfile

RATE = 44100
# quality -> (average bit rate, constant?) of each encoder's table
LAME = [(0, 32000, True), (63, 64000, False), (95, 96000, False), (127, 128000, False),
        (159, 176000, False), (191, 192000, False), (223, 256000, False), (255, 320000, True)]
ACM = [(95, 128000, True), (127, 160000, True), (159, 192000, True), (191, 224000, True),
       (223, 256000, True), (255, 320000, True)]
BITRATES = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320]

failures = []


def check(ok, what):
    print(("ok    " if ok else "FAIL  ") + what)
    if not ok:
        failures.append(what)


# quality -> (minimum, maximum) kbit/s of LAME's average rows; MPEG-1 has no rate below 32
LAME_LIMITS = [(63, 32, 128), (95, 32, 176), (127, 32, 224), (159, 64, 224), (191, 64, 320),
               (223, 96, 320)]


def limits(encoder, quality):
    for top, low, high in LAME_LIMITS:
        if quality <= top:
            return low, high
    raise ValueError(quality)


def expected(encoder, quality):
    for top, rate, constant in (LAME if encoder == "lame" else ACM):
        if quality <= top:
            return rate, constant
    raise ValueError(quality)


def frames(data):
    """Walks the MPEG frames; yields (offset, version bits, layer bits, kbit/s, rate index, mode, length)."""
    pos = 0
    while pos + 4 <= len(data):
        h = data[pos:pos + 4]
        if h[0] != 0xFF or (h[1] & 0xE0) != 0xE0:
            yield (pos, None, None, None, None, None, 0)
            return
        version, layer = (h[1] >> 3) & 3, (h[1] >> 1) & 3
        kbps, rate_index, padding, mode = BITRATES[h[2] >> 4] if h[2] >> 4 < 15 else 0, (h[2] >> 2) & 3, (h[2] >> 1) & 1, h[3] >> 6
        length = 144000 * kbps // RATE + padding if kbps else 0
        yield (pos, version, layer, kbps, rate_index, mode, length)
        if length == 0:
            return
        pos += length


def mono(stereo):
    return audioop.tomono(stereo, 2, 0.5, 0.5)


def delay_of(decoded, reference, start, before=0):
    """Frames by which decoded lags reference, found on 2048 samples of noise."""
    ref = mono(reference[start * 4:(start + 2048) * 4])
    frag = mono(decoded[(start - before) * 4:(start + 2048 + 6000) * 4])
    offset, _ = audioop.findfit(frag, ref)
    return offset - before


def correlation(a, b):
    a, b = audioop.mul(a, 2, 0.5), audioop.mul(b, 2, 0.5)
    ra, rb = audioop.rms(a, 2), audioop.rms(b, 2)
    rd = audioop.rms(audioop.add(a, audioop.mul(b, 2, -1), 2), 2)
    return (ra * ra + rb * rb - rd * rd) / (2.0 * ra * rb) if ra and rb else 0.0


def snr_db(signal, copy):
    a, b = audioop.mul(signal, 2, 0.5), audioop.mul(copy, 2, 0.5)
    noise = audioop.rms(audioop.add(a, audioop.mul(b, 2, -1), 2), 2)
    return 99.0 if noise == 0 else 20 * math.log10(audioop.rms(a, 2) / noise)


def run(*cmd, stdin=None):
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)


def main():
    folder, encoder, quality = sys.argv[1], sys.argv[2], int(sys.argv[3])
    rate, constant = expected(encoder, quality)
    name = os.path.join(folder, "q%d" % quality)
    mp3_path = name + ".mp3"
    pcm = open(os.path.join(folder, "input.pcm"), "rb").read()
    mp3 = open(mp3_path, "rb").read()
    n = len(pcm) // 4
    print("%s q%d: %d input frames, %d MP3 bytes, expected %d bit/s %s" %
          (encoder, quality, n, len(mp3), rate, "CBR" if constant else "ABR"))

    probe = json.loads(run("ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                           "stream=codec_name,codec_long_name,sample_rate,channels,bit_rate",
                           "-of", "json", mp3_path).stdout)["streams"][0]
    print("ffprobe:", probe)
    check(probe["codec_name"] == "mp3", "ffprobe: codec mp3")
    check(probe["sample_rate"] == "44100", "ffprobe: 44100 Hz")
    check(probe["channels"] == 2, "ffprobe: stereo")
    if constant:
        check(probe.get("bit_rate") == str(rate), "ffprobe: bit rate %d" % rate)

    walk = list(frames(mp3))
    last = walk[-1]
    check(all(f[1] == 3 and f[2] == 1 for f in walk), "every frame is MPEG-1 Layer III")
    check(all(f[4] == 0 and f[5] != 3 for f in walk), "every frame is 44100 Hz stereo")
    check(last[0] + last[6] == len(mp3), "the file ends with a whole frame")
    rates = [f[3] for f in walk]
    print("frames %d, bit rates %s" % (len(walk), sorted(set(rates))))
    if constant:
        check(set(rates) == {rate // 1000}, "constant %d kbit/s" % (rate // 1000))
    else:
        # An average bit rate: the noise (from 7 s on) asks for all of it, the sweep for less.
        low, high = limits(encoder, quality)
        noisy = walk[int(7.0 * RATE / 1152) + 2:]
        average = sum(f[6] for f in noisy) * 8 * RATE / (1152.0 * len(noisy))
        print("average over the noise %.0f bit/s, frames within [%d, %d] kbit/s" % (average, low, high))
        check(all(low <= r <= high for r in rates), "frame bit rates within the mapping's range")
        check(abs(average - rate) < 0.2 * rate, "average bit rate within 20%% of %d" % rate)

    val = run("mp3val", mp3_path).stdout.decode(errors="replace")
    problems = [l for l in val.splitlines() if l.startswith("WARNING") and
                "VBR detected" not in l and "No supported tags" not in l]
    print(val.strip())
    check(not problems, "mp3val: no warnings")

    decoded = run("mpg123", "-q", "-s", "-e", "s16", mp3_path).stdout
    d = delay_of(decoded, pcm, int(7.0 * RATE) + 1000)
    m = len(decoded) // 4
    print("mpg123: %d frames, delay %d" % (m, d))
    check(500 <= d <= 3000, "decoder and encoder delay plausible")
    check(m - d >= n, "no audio lost at the end")
    check(m - d - n < 4 * 1152, "at most a few frames of padding")
    aligned = decoded[d * 4:(d + n) * 4]
    sweep, noise = int(7.0 * RATE) * 4, len(pcm)
    # The sweep up to 5 s stays below 3 kHz, which every bit rate keeps.
    lowsweep = int(5.0 * RATE) * 4
    snr_sweep = snr_db(pcm[:lowsweep], aligned[:lowsweep])
    corr_noise = correlation(pcm[sweep:], aligned[sweep:])
    need_snr, need_corr = (8, 0.6) if rate < 96000 else (15, 0.85) if rate < 192000 else (25, 0.95)
    print("sweep below 3 kHz SNR %.1f dB (need %d), noise correlation %.3f (need %.2f)" %
          (snr_sweep, need_snr, corr_noise, need_corr))
    check(snr_sweep >= need_snr and corr_noise >= need_corr, "the input's signal comes back")

    acm = open(name + ".acm.pcm", "rb").read()
    check(len(acm) == len(decoded), "ACM decoding has mpg123's length")
    length = min(len(acm), len(decoded))
    diff = audioop.max(audioop.add(audioop.mul(acm[:length], 2, 0.5),
                                   audioop.mul(decoded[:length], 2, -0.5), 2), 2) * 2
    print("ACM vs mpg123: largest difference %d" % diff)
    check(diff <= 4, "ACM decoding equals mpg123's within 4 LSB")

    if os.path.exists(name + ".acm48k.pcm"):
        at48 = open(name + ".acm48k.pcm", "rb").read()
        with tempfile.TemporaryDirectory() as tmp:
            raw = os.path.join(tmp, "d.raw")
            open(raw, "wb").write(decoded)
            resampled = run("sox", "-t", "raw", "-r", "44100", "-e", "signed", "-b", "16", "-c", "2",
                            raw, "-t", "raw", "-r", "48000", "-").stdout
        ratio = len(at48) / float(len(decoded))
        print("48 kHz through the PCM converter: %d frames, ratio %.5f" % (len(at48) // 4, ratio))
        check(abs(ratio - 48000.0 / 44100) < 0.002, "48 kHz decoding has the resampled length")
        # Measured on the sweep's lower part, where both resamplers are exact enough.
        shift = delay_of(at48, resampled, int(7.0 * 48000) + 1000, 100)
        start = int(0.5 * 48000)
        low = int(3.5 * 48000) - start
        snr48 = snr_db(resampled[start * 4:(start + low) * 4],
                       at48[(start + shift) * 4:(start + shift + low) * 4])
        print("48 kHz vs sox's resampling: shift %d, SNR below 800 Hz %.1f dB" % (shift, snr48))
        check(abs(shift) <= 2 and snr48 >= 20, "48 kHz decoding carries the signal")

    if failures:
        sys.exit(1)


main()
