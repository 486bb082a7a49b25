#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times the whole process of `quavrix-cli analyze` (read, onsets, spectrum) of a
# five-minute stereo 16-bit recording against the peer onset detector on the
# same file, in paired runs, and measures our peak memory per minute of audio
# and the time to open a sixty-minute recording.
#
#   bench/open_vs_peer.sh [BUILD_DIR]
#
# BUILD_DIR defaults to ./build-release (it must hold bin/quavrix-cli). With
# BASELINE=path/to/an/older/quavrix-cli the same figures are taken for that
# build too, in the same run. RUNS (5) sets the number of paired runs; LONG=0
# skips the sixty-minute recording.
set -euo pipefail

BUILD=${1:-build-release}
CLI="$BUILD/bin/quavrix-cli"
PEER=${PEER:-aubioonset}
RUNS=${RUNS:-5}
LONG=${LONG:-1}
BASELINE=${BASELINE:-}

[ -x "$CLI" ] || { echo "missing $CLI (build quavrix-cli first)" >&2; exit 1; }
command -v "$PEER" >/dev/null || { echo "missing $PEER (apt-get install aubio-tools)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "missing /usr/bin/time (apt-get install time)" >&2; exit 1; }
[ -z "$BASELINE" ] || [ -x "$BASELINE" ] || { echo "missing $BASELINE" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
FIVE="$WORK/five-minutes.wav"
"$CLI" demo "$FIVE" --seconds 300 >/dev/null

# "WALL CPU MAXRSS_KB" of one command. The wall time is read from the clock
# in nanoseconds: time's own figure comes in hundredths of a second, coarse
# beside runs of a tenth of one.
measure() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f '%U %S %M' -o "$WORK/time.txt" "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  awk -v ns=$((end - start)) '{ printf "%.4f %.3f %s\n", ns / 1e9, $1 + $2, $3 }' "$WORK/time.txt"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
column() { awk -v c="$1" '{ print $c }'; }

# The share of the machine's CPU time that its host took for itself: on a
# virtual machine, time stolen from one core slows our two threads while the
# single-threaded peer runs on.
steal_ticks() { awk '/^cpu / { print $9, $2 + $3 + $4 + $5 + $6 + $7 + $8 + $9 }' /proc/stat; }
steal_before=$(steal_ticks)

# Paired runs, in alternating order so that neither side always runs on a
# warmer or a quieter machine.
: >"$WORK/ours" >"$WORK/peer" >"$WORK/base" >"$WORK/ratio" >"$WORK/cpuratio"
for run in $(seq "$RUNS"); do
  if [ $((run % 2)) -eq 1 ]; then
    o=$(measure "$CLI" analyze "$FIVE")
    p=$(measure "$PEER" -i "$FIVE")
  else
    p=$(measure "$PEER" -i "$FIVE")
    o=$(measure "$CLI" analyze "$FIVE")
  fi
  echo "$o" >>"$WORK/ours"
  echo "$p" >>"$WORK/peer"
  awk -v o="${o%% *}" -v p="${p%% *}" 'BEGIN { printf "%.4f\n", o / p }' >>"$WORK/ratio"
  echo "$o $p" | awk '{ printf "%.4f\n", $2 / $5 }' >>"$WORK/cpuratio"
  [ -z "$BASELINE" ] || measure "$BASELINE" analyze "$FIVE" >>"$WORK/base"
done

ours_wall=$(column 1 <"$WORK/ours" | median)
ours_cpu=$(column 2 <"$WORK/ours" | median)
ours_rss=$(column 3 <"$WORK/ours" | median)
peer_wall=$(column 1 <"$WORK/peer" | median)
peer_cpu=$(column 2 <"$WORK/peer" | median)
ratio=$(median <"$WORK/ratio")

printf 'input: 300 s of stereo 16-bit audio (%s), %s paired runs, medians\n' \
  "$(du -h "$FIVE" | cut -f1)" "$RUNS"
printf '%-36s %8s %8s %10s\n' "" "wall s" "cpu s" "MB/minute"
printf '%-36s %8.3f %8.3f %10.1f\n' "ours: quavrix-cli analyze" "$ours_wall" "$ours_cpu" \
  "$(awk -v k="$ours_rss" 'BEGIN { print k / 1024 / 5 }')"
if [ -n "$BASELINE" ]; then
  printf '%-36s %8.3f %8.3f %10.1f\n' "baseline: $(basename "$BASELINE") analyze" \
    "$(column 1 <"$WORK/base" | median)" "$(column 2 <"$WORK/base" | median)" \
    "$(awk -v k="$(column 3 <"$WORK/base" | median)" 'BEGIN { print k / 1024 / 5 }')"
fi
printf '%-36s %8.3f %8.3f\n' "peer: $PEER -i" "$peer_wall" "$peer_cpu"
printf 'ours / peer, median of the paired ratios: %.3f wall, %.3f cpu\n' "$ratio" \
  "$(median <"$WORK/cpuratio")"
uptime | sed 's/.*load/load/'
printf 'time stolen by the host during the paired runs: %s %%\n' \
  "$(echo "$steal_before $(steal_ticks)" | awk '{ t = $4 - $2; printf "%.1f", (t > 0 ? 100 * ($3 - $1) / t : 0) }')"

if [ "$LONG" != 0 ]; then
  HOUR="$WORK/sixty-minutes.wav"
  rm -f "$FIVE"
  "$CLI" demo "$HOUR" --seconds 3600 >/dev/null
  : >"$WORK/hour"
  for _ in 1 2 3; do measure "$CLI" analyze "$HOUR" >>"$WORK/hour"; done
  printf 'sixty minutes, ours, median of 3: %.2f s wall, %.2f s cpu, %.0f MB peak\n' \
    "$(column 1 <"$WORK/hour" | median)" "$(column 2 <"$WORK/hour" | median)" \
    "$(awk -v k="$(column 3 <"$WORK/hour" | median)" 'BEGIN { print k / 1024 }')"
  if [ -n "$BASELINE" ]; then
    b=$(measure "$BASELINE" analyze "$HOUR")
    printf 'sixty minutes, baseline, one run: %.2f s wall, %.2f s cpu, %.0f MB peak\n' \
      "$(echo "$b" | column 1)" "$(echo "$b" | column 2)" \
      "$(awk -v k="${b##* }" 'BEGIN { print k / 1024 }')"
  fi
fi
