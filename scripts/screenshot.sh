#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts quavrix on the demo recording on a virtual X server (1920 x 1080) and
# saves a screenshot of the screen. With TOUR=1 it then uses the window with
# the mouse and the keys (scripts/tour.py) and keeps a screenshot of each step
# beside OUT.png.
#   scripts/screenshot.sh [BUILD_DIR] [OUT.png] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-$build/screenshot.png}
wait=${3:-6}
demo="$build/demo.wav"
[ -f "$demo" ] || "$build/bin/quavrix-cli" demo "$demo" >/dev/null
xvfb-run -a -s "-screen 0 1920x1080x24" bash -c '
  QUAVRIX_AUDIO=null "$1" "$2" >/dev/null 2>&1 &
  pid=$!
  sleep "$3"
  xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng > "$4"
  # The titles of the windows on the screen, beside the screenshot.
  for id in $(xdotool search --name . 2>/dev/null); do
    xdotool getwindowname "$id"
  done > "${4%.png}-titles.txt" 2>/dev/null || true
  if [ "${TOUR:-}" = 1 ]; then python3 "$5" "${4%.png}"; fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
' _ "$build/bin/quavrix" "$demo" "$wait" "$out" "$PWD/scripts/tour.py"
echo "screenshot: $out"
