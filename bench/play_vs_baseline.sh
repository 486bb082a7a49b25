#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What a listener hears from `quavrix-cli play` through the WAV device, for
# our build and, with BASELINE, an older one in the same run:
#   - how long after a click the note on the click's line starts, at three
#     range starts a third of a sampler buffer apart, at x1 and x4;
#   - how long a 3 s range lasts when slowed to x2, x4 and x8, against x
#     times its length at x1, for a 440/660 Hz pair (different channels) and
#     for 440 Hz in both, and the pitch of the 440 Hz channel.
#
#   BASELINE=path/to/an/older/quavrix-cli bench/play_vs_baseline.sh [BUILD_DIR]
#
# BUILD_DIR defaults to ./build-release (it must hold bin/quavrix-cli and
# bin/play_check_files).
set -euo pipefail

BUILD=${1:-build-release}
BASELINE=${BASELINE:-}
[ -x "$BUILD/bin/quavrix-cli" ] && [ -x "$BUILD/bin/play_check_files" ] ||
  { echo "missing $BUILD/bin/quavrix-cli or play_check_files (build them first)" >&2; exit 1; }
[ -z "$BASELINE" ] || [ -x "$BASELINE" ] || { echo "missing $BASELINE" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
"$BUILD/bin/play_check_files" "$WORK"

# measure KIND FILE: "delay" prints the milliseconds from the click (the
# recording, left minus right) to the note (right); "span" prints the seconds
# of audible tone and the left channel's pitch.
measure() {
  python3 - "$1" "$2" <<'PY'
import struct, sys, wave
kind, path = sys.argv[1], sys.argv[2]
with wave.open(path) as w:
    n = w.getnframes()
    s = struct.unpack('<%dh' % (2 * n), w.readframes(n))
left, right = s[0::2], s[1::2]
if kind == 'delay':
    rec = [abs(l - r) for l, r in zip(left, right)]
    top = max(rec)
    click = next(i for i, v in enumerate(rec) if v >= 0.5 * top)
    note = next(i for i, v in enumerate(right) if abs(v) > 3277)
    print('%.1f' % ((note - click) / 44.1))
else:
    loud = [i for i, v in enumerate(left) if abs(v) > 2000]
    first, last = loud[0], loud[-1]
    ups = sum(1 for i in range(first, last) if left[i] < 0 <= left[i + 1])
    print('%.2f %.1f' % ((last - first) / 44100, ups / ((last - first) / 44100)))
PY
}

run() {  # run CLI OUT ARGS...
  local cli=$1 out=$2
  shift 2
  "$cli" play --settings "$(dirname "$cli")/default_settings.xml" "$@" --audio "wav:$out" \
    >/dev/null 2>&1
}

report() {  # report NAME CLI
  local name=$1 cli=$2 third line
  third=$(awk 'BEGIN { printf "%.4f", 1024 / 3 / 44100 }')
  line="$name: note after the click, ms:"
  for speed in 2048 512; do
    for k in 0 1 2; do
      local from to
      from=$(awk -v k="$k" -v t="$third" -v s="$speed" 'BEGIN { printf "%.4f", (s == 2048 ? 0.75 : 0.9) + k * t }')
      to=$(awk -v f="$from" -v s="$speed" 'BEGIN { printf "%.4f", f + (s == 2048 ? 0.4 : 0.25) }')
      run "$cli" "$WORK/out.wav" --wav "$WORK/click.wav" --dat "$WORK/click.dat" --speed "$speed" \
        --from "$from" --to "$to"
      line="$line $(measure delay "$WORK/out.wav")"
    done
    [ "$speed" = 2048 ] && line="$line (x1) /"
  done
  echo "$line (x4)"
  # A pass starts a little into its range by design, so that even x1 plays
  # a little under 3 s; the rate is each speed's length against x times that.
  for file in pair same; do
    local reference seconds hz
    run "$cli" "$WORK/out.wav" --wav "$WORK/$file.wav" --speed 2048 --from 1 --to 4
    read -r reference hz <<<"$(measure span "$WORK/out.wav")"
    line="$name: 3 s of $file.wav lasts $reference s at x1;"
    for speed in 1024 512 256; do
      run "$cli" "$WORK/out.wav" --wav "$WORK/$file.wav" --speed "$speed" --from 1 --to 4
      read -r seconds hz <<<"$(measure span "$WORK/out.wav")"
      line="$line $seconds s ($(awk -v s="$seconds" -v r="$reference" -v f="$speed" \
        'BEGIN { printf "length %+.1f %%", 100 * (s / (r * 2048 / f) - 1) }'), left at $hz Hz);"
    done
    echo "${line%;} at x2, x4, x8"
  done
}

report ours "$BUILD/bin/quavrix-cli"
[ -z "$BASELINE" ] || report baseline "$BASELINE"
