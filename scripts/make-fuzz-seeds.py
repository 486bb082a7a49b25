#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the seed inputs of the fuzz targets, one folder per target:

    scripts/make-fuzz-seeds.py OUT_DIR

gives OUT_DIR/wav_reader_fuzz, audio_decoder_fuzz, soundfont_fuzz, dat_fuzz,
settings_fuzz and midi_file_fuzz. The seeds are small well-formed files with the features each
reader must handle, a few damaged ones, and inputs that once broke a reader.
Everything is built here, so the repository holds no binary files.
"""

import ctypes
import ctypes.util
import math
import os
import tempfile
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The score length the .dat target opens; a file's first word must match it.
DAT_POSITIONS = 1500


def chunk(cid, body):
    pad = b"\0" if len(body) % 2 else b""
    return cid + struct.pack("<I", len(body)) + body + pad


def riff_list(ltype, body):
    return chunk(b"LIST", ltype + body)


# ---- WAV -------------------------------------------------------------------


def pcm16(frames, channels, hz=440.0):
    out = bytearray()
    for i in range(frames):
        v = int(12000 * math.sin(2 * math.pi * hz * i / 44100.0))
        if i % 4410 < 40:  # a click every 0.1 s for the onset detector
            v = 30000 if (i // 20) % 2 else -30000
        for c in range(channels):
            out += struct.pack("<h", v if c == 0 else -v)
    return bytes(out)


def fmt_chunk(channels, rate=44100, bits=16, tag=1, extensible=False):
    block = channels * bits // 8
    body = struct.pack("<HHIIHH", 0xFFFE if extensible else tag, channels, rate, rate * block,
                       block, bits)
    if extensible:
        guid = struct.pack("<H", tag) + bytes.fromhex("000000001000800000aa00389b71")
        body += struct.pack("<HHI", 22, bits, 3) + guid
    return chunk(b"fmt ", body)


def wav(chunks, riff_size=None):
    body = b"WAVE" + b"".join(chunks)
    size = len(body) if riff_size is None else riff_size
    return b"RIFF" + struct.pack("<I", size) + body


def wav_seeds():
    mono = pcm16(9000, 1)
    stereo = pcm16(9000, 2)
    return {
        "mono.wav": wav([fmt_chunk(1), chunk(b"data", mono)]),
        "stereo.wav": wav([fmt_chunk(2), chunk(b"data", stereo)]),
        "extensible.wav": wav([fmt_chunk(2, extensible=True), chunk(b"data", stereo)]),
        # Other chunks first, an odd-sized one among them, and a RIFF size of 0.
        "chunks.wav": wav([chunk(b"LIST", b"INFOISFT\x03\0\0\0ab\0"), fmt_chunk(1),
                           chunk(b"fact", b"\1\2\3"), chunk(b"data", mono)], riff_size=0),
        # A data chunk that claims more than the file holds.
        "cut.wav": wav([fmt_chunk(1), b"data" + struct.pack("<I", 0x7FFFFFF0) + mono]),
        "float.wav": wav([fmt_chunk(1, bits=32, tag=3), chunk(b"data", mono)]),
        "empty.wav": b"",
    }


# ---- SoundFont ---------------------------------------------------------------


def name20(text):
    return text.encode()[:19].ljust(20, b"\0")


def soundfont(loop=True, drum=True, points=256, rate=44100, tune=()):
    samples = b"".join(struct.pack("<h", int(20000 * math.sin(2 * math.pi * i / 32)))
                       for i in range(points)) + b"\0\0" * 46
    # Instrument zones: key range, loop mode, sample id last.
    igen = []
    ibag = []
    for low, high in ((0, 63), (64, 127)):
        ibag.append(len(igen))
        igen += [(43, low | (high << 8)), (54, 1 if loop else 0), (58, 60), *tune, (53, 0)]
    ibag.append(len(igen))
    # Preset zones: a global zone with a volume change, then the instrument.
    pgen = []
    pbag = []
    presets = [("Sine", 0, 0)] + ([("Kit", 0, 128)] if drum else [])
    phdr = b""
    for index, (pname, program, bank) in enumerate(presets):
        phdr += name20(pname) + struct.pack("<HHHIII", program, bank, len(pbag), 0, 0, 0)
        pbag.append(len(pgen))
        pgen += [(48, 40)]
        pbag.append(len(pgen))
        pgen += [(17, 0xFFF0 if index else 20), (41, 0)]
    phdr += name20("EOP") + struct.pack("<HHHIII", 0, 0, len(pbag), 0, 0, 0)
    pbag.append(len(pgen))
    pgen.append((0, 0))
    igen.append((0, 0))

    def bags(starts):
        return b"".join(struct.pack("<HH", s, 0) for s in starts)

    def gens(items):
        return b"".join(struct.pack("<HH", o, a) for o, a in items)

    inst = name20("Sine") + struct.pack("<H", 0) + name20("EOI") + struct.pack("<H", len(ibag) - 1)
    shdr = name20("sine") + struct.pack("<IIIIIBbHH", 0, points, 32, points - 32, rate, 69, 0, 0, 1)
    shdr += name20("EOS") + b"\0" * 26
    pdta = riff_list(b"pdta", chunk(b"phdr", phdr) + chunk(b"pbag", bags(pbag)) +
                     chunk(b"pmod", b"\0" * 10) + chunk(b"pgen", gens(pgen)) +
                     chunk(b"inst", inst) + chunk(b"ibag", bags(ibag)) +
                     chunk(b"imod", b"\0" * 10) + chunk(b"igen", gens(igen)) +
                     chunk(b"shdr", shdr))
    info = riff_list(b"INFO", chunk(b"ifil", struct.pack("<HH", 2, 1)) + chunk(b"INAM", b"seed\0"))
    sdta = riff_list(b"sdta", chunk(b"smpl", samples))
    body = b"sfbk" + info + sdta + pdta
    return b"RIFF" + struct.pack("<I", len(body)) + body


def soundfont_seeds():
    full = soundfont()
    return {
        "looped.sf2": full,
        "unlooped.sf2": soundfont(loop=False, drum=False, points=100),
        "cut.sf2": full[: len(full) - 60],
        # A 4.3 GHz sample ten octaves up once overflowed the resampler's step.
        "fast.sf2": soundfont(rate=0xFFFFFFFF, tune=((51, 120), (58, 0))),
    }


# ---- project data (.dat) ---------------------------------------------------------

LINE_DIVISION, LINE_BEAT, LINE_BAR, LINE_END, LINE_START = 0x01, 0x04, 0x10, 0x20, 0x40


def note(track, key, duration, deleted=False):
    word = (track & 0x7F) << 24 | (key & 0xFF) << 16 | (duration & 0xFFFF)
    return word | (0x80000000 if deleted else 0)


def dat(lines, slots, n=DAT_POSITIONS):
    head = struct.pack("<I", n)
    line_bytes = bytes(lines[:n]) + (b"\x20" if n % 2 else b"")
    return head + line_bytes + b"".join(struct.pack("<I", s) for s in slots[:n])


def dat_seeds():
    n = DAT_POSITIONS
    lines = [0] * n
    slots = [0] * n
    for p in range(40, n - 40, 40):
        lines[p] = LINE_BEAT | (LINE_BAR if (p // 40) % 4 == 1 else 0)
        lines[p + 20] = LINE_DIVISION
    lines[40] |= LINE_START
    lines[1400] |= LINE_END
    tune = list(lines)
    notes = list(slots)
    for i, p in enumerate(range(40, 1400, 80)):
        notes[p] = note(1 + i % 7, 30 + i, 40)
        notes[p + 1] = note(0, 13, 20)  # a tick
    odd = list(notes)
    odd[120] = note(3, 0, 0)  # key 0, no duration
    odd[121] = note(3, 200, 0xFFFF)  # past the last key and the end of the score
    odd[200] = note(2, 40, 30, deleted=True)
    odd[201] = note(127, 255, 5)  # no such track
    marks = list(tune)
    marks[40] &= ~LINE_START
    marks[1400] = LINE_START | LINE_BEAT  # start after end
    marks[80] |= LINE_END
    slow = [0] * n
    slow[10] = LINE_BEAT | LINE_BAR | LINE_START
    slow[1490] = LINE_BEAT | LINE_BAR | LINE_END
    return {
        "empty.dat": dat([0] * n, [0] * n),
        "tune.dat": dat(tune, notes),
        "odd-notes.dat": dat(tune, odd),
        "markers.dat": dat(marks, notes),
        "slow.dat": dat(slow, notes),
        "dense.dat": dat([LINE_BEAT] * n, [note(1, 40, 1)] * n),
        "cut.dat": dat(tune, notes)[:900],
    }


# ---- settings ---------------------------------------------------------------------


def settings_seeds():
    with open(os.path.join(ROOT, "data", "default_settings.xml"), "rb") as f:
        default = f.read()
    many = b"<Settings><Track><WAV " + b" ".join(b'a%d="1"' % i for i in range(300)) + \
        b"/></Track></Settings>"
    return {
        "default.xml": default,
        "crlf.xml": default.replace(b"\n", b"\r\n"),
        "bom.xml": b"\xef\xbb\xbf" + default,
        "small.xml": b'<?xml version="1.0"?><Other><Tuning><Cent>-12x</Cent></Tuning>'
                     b'<Track><Track1 velo="+99999999999" prg="7" Instrument="&lt;&#233;&gt;"/>'
                     b"<Track2/></Track><Beat><JudgingTolerance> 6</JudgingTolerance></Beat>"
                     b"<!-- a > b --><![CDATA[<x a='1'>]]></Other>",
        # Levels that the format's truncation writes back one percent lower.
        "levels.xml": b'<Settings><Track><WAV velo="53"/><MIDI velo="59"/><TR1 velo="-7"/>'
                      b'<TR2/></Track></Settings>',
        "unclosed.xml": b"<Settings><Tuning><Cent>5</Cent></Tuning>",
        "many-attributes.xml": many,
        "empty.xml": b"",
    }


# ---- MIDI files -------------------------------------------------------------------


def vlq(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def midi_chunk(cid, body):
    return cid + struct.pack(">I", len(body)) + body


def track(events):
    body = b"".join(vlq(delta) + data for delta, data in events)
    return midi_chunk(b"MTrk", body + b"\x00\xff\x2f\x00")


def smf(fmt, division, tracks):
    return b"MThd" + struct.pack(">IHHH", 6, fmt, len(tracks), division) + b"".join(tracks)


def tempo(micros):
    return b"\xff\x51\x03" + micros.to_bytes(3, "big")


def midi_seeds():
    melody = track([(0, tempo(500000)), (0, b"\xc0\x28"), (0, b"\x90\x3c\x64"),
                    (480, b"\x3c\x00"), (0, b"\x40\x5a"), (480, tempo(1000000)),
                    (480, b"\x80\x40\x00")])
    conductor = track([(0, tempo(250000)), (192, tempo(500000)), (0, b"\xff\x58\x04\x04\x02\x18\x08")])
    drums = track([(0, b"\x99\x24\x78"), (96, b"\x89\x24\x00"), (0, b"\xf0\x03\x7e\x09\xf7"),
                   (0, b"\xff\x01\x02hi"), (288, b"\x99\x26\x6e"), (0, b"\xb9\x07\x64"),
                   (0, b"\xe9\x00\x40"), (0, b"\xd9\x30")])
    # One note after the longest delta at the slowest tempo: a tiny file
    # whose song lasts for years.
    endless = smf(0, 1, [track([(0, tempo(0xFFFFFF)), (0x0FFFFFFF, b"\x90\x3c\x64"),
                                (0x0FFFFFFF, b"\x80\x3c\x00")])])
    whole = smf(1, 96, [conductor, drums, melody])
    return {
        "format0.mid": smf(0, 480, [melody]),
        "format1.mid": whole,
        "smpte.mid": smf(0, (0x100 - 25) << 8 | 40, [melody]),
        "endless.mid": endless,
        "cut.mid": whole[: len(whole) - 9],
        "junk-track.mid": smf(1, 96, [midi_chunk(b"XFIH", b"\0\1\2\3"), melody]),
        "format2.mid": smf(2, 96, [melody]),
    }


# ---- other recording formats -----------------------------------------------


class SfInfo(ctypes.Structure):
    _fields_ = [("frames", ctypes.c_int64), ("samplerate", ctypes.c_int),
                ("channels", ctypes.c_int), ("format", ctypes.c_int),
                ("sections", ctypes.c_int), ("seekable", ctypes.c_int)]


def sndfile_bytes(lib, fmt, rate, channels, frames):
    """A short file in a format of the system's sound file library."""
    info = SfInfo(0, rate, channels, fmt, 0, 0)
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "seed").encode()
        handle = lib.sf_open(path, 0x20, ctypes.byref(info))  # SFM_WRITE
        if not handle:
            return None
        samples = (ctypes.c_float * (frames * channels))()
        for i in range(frames):
            for c in range(channels):
                samples[i * channels + c] = 0.3 * math.sin(2 * math.pi * 440.0 * (c + 1) * i / rate)
        lib.sf_writef_float(handle, samples, ctypes.c_int64(frames))
        lib.sf_close(handle)
        with open(path, "rb") as f:
            return f.read()


