#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What tracking the beats adds to analysing a recording: `analyze --beats`
# (as opening does when the grid opens with tracked beats) against `analyze`
# (as opening does by default), in alternation, on a 5-minute demo recording.
#
#   bench/beats_cost.sh [BUILD_DIR] [RUNS]
#
# The spectrum's speed depends by several per cent on where the heap puts
# its buffers, and that moves with anything allocated before them, even the
# length of the recording's path. So the recording is read under twelve
# paths, RUNS pairs each (7 by default), and the bench prints, for wall and
# processor time (user + system, all threads, to the microsecond), the
# median over all runs and the range of the twelve paths' own differences.
set -euo pipefail

BUILD=${1:-build}
RUNS=${2:-7}
CLI="$BUILD/bin/quavrix-cli"
[ -x "$CLI" ] || { echo "missing $CLI (build quavrix-cli first)" >&2; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
"$CLI" demo "$WORK/demo.wav" --seconds 300 >/dev/null
PATHS=()
for name in a ab abc abcd abcde abcdef; do
  ln "$WORK/demo.wav" "$WORK/$name.wav"
  mkdir -p "$WORK/$name"
  ln "$WORK/demo.wav" "$WORK/$name/demo.wav"
  PATHS+=("$WORK/$name.wav" "$WORK/$name/demo.wav")
done

/usr/bin/python3 - "$CLI" "$RUNS" "${PATHS[@]}" <<'PY'
import os, statistics, subprocess, sys, time

cli, runs, paths = sys.argv[1], int(sys.argv[2]), sys.argv[3:]

def run(path, flags):
    start = time.perf_counter()
    child = subprocess.Popen([cli, "analyze", path] + flags, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    if status != 0:
        sys.exit(f"{cli} analyze {path} failed")
    return time.perf_counter() - start, usage.ru_utime + usage.ru_stime

plain, beats = [], []
per_path = []
for path in paths:
    p, b = [], []
    for _ in range(runs):
        p.append(run(path, []))
        b.append(run(path, ["--beats"]))
    plain += p
    beats += b
    per_path.append([100 * (statistics.median(x[c] for x in b) / statistics.median(x[c] for x in p) - 1)
                     for c in (0, 1)])
for column, label in ((0, "wall"), (1, "processor")):
    without = statistics.median(x[column] for x in plain)
    with_beats = statistics.median(x[column] for x in beats)
    spread = [d[column] for d in per_path]
    print(f"{label:9}  analyze {1000 * without:.1f} ms, with beats {1000 * with_beats:.1f} ms: "
          f"+{100 * (with_beats - without) / without:.1f} % "
          f"(paths: {min(spread):+.1f} to {max(spread):+.1f} %)")
PY
