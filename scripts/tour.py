#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Uses the window as a musician would, on the X display in $DISPLAY, and
saves screenshots: zooms into the demo with a margin selection, picks track 1,
draws three notes, undoes one, plays, opens the beat editor.

    DISPLAY=:99 scripts/tour.py OUT_PREFIX

The window must already show the demo at the large layout (see screenshot.sh).
"""
import subprocess
import sys
import time


def sh(*args):
    return subprocess.run(args, check=True, capture_output=True).stdout


def pixels(ppm):
    """A function (x, y) -> (r, g, b) over the screenshot."""
    parts = ppm.split(maxsplit=4)
    width = int(parts[1])
    size = 2 if int(parts[3]) > 255 else 1  # xwdtopnm may write 16-bit samples
    data = parts[4]

    def at(x, y):
        i = 3 * size * (y * width + x)
        return tuple(data[i:i + 3 * size:size])
    return at


def grab(path):
    """Saves the screen as a PNG and returns its pixels."""
    ppm = subprocess.run("xwd -root -silent | xwdtopnm 2>/dev/null", shell=True, check=True,
                         capture_output=True).stdout
    with open(path, "wb") as out:
        out.write(subprocess.run(["pnmtopng"], input=ppm, check=True, capture_output=True).stdout)
    return pixels(ppm)


def view_top(at):
    """The y of the view's top edge on the screen: the menu bar lies above it."""
    for y in range(0, 200):
        if at(242, y) == (0, 56, 56):
            return y - 60
    raise SystemExit("the demo is not drawn")


def pointer(top, pause):
    """move, drag and click at view coordinates, waiting `pause` s after each gesture."""
    def move(x, y):
        sh("xdotool", "mousemove", str(x), str(y + top))
        time.sleep(0.08)

    def drag(x0, y0, x1, y1):
        move(x0, y0)
        sh("xdotool", "mousedown", "1")
        move((x0 + x1) // 2, (y0 + y1) // 2)
        move(x1, y1)
        sh("xdotool", "mouseup", "1")
        time.sleep(pause)

    def click(x, y):
        move(x, y)
        sh("xdotool", "click", "1")
        time.sleep(pause)
    return move, drag, click


def main():
    prefix = sys.argv[1] if len(sys.argv) > 1 else "tour"
    top = view_top(grab(prefix + "-0-open.png"))
    _, drag, click = pointer(top, 0.2)

    drag(295, 100, 295, 262)     # margin selection: zoom to a few beats
    click(780, 928)              # track 1
    for x in (990, 1180, 1370):  # three notes of two beats each
        drag(x, 280, x, 380)
    grab(prefix + "-1-notes.png")
    sh("xdotool", "key", "ctrl+z")
    time.sleep(0.3)
    sh("xdotool", "key", "space")
    time.sleep(1.5)
    grab(prefix + "-2-playing.png")
    sh("xdotool", "key", "space")
    click(276, 30)               # the beat editor
    time.sleep(0.3)
    grab(prefix + "-3-editor.png")
    print("tour screenshots:", prefix + "-*.png")


if __name__ == "__main__":
    main()
