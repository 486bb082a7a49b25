#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What tracking the beats adds to analysing a recording: `analyze --beats`
# (as opening does when the grid opens with tracked beats) against `analyze`
# (as opening does by default), in alternation, on a 5-minute demo recording.
#
#   bench/beats_cost.sh [BUILD_DIR] [RUNS]
#
# Prints the median wall and processor times of both and the difference. On a
# machine whose cores are busy with other work the wall times wander; the
# processor times (user + system) hold better.
set -euo pipefail

BUILD=${1:-build}
RUNS=${2:-7}
CLI="$BUILD/bin/quavrix-cli"
[ -x "$CLI" ] || { echo "missing $CLI (build quavrix-cli first)" >&2; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
"$CLI" demo "$WORK/demo.wav" --seconds 300 >/dev/null

for ((i = 0; i < RUNS; ++i)); do
  for mode in beats no-beats; do
    flag=""
    [ "$mode" = beats ] && flag="--beats"
    /usr/bin/time -f "%e %U %S" -o "$WORK/t" "$CLI" analyze "$WORK/demo.wav" $flag >/dev/null
    echo "$mode $(cat "$WORK/t")" >> "$WORK/times"
  done
done

/usr/bin/python3 - "$WORK/times" <<'PY'
import statistics, sys
rows = [line.split() for line in open(sys.argv[1])]
def median(mode, column):
    return statistics.median(float(r[column]) + (float(r[3]) if column == 2 else 0)
                             for r in rows if r[0] == mode)
for label, column in (("wall", 1), ("processor", 2)):
    with_beats, without = median("beats", column), median("no-beats", column)
    print(f"{label:9}  analyze {without:.3f} s, with beats {with_beats:.3f} s: "
          f"+{100 * (with_beats - without) / without:.1f} %")
PY
