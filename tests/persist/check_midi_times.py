#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads a MIDI file with mido and says how far its notes and bar lines are
from where they should sound, in seconds from the start of the file.

usage: check_midi_times.py FILE.mid EXPECTED.json TOLERANCE_MS

EXPECTED holds notes ([channel, key, seconds] of every note-on) and
optionally bars (the seconds of every bar line but the last). The times come
from the file's own tempo map and time signatures, as a player or a
sequencer reads them. Prints the largest error of each; exit 0 when every
error is within TOLERANCE_MS, 1 otherwise (or on a missing or extra note),
3 when mido is missing.
"""
import json
import sys

try:
    import mido
except ImportError:
    sys.exit(3)


def events(midi):
    """(tick, message) of every track, in file order at equal ticks."""
    out = []
    for number, track in enumerate(midi.tracks):
        tick = 0
        for index, msg in enumerate(track):
            tick += msg.time
            out.append((tick, number, index, msg))
    out.sort(key=lambda e: (e[0], e[1], e[2]))
    return out


def seconds_of(tempo_changes, ticks_per_beat):
    """A function from tick to seconds under the tempo changes [(tick, us)]."""
    def at(tick):
        seconds, last_tick, tempo = 0.0, 0, 500000
        for change_tick, us in tempo_changes:
            if change_tick > tick:
                break
            seconds += (change_tick - last_tick) * tempo / ticks_per_beat / 1e6
            last_tick, tempo = change_tick, us
        return seconds + (tick - last_tick) * tempo / ticks_per_beat / 1e6
    return at


def bar_ticks(signatures, end_tick, ticks_per_beat):
    """Where a sequencer draws bar lines: from each signature on, every bar."""
    bars = []
    for i, (tick, numerator, denominator) in enumerate(signatures):
        stop = signatures[i + 1][0] if i + 1 < len(signatures) else end_tick
        length = numerator * ticks_per_beat * 4 // denominator
        while tick < stop:
            bars.append(tick)
            tick += length
    return bars


def main():
    midi = mido.MidiFile(sys.argv[1])
    with open(sys.argv[2]) as f:
        want = json.load(f)
    tolerance = float(sys.argv[3]) / 1000.0

    tempo_changes, signatures, notes = [], [], {}
    end_tick = 0
    for tick, _, _, msg in events(midi):
        end_tick = max(end_tick, tick)
        if msg.type == "set_tempo":
            tempo_changes.append((tick, msg.tempo))
        elif msg.type == "time_signature":
            signatures.append((tick, msg.numerator, msg.denominator))
        elif msg.type == "note_on" and msg.velocity > 0:
            notes.setdefault((msg.channel, msg.note), []).append(tick)
    at = seconds_of(tempo_changes, midi.ticks_per_beat)

    problems = []
    wanted = {}
    for channel, key, seconds in want["notes"]:
        wanted.setdefault((channel, key), []).append(seconds)
    worst = (0.0, None)
    for voice in sorted(set(wanted) | set(notes)):
        got = sorted(at(t) for t in notes.get(voice, []))
        exp = sorted(wanted.get(voice, []))
        if len(got) != len(exp):
            problems.append(f"channel {voice[0]} key {voice[1]}: {len(got)} notes, want {len(exp)}")
            continue
        for g, e in zip(got, exp):
            if abs(g - e) > worst[0]:
                worst = (abs(g - e), e)
    count = sum(len(v) for v in wanted.values())
    line = f"{count} notes: largest error {worst[0] * 1000:.3f} ms"
    if worst[1] is not None:
        line += f" (at {worst[1]:.3f} s)"
    if worst[0] > tolerance:
        problems.append(f"a note is {worst[0] * 1000:.3f} ms from its line")

    if "bars" in want:
        drawn = [at(t) for t in bar_ticks(signatures, end_tick, midi.ticks_per_beat)]
        if len(drawn) != len(want["bars"]):
            problems.append(f"{len(drawn)} bars drawn, want {len(want['bars'])}")
        else:
            error = max((abs(d - e) for d, e in zip(drawn, want["bars"])), default=0.0)
            line += f"; {len(drawn)} bars: largest error {error * 1000:.3f} ms"
            if error > tolerance:
                problems.append(f"a bar line is drawn {error * 1000:.3f} ms from the grid's")

    print(line)
    for p in problems:
        print(p, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
