#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times our render-midi against the peer synthesizer on the same dense MIDI
# file and the same SoundFont, in one run.
#
#   bench/render_vs_peer.sh [BUILD_DIR] [SECONDS]
#
# BUILD_DIR defaults to ./build (it must hold bin/quavrix-cli and
# bin/quavrix.sf2); SECONDS is the length of the generated music (60).
set -euo pipefail

BUILD=${1:-build}
LENGTH=${2:-60}
CLI="$BUILD/bin/quavrix-cli"
SF2="$BUILD/bin/quavrix.sf2"
PEER=${PEER:-fluidsynth}
RUNS=${RUNS:-3}

for need in "$CLI" "$SF2"; do
  [ -e "$need" ] || { echo "missing $need (build quavrix-cli first)" >&2; exit 1; }
done
command -v "$PEER" >/dev/null || { echo "missing $PEER (apt-get install fluidsynth)" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
MIDI="$WORK/dense.mid"

# A 7-track General MIDI piece at 132 then 150 BPM: drums with 16th hi-hats,
# bass, piano chords, string pads, a guitar arpeggio, brass stabs and a
# 16th-note lead.
python3 - "$MIDI" "$LENGTH" <<'PY'
import struct, sys, random
path, seconds = sys.argv[1], float(sys.argv[2])
PPQ = 480
random.seed(7)

def vlq(n):
    out = [n & 0x7f]
    n >>= 7
    while n:
        out.insert(0, 0x80 | (n & 0x7f))
        n >>= 7
    return bytes(out)

def track(events):
    events.sort(key=lambda e: (e[0], e[1]))
    data, now = b"", 0
    for tick, _, msg in events:
        data += vlq(tick - now) + msg
        now = tick
    data += vlq(0) + b"\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(data)) + data

# Tempo: 132 BPM, then 150 BPM from the middle on.
half_ticks = int(seconds / 2 * 132 / 60 * PPQ)
end_ticks = half_ticks + int(seconds / 2 * 150 / 60 * PPQ)
def tempo(bpm):
    us = int(60_000_000 / bpm)
    return b"\xff\x51\x03" + us.to_bytes(3, "big")
conductor = track([(0, 0, tempo(132)), (half_ticks, 0, tempo(150))])

def notes(channel, program, pattern):
    ev = [(0, 0, bytes([0xC0 | channel, program]))]
    for start, length, key, vel in pattern:
        if start >= end_ticks:
            continue
        ev.append((start, 2, bytes([0x90 | channel, key, vel])))
        ev.append((min(start + length, end_ticks), 1, bytes([0x80 | channel, key, 0])))
    return track(ev)

six = PPQ // 4
bars = end_ticks // (4 * PPQ) + 1
prog = [(48, 52, 55, 60), (45, 48, 52, 57), (41, 45, 48, 53), (43, 47, 50, 55)]

drums, bass, piano, strings, guitar, brass, lead = ([] for _ in range(7))
for bar in range(bars):
    b0 = bar * 4 * PPQ
    chord = prog[bar % 4]
    for s in range(16):
        t = b0 + s * six
        drums.append((t, six, 42 if s % 4 else 46, 70 + random.randint(0, 30)))
        if s % 8 == 0: drums.append((t, six, 36, 110))
        if s % 8 == 4: drums.append((t, six, 38, 100))
        if s % 16 == 14: drums.append((t, six, 49, 90))
        bass.append((t, six, chord[0] - 12 + (7 if s % 4 == 2 else 0), 90))
        guitar.append((t, six * 2, chord[s % 4] + 12, 60 + random.randint(0, 20)))
        lead.append((t, six, chord[random.randint(0, 3)] + 24 + random.choice((0, 2, 4)),
                     80 + random.randint(0, 30)))
    for beat in range(4):
        t = b0 + beat * PPQ
        for k in chord:
            piano.append((t, PPQ, k + 12, 85))
        if beat % 2 == 1:
            for k in chord[1:]:
                brass.append((t + PPQ // 2, PPQ // 2, k + 12, 95))
    for k in chord:
        strings.append((b0, 4 * PPQ, k, 70))
        strings.append((b0, 4 * PPQ, k + 12, 60))

tracks = [conductor,
          notes(9, 0, drums), notes(0, 33, bass), notes(1, 0, piano), notes(2, 48, strings),
          notes(3, 25, guitar), notes(4, 61, brass), notes(5, 81, lead)]
with open(path, "wb") as f:
    f.write(b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), PPQ) + b"".join(tracks))
PY

# Wall and CPU (user + system) seconds of one command, as "WALL CPU".
timed() {
  local TIMEFORMAT='%R %U %S'
  { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ printf "%s %.3f\n", $1, $2 + $3 }'
}

ours_runs=()
peer_runs=()
for _ in $(seq "$RUNS"); do
  ours_runs+=("$(timed "$CLI" render-midi "$MIDI" "$WORK/ours.wav" --sf2 "$SF2")")
  peer_runs+=("$(timed "$PEER" -ni -F "$WORK/peer.wav" -r 44100 -R 0 -C 0 "$SF2" "$MIDI")")
done
best() { printf '%s\n' "$@" | awk -v col="$COL" '{ print $col }' | sort -g | head -1; }
ours_wall=$(COL=1 best "${ours_runs[@]}")
ours_cpu=$(COL=2 best "${ours_runs[@]}")
peer_wall=$(COL=1 best "${peer_runs[@]}")
peer_cpu=$(COL=2 best "${peer_runs[@]}")

"$CLI" render-midi "$MIDI" "$WORK/ours.wav" --sf2 "$SF2"
printf 'input: %s s of 7-track MIDI (%s), SoundFont %s\n' "$LENGTH" "$(du -h "$MIDI" | cut -f1)" "$SF2"
printf '%-40s %8s %8s\n' "best of $RUNS" "wall s" "cpu s"
printf '%-40s %8.3f %8.3f\n' "ours: quavrix-cli render-midi" "$ours_wall" "$ours_cpu"
printf '%-40s %8.3f %8.3f\n' "peer: $PEER -ni -F -R 0 -C 0" "$peer_wall" "$peer_cpu"
awk -v pw="$peer_wall" -v ow="$ours_wall" -v pc="$peer_cpu" -v oc="$ours_cpu" \
  'BEGIN { printf "peer / ours: %.2fx wall, %.2fx cpu\n", pw / ow, pc / oc }'
