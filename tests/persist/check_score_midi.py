#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Compares the notes of a MIDI file that a notation program wrote from one
of our scores with the notes of the project the score came from.

usage: check_score_midi.py FILE.mid EXPECTED.json

EXPECTED is a list of [channel, key, onset, length], onsets and lengths in
beats (quarter notes) from the start of the score; the channel of a part is
its track number. Onsets must agree to a tick; lengths may be up to two
ticks short, as players shorten every note a little to separate repeated
ones. Exit 0 when every note matches, 1 with the differences on standard
error otherwise, 3 when mido is missing.
"""
import json
import sys

try:
    import mido
except ImportError:
    sys.exit(3)

LENGTH_SLACK_TICKS = 2


def notes_of(midi):
    found = []
    for track in midi.tracks:
        tick = 0
        sounding = {}
        for msg in track:
            tick += msg.time
            if msg.type == "note_on" and msg.velocity > 0:
                sounding.setdefault((msg.channel, msg.note), []).append(tick)
            elif msg.type in ("note_on", "note_off"):
                starts = sounding.get((msg.channel, msg.note))
                if starts:
                    start = starts.pop(0)
                    found.append((msg.channel, msg.note, start, tick - start))
    return sorted(found)


def main():
    midi = mido.MidiFile(sys.argv[1])
    with open(sys.argv[2]) as f:
        want = json.load(f)
    tpb = midi.ticks_per_beat
    got = notes_of(midi)
    expected = sorted((c, k, round(on * tpb), round(length * tpb)) for c, k, on, length in want)
    problems = []
    if len(got) != len(expected):
        problems.append(f"{len(got)} notes in the file, {len(expected)} expected")
    for g, e in zip(got, expected):
        same_note = g[0] == e[0] and g[1] == e[1] and abs(g[2] - e[2]) <= 1
        short = e[3] - g[3]
        if not same_note or short < -1 or short > LENGTH_SLACK_TICKS:
            problems.append(f"got channel/key/onset/length {g}, want {e} (ticks of {tpb})")
    if problems:
        print("notes differ:", *problems[:20], sep="\n  ", file=sys.stderr)
        sys.exit(1)
    print(f"{len(got)} notes match")


if __name__ == "__main__":
    main()
