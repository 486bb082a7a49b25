#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What tracking the beats adds to analysing a recording: `analyze --beats`
# (as opening does when the grid opens with tracked beats) against `analyze`
# (as opening does by default), in alternation, on a 5-minute demo recording.
#
#   bench/beats_cost.sh [BUILD_DIR] [RUNS]
#
# Prints the median wall and processor times (user + system, of all threads)
# of both and the difference. Both are read to the microsecond; on a machine
# whose cores are busy with other work the wall times wander.
set -euo pipefail

BUILD=${1:-build}
RUNS=${2:-21}
CLI="$BUILD/bin/quavrix-cli"
[ -x "$CLI" ] || { echo "missing $CLI (build quavrix-cli first)" >&2; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
"$CLI" demo "$WORK/demo.wav" --seconds 300 >/dev/null

/usr/bin/python3 - "$CLI" "$WORK/demo.wav" "$RUNS" <<'PY'
import os, statistics, subprocess, sys, time

cli, wav, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
modes = {"analyze": [], "analyze --beats": ["--beats"]}
times = {mode: ([], []) for mode in modes}
for _ in range(runs):
    for mode, flags in modes.items():
        start = time.perf_counter()
        child = subprocess.Popen([cli, "analyze", wav] + flags, stdout=subprocess.DEVNULL)
        _, status, usage = os.wait4(child.pid, 0)
        if status != 0:
            sys.exit(f"{cli} analyze failed")
        times[mode][0].append(time.perf_counter() - start)
        times[mode][1].append(usage.ru_utime + usage.ru_stime)
for column, label in ((0, "wall"), (1, "processor")):
    without = statistics.median(times["analyze"][column])
    with_beats = statistics.median(times["analyze --beats"][column])
    print(f"{label:9}  analyze {1000 * without:.1f} ms, with beats {1000 * with_beats:.1f} ms: "
          f"+{100 * (with_beats - without) / without:.1f} %")
PY
