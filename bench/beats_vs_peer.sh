#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Scores our beat tracker and aubio's on the generated test set, side by side:
# beat F-measure (70 ms window), downbeat F-measure and tempo error per piece.
#
#   bench/beats_vs_peer.sh [BUILD_DIR] [SET_DIR] [VARIANT]
#
# BUILD_DIR defaults to ./build (it must hold bin/quavrix-cli). SET_DIR is
# where the test set is written (a temporary folder by default); an existing
# set there is reused. VARIANT (0 by default, the set the tracker was tuned
# on) draws the pieces' notes, timing and drift afresh. Needs fluidsynth, fluid-soundfont-gm, aubio-tools,
# python3-mido and python3-mir-eval (scripts/install-deps.sh).
set -euo pipefail

BUILD=${1:-build}
CLI="$BUILD/bin/quavrix-cli"
HERE=$(cd "$(dirname "$0")" && pwd)
PY=/usr/bin/python3

[ -x "$CLI" ] || { echo "missing $CLI (build quavrix-cli first)" >&2; exit 1; }
command -v aubio >/dev/null || { echo "missing aubio (apt-get install aubio-tools)" >&2; exit 1; }

if [ -n "${2:-}" ]; then
  SET=$2
else
  SET=$(mktemp -d)
  trap 'rm -rf "$SET"' EXIT
fi
[ -f "$SET/pieces.json" ] || "$PY" "$HERE/beats_testset.py" "$SET" --variant "${3:-0}"

for wav in "$SET"/*.wav; do
  base=${wav%.wav}
  "$CLI" beats "$wav" --json > "$base.ours.json"
  aubio beat "$wav" > "$base.aubio" 2>/dev/null
done

"$PY" - "$SET" <<'PY'
import json, os, sys
import numpy as np
import mir_eval

folder = sys.argv[1]
pieces = json.load(open(os.path.join(folder, "pieces.json")))

def times(path):
    return np.array([float(x) for x in open(path).read().split()])

def f_measure(reference, estimate):
    # The first five seconds are left out, as the usual evaluation does.
    return mir_eval.beat.f_measure(mir_eval.beat.trim_beats(reference),
                                   mir_eval.beat.trim_beats(np.asarray(estimate)), 0.07)

rows = []
print(f"{'piece':18} {'ours':>6} {'aubio':>6} {'downb.':>7} {'bar':>4} {'bpm':>7} {'truth':>7} {'err %':>6}")
for name, truth in pieces.items():
    base = os.path.join(folder, name)
    ours = json.load(open(base + ".ours.json"))
    ref = times(base + ".beats")
    ref_down = times(base + ".downbeats")
    aubio = times(base + ".aubio")
    f_ours = f_measure(ref, ours["beats"])
    f_aubio = f_measure(ref, aubio)
    f_down = f_measure(ref_down, ours["downbeats"])
    error = 100.0 * abs(ours["bpm"] - truth["bpm"]) / truth["bpm"]
    rows.append((f_ours, f_aubio, f_down))
    steady = "" if truth["steady"] else " (changing)"
    print(f"{name:18} {f_ours:6.3f} {f_aubio:6.3f} {f_down:7.3f} {ours['beats_per_bar']:2d}/{truth['beats_per_bar']}"
          f" {ours['bpm']:7.2f} {truth['bpm']:7.2f} {error:6.2f}{steady}")
mean = np.mean(rows, axis=0)
print(f"{'mean':18} {mean[0]:6.3f} {mean[1]:6.3f} {mean[2]:7.3f}")
PY