def decoder_seeds():
    seeds = {
        "pcm24.wav": wav([fmt_chunk(2, bits=24), chunk(b"data", bytes(6 * 9000))]),
        "float.wav": wav([fmt_chunk(1, bits=32, tag=3), chunk(b"data", struct.pack("<f", 0.5) * 9000)]),
        "rate48k.wav": wav([fmt_chunk(2, rate=48000), chunk(b"data", pcm16(9000, 2))]),
        "surround.wav": wav([fmt_chunk(6, extensible=True), chunk(b"data", bytes(12 * 9000))]),
    }
    # Compressed formats come from the system's library when it is there; a
    # machine without it still gets the seeds above.
    name = ctypes.util.find_library("sndfile")
    if not name:
        return seeds
    lib = ctypes.CDLL(name)
    lib.sf_open.restype = ctypes.c_void_p
    lib.sf_open.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.POINTER(SfInfo)]
    lib.sf_writef_float.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int64]
    lib.sf_close.argtypes = [ctypes.c_void_p]
    formats = {
        "short.flac": (0x170000 | 0x0002, 44100, 2),  # FLAC, 16-bit
        "rate48k.flac": (0x170000 | 0x0003, 48000, 2),  # FLAC, 24-bit
        "short.ogg": (0x200000 | 0x0060, 44100, 2),  # Ogg Vorbis
        "short.opus": (0x200000 | 0x0064, 48000, 1),  # Ogg Opus
        "short.mp3": (0x230000 | 0x0082, 44100, 2),  # MPEG layer III
        "short.aiff": (0x020000 | 0x0002, 44100, 1),  # AIFF, 16-bit
    }
    for file, (fmt, rate, channels) in formats.items():
        data = sndfile_bytes(lib, fmt, rate, channels, 9000)
        if data:
            seeds[file] = data
    return seeds


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make-fuzz-seeds.py OUT_DIR")
    out = sys.argv[1]
    targets = {
        "wav_reader_fuzz": wav_seeds(),
        "audio_decoder_fuzz": decoder_seeds(),
        "soundfont_fuzz": soundfont_seeds(),
        "dat_fuzz": dat_seeds(),
        "settings_fuzz": settings_seeds(),
        "midi_file_fuzz": midi_seeds(),
    }
    for target, seeds in targets.items():
        folder = os.path.join(out, target)
        os.makedirs(folder, exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
    print("seeds for %d targets in %s" % (len(targets), out))


if __name__ == "__main__":
    main()
