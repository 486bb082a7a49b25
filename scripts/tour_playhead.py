#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Follows the music as a musician would, on the X display in $DISPLAY, and
saves screenshots: zooms into the demo, marks bars of four beats with the beat
editor's Bar page (Bar line, then Extend), plays, and stops.

    xvfb-run -a -s "-screen 0 1920x1080x24" bash -c \\
      'QUAVRIX_AUDIO=null build/bin/quavrix build/demo.wav & sleep 6;
       scripts/tour_playhead.py build/playhead; kill $!'

The window must already show the demo at the large layout. In the pictures
"-3-playing" .. "-5-playing" the playhead moves down the roll, the time boxes
show the play time and bar.beat, and the bar numbers stand in the margin.
"""
import sys
import time

from tour import grab, pointer, sh, view_top


def main():
    prefix = sys.argv[1] if len(sys.argv) > 1 else "playhead"
    top = view_top(grab(prefix + "-0-open.png"))
    move, drag, click = pointer(top, 0.3)

    drag(295, 100, 295, 330)  # margin selection: zoom to a few seconds
    at = grab(prefix + "-1-zoomed.png")
    # The beats' marks in the margin: red (or lime when locked).
    beats = []
    for y in range(80, 880):
        r, g, _ = at(262, y + top)
        if (r > 200 and g < 60) or (g > 200 and r < 60):
            if not beats or y - beats[-1] > 3:
                beats.append(y)
    if len(beats) < 5:
        raise SystemExit("too few beats in view: %s" % beats)
    click(276, 30)   # the beat editor
    click(400, 190)  # its Bar page
    click(430, 324)  # Bar line: the first and the fifth beat become bar lines
    drag(295, beats[0] - 4, 295, beats[4] + 4)
    click(430, 494)  # Extend: every fourth beat after them
    drag(295, beats[0] - 4, 295, beats[4] + 4)
    grab(prefix + "-2-bars.png")
    click(276, 30)   # close the editor
    move(1000, 500)
    sh("xdotool", "key", "space")
    for k, wait in enumerate((0.6, 1.0, 1.0)):
        time.sleep(wait)
        grab("%s-%d-playing.png" % (prefix, 3 + k))
    sh("xdotool", "key", "space")
    time.sleep(0.4)
    grab(prefix + "-6-stopped.png")
    print("screenshots:", prefix + "-*.png")


if __name__ == "__main__":
    main()
