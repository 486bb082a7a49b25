#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Uses the window on the X display in $DISPLAY as a person would: opens a
# recording, saves it as a new project with "S A V E   AS" in the "Dat" menu
# and quits with "EXIT"; then starts the program again with nothing and
# opens "OPEN  RECENT" from the "Wav" menu. Fails when the project file does
# not appear or the second start does not come up with it.
#   save_in_window.sh QUAVRIX RECORDING PROJECT.dat
set -euo pipefail
program=$1
recording=$2
project=$3
key() { xdotool key --delay 120 "$@"; sleep 0.4; }
pid=
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null || true' EXIT
# Starts the program and waits for its window and the recording.
start() {
  "$program" "$@" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 1 40); do
    xdotool search --name quavrix >/dev/null 2>&1 && break
    sleep 0.25
  done
  sleep 4
}
quit() {
  xdotool mousemove 40 9 click 1
  sleep 0.5
  key Up Return
  sleep 0.5
  key Return
  for _ in $(seq 1 20); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.25
  done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

start "$recording"
# "Dat" is the second title of the menu bar at the window's top left; its
# fourth item is "S A V E   AS".
xdotool mousemove 106 9 click 1
sleep 0.5
key Down Down Down Down Return
sleep 1
# The file dialog: the name field has the focus.
key ctrl+a
xdotool type --delay 20 "$project"
key Return
sleep 1
# "SAVE AS done" is acknowledged, then the program is left through its menu.
key Return
for _ in $(seq 1 20); do
  [ -s "$project" ] && break
  sleep 0.25
done
[ -s "$project" ] || { echo "FAILED: the window saved no project at $project" >&2; exit 1; }
quit

# "OPEN  RECENT" is the second item of "Wav"; the window's title then names the project.
start
xdotool mousemove 40 9 click 1
sleep 0.5
key Down Down Return
for _ in $(seq 1 40); do
  xdotool search --name "$(basename "$project")" >/dev/null 2>&1 && break
  sleep 0.25
done
xdotool search --name "$(basename "$project")" >/dev/null 2>&1 ||
  { echo "FAILED: OPEN RECENT did not bring back $project" >&2; exit 1; }
quit
