#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the beat-tracking test set: General MIDI pieces with known beats.

    bench/beats_testset.py OUT_DIR [--sf2 FILE]

For every piece OUT_DIR receives NAME.mid, NAME.wav (rendered with FluidSynth
through a General MIDI bank that is not the one Quavrix plays with, so the
tracker is not tuned to our own sounds), NAME.beats and NAME.downbeats (one
time in seconds per line, from the MIDI tempo map) and pieces.json (tempo,
beats per bar and whether the tempo is steady, per piece).

The pieces cover what a beat tracker meets in practice: pop with drums, solo
piano with syncopation and held bars, a waltz, a tempo ramp, swing, a rubato
ballad with soft attacks, and 6/8 felt in two.
"""
import json
import math
import os
import random
import subprocess
import sys

import mido

TPQ = 480  # ticks per quarter note
DRUMS = 9
KICK, SNARE, RIM, HAT, PEDAL_HAT, RIDE = 36, 38, 37, 42, 44, 51
C_MAJOR = [0, 2, 4, 5, 7, 9, 11]


class Piece:
    """Notes placed in beats; a tempo (beats per minute) for every beat."""

    def __init__(self, name, beat_ticks, beats_per_bar, bars, tempo, seed):
        self.name = name
        self.beat_ticks = beat_ticks  # 480 for a quarter, 720 for a dotted quarter
        self.beats_per_bar = beats_per_bar
        self.bars = bars
        self.tempo = tempo  # function: beat index -> beats per minute
        self.rng = random.Random(seed)
        self.notes = []  # (channel, start tick, length ticks, key, velocity)
        self.programs = {}

    def program(self, channel, number):
        self.programs[channel] = number

    def note(self, channel, beat, length, key, velocity, jitter=0):
        start = round(beat * self.beat_ticks)
        if jitter:
            start = max(0, start + self.rng.randint(-jitter, jitter))
        ticks = max(10, round(length * self.beat_ticks) - 10)
        velocity = max(1, min(127, velocity + self.rng.randint(-6, 6)))
        self.notes.append((channel, start, ticks, key, velocity))

    def chord(self, channel, beat, length, keys, velocity, jitter=0):
        for key in keys:
            self.note(channel, beat, length, key, velocity, jitter)

    def beat_count(self):
        return self.bars * self.beats_per_bar

    def beat_times(self):
        times, now = [], 0.0
        for i in range(self.beat_count()):
            times.append(now)
            now += 60.0 / self.tempo(i)
        return times

    def write_midi(self, path):
        midi = mido.MidiFile(ticks_per_beat=TPQ)
        conductor = mido.MidiTrack()
        midi.tracks.append(conductor)
        events = []
        quarters_per_beat = self.beat_ticks / TPQ
        for i in range(self.beat_count()):
            us = round(60_000_000 / (self.tempo(i) * quarters_per_beat))
            events.append((i * self.beat_ticks, mido.MetaMessage("set_tempo", tempo=us)))
        numerator = self.beats_per_bar * (3 if self.beat_ticks == 720 else 1)
        denominator = 8 if self.beat_ticks == 720 else 4
        conductor.append(mido.MetaMessage("time_signature", numerator=numerator,
                                          denominator=denominator, time=0))
        now = 0
        for tick, message in events:
            conductor.append(message.copy(time=tick - now))
            now = tick
        for channel in sorted({n[0] for n in self.notes}):
            track = mido.MidiTrack()
            midi.tracks.append(track)
            timed = []
            if channel in self.programs:
                timed.append((0, 0, mido.Message("program_change", channel=channel,
                                                  program=self.programs[channel])))
            for ch, start, ticks, key, velocity in self.notes:
                if ch != channel:
                    continue
                timed.append((start, 1, mido.Message("note_on", channel=ch, note=key,
                                                     velocity=velocity)))
                timed.append((start + ticks, 0, mido.Message("note_off", channel=ch, note=key,
                                                             velocity=0)))
            timed.sort(key=lambda e: (e[0], e[1]))
            now = 0
            for tick, _, message in timed:
                track.append(message.copy(time=tick - now))
                now = tick
        midi.save(path)


def triad(root, octave):
    """Keys of the diatonic triad on scale degree `root` (0 = C) in C major."""
    keys = []
    for step in (0, 2, 4):
        degree = root + step
        keys.append(12 * (octave + degree // 7) + C_MAJOR[degree % 7])
    return keys


def bass_key(root, octave=3):
    return 12 * octave + C_MAJOR[root % 7]


def melody_key(rng, last):
    degree = max(0, min(13, last + rng.choice([-2, -1, -1, 0, 1, 1, 2])))
    return degree, 12 * (5 + degree // 7) + C_MAJOR[degree % 7]


def pop(name, tempo, bars, seed):
    p = Piece(name, TPQ, 4, bars, tempo, seed)
    p.program(0, 0)
    p.program(1, 33)
    p.program(2, 81)
    progression = [0, 4, 5, 3]  # I V vi IV
    degree = 7
    for bar in range(bars):
        b0 = bar * 4
        root = progression[bar % 4]
        for beat in range(4):
            p.note(DRUMS, b0 + beat, 0.25, KICK if beat in (0, 2) else SNARE, 100)
            p.note(DRUMS, b0 + beat + 0.5, 0.25, HAT, 70)
            p.note(DRUMS, b0 + beat, 0.25, HAT, 80)
        if bar % 2:
            p.note(DRUMS, b0 + 2.5, 0.25, KICK, 85)
        for eighth in range(8):
            p.note(1, b0 + eighth / 2, 0.45, bass_key(root), 90 if eighth % 2 == 0 else 70)
        p.chord(0, b0, 1.5, triad(root, 4), 70, jitter=4)
        p.chord(0, b0 + 1.5, 1.0, triad(root, 4), 60, jitter=4)
        p.chord(0, b0 + 3.5, 0.5, triad(root, 4), 60, jitter=4)
        if bar >= 4:
            beat = 0.0
            while beat < 4:
                length = p.rng.choice([0.5, 0.5, 1.0, 1.5])
                if p.rng.random() < 0.8:
                    degree, key = melody_key(p.rng, degree)
                    p.note(2, b0 + beat, length, key, 75, jitter=6)
                beat += length
    return p


def syncopated_piano(name, bpm, bars, seed):
    p = Piece(name, TPQ, 4, bars, lambda i: bpm, seed)
    p.program(0, 0)
    progression = [5, 3, 0, 4, 5, 3, 1, 4]
    patterns = [
        [0, 0.75, 1.5, 2.5, 3.0, 3.5],
        [0, 0.5, 1.25, 1.75, 2.5, 3.25],
        [0.5, 1.0, 1.75, 2.5, 3.0, 3.75],
        [0, 0.75, 1.5, 2.25, 2.75, 3.5],
    ]
    for bar in range(bars):
        b0 = bar * 4
        root = progression[bar % 8]
        if bar % 8 == 7:
            # A held bar: one chord, nothing more until the next bar.
            p.chord(0, b0, 3.9, triad(root, 4) + [bass_key(root, 2)], 72)
            continue
        # The left hand walks softly on the beats; the right hand's louder
        # figures fall between them.
        for beat, step in enumerate([0, 4, 7, 4]):
            p.note(0, b0 + beat, 0.9, bass_key(root + step, 2), 70 if beat else 80, jitter=3)
        chord = triad(root, 4)
        for k, beat in enumerate(patterns[bar % 4]):
            keys = chord if k % 2 == 0 else chord[1:]
            p.chord(0, b0 + beat, 0.4, keys, 82 if beat % 1 else 68, jitter=3)
        # Sixteenth-note pick-ups into the next bar.
        if bar % 2:
            for s in (13, 14, 15):
                p.note(0, b0 + s / 4, 0.24, chord[s - 13] + 12, 58, jitter=2)
    return p


def waltz(name, bpm, bars, seed):
    p = Piece(name, TPQ, 3, bars, lambda i: bpm, seed)
    p.program(0, 0)
    p.program(1, 40)  # violin melody
    progression = [0, 0, 4, 4, 4, 4, 0, 0, 3, 3, 0, 0, 4, 4, 0, 0]
    degree = 9
    for bar in range(bars):
        b0 = bar * 3
        root = progression[bar % 16]
        p.note(0, b0, 0.9, bass_key(root, 2), 90, jitter=3)
        p.chord(0, b0 + 1, 0.4, triad(root, 4), 55, jitter=3)
        p.chord(0, b0 + 2, 0.4, triad(root, 4), 55, jitter=3)
        if bar % 2 == 0:
            degree, key = melody_key(p.rng, degree)
            p.note(1, b0, 2.0, key, 80, jitter=5)
            degree, key = melody_key(p.rng, degree)
            p.note(1, b0 + 2, 1.0, key, 70, jitter=5)
        else:
            degree, key = melody_key(p.rng, degree)
            p.note(1, b0, 3.0, key, 75, jitter=5)
    return p


def swing(name, bpm, bars, seed):
    p = Piece(name, TPQ, 4, bars, lambda i: bpm, seed)
    p.program(0, 0)
    p.program(1, 32)  # acoustic bass
    p.program(2, 65)  # saxophone
    progression = [1, 4, 0, 0, 1, 4, 0, 5]  # ii V I I ...
    degree = 8
    for bar in range(bars):
        b0 = bar * 4
        root = progression[bar % 8]
        for beat in range(4):
            p.note(DRUMS, b0 + beat, 0.3, RIDE, 85)
            if beat % 2:
                p.note(DRUMS, b0 + beat + 2 / 3, 0.3, RIDE, 65)
                p.note(DRUMS, b0 + beat, 0.2, PEDAL_HAT, 70)
            walk = [0, 2, 4, 5][beat] if bar % 2 == 0 else [4, 3, 2, 1][beat]
            p.note(1, b0 + beat, 0.9, bass_key(root + walk, 2), 92, jitter=4)
        # Charleston comping: on one and on the swung "and" of two.
        comp = triad(root, 4) + [triad(root, 4)[0] + 10]
        p.chord(0, b0, 0.5, comp, 66, jitter=4)
        p.chord(0, b0 + 1 + 2 / 3, 0.3, comp, 60, jitter=4)
        beat = 0.0
        while beat < 4:
            if p.rng.random() < 0.75:
                degree, key = melody_key(p.rng, degree)
                p.note(2, b0 + beat, 0.6, key - 12, 78, jitter=5)
            if p.rng.random() < 0.7:
                degree, key = melody_key(p.rng, degree)
                p.note(2, b0 + beat + 2 / 3, 0.3, key - 12, 68, jitter=5)
            beat += 1
    return p


def ballad(name, bpm, bars, seed):
    rng = random.Random(seed + 1)
    drift = [0.0]
    for _ in range(bars * 4):
        drift.append(0.8 * drift[-1] + rng.uniform(-0.025, 0.025))

    def tempo(i):
        slow_end = 0.82 if i % 16 == 15 else 1.0  # a phrase's last beat is held back
        return bpm * (1 + 0.08 * math.sin(2 * math.pi * i / 24) + drift[i]) * slow_end

    p = Piece(name, TPQ, 4, bars, tempo, seed)
    p.program(0, 0)
    p.program(1, 48)  # string pad
    progression = [0, 5, 3, 4, 0, 2, 3, 4]
    degree = 9
    for bar in range(bars):
        b0 = bar * 4
        root = progression[bar % 8]
        # Bass on one and three, a soft chord on every beat, a passing
        # arpeggio into the next bar, strings holding the harmony.
        chord = triad(root, 3)
        p.note(0, b0, 1.9, bass_key(root, 2), 74, jitter=6)
        p.note(0, b0 + 2, 1.9, bass_key(root + 4, 2), 66, jitter=6)
        for beat in range(3):
            p.chord(0, b0 + beat, 0.9, chord, 56 if beat else 62, jitter=6)
        for eighth, key in enumerate([chord[0], chord[1]]):
            p.note(0, b0 + 3 + eighth / 2, 0.5, key, 56, jitter=6)
        p.chord(1, b0, 3.9, triad(root, 4), 50)
        beat = 0.0
        while beat < 4:
            length = rng.choice([1.0, 1.0, 1.5, 2.0, 0.5])
            degree, key = melody_key(rng, degree)
            p.note(0, b0 + beat, length, key + 12, 72, jitter=8)
            beat += length
    return p


def six_eight(name, bpm, bars, seed):
    p = Piece(name, 720, 2, bars, lambda i: bpm, seed)
    p.program(0, 24)  # nylon guitar
    p.program(1, 0)
    progression = [0, 5, 3, 4]
    degree = 7
    for bar in range(bars):
        b0 = bar * 2
        root = progression[bar % 4]
        chord = triad(root, 4)
        shape = [bass_key(root, 3), chord[0], chord[1], chord[2], chord[1], chord[0]]
        for eighth, key in enumerate(shape):
            p.note(0, b0 + eighth / 3, 0.32, key, 78 if eighth == 0 else 58, jitter=4)
        p.note(1, b0, 0.95, bass_key(root, 2), 88, jitter=3)
        p.note(1, b0 + 1, 0.9, bass_key(root + 4, 2), 70, jitter=3)
        p.note(DRUMS, b0, 0.2, KICK, 90)
        p.note(DRUMS, b0 + 1, 0.2, RIM, 70)
        if bar >= 2:
            degree, key = melody_key(p.rng, degree)
            p.note(1, b0, 2 / 3, key + 12, 74, jitter=5)
            degree, key = melody_key(p.rng, degree)
            p.note(1, b0 + 2 / 3, 1 / 3, key + 12, 64, jitter=5)
            degree, key = melody_key(p.rng, degree)
            p.note(1, b0 + 1, 1.0, key + 12, 70, jitter=5)
    return p


def pieces(variant=0):
    """The set; another variant draws other notes, timing and drift."""
    s = 100 * variant
    return [
        (pop("pop", lambda i: 112.0, 24, 1 + s), True),
        (syncopated_piano("piano_syncopated", 96.0, 20, 2 + s), True),
        (waltz("waltz", 138.0, 32, 3 + s), True),
        (pop("ramp", lambda i: 80.0 + 40.0 * i / (28 * 4), 28, 4 + s), False),
        (swing("swing", 144.0, 24, 5 + s), True),
        (ballad("ballad", 64.0, 16, 6 + s), False),
        (six_eight("six_eight", 66.0, 24, 7 + s), True),
    ]


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: beats_testset.py OUT_DIR [--sf2 FILE] [--variant N]")
    out = sys.argv[1]
    sf2 = "/usr/share/sounds/sf2/FluidR3_GM.sf2"
    if "--sf2" in sys.argv:
        sf2 = sys.argv[sys.argv.index("--sf2") + 1]
    if not os.path.exists(sf2):
        sys.exit(f"missing {sf2} (apt-get install fluid-soundfont-gm)")
    variant = int(sys.argv[sys.argv.index("--variant") + 1]) if "--variant" in sys.argv else 0
    os.makedirs(out, exist_ok=True)
    table = {}
    for piece, steady in pieces(variant):
        base = os.path.join(out, piece.name)
        piece.write_midi(base + ".mid")
        subprocess.run(["fluidsynth", "-ni", "-q", "-g", "0.6", "-r", "44100", "-F",
                        base + ".wav", sf2, base + ".mid"], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times = piece.beat_times()
        with open(base + ".beats", "w") as f:
            f.writelines(f"{t:.6f}\n" for t in times)
        with open(base + ".downbeats", "w") as f:
            f.writelines(f"{t:.6f}\n" for t in times[::piece.beats_per_bar])
        tempi = sorted(piece.tempo(i) for i in range(piece.beat_count()))
        table[piece.name] = {"bpm": tempi[len(tempi) // 2], "beats_per_bar": piece.beats_per_bar,
                             "steady": steady}
    with open(os.path.join(out, "pieces.json"), "w") as f:
        json.dump(table, f, indent=1)


if __name__ == "__main__":
    main()
