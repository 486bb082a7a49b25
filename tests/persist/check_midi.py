#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads a MIDI file with mido and compares it with what the caller expected.

usage: check_midi.py FILE.mid EXPECTED.json

EXPECTED holds ticks_per_beat, tempos ([tick, microseconds per quarter], in
order), programs ([channel, program]) and notes ([channel, key, velocity,
on tick, off tick]). Exit 0 when the file matches, 1 with the differences
on standard error otherwise, 3 when mido is missing.
"""
import json
import sys

try:
    import mido
except ImportError:
    sys.exit(3)


def main():
    midi = mido.MidiFile(sys.argv[1])
    with open(sys.argv[2]) as f:
        want = json.load(f)
    problems = []

    if midi.type != 0 or len(midi.tracks) != 1:
        problems.append(f"type {midi.type} with {len(midi.tracks)} tracks, want one track of type 0")
    if midi.ticks_per_beat != want["ticks_per_beat"]:
        problems.append(f"ticks per beat {midi.ticks_per_beat}, want {want['ticks_per_beat']}")

    tempos, programs, notes = [], [], []
    sounding = {}
    tick = 0
    last = None
    for msg in midi.tracks[0]:
        tick += msg.time
        last = msg
        if msg.type == "set_tempo":
            tempos.append([tick, msg.tempo])
        elif msg.type == "program_change":
            if tick != 0:
                problems.append(f"program change at tick {tick}")
            programs.append([msg.channel, msg.program])
        elif msg.type == "note_on" and msg.velocity > 0:
            if (msg.channel, msg.note) in sounding:
                problems.append(f"note {msg.channel}/{msg.note} starts again at {tick} before it ended")
            sounding[(msg.channel, msg.note)] = (msg.velocity, tick)
        elif msg.type in ("note_off", "note_on"):
            start = sounding.pop((msg.channel, msg.note), None)
            if start is None:
                problems.append(f"note {msg.channel}/{msg.note} ends at {tick} without a start")
                continue
            notes.append([msg.channel, msg.note, start[0], start[1], tick])
    if sounding:
        problems.append(f"notes never ended: {sorted(sounding)}")
    if last is None or last.type != "end_of_track":
        problems.append("the track does not end with end_of_track")

    # Several tempo events at one tick: the last one is what a player uses.
    effective = {}
    for t, us in tempos:
        effective[t] = us
    if sorted(effective.items()) != [tuple(x) for x in want["tempos"]]:
        problems.append(f"tempos {sorted(effective.items())}, want {want['tempos']}")
    if programs != want["programs"]:
        problems.append(f"programs {programs}, want {want['programs']}")
    if sorted(notes) != sorted(want["notes"]):
        got, exp = sorted(notes), sorted(want["notes"])
        problems.append(f"notes differ:\n  extra   {[n for n in got if n not in exp]}\n"
                        f"  missing {[n for n in exp if n not in got]}")

    for p in problems:
        print(p, file=sys.stderr)
    print(f"{len(notes)} notes, {len(programs)} program changes, {len(effective)} tempos checked")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
