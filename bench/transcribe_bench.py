#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Note model benchmark: speed, memory and accuracy of `quavrix-cli transcribe`
beside the model's own JavaScript (tfjs 3, WebAssembly backend) on the same input.

    bench/transcribe_bench.py [BUILD_DIR] [--quick]

Clips are made here: seeded random music written as MIDI files and rendered by
FluidSynth with Debian's FluidR3 General MIDI bank (not the bank the program
plays with). For each clip it prints the onset-only note F-measure (50 ms,
mir_eval) of ours and of the reference against the score, and of ours against
the reference's notes; then the speed of the whole transcribe process on a
3-minute song (x real time, both programs) and the peak memory on 10 minutes.
The reference needs scripts/setup-model-reference.sh; without it those columns
say so.
"""
import json
import os
import random
import subprocess
import sys
import tempfile
import time
import wave

import mido
import mir_eval
import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BANK = "/usr/share/sounds/sf2/FluidR3_GM.sf2"
REF_SCRIPT = os.path.join(ROOT, "tests", "data", "make_model_reference.mjs")


def compose(seed, seconds, parts):
    """Notes (start, end, pitch, velocity, channel, program) of a seeded piece:
    a chord progression with a melody, an accompaniment and a bass, in the
    parts asked for."""
    rnd = random.Random(seed)
    beat = 60.0 / rnd.choice([84, 96, 108, 120])
    key = rnd.choice([57, 60, 62, 64, 65, 67])
    scale = [0, 2, 4, 5, 7, 9, 11]
    chords = [[0, 4, 7], [5, 9, 12], [7, 11, 14], [9, 12, 16], [2, 5, 9], [4, 7, 11]]
    notes = []
    t, bar = 0.0, 0
    while t + 4 * beat <= seconds:
        chord = rnd.choice(chords)
        for name, channel, program in parts:
            if name == "melody":
                u = t
                while u < t + 4 * beat - 1e-9:
                    d = beat * rnd.choice([0.5, 0.5, 1, 1, 1.5, 2])
                    d = min(d, t + 4 * beat - u)
                    p = key + 12 + scale[rnd.randrange(7)] + 12 * rnd.choice([0, 0, 1])
                    notes.append((u, u + d * 0.9, p, rnd.randint(70, 110), channel, program))
                    u += d
            elif name == "chords":
                for k in range(2):
                    s = t + 2 * k * beat
                    for c in chord:
                        notes.append((s, s + 1.9 * beat, key + c, rnd.randint(55, 85), channel, program))
            elif name == "arpeggio":
                for k in range(8):
                    s = t + k * beat / 2
                    p = key - 12 + chord[k % 3] + 12 * (k // 3 % 2)
                    notes.append((s, s + beat * 0.95, p, rnd.randint(60, 95), channel, program))
            elif name == "bass":
                for k in range(4):
                    s = t + k * beat
                    notes.append((s, s + beat * 0.9, key - 24 + chord[0] + (7 if k % 2 else 0),
                                  rnd.randint(70, 100), channel, program))
        t += 4 * beat
        bar += 1
    return notes


def write_midi(notes, path):
    mid = mido.MidiFile(ticks_per_beat=480)
    track = mido.MidiTrack()
    mid.tracks.append(track)
    track.append(mido.MetaMessage("set_tempo", tempo=500000))  # 960 ticks a second
    events = []
    for ch, prog in sorted({(n[4], n[5]) for n in notes}):
        events.append((0, 0, mido.Message("program_change", channel=ch, program=prog)))
    for s, e, p, v, ch, _ in notes:
        events.append((round(s * 960), 1, mido.Message("note_on", channel=ch, note=p, velocity=v)))
        events.append((round(e * 960), 0, mido.Message("note_off", channel=ch, note=p, velocity=0)))
    events.sort(key=lambda x: (x[0], x[1]))
    last = 0
    for tick, _, msg in events:
        track.append(msg.copy(time=tick - last))
        last = tick
    mid.save(path)


def render(midi_path, wav_path):
    subprocess.run(["fluidsynth", "-ni", "-R", "0", "-C", "0", "-g", "0.5", "-r", "44100",
                    "-F", wav_path, BANK, midi_path], check=True, capture_output=True)


def tile_wav(src, dst, seconds):
    with wave.open(src) as w:
        params, frames = w.getparams(), w.readframes(w.getnframes())
    need = int(seconds * params.framerate) * params.sampwidth * params.nchannels
    data = (frames * (need // len(frames) + 1))[:need]
    with wave.open(dst, "wb") as w:
        w.setparams(params)
        w.writeframes(data)


CPU = {}  # command name -> processor seconds of its last run


def timed(cmd):
    """Wall seconds and peak resident kilobytes of a command. The processor
    seconds (user + system) go to CPU: on a shared machine the wall time
    also counts the time other programs held the cores."""
    start = time.monotonic()
    out = subprocess.run(["/usr/bin/time", "-f", "%M %U %S"] + cmd, capture_output=True, text=True)
    wall = time.monotonic() - start
    if out.returncode != 0:
        raise SystemExit(f"{cmd[0]} failed: {out.stderr}")
    rss, user, system = out.stderr.strip().splitlines()[-1].split()
    CPU[os.path.basename(cmd[0])] = float(user) + float(system)
    return wall, int(rss), out.stdout


def ours(cli, wav, workdir, dump=True):
    raw = os.path.join(workdir, os.path.basename(wav) + ".f32")
    wall, rss, text = timed([cli, "transcribe", wav, "--json"])
    if dump:
        subprocess.run([cli, "transcribe", wav, "--model-input", raw], check=True,
                       capture_output=True)
    return json.loads(text)["notes"], wall, rss, raw


def reference(raw, workdir):
    out = os.path.join(workdir, os.path.basename(raw) + ".ref.json")
    try:
        wall, _, text = timed(["node", REF_SCRIPT, "--raw", raw, "--json", out])
    except SystemExit as e:
        print(f"  (reference unavailable: {str(e).splitlines()[0][:120]})")
        return None, None
    with open(out) as f:
        return json.load(f)["notes"], wall


def f_measure(truth, estimate):
    def arrays(notes):
        if not notes:
            return np.zeros((0, 2)), np.zeros(0)
        iv = np.array([[n[0], max(n[1], n[0] + 1e-3)] for n in notes])
        return iv, mir_eval.util.midi_to_hz(np.array([n[2] for n in notes], dtype=float))
    ti, tp = arrays(truth)
    ei, ep = arrays(estimate)
    if len(ti) == 0 or len(ei) == 0:
        return 0.0
    return mir_eval.transcription.precision_recall_f1_overlap(
        ti, tp, ei, ep, onset_tolerance=0.05, offset_ratio=None)[2]


def as_tuples(json_notes):
    return [(n["start"], n["end"], n["pitch"]) for n in json_notes]


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    quick = "--quick" in sys.argv
    build = args[0] if args else os.path.join(ROOT, "build")
    cli = os.path.join(build, "bin", "quavrix-cli")
    clips = [
        ("piano", 11, 30, [("melody", 0, 0), ("chords", 0, 0)]),
        ("guitar", 12, 30, [("arpeggio", 0, 25), ("melody", 1, 24)]),
        ("mixed", 13, 30, [("melody", 0, 73), ("chords", 1, 0), ("bass", 2, 33),
                           ("arpeggio", 3, 46)]),
        ("strings+piano", 14, 30, [("chords", 0, 48), ("melody", 1, 0), ("bass", 2, 32)]),
        ("song 3 min", 15, 180, [("melody", 0, 0), ("chords", 1, 0), ("bass", 2, 33),
                                 ("arpeggio", 3, 25)]),
    ]
    if quick:
        clips = clips[:1]
    with tempfile.TemporaryDirectory() as work:
        print(f"{'clip':<14} {'notes':>5} {'F ours':>7} {'F ref':>7} {'|diff|':>7} "
              f"{'ours~ref':>8} {'ours x':>7} {'ref x':>6}   (x real time: wall; cpu)")
        song_wav = None
        for name, seed, seconds, parts in clips:
            truth = compose(seed, seconds, parts)
            mid, wav = os.path.join(work, f"{seed}.mid"), os.path.join(work, f"{seed}.wav")
            write_midi(truth, mid)
            render(mid, wav)
            if seconds >= 180:
                song_wav = wav
            mine, wall, _, raw = ours(cli, wav, work)
            theirs, ref_wall = reference(raw, work)
            truth3 = [(n[0], n[1], n[2]) for n in truth]
            f_ours = f_measure(truth3, as_tuples(mine))
            if theirs is None:
                print(f"{name:<14} {len(truth):>5} {f_ours:7.3f} {'-':>7} {'-':>7} {'-':>8} "
                      f"{seconds / wall:7.1f} {'-':>6}")
                continue
            f_ref = f_measure(truth3, as_tuples(theirs))
            agree = f_measure(as_tuples(theirs), as_tuples(mine))
            print(f"{name:<14} {len(truth):>5} {f_ours:7.3f} {f_ref:7.3f} {abs(f_ours - f_ref):7.3f} "
                  f"{agree:8.3f} {seconds / wall:7.1f} {seconds / ref_wall:6.1f}   "
                  f"cpu: ours {seconds / CPU['quavrix-cli']:.1f} x, ref {seconds / CPU['node']:.1f} x")
        if song_wav:
            long_wav = os.path.join(work, "ten_minutes.wav")
            tile_wav(song_wav, long_wav, 600)
            _, wall, rss, _ = ours(cli, long_wav, work, dump=False)
            print(f"10 minutes: {wall:.1f} s ({600 / wall:.1f} x real time; cpu "
                  f"{CPU['quavrix-cli']:.1f} s), peak memory {rss / 1024:.0f} MB")


if __name__ == "__main__":
    main()
